#ifndef CLOUDTESTSUPPORT_H
#define CLOUDTESTSUPPORT_H

// Raw HTTP over loopback against the cloud service, and reading the program's output.

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

namespace cloudtest {

// How many whole answers (head and Content-Length body) the bytes hold.
inline int completeAnswers(const QByteArray& bytes)
{
    int count = 0;
    for (int at = 0;; ++count) {
        const int headEnd = bytes.indexOf("\r\n\r\n", at);
        if (headEnd < 0)
            return count;
        const int length = bytes.indexOf("Content-Length: ", at);
        const int bodyLength =
            length < 0 || length > headEnd ? 0 : bytes.mid(length + 16, 12).split('\r').first().toInt();
        if (bytes.size() < headEnd + 4 + bodyLength)
            return count;
        at = headEnd + 4 + bodyLength;
    }
}

// Sends raw bytes and collects what comes back until the expected answers are complete, or
// the service closes or goes quiet. The service runs on this thread, so the wait keeps the
// event loop going.
inline QByteArray exchange(quint16 port, const QByteArray& bytes, int answers = 1, int quietMs = 200)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(bytes);
    QByteArray answer;
    QDeadlineTimer deadline(5000);
    QElapsedTimer quiet;
    quiet.start();
    while (!deadline.hasExpired()) {
        QTest::qWait(10);
        const QByteArray more = socket.readAll();
        if (!more.isEmpty()) {
            answer += more;
            quiet.restart();
        }
        if (!answer.isEmpty()
            && (socket.state() == QAbstractSocket::UnconnectedState || quiet.elapsed() > quietMs
                || completeAnswers(answer) >= answers))
            break;
    }
    return answer;
}

inline QByteArray request(const QByteArray& verb, const QByteArray& target, const QByteArray& body = {},
                          const QByteArray& token = {})
{
    const QByteArray auth = token.isEmpty() ? QByteArray() : "Authorization: Bearer " + token + "\r\n";
    return verb + ' ' + target + " HTTP/1.1\r\nHost: x\r\n" + auth
           + "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

inline int statusOf(const QByteArray& answer)
{
    return answer.mid(9, 3).toInt();
}

inline QJsonDocument bodyOf(const QByteArray& answer)
{
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4));
}

inline const QByteArray Token = "s3cret";

inline QByteArray workRecord(int device, const QByteArray& endTime, int copies)
{
    return "{\"device\":" + QByteArray::number(device) + ",\"end_time\":\"" + endTime
           + "\",\"task_copies\":" + QByteArray::number(copies) + ",\"finish_copies\":" + QByteArray::number(copies)
           + ",\"page_area\":1200,\"page_size\":\"30x40\",\"path_length\":555}";
}

inline QByteArray firstLineStarting(QProcess& process, const QByteArray& prefix)
{
    for (QDeadlineTimer deadline(10000); !deadline.hasExpired();) {
        if (!process.canReadLine() && !process.waitForReadyRead(200))
            continue;
        const QByteArray line = process.readLine().trimmed();
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return {};
}

// VmRSS of a process, in KiB; -1 when it cannot be read.
inline qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace cloudtest

using namespace cloudtest;

#endif // CLOUDTESTSUPPORT_H
