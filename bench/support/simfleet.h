#ifndef SIMFLEET_H
#define SIMFLEET_H

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QThread>
#include <QVector>

#include <memory>

namespace ktsim {
class SimCutter;
class SimLine;
class TcpTransport;
}

namespace ktbench {

// Simulated cutters (zero cut time by default), each on its own loopback port, on threads of
// their own, so the cutters' work does not run on the host's event loop.
class SimFleet
{
public:
    struct Options
    {
        int cutMs = 0;
        // Keep the bytes each cutter receives (to check or replay them later).
        bool tapBytes = false;
        // Threads the cutters are spread over (cutter i on thread i % threads). One thread per
        // cutter is closest to a shop of real cutters: no cutter's loop watches another's socket.
        int threads = 1;
    };

    SimFleet(int count, const Options& options);
    ~SimFleet();

    int size() const { return cutters.size(); }
    quint16 port(int index) const;
    // Bytes cutter `index` received since the last clearTaps().
    QByteArray tapped(int index) const;
    void clearTaps();
    int pagesCut(int index) const;
    // CPU time the cutters' threads have used so far, together.
    qint64 threadCpuNs() const;

private:
    struct Cutter
    {
        ktsim::SimCutter* model = nullptr;
        ktsim::SimLine* line = nullptr;
        ktsim::TcpTransport* transport = nullptr;
        quint16 port = 0;
        QByteArray tap;
        QObject* context = nullptr; // lives on the cutter's thread
    };

    template <typename F>
    static void onThread(QObject* context, F&& work);

    QVector<QThread*> threads;
    QVector<QObject*> contexts; // one per thread
    QVector<Cutter*> cutters;
    mutable QMutex tapMutex;
};

// The PPLT pages (their job text) among the frames of a byte stream, in order.
QList<QByteArray> pagesIn(const QByteArray& stream);
// The frames (STX..ETX) of a byte stream, in order.
QList<QByteArray> framesIn(const QByteArray& stream);

} // namespace ktbench

#endif // SIMFLEET_H
