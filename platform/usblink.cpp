#include "usblink.h"
#include "usblink_backend_p.h"

#include <QPointer>

UsbLink::UsbLink(QObject* parent) : QObject(parent), backend(UsbLinkBackend::create(this, QString())) {}

// The backend goes first and silently: no signal reaches a receiver that is being torn down.
UsbLink::~UsbLink()
{
    delete backend;
    backend = nullptr;
}

void UsbLink::usbConnect(QString path, ConnectionMode mode, bool exclusive)
{
    close();
    const quint64 mine = ++attempt;
    // Queued, so the caller always learns the outcome from the event loop, as from a device.
    QMetaObject::invokeMethod(
        this,
        [this, path, mode, exclusive, mine] {
            if (mine != attempt)
                return;
            // The old backend is closed; it may still be on the stack of a nested event loop.
            if (backend->kind() != UsbLinkBackend::kindOf(path)) {
                backend->deleteLater();
                backend = UsbLinkBackend::create(this, path);
            }
            emit statusChanged(backend->open(path, mode, exclusive) ? Connected : Failed);
        },
        Qt::QueuedConnection);
}

void UsbLink::send(QString data)
{
    if (backend->isOpen())
        backend->write(data.toUtf8());
}

void UsbLink::close()
{
    ++attempt;
    if (!backend->isOpen())
        return;
    backend->close();
    emit statusChanged(Disconnected);
}

bool UsbLink::isOpen() const
{
    return backend->isOpen();
}

qint64 UsbLink::pendingBytes() const
{
    return backend->pendingBytes();
}

bool UsbLinkBackend::reportRead(const QByteArray& data)
{
    QPointer<UsbLink> alive(link);
    emit link->readData(data);
    return !alive.isNull();
}

bool UsbLinkBackend::reportWritten(const QByteArray& data)
{
    QPointer<UsbLink> alive(link);
    emit link->writeData(data);
    return !alive.isNull();
}

bool UsbLinkBackend::reportStatus(int status)
{
    QPointer<UsbLink> alive(link);
    emit link->statusChanged(status);
    return !alive.isNull();
}
