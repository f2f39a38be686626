#ifndef USBLINK_H
#define USBLINK_H

#include <QByteArray>
#include <QObject>
#include <QString>

#if defined(USBLINK_LIBRARY)
#define USBLINK_EXPORT Q_DECL_EXPORT
#else
#define USBLINK_EXPORT Q_DECL_IMPORT
#endif

class UsbLinkBackend;

// The USB transport: drives a cutter through its character device node (CDC-ACM serial,
// USB printer class or any tty). Platform code lives behind UsbLinkBackend.
class USBLINK_EXPORT UsbLink : public QObject
{
    Q_OBJECT
public:
    enum ConnectionMode {
        ReadOnly = 0,   // listen only
        WriteOnly = 1,  // send only, replies are not read
        ReadWrite = 2,  // commands out, replies in: what a cutter driver uses
    };
    Q_ENUM(ConnectionMode)

    enum Status { Disconnected = 0, Connected = 1, Failed = 2 };

    explicit UsbLink(QObject* parent = nullptr);
    ~UsbLink() override;

    // Opens the node at path; the outcome arrives through statusChanged.
    void usbConnect(QString path, ConnectionMode mode, bool flag);
    // Writes data whole; what the device has not taken yet is queued, never dropped.
    void send(QString data);
    void close();
    bool isOpen() const;
    qint64 pendingBytes() const;

signals:
    void readData(QByteArray data);
    void statusChanged(int status);
    void writeData(QByteArray data);

private:
    friend class UsbLinkBackend;
    UsbLinkBackend* backend = nullptr;
};

#endif // USBLINK_H
