#ifndef SIMPROCESS_H
#define SIMPROCESS_H

// Runs ktrv8-sim as a real process for tests and talks to it over loopback TCP or its
// pseudo-terminal. Header-only so that several test folders can use it.

#include "loopbackcutter.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

inline QString ktBinary(const QString& name)
{
    const QByteArray bin = qgetenv("KT_BUILD_BIN");
    const QString dir = bin.isEmpty() ? QCoreApplication::applicationDirPath() : QString::fromLocal8Bit(bin);
    return QDir(dir).filePath(name);
}

inline QByteArray ktFrame(const QByteArray& payload)
{
    return LoopbackCutter::frame(payload);
}

// Cuts frames out of received bytes the way a host does; returns the payloads.
inline QList<QByteArray> ktPayloads(QByteArray* buffer)
{
    QList<QByteArray> payloads;
    for (;;) {
        const int etx = buffer->indexOf('\x03');
        if (etx < 0)
            return payloads;
        const QByteArray candidate = buffer->left(etx + 1);
        buffer->remove(0, etx + 1);
        const int stx = candidate.lastIndexOf('\x02');
        if (stx < 0)
            continue;
        const QByteArray frame = candidate.mid(stx);
        payloads.append(frame.mid(frame.indexOf(';') + 1, frame.size() - frame.indexOf(';') - 2));
    }
}

class SimProcess
{
public:
    explicit SimProcess(const QStringList& arguments) : args(arguments) {}
    ~SimProcess() { stop(); }

    bool start(int timeoutMs = 10000)
    {
        process.setProgram(ktBinary(QStringLiteral("ktrv8-sim")));
        process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start();
        if (!process.waitForStarted(timeoutMs))
            return false;
        const bool wantPty = args.contains(QStringLiteral("--pty"));
        const bool wantTcp = !args.contains(QStringLiteral("--no-tcp"));
        QDeadlineTimer deadline(timeoutMs);
        while (((wantTcp && port == 0) || (wantPty && ptyPath.isEmpty())) && !deadline.hasExpired()) {
            if (!process.canReadLine() && !process.waitForReadyRead(int(deadline.remainingTime())))
                break;
            while (process.canReadLine()) {
                const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
                if (line.startsWith(QLatin1String("LISTENING tcp ")))
                    port = quint16(line.section(QLatin1Char(':'), -1).toUInt());
                else if (line.startsWith(QLatin1String("LISTENING pty ")))
                    ptyPath = line.mid(14);
            }
        }
        return (!wantTcp || port != 0) && (!wantPty || !ptyPath.isEmpty());
    }

    // SIGTERM, then the exit code (-1 if it had to be killed).
    int stop(int timeoutMs = 5000)
    {
        if (process.state() == QProcess::NotRunning)
            return process.exitCode();
        process.terminate();
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(timeoutMs);
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcess process;
    quint16 port = 0;
    QString ptyPath;

private:
    QStringList args;
};

// A plain TCP client speaking frames to the simulator.
class SimClient
{
public:
    bool connectTo(quint16 port, int timeoutMs = 5000)
    {
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return socket.waitForConnected(timeoutMs);
    }
    void send(const QByteArray& payload)
    {
        socket.write(ktFrame(payload));
        socket.flush();
    }
    // Collects reply payloads until count have come or the deadline passes.
    QList<QByteArray> replies(int count, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (received.size() < count && !deadline.hasExpired()) {
            if (socket.bytesAvailable() == 0
                && !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                break;
            buffer += socket.readAll();
            received += ktPayloads(&buffer);
        }
        return take(count);
    }
    // Whatever arrives within ms (for checking that nothing does).
    QList<QByteArray> quietFor(int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            if (socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                buffer += socket.readAll();
        }
        received += ktPayloads(&buffer);
        return take(received.size());
    }
    QTcpSocket socket;

private:
    QList<QByteArray> take(int count)
    {
        QList<QByteArray> out = received.mid(0, count);
        received = received.mid(out.size());
        return out;
    }
    QByteArray buffer;
    QList<QByteArray> received;
};

// The host end of the simulator's pseudo-terminal.
class PtyClient
{
public:
    ~PtyClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool open(const QString& path)
    {
        fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return fd >= 0;
    }
    void send(const QByteArray& payload)
    {
        const QByteArray bytes = ktFrame(payload);
        [[maybe_unused]] ssize_t n = ::write(fd, bytes.constData(), size_t(bytes.size()));
    }
    QList<QByteArray> replies(int count, int timeoutMs = 5000)
    {
        QList<QByteArray> out;
        QDeadlineTimer deadline(timeoutMs);
        while (out.size() < count && !deadline.hasExpired()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, int(qMax<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            char chunk[4096];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n > 0)
                buffer.append(chunk, int(n));
            out += ktPayloads(&buffer);
        }
        return out;
    }

private:
    int fd = -1;
    QByteArray buffer;
};

#endif // SIMPROCESS_H
