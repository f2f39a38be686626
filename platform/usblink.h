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
//
// Every outcome is reported through signals from the event loop, never from inside a call:
// usbConnect returns at once and statusChanged(1) or (2) follows; send queues the bytes and
// they go out as the device takes them. Deleting the object with I/O pending is safe.
class USBLINK_EXPORT UsbLink : public QObject
{
    Q_OBJECT
public:
    enum ConnectionMode {
        ReadOnly = 0,  // listen only
        WriteOnly = 1, // send only, replies are not read
        ReadWrite = 2, // commands out, replies in: what a cutter driver uses
    };
    Q_ENUM(ConnectionMode)

    enum Status {
        Disconnected = 0,
        Connected = 1,
        Failed = 2
    };

    explicit UsbLink(QObject* parent = nullptr);
    ~UsbLink() override;

    // Opens the node at path (closing the one open before); the outcome arrives through
    // statusChanged. exclusive asks a tty for exclusive use (TIOCEXCL).
    void usbConnect(QString path, ConnectionMode mode, bool exclusive);
    // Writes data (UTF-8) whole; what the device has not taken yet is queued, never dropped.
    // Ignored while the link is not open.
    void send(QString data);
    // Closes the node; statusChanged(0) follows at once if it was open.
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
    quint64 attempt = 0; // a queued open runs only if no later connect or close came
};

#endif // USBLINK_H
