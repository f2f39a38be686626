#include "simtransport.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace ktsim {

TcpTransport::TcpTransport(QObject* parent) : Transport(parent), server(new QTcpServer(this))
{
    connect(server, &QTcpServer::newConnection, this, &TcpTransport::onNewConnection);
}

bool TcpTransport::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (!server->listen(address, port)) {
        *error =
            QStringLiteral("cannot listen on %1:%2: %3").arg(address.toString()).arg(port).arg(server->errorString());
        return false;
    }
    emit listening(
        QStringLiteral("LISTENING tcp %1:%2").arg(server->serverAddress().toString()).arg(server->serverPort()));
    return true;
}

quint16 TcpTransport::port() const
{
    return server->serverPort();
}

QString TcpTransport::describe() const
{
    return QStringLiteral("tcp %1:%2").arg(server->serverAddress().toString()).arg(server->serverPort());
}

// The cutter serves one host at a time, as the real one does: a second host is let in and
// closed at once, with nothing said, and the host connected first keeps its link. (Taking the
// newcomer would cut a job off; serving both would hand each the other's replies.)
void TcpTransport::onNewConnection()
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        if (clientStays()) {
            emit refused(QStringLiteral("TcpTransport::onNewConnection refused %1:%2: a host is connected")
                             .arg(socket->peerAddress().toString())
                             .arg(socket->peerPort()));
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
            continue;
        }
        client = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { emit received(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (client == socket) {
                client = nullptr;
                emit clientGone();
            }
            socket->deleteLater();
        });
        emit clientConnected();
    }
}

// A host that closes its link and connects again at once: its close is already here (on one
// machine it travels ahead of the new connection) but may not have been read yet.
bool TcpTransport::clientStays()
{
    if (client && client->state() == QAbstractSocket::ConnectedState)
        client->waitForReadyRead(0);
    return client && client->state() == QAbstractSocket::ConnectedState;
}

void TcpTransport::write(const QByteArray& bytes)
{
    if (client && client->state() == QAbstractSocket::ConnectedState)
        client->write(bytes);
}

void TcpTransport::drop()
{
    if (client)
        client->abort();
}

PtyTransport::PtyTransport(QObject* parent) : Transport(parent)
{
    hangupPoll.setInterval(100);
    hangupPoll.setSingleShot(true);
    connect(&hangupPoll, &QTimer::timeout, this, [this] {
        if (readNotifier)
            readNotifier->setEnabled(true);
    });
}

PtyTransport::~PtyTransport()
{
    close();
}

bool PtyTransport::open(QString* error)
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    char name[128] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0
        || ::ptsname_r(master, name, sizeof name) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    }
    // Raw bytes both ways: no echo, no line editing, ^C (0x03, our ETX) is just a byte.
    termios raw{};
    if (::tcgetattr(master, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(master, TCSANOW, &raw);
    }
    path = QString::fromLocal8Bit(name);
    readNotifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &PtyTransport::onReadable);
    writeNotifier = new QSocketNotifier(master, QSocketNotifier::Write, this);
    writeNotifier->setEnabled(false);
    connect(writeNotifier, &QSocketNotifier::activated, this, &PtyTransport::onWritable);
    emit listening(QStringLiteral("LISTENING pty %1").arg(path));
    return true;
}

void PtyTransport::close()
{
    delete readNotifier;
    readNotifier = nullptr;
    delete writeNotifier;
    writeNotifier = nullptr;
    hangupPoll.stop();
    if (master >= 0)
        ::close(master);
    master = -1;
    outbox.clear();
    if (hostPresent) {
        hostPresent = false;
        emit clientGone();
    }
}

QString PtyTransport::describe() const
{
    return QStringLiteral("pty %1").arg(path);
}

void PtyTransport::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            if (!hostPresent) {
                hostPresent = true;
                emit clientConnected();
            }
            emit received(QByteArray(buffer, int(n)));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        hangUp(); // EIO: nobody holds the slave open
        return;
    }
}

void PtyTransport::hangUp()
{
    readNotifier->setEnabled(false);
    writeNotifier->setEnabled(false);
    outbox.clear();
    hangupPoll.start();
    if (hostPresent) {
        hostPresent = false;
        emit clientGone();
    }
}

void PtyTransport::write(const QByteArray& bytes)
{
    if (master < 0 || !hostPresent)
        return;
    outbox.append(bytes);
    flushOutbox();
}

void PtyTransport::onWritable()
{
    flushOutbox();
}

void PtyTransport::flushOutbox()
{
    while (!outbox.isEmpty()) {
        const ssize_t n = ::write(master, outbox.constData(), size_t(outbox.size()));
        if (n > 0) {
            outbox.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            writeNotifier->setEnabled(true);
            return;
        }
        outbox.clear();
    }
    writeNotifier->setEnabled(false);
}

void PtyTransport::drop()
{
    close();
    QString error;
    if (!open(&error))
        qWarning("PtyTransport::drop %s", qPrintable(error));
}

} // namespace ktsim
