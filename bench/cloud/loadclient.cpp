#include "loadclient.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The length of the first whole answer in bytes (head and body), 0 while it is incomplete.
int answerLength(const QByteArray& bytes)
{
    const int headEnd = bytes.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return 0;
    const QByteArray head = bytes.left(headEnd).toLower();
    const int at = head.indexOf("content-length:");
    const int body = at < 0 ? 0 : head.mid(at + 15).split('\r').first().trimmed().toInt();
    return bytes.size() >= headEnd + 4 + body ? headEnd + 4 + body : 0;
}

int statusOf(const QByteArray& answer)
{
    return answer.mid(9, 3).toInt();
}

// One device's connection and the record it waits to hear about.
struct Device
{
    int fd = -1;
    int id = 0;
    int next = 0; // records posted so far
    Clock::time_point sentAt;
    QByteArray in;
    bool waiting = false;
};

// Every record of a device has its own start time: one record a second from a fixed day on.
QByteArray workRecord(int device, int serial)
{
    static const QDateTime day = QDateTime(QDate(2026, 12, 1), QTime(0, 0), Qt::UTC);
    const QByteArray ended = day.addSecs(serial).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toLatin1();
    return "{\"end_time\":\"" + ended + "\",\"task_time\":42,\"softwareType\":3,\"task_copies\":2,"
           + "\"finish_copies\":2,\"device\":" + QByteArray::number(device)
           + ",\"page_area\":1200,\"page_size\":\"30x40\",\"path_length\":555,\"task_model\":0,\"work_model\":0}";
}

// Reads what the device's connection has: the status of its answer once whole, 0 while it is
// not, -1 when the connection closed (fd set to -1).
int readAnswer(Device& d)
{
    char buffer[65536];
    const ssize_t got = ::recv(d.fd, buffer, sizeof buffer, 0);
    if (got <= 0) {
        ::close(d.fd);
        d.fd = -1;
        return -1;
    }
    d.in.append(buffer, int(got));
    const int length = answerLength(d.in);
    if (length == 0)
        return 0;
    const int status = statusOf(d.in);
    d.in.remove(0, length);
    return status;
}

} // namespace

QByteArray LoadClient::request(const QByteArray& verb, const QByteArray& target, const QByteArray& body) const
{
    return verb + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token
           + "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
           + body;
}

// One request on a connection of its own, blocking; empty on failure.
QByteArray LoadClient::exchange(const QByteArray& bytes)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return {};
    QByteArray answer;
    if (::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size()) {
        timeval limit{30, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        char buffer[65536];
        while (answerLength(answer) == 0) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            answer.append(buffer, int(got));
        }
    }
    ::close(fd);
    return answerLength(answer) ? answer : QByteArray();
}

QVector<int> LoadClient::registerDevices(int count)
{
    QVector<int> ids;
    for (int i = 1; i <= count; ++i) {
        const QByteArray body = "{\"code\":\"BENCH" + QByteArray::number(i).rightJustified(4, '0') + "\"}";
        const QByteArray answer = exchange(request("POST", "/device_model", body));
        const int id = QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4))
                           .object()
                           .value(QStringLiteral("id"))
                           .toInt();
        if (statusOf(answer) != 200 || id <= 0)
            break;
        ids.append(id);
    }
    return ids;
}

qint64 LoadClient::storedRecords()
{
    const QByteArray answer = exchange(request("GET", "/device_work_records", {}));
    if (statusOf(answer) != 200)
        return -1;
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).array().size();
}

LoadResult LoadClient::postRecords(const QVector<int>& ids, int seconds)
{
    LoadResult result;
    std::vector<Device> devices(size_t(ids.size()));
    std::vector<pollfd> polled;
    const auto post = [&](Device& d) {
        const QByteArray bytes = request("POST", "/device_work_records", workRecord(d.id, d.next++));
        d.sentAt = Clock::now();
        d.waiting = ::send(d.fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
        if (!d.waiting)
            ++result.failed;
    };
    for (int i = 0; i < ids.size(); ++i) {
        devices[size_t(i)].id = ids.at(i);
        devices[size_t(i)].fd = connectTo(port);
        polled.push_back(pollfd{devices[size_t(i)].fd, POLLIN, 0});
    }
    const Clock::time_point start = Clock::now();
    const Clock::time_point stopPosting = start + std::chrono::seconds(seconds);
    const Clock::time_point giveUp = stopPosting + std::chrono::seconds(10);
    Clock::time_point last = start;
    for (Device& d : devices)
        post(d);
    for (int waiting = ids.size(); waiting > 0 && Clock::now() < giveUp;) {
        if (::poll(polled.data(), polled.size(), 100) <= 0)
            continue;
        for (size_t i = 0; i < devices.size(); ++i) {
            Device& d = devices[i];
            if (!(polled[i].revents & (POLLIN | POLLHUP | POLLERR)) || !d.waiting)
                continue;
            const int status = readAnswer(d);
            if (status == 0)
                continue;
            last = Clock::now();
            d.waiting = false;
            if (status >= 200 && status < 300) {
                ++result.acknowledged;
                result.latenciesMs.append(std::chrono::duration<double, std::milli>(last - d.sentAt).count());
            } else {
                ++result.failed;
            }
            if (last < stopPosting && d.fd >= 0) // -1: the connection is gone
                post(d);
            if (!d.waiting) {
                --waiting;
                polled[i].fd = -1;
            }
        }
    }
    for (Device& d : devices) {
        result.failed += d.waiting ? 1 : 0;
        if (d.fd >= 0)
            ::close(d.fd);
    }
    result.seconds = std::chrono::duration<double>(last - start).count();
    return result;
}
