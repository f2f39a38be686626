#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <chrono>
#include <functional>

class KTRV8;
class QTcpSocket;

namespace ktbench {

inline qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// CPU time the calling thread has used so far.
qint64 threadCpuNow();

double median(QVector<double> values);
// Nearest-rank percentile, p in 0..100.
double percentile(QVector<double> values, double p);

// Bytes handed out by malloc and not yet freed (every arena, mmapped blocks included).
qint64 mallocInUse();
// Resident set size of this process.
qint64 residentBytes();

// Debug lines of the driver would dominate a timing; warnings still show.
void silenceDebugOutput();

// One job of `pages` pages, each about pageBytes characters of HP-GL and closed by "PG;".
// The first command of every page carries tag and page number, so every page is unique.
QString makeJob(int pages, int pageBytes, int tag = 0);

// The result table every benchmark prints; bench/run gathers the rows of all of them.
// A verdict of "info" marks a figure reported without a target.
void printRow(const QString& measure, const QString& figure, const QString& value, const QString& target,
              const QString& verdict);
QString verdict(bool met);
QString fmt(double value, int decimals = 2);

// Devices and their link to a simulated cutter.
KTRV8* newDevice(KTRV8& factory);
// Connects over TCP to 127.0.0.1:port and waits for the device to report it (false on timeout).
bool connectDevice(KTRV8* device, quint16 port, int timeoutMs = 5000);
QTcpSocket* deviceSocket(KTRV8* device);
// One copy ordered, none finished: the record a host keeps before a job.
void prepareOneCopy(KTRV8* device);
bool copyFinished(KTRV8* device);
// Runs the event loop until done() holds (looked at every millisecond) or the deadline
// passes; false on timeout.
bool spinUntil(const std::function<bool()>& done, int timeoutMs);

// Measures, on the device's own thread, the time from the moment the socket's read
// notifier fires (bytes of a reply are waiting in the kernel for the device's socket) to
// the moment the socket hands the first bytes of the next write to the kernel (its
// bytesWritten). A write with no read before it since the last write is not a handoff.
class HandoffProbe : public QObject
{
public:
    explicit HandoffProbe(QObject* parent = nullptr) : QObject(parent) {}
    bool attach(QTcpSocket* socket);
    void clear()
    {
        samplesUs.clear();
        lastReadNs = 0;
    }
    // Before a job starts: a reply read earlier is not what its first write answers.
    void forgetRead() { lastReadNs = 0; }
    const QVector<double>& samples() const { return samplesUs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onWritten();

    qint64 lastReadNs = 0;
    QVector<double> samplesUs;
};

// Round-trip time of a minimal ping-pong (14-byte messages, blocking sockets, a thread on
// each end) over loopback TCP, in microseconds: the median of `rounds`.
double loopbackRoundTripUs(int rounds, double* p99 = nullptr);

} // namespace ktbench

#endif // BENCHSUPPORT_H
