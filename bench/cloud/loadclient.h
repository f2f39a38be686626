#ifndef LOADCLIENT_H
#define LOADCLIENT_H

#include <QByteArray>
#include <QVector>

struct LoadResult
{
    qint64 acknowledged = 0; // answered 2xx
    qint64 failed = 0;       // answered otherwise, or never within the time
    double seconds = 1;      // from the first post to the last answer
    QVector<double> latenciesMs;
};

// Devices posting work records to the fleet service over loopback: one keep-alive
// connection each, all driven from one thread by poll(), so the client costs the shared
// machine as little as it can.
class LoadClient
{
public:
    LoadClient(quint16 port, const QByteArray& token) : port(port), token(token) {}

    // Registers BENCH0001... and returns their ids (fewer on failure).
    QVector<int> registerDevices(int count);
    // Every device posts records one after the other for the given time; the answers still
    // owed then are waited for (at most 10 s more).
    LoadResult postRecords(const QVector<int>& devices, int seconds);
    // How many work records the service lists; -1 when it cannot say.
    qint64 storedRecords();

private:
    QByteArray request(const QByteArray& verb, const QByteArray& target, const QByteArray& body) const;
    QByteArray exchange(const QByteArray& bytes);

    quint16 port;
    QByteArray token;
};

#endif // LOADCLIENT_H
