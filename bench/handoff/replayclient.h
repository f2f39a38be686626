#ifndef REPLAYCLIENT_H
#define REPLAYCLIENT_H

#include <QByteArray>
#include <QList>

// The minimal client the plug-in is held against: a plain blocking socket that writes each
// burst of frames and waits for the cutter's readiness reply.
class ReplayClient
{
public:
    explicit ReplayClient(quint16 port);
    ~ReplayClient();
    ReplayClient(const ReplayClient&) = delete;
    ReplayClient& operator=(const ReplayClient&) = delete;

    // Nanoseconds for the whole replay; -1 when the cutter went silent.
    qint64 replay(const QList<QByteArray>& bursts);

    // The frames a cutter received, cut into bursts: each page with the status read that may
    // follow it, all that one readiness reply answers.
    static QList<QByteArray> burstsOf(const QList<QByteArray>& frames);
    static QList<QByteArray> framesIn(const QByteArray& stream);

private:
    bool writeAll(const QByteArray& bytes);
    bool awaitReady();

    int fd;
    QByteArray inbox;
};

#endif // REPLAYCLIENT_H
