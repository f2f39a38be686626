#include "benchsupport.h"

#include "ktdeviceproperty.h"
#include "ktrv8.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include <time.h>

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ktbench {

qint64 threadCpuNow()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double median(QVector<double> values)
{
    return percentile(std::move(values), 50);
}

double percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int rank = std::max(1, int(std::ceil(p / 100.0 * values.size())));
    return values.at(std::min(rank, values.size()) - 1);
}

qint64 mallocInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
}

qint64 residentBytes()
{
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0;
    long size = 0;
    long resident = 0;
    const int n = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    return n == 2 ? qint64(resident) * sysconf(_SC_PAGESIZE) : 0;
}

void silenceDebugOutput()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}

QString makeJob(int pages, int pageBytes, int tag)
{
    static const QString stroke = QStringLiteral("PD1200,800;PD1240,880;PU1320,840;");
    QString text;
    text.reserve(qsizetype(pages) * (pageBytes + 64));
    for (int page = 0; page < pages; ++page) {
        const int start = text.size();
        text += QStringLiteral("IN;PU%1,%2;").arg(tag).arg(page);
        while (text.size() - start + stroke.size() + 3 <= pageBytes)
            text += stroke;
        while (text.size() - start + 3 < pageBytes)
            text += QLatin1Char(';');
        text += QStringLiteral("PG;");
    }
    return text;
}

void printRow(const QString& measure, const QString& figure, const QString& value, const QString& target,
              const QString& verdict)
{
    std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(measure), qPrintable(figure), qPrintable(value),
                qPrintable(target), qPrintable(verdict));
    std::fflush(stdout);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

QString fmt(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

KTRV8* newDevice(KTRV8& factory)
{
    return static_cast<KTRV8*>(factory.initInstance());
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

bool connectDevice(KTRV8* device, quint16 port, int timeoutMs)
{
    device->setIPAddress(QStringLiteral("127.0.0.1"));
    device->property_ptr("TCP_PORT")->setValue(int(port));
    if (!device->connectDevice())
        return false;
    KTDeviceProperty* status = device->property_ptr("STATUS");
    return spinUntil([status] { return status->value().toInt() == KTDeviceInterface::Working; }, timeoutMs);
}

QTcpSocket* deviceSocket(KTRV8* device)
{
    return device->findChild<QTcpSocket*>();
}

void prepareOneCopy(KTRV8* device)
{
    device->property_ptr("TASK_COPIES")->setValue(1);
    device->property_ptr("TASK")->setValue(
        QJsonObject{{"Finished", 0}, {"TaskCopies", 1}, {"Status", 1}, {"Percent", 0}});
}

bool copyFinished(KTRV8* device)
{
    return device->property_ptr("TASK")->value().toJsonObject().value(QStringLiteral("Finished")).toInt() >= 1;
}

bool HandoffProbe::attach(QTcpSocket* socket)
{
    if (!socket)
        return false;
    bool found = false;
    // The socket engine's read notifier: it fires before Qt reads the bytes and before the
    // device's readyRead slot runs.
    for (QSocketNotifier* notifier : socket->findChildren<QSocketNotifier*>()) {
        if (notifier->type() == QSocketNotifier::Read) {
            notifier->installEventFilter(this);
            found = true;
        }
    }
    QObject::connect(socket, &QIODevice::bytesWritten, this, [this] { onWritten(); });
    return found;
}

bool HandoffProbe::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::SockAct)
        lastReadNs = nowNs();
    return QObject::eventFilter(watched, event);
}

void HandoffProbe::onWritten()
{
    if (lastReadNs == 0)
        return;
    samplesUs.append(double(nowNs() - lastReadNs) / 1000.0);
    lastReadNs = 0;
}

namespace {

bool exchange(int fd, char* buffer, int size, bool send)
{
    int done = 0;
    while (done < size) {
        const ssize_t n =
            send ? ::write(fd, buffer + done, size_t(size - done)) : ::read(fd, buffer + done, size_t(size - done));
        if (n <= 0)
            return false;
        done += int(n);
    }
    return true;
}

} // namespace

double loopbackRoundTripUs(int rounds, double* p99)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener);
        return -1;
    }
    constexpr int MessageBytes = 14; // the size of a readiness reply
    std::thread echo([listener, rounds] {
        const int peer = ::accept(listener, nullptr, nullptr);
        const int one = 1;
        ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char buffer[MessageBytes];
        for (int i = 0; i < rounds; ++i) {
            if (!exchange(peer, buffer, MessageBytes, false) || !exchange(peer, buffer, MessageBytes, true))
                break;
        }
        ::close(peer);
    });
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    QVector<double> samples;
    if (::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        char buffer[MessageBytes] = "\x02"
                                    "14;CCMD;4,0;";
        for (int i = 0; i < rounds; ++i) {
            const qint64 start = nowNs();
            if (!exchange(client, buffer, MessageBytes, true) || !exchange(client, buffer, MessageBytes, false))
                break;
            samples.append(double(nowNs() - start) / 1000.0);
        }
    }
    ::close(client);
    echo.join();
    ::close(listener);
    if (p99)
        *p99 = percentile(samples, 99);
    return median(samples);
}

} // namespace ktbench
