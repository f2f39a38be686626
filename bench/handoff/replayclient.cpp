#include "replayclient.h"

#include "pagehandoff.h"

#include "simprotocol.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

ReplayClient::ReplayClient(quint16 port) : fd(::socket(AF_INET, SOCK_STREAM, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        qFatal("ReplayClient: cannot connect");
}

ReplayClient::~ReplayClient()
{
    ::close(fd);
}

qint64 ReplayClient::replay(const QList<QByteArray>& bursts)
{
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray& burst : bursts) {
        PageHandoff::mark('W');
        if (!writeAll(burst))
            return -1;
        PageHandoff::mark('w');
        if (!awaitReady())
            return -1;
        PageHandoff::mark('A');
    }
    return clock.nsecsElapsed();
}

bool ReplayClient::writeAll(const QByteArray& bytes)
{
    for (int done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;
        done += int(n);
    }
    return true;
}

bool ReplayClient::awaitReady()
{
    static const QByteArray ready = ktsim::ccmdReply(4, 0);
    char chunk[4096];
    for (int at = inbox.indexOf(ready); at < 0; at = inbox.indexOf(ready)) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        inbox.append(chunk, int(n));
    }
    inbox.remove(0, inbox.indexOf(ready) + ready.size());
    return true;
}

QList<QByteArray> ReplayClient::framesIn(const QByteArray& stream)
{
    QList<QByteArray> frames;
    for (int at = stream.indexOf('\x02'); at >= 0; at = stream.indexOf('\x02', at)) {
        const int end = stream.indexOf('\x03', at);
        if (end < 0)
            break;
        frames.append(stream.mid(at, end + 1 - at));
        at = end + 1;
    }
    return frames;
}

QList<QByteArray> ReplayClient::burstsOf(const QList<QByteArray>& frames)
{
    const QByteArray statusRead = ktsim::packFrame("CCMD;4;");
    QList<QByteArray> bursts;
    QByteArray burst;
    for (int i = 0; i < frames.size(); ++i) {
        burst += frames.at(i);
        ktsim::Request request;
        if (!ktsim::parseFrame(frames.at(i), &request) || request.word != ktsim::Word::Pplt)
            continue;
        if (i + 1 < frames.size() && frames.at(i + 1) == statusRead)
            burst += frames.at(++i);
        bursts.append(burst);
        burst.clear();
    }
    return bursts;
}
