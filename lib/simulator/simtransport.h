#ifndef SIMTRANSPORT_H
#define SIMTRANSPORT_H

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

namespace ktsim {

// One way in to the cutter: carries bytes to and from one host at a time.
class Transport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void write(const QByteArray& bytes) = 0;
    // Breaks the connection as a pulled cable would.
    virtual void drop() = 0;
    virtual QString describe() const = 0;

signals:
    void received(const QByteArray& bytes);
    void clientConnected();
    void clientGone();
    void listening(const QString& line);
    // A host was turned away; the line says who and why.
    void refused(const QString& line);
};

// TCP: one host at a time; a second one is closed as it comes in.
class TcpTransport : public Transport
{
    Q_OBJECT
public:
    explicit TcpTransport(QObject* parent = nullptr);
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;
    void write(const QByteArray& bytes) override;
    void drop() override;
    QString describe() const override;

private:
    void onNewConnection();
    bool clientStays();

    QTcpServer* server;
    QPointer<QTcpSocket> client;
};

// A pseudo-terminal whose slave side a host opens as the cutter's USB device node.
class PtyTransport : public Transport
{
    Q_OBJECT
public:
    explicit PtyTransport(QObject* parent = nullptr);
    ~PtyTransport() override;
    bool open(QString* error);
    QString slavePath() const { return path; }
    void write(const QByteArray& bytes) override;
    // Closes the master (the host sees a hang-up) and offers a new node.
    void drop() override;
    QString describe() const override;

private:
    void close();
    void onReadable();
    void onWritable();
    void hangUp();
    void flushOutbox();

    int master = -1;
    QString path;
    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
    QTimer hangupPoll; // with no host on the slave the master reports EIO: look again later
    QByteArray outbox;
    bool hostPresent = false;
};

} // namespace ktsim

#endif // SIMTRANSPORT_H
