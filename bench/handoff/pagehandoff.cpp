#include "pagehandoff.h"

#include <QEvent>
#include <QMutex>
#include <QSocketNotifier>
#include <QTcpSocket>

#include <atomic>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <sys/socket.h>
#include <utility>

namespace {

qint64 monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// One probe at a time; the socket it watches is known by its descriptor.
std::atomic<int> watchedFd{-1};
std::atomic<qint64> readNs{0};
QMutex samplesMutex;
QVector<double> samples;
std::atomic<bool> tracing{false};
QVector<PageHandoff::Event> events; // under samplesMutex

void note(qint64 ns, char kind, qint64 bytes)
{
    if (!tracing.load())
        return;
    QMutexLocker lock(&samplesMutex);
    events.append({ns, kind, bytes});
}

// A page frame: STX, its length, then the page word.
bool isPage(const void* buffer, size_t size)
{
    const char* bytes = static_cast<const char*>(buffer);
    const size_t head = size < 24 ? size : 24;
    return head > 0 && bytes[0] == '\x02' && memmem(bytes, head, ";PPLT;", 6) != nullptr;
}

} // namespace

extern "C" __attribute__((visibility("default"))) ssize_t send(int fd, const void* buffer, size_t size, int flags)
{
    const qint64 entered = monotonicNs();
    using Send = ssize_t (*)(int, const void*, size_t, int);
    static const Send real = reinterpret_cast<Send>(dlsym(RTLD_NEXT, "send"));
    const bool page = fd == watchedFd.load() && isPage(buffer, size);
    if (page) {
        const qint64 read = readNs.exchange(0);
        if (read > 0) {
            QMutexLocker lock(&samplesMutex);
            samples.append(double(entered - read) / 1000.0);
        }
    }
    const ssize_t sent = real(fd, buffer, size, flags);
    if (fd == watchedFd.load()) {
        note(entered, page ? 'S' : 'o', qint64(size));
        note(monotonicNs(), page ? 's' : 'o', sent);
    }
    return sent;
}

PageHandoff::~PageHandoff()
{
    watchedFd = -1;
}

bool PageHandoff::attach(QTcpSocket* socket)
{
    if (!socket)
        return false;
    bool found = false;
    // The socket engine's read notifier fires before Qt reads the bytes and before the
    // device's readyRead slot runs.
    for (QSocketNotifier* notifier : socket->findChildren<QSocketNotifier*>()) {
        if (notifier->type() == QSocketNotifier::Read) {
            notifier->installEventFilter(this);
            found = true;
        }
    }
    watchedFd = int(socket->socketDescriptor());
    return found;
}

void PageHandoff::forgetRead()
{
    readNs = 0;
}

QVector<double> PageHandoff::samplesUs() const
{
    QMutexLocker lock(&samplesMutex);
    return samples;
}

void PageHandoff::clear()
{
    QMutexLocker lock(&samplesMutex);
    samples.clear();
    readNs = 0;
}

void PageHandoff::startTrace()
{
    QMutexLocker lock(&samplesMutex);
    events.clear();
    tracing = true;
}

void PageHandoff::mark(char kind)
{
    note(monotonicNs(), kind, 0);
}

QVector<PageHandoff::Event> PageHandoff::stopTrace()
{
    tracing = false;
    QMutexLocker lock(&samplesMutex);
    return std::exchange(events, {});
}

bool PageHandoff::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::SockAct) {
        readNs = monotonicNs();
        note(readNs, 'R', 0);
    }
    return QObject::eventFilter(watched, event);
}
