#include "loopbackcutter.h"

#include <QSignalSpy>
#include <QTest>

LoopbackCutter::LoopbackCutter(QObject* parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &LoopbackCutter::onNewConnection);
    server.listen(QHostAddress::LocalHost, 0);
}

QStringList LoopbackCutter::payloads() const
{
    QStringList out;
    for (const QByteArray& f : received)
        out << QString::fromLocal8Bit(payloadOf(f));
    return out;
}

void LoopbackCutter::onNewConnection()
{
    while (QTcpSocket* next = server.nextPendingConnection()) {
        if (client)
            client->deleteLater();
        client = next;
        pending.clear();
        connect(next, &QTcpSocket::readyRead, this, &LoopbackCutter::onReadyRead);
    }
}

void LoopbackCutter::onReadyRead()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket || socket != client)
        return;
    pending += socket->readAll();
    int etx;
    while ((etx = pending.indexOf('\x03')) >= 0) {
        QByteArray candidate = pending.left(etx + 1);
        pending.remove(0, etx + 1);
        const int stx = candidate.lastIndexOf('\x02');
        if (stx < 0)
            continue;
        const QByteArray f = candidate.mid(stx);
        received.append(f);
        emit frameReceived(f);
        if (script) {
            for (const QByteArray& answer : script(f))
                send(answer);
        }
    }
}

bool LoopbackCutter::waitForConnection(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !client.isNull(); }, timeoutMs);
}

bool LoopbackCutter::waitForFrames(int count, int timeoutMs)
{
    return QTest::qWaitFor([this, count] { return received.size() >= count; }, timeoutMs);
}

bool LoopbackCutter::waitForDisconnect(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !isConnected(); }, timeoutMs);
}

bool LoopbackCutter::isConnected() const
{
    return client && client->state() == QAbstractSocket::ConnectedState;
}

void LoopbackCutter::send(const QByteArray& bytes)
{
    if (client)
        client->write(bytes);
}

void LoopbackCutter::dropClient()
{
    if (client) {
        client->abort();
        client->deleteLater();
        client = nullptr;
    }
}

QByteArray LoopbackCutter::frame(const QByteArray& payload)
{
    // Same two-step length count as the device: N includes its own digits.
    const int p = payload.size();
    int n = p + 3 + QByteArray::number(p + 3).size();
    n = p + 3 + QByteArray::number(n).size();
    return QByteArray("\x02") + QByteArray::number(n) + ';' + payload + '\x03';
}

QByteArray LoopbackCutter::payloadOf(const QByteArray& f)
{
    const int semi = f.indexOf(';');
    if (semi < 0 || !f.endsWith('\x03'))
        return {};
    return f.mid(semi + 1, f.size() - semi - 2);
}
