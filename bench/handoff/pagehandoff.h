#ifndef PAGEHANDOFF_H
#define PAGEHANDOFF_H

#include <QObject>
#include <QVector>

class QTcpSocket;

// The device's own share of a page handoff: from the event loop waking on the socket with the
// cutter's readiness reply to the device's send() of the next page being entered. Ending at
// the entry, not at bytesWritten, leaves out the kernel copying the page, which any client
// pays. send() is caught in this executable (linked with its symbols exported), so every
// send the plug-in makes passes through here first.
class PageHandoff : public QObject
{
public:
    explicit PageHandoff(QObject* parent = nullptr) : QObject(parent) {}
    ~PageHandoff() override;
    // Watches socket's read notifier; false when it has none yet.
    bool attach(QTcpSocket* socket);
    // Before a job starts: a reply read earlier is not what its first page answers.
    void forgetRead();
    QVector<double> samplesUs() const;
    void clear();

    // A timeline of one job, for taking its time apart: every send() on the socket (entered
    // and returned), every wake on a reply, and the marks the bench sets.
    struct Event
    {
        qint64 ns;
        char kind; // 'S'/'s' a page's send() entered/returned, 'o' another send, 'R' a reply, or a mark
        qint64 bytes;
    };
    static void startTrace();
    static void mark(char kind);
    static QVector<Event> stopTrace();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

#endif // PAGEHANDOFF_H
