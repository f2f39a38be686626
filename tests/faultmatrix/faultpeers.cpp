#include "faultpeers.h"
#include "loopbackcutter.h"
#include "pseudoterminal.h"

#include <QTimer>
#include <QUrl>

#include <sys/socket.h>

RawPeer::RawPeer()
{
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* next = server.nextPendingConnection()) {
            if (client)
                client->deleteLater();
            client = next;
            connect(next, &QTcpSocket::readyRead, this, [this, next] {
                input += next->readAll();
                if (onBytes)
                    onBytes(*this);
            });
        }
    });
    server.listen(QHostAddress::LocalHost, 0);
}

void RawPeer::send(const QByteArray& data)
{
    if (client) {
        client->write(data);
        client->flush();
    }
}

void RawPeer::close()
{
    if (client)
        client->disconnectFromHost();
}

// Lingering for zero seconds makes the close a reset.
void RawPeer::reset()
{
    if (!client)
        return;
    const struct linger now = {1, 0};
    ::setsockopt(int(client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    client->abort();
}

PtyCutter::PtyCutter(PseudoTerminal& pty) : pty(pty)
{
    connect(&pty, &PseudoTerminal::bytesReceived, this, &PtyCutter::cut);
}

void PtyCutter::cut()
{
    const QByteArray& in = pty.received();
    int etx;
    while ((etx = in.indexOf('\x03', consumed)) >= 0) {
        const int stx = in.lastIndexOf('\x02', etx);
        const QByteArray frame = stx >= consumed ? in.mid(stx, etx - stx + 1) : QByteArray();
        consumed = etx + 1;
        if (frame.isEmpty())
            continue;
        frames << frame;
        if (onFrame)
            onFrame(frame);
        // Answered from the event loop: writing may wait for the line, which must not happen
        // inside this notification.
        if (answerPages && LoopbackCutter::payloadOf(frame).startsWith("PPLT;"))
            QTimer::singleShot(0, this, [this] { pty.write(LoopbackCutter::frame("CCMD;4,0;")); });
    }
}

HttpPeer::HttpPeer()
{
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    server.listen(QHostAddress::LocalHost, 0);
}

void HttpPeer::onReadyRead(QTcpSocket* socket)
{
    QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
    for (;;) {
        const int headerEnd = buffered.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            break;
        const QByteArray head = buffered.left(headerEnd);
        int length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toInt();
        }
        if (buffered.size() < headerEnd + 4 + length)
            break;
        buffered.remove(0, headerEnd + 4 + length);
        const QList<QByteArray> requestLine = head.left(head.indexOf('\r')).split(' ');
        paths << QString::fromLatin1(requestLine.value(0)) + QLatin1Char(' ')
                     + QUrl(QString::fromLatin1(requestLine.value(1))).path();
        if (mode == Silent)
            continue;
        if (mode == Close) {
            socket->abort();
            return;
        }
        socket->write("HTTP/1.1 " + QByteArray::number(status)
                      + " Fault\r\nContent-Type: application/json\r\n"
                        "Content-Length: "
                      + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }
    socket->setProperty("buffered", buffered);
}
