#include "cutterconnection.h"

#include "driverstatus.h"
#include "usbnodes.h"

#include "ktdeviceproperty.h"

#include <QTcpSocket>

namespace {

// A cutter that closes a new link before it answers anything is serving another program.
const char* const ServesOne =
    QT_TRANSLATE_NOOP("CutterConnection", "the cutter serves one program at a time; is another one connected to it?");

} // namespace

CutterConnection::CutterConnection(QObject* parent) : QObject(parent) {}

CutterConnection::~CutterConnection()
{
    replies.reset();
    dev.reset(); // before the plug-in goes
}

bool CutterConnection::load(const QString& pluginPath, QString* error)
{
    replies.reset();
    dev = plugin.load(pluginPath, error);
    if (!dev)
        return false;
    replies = std::make_unique<CutterReplies>(
        *dev, [this] { return connected; },
        [this] {
            answered = true;
            emit replyArriving();
        });
    connect(dev.get(), &KTDeviceInterface::message, this, &CutterConnection::onMessage);
    return true;
}

KTDeviceProperty* CutterConnection::property(const QString& key) const
{
    return dev ? dev->property_ptr(key.toLatin1().constData()) : nullptr;
}

void CutterConnection::onMessage(KTDeviceInterface::KTDeviceMessage kind, const QString& text)
{
    switch (kind) {
    case KTDeviceInterface::DevStatus: onStatus(text); break;
    case KTDeviceInterface::DevTasK: emit taskText(text); break;
    case KTDeviceInterface::Qrcode: emit qrCode(text); break;
    }
}

void CutterConnection::onStatus(const QString& text)
{
    const DriverStatus status = DriverStatus::of(text);
    if (!status.cloud) {
        lastStatus = text;
        if (status.connected) {
            connected = true;
            answered = false;
        } else if (status.problem) {
            const bool wasConnected = connected;
            connected = false;
            if (wasConnected)
                emit linkLost(text);
        }
    }
    emit statusText(text);
}

int CutterConnection::connectTo(const Address& address, int timeoutMs, QString* error)
{
    if (address.usb) {
        const int preflight = usbPreflight(address.path, error);
        if (preflight != ExitOk)
            return preflight;
        dev->setUSBPath(address.path);
    } else {
        dev->setIPAddress(address.host);
        if (KTDeviceProperty* port = property(QStringLiteral("TCP_PORT")))
            port->setValue(int(address.port));
    }
    if (!dev->connectDevice()) {
        *error = tr("the driver refused to connect to %1").arg(address.describe());
        return ExitNoConnection;
    }
    const bool settled = waitUntil([this] { return connected || !lastStatus.isEmpty(); }, timeoutMs);
    if (connected)
        return ExitOk;
    if (!address.usb)
        return tcpFailure(dev.get(), address, error);
    *error = settled ? tr("cannot open %1 (%2)").arg(address.path, DriverStatus::said(lastStatus))
                     : tr("%1 did not open within %2 s").arg(address.path).arg(timeoutMs / 1000);
    return ExitNoConnection;
}

int CutterConnection::tcpFailure(KTDeviceInterface* device, const Address& address, QString* error)
{
    QTcpSocket* socket = device->findChild<QTcpSocket*>();
    const auto code = socket ? socket->error() : QAbstractSocket::UnknownSocketError;
    switch (code) {
    case QAbstractSocket::ConnectionRefusedError:
        *error = tr("connection refused by %1: is the cutter switched on, on the network, and is the port right?")
                     .arg(address.describe());
        break;
    case QAbstractSocket::RemoteHostClosedError:
        *error = tr("%1 closed the connection at once: %2").arg(address.describe(), tr(ServesOne));
        break;
    case QAbstractSocket::HostNotFoundError:
        *error = tr("host %1 not found: check the address").arg(address.host);
        break;
    default:
        *error = socket && socket->state() != QAbstractSocket::UnconnectedState
                     ? tr("no answer from %1: is the cutter on the network?").arg(address.describe())
                     : tr("cannot connect to %1: %2")
                           .arg(address.describe(), socket ? socket->errorString() : QStringLiteral("no socket"));
        break;
    }
    if (socket)
        socket->abort();
    return ExitNoConnection;
}

QString CutterConnection::lostHint() const
{
    return answered ? QString() : tr(" (closed by the cutter before it answered: %1)").arg(tr(ServesOne));
}

void CutterConnection::send(const QByteArray& frame)
{
    if (!frame.isEmpty())
        dev->sendCMD(frame);
}

bool CutterConnection::readBack(const QStringList& keys, int timeoutMs, QStringList* unanswered)
{
    return replies && replies->readBack(keys, timeoutMs, unanswered);
}

bool CutterConnection::barrier(int timeoutMs)
{
    return replies && replies->barrier(timeoutMs);
}

void CutterConnection::cancelWait()
{
    if (replies)
        replies->cancelWait();
}

QStringList CutterConnection::filledKeys(const QString& key) const
{
    return replies ? replies->filledKeys(key) : QStringList{key};
}
