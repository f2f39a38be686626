#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"
#include "ktlogging_p.h"
#include "ktsurvives_p.h"
#include "localclock_p.h"
#include "usblink.h"

#include <QDateTime>
#include <QDebug>
#include <QLocale>
#include <QMutexLocker>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTcpSocket>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

constexpr int TcpReadBufferBytes = 10240;
// The system notices a peer that vanished without a word (switched off, carried out of the
// network) only after two hours of silence. Probing after 5 idle seconds, every 2 seconds,
// giving up after 3 unanswered probes ends such a link within about 11 seconds.
constexpr int KeepAliveIdleSecs = 5;
constexpr int KeepAliveIntervalSecs = 2;
constexpr int KeepAliveProbes = 3;

void tuneKeepAlive(QTcpSocket& socket)
{
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, true);
#if defined(Q_OS_LINUX)
    const qintptr fd = socket.socketDescriptor();
    if (fd < 0)
        return;
    const struct
    {
        int option;
        int value;
    } options[] = {
        {TCP_KEEPIDLE, KeepAliveIdleSecs}, {TCP_KEEPINTVL, KeepAliveIntervalSecs}, {TCP_KEEPCNT, KeepAliveProbes}};
    for (const auto& o : options) {
        if (::setsockopt(int(fd), IPPROTO_TCP, o.option, &o.value, sizeof o.value) != 0)
            qCDebug(ktLink) << "KTCommonInterface::tuneKeepAlive" << o.option << std::strerror(errno);
    }
#endif
}

} // namespace

// Counts the transport signals the device is handling. A transport inside its own signal goes
// on using itself after the device's slot returns, so a device deleted from there must leave
// the transport to the event loop (see retireTransport).
class TransportSignalScope
{
public:
    explicit TransportSignalScope(KTCommonInterface* device) : device(device) { ++device->transportSignalDepth; }
    ~TransportSignalScope()
    {
        if (device)
            --device->transportSignalDepth;
    }
    Q_DISABLE_COPY(TransportSignalScope)

private:
    const QPointer<KTCommonInterface> device;
};

KTCommonInterface::KTCommonInterface(QObject* parent) : KTDeviceInterface(parent)
{
    qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
    qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
    systemLanguage();
    connect(&deviceTimer, &QTimer::timeout, this, &KTCommonInterface::slot_device_timer);
}

KTCommonInterface::~KTCommonInterface()
{
    deviceTimer.stop();
    retireTransport(usbLink);
    retireTransport(tcpSocket);
    const QList<QByteArray> names = dynamicPropertyNames();
    for (const QByteArray& name : names) {
        delete kt_property_of(this, name.constData());
        setProperty(name.constData(), QVariant());
    }
    recvBuffer.clear();
}

// Closing reports a state change; a device being destroyed tells the host nothing. A transport
// whose signal is being handled (the host deleted the device from a slot reached from it) is
// deleted from the event loop once it has returned from its own code; any other at once.
template <typename Transport>
void KTCommonInterface::retireTransport(Transport*& transport)
{
    if (!transport)
        return;
    transport->disconnect(this);
    transport->close();
    if (transportSignalDepth > 0) {
        transport->setParent(nullptr);
        transport->deleteLater();
    } else {
        delete transport;
    }
    transport = nullptr;
}

bool KTCommonInterface::notifyHost(KTDeviceMessage kind, const QString& text)
{
    return kt_survives(this, [&] { emit message(kind, text); });
}

bool KTCommonInterface::setValueOf(KTDeviceProperty* property, const QVariant& value)
{
    return !property || kt_survives(this, [&] { property->setValue(value); });
}

void KTCommonInterface::systemLanguage()
{
    language = KTCommonInterfacePrivate::languageForLocale(QLocale::system().name());
}

// The source texts are Chinese, so Chinese (China) needs no translation file.
QString KTCommonInterfacePrivate::languageForLocale(const QString& localeName)
{
    if (localeName == QLatin1String("ja_JP"))
        return QStringLiteral("ja_JP");
    if (localeName == QLatin1String("zh_CN"))
        return QString();
    return QStringLiteral("en_US");
}

KTDeviceProperty* KTCommonInterface::property_ptr(const char* key)
{
    return kt_property_of(this, key);
}

void KTCommonInterface::setUSBPath(QString path)
{
    kt_store_bare_property(this, "USB", path, tr("USB 地址"));
}

void KTCommonInterface::setIPAddress(QString address)
{
    kt_store_bare_property(this, "TCP", address, tr("IP 地址"));
}

// True means an attempt was started; the outcome arrives through the transport slots.
bool KTCommonInterface::connectDevice()
{
    KTDeviceProperty* status = property_ptr("STATUS");
    if (status && static_cast<KTDeviceStatus>(status->value().toInt()) != DisConnected)
        return false;
    if (KTDeviceProperty* usb = property_ptr("USB")) {
        connect_usb(usb->value().toString());
        return true;
    }
    if (KTDeviceProperty* tcp = property_ptr("TCP")) {
        connect_tcp(tcp->value().toString());
        return true;
    }
    return false;
}

void KTCommonInterface::connect_usb(QString path)
{
    if (!usbLink) {
        usbLink = new UsbLink(nullptr);
        connect(usbLink, &UsbLink::writeData, this, &KTCommonInterface::slot_usb_write);
        connect(usbLink, &UsbLink::readData, this, &KTCommonInterface::slot_usb_read);
        connect(usbLink, &UsbLink::statusChanged, this, &KTCommonInterface::slot_usb_status);
    }
    // After a heartbeat timeout the status says disconnected while the node is still open;
    // closing it reports "USB DISCONNECTED.", from which the host may delete this device.
    if (usbLink->isOpen() && !kt_survives(this, [this] { usbLink->close(); }))
        return;
    usbLink->usbConnect(path, UsbLink::ReadWrite, false);
}

void KTCommonInterface::connect_tcp(QString host)
{
    if (!tcpSocket) {
        tcpSocket = new QTcpSocket(this);
        tcpSocket->setReadBufferSize(TcpReadBufferBytes);
        tcpSocket->setSocketOption(QAbstractSocket::KeepAliveOption, true);
        connect(tcpSocket, &QTcpSocket::readyRead, this, &KTCommonInterface::slot_tcp_socket_read);
        connect(tcpSocket, &QTcpSocket::stateChanged, this, &KTCommonInterface::slot_tcp_socket_state);
    }
    KTDeviceProperty* port = property_ptr("TCP_PORT");
    if (!port)
        return;
    const quint16 portNumber = quint16(port->value().toInt());
    const QString target = QStringLiteral("%1:%2").arg(host).arg(portNumber);
    const QAbstractSocket::SocketState state = tcpSocket->state();
    // An attempt already under way to the same address goes on: aborting it would only
    // report a disconnection that never was.
    if ((state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState) && target == tcpTarget)
        return;
    // After a heartbeat timeout the status says disconnected while the socket is still open;
    // aborting reports "TCP DISCONNECTED.", from which the host may delete this device.
    if (state != QAbstractSocket::UnconnectedState && !kt_survives(this, [this] { tcpSocket->abort(); }))
        return;
    tcpTarget = target;
    tcpSocket->connectToHost(host, portNumber, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

namespace {

// Qt's buffered write arms the socket's write notifier and flush() disarms it again: two
// wake-ups of the event loop for every page. While Qt holds nothing unsent, the bytes go to
// the kernel here; whatever it does not take, and any error, is left to Qt's own write
// behind them, which keeps the order and reports the failure as it always has. Qt's flush
// announced the bytes with bytesWritten at once; so does this, for whoever watches the socket.
qint64 sendDirect(QTcpSocket& socket, const QByteArray& bytes)
{
    if (socket.bytesToWrite() > 0 || socket.state() != QAbstractSocket::ConnectedState)
        return 0;
    const ssize_t sent =
        ::send(int(socket.socketDescriptor()), bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent <= 0)
        return 0;
    emit socket.bytesWritten(sent);
    return sent;
}

} // namespace

void KTCommonInterface::sendCMD(QByteArray bytes)
{
    if (!bytes.isEmpty())
        send_cmd(bytes);
}

void KTCommonInterface::send_cmd(QByteArray bytes)
{
    KTDeviceProperty* mode = property_ptr("CONNECT_MODE");
    KTDeviceProperty* status = property_ptr("STATUS");
    if (!mode || !status)
        return;
    const auto s = static_cast<KTDeviceStatus>(status->value().toInt());
    if (s != Idle && s != Working && s != Pause)
        return;
    QMutexLocker lock(&sendMutex);
    // A host can set the mode and status itself: a transport that is not there drops the bytes.
    if (mode->value().toString() == QLatin1String("TCP")) {
        if (tcpSocket && tcpSocket->isOpen()) {
            const qint64 sent = sendDirect(*tcpSocket, bytes);
            if (sent < bytes.size()) {
                tcpSocket->write(bytes.constData() + sent, bytes.size() - sent);
                flushTcp();
            }
        }
    } else if (usbLink) {
        usbLink->send(QString::fromUtf8(bytes));
    }
}

// Qt would hand the bytes to the kernel only at the next turn of the event loop; the cutter
// waits for them. A write that fails here makes Qt drop the connection from inside flush():
// the device hears of it from the event loop, as it would without the flush, so no host slot
// (which may delete the device) runs under send_cmd's caller.
void KTCommonInterface::flushTcp()
{
    const QScopedValueRollback<bool> inFlush(flushingTcp, true);
    tcpSocket->flush();
}

void KTCommonInterface::slot_usb_write(QByteArray) {}

void KTCommonInterface::slot_usb_read(QByteArray data)
{
    const TransportSignalScope scope(this);
    appendReceived(data);
}

void KTCommonInterface::slot_tcp_socket_read()
{
    const TransportSignalScope scope(this);
    // readAll would grow its array in 16 KiB steps and shrink it again: read the exact size.
    if (tcpSocket)
        appendReceived(tcpSocket->read(tcpSocket->bytesAvailable()));
}

void KTCommonInterface::appendReceived(const QByteArray& data)
{
    if (!setValueOf(property_ptr("LAST_TIME"), kt_local_now()))
        return;
    recvBuffer.append(data);
    decode_buffer();
}

void KTCommonInterface::slot_usb_status(int s)
{
    const TransportSignalScope scope(this);
    qCDebug(ktLink) << "KTCommonInterface::slot_usb_status" << s;
    switch (s) {
    case UsbLink::Connected: return onTransportEvent("USB", Working, "USB CONNECTED.", true);
    case UsbLink::Failed: return onTransportEvent("USB", Warning, "USB ERROR.", false);
    case UsbLink::Disconnected: return onTransportEvent("USB", DisConnected, "USB DISCONNECTED.", false);
    default: return onTransportEvent("USB", -1, nullptr, false);
    }
}

void KTCommonInterface::slot_tcp_socket_state(QAbstractSocket::SocketState s)
{
    if (flushingTcp) {
        QMetaObject::invokeMethod(
            this, [this, s] { slot_tcp_socket_state(s); }, Qt::QueuedConnection);
        return;
    }
    const TransportSignalScope scope(this);
    switch (s) {
    case QAbstractSocket::ConnectedState:
        // An option set before the socket exists is not kept: keep-alive is applied here.
        // Nagle off: a status read right after a page must not wait for the page's ACK.
        if (tcpSocket) {
            tuneKeepAlive(*tcpSocket);
            tcpSocket->setSocketOption(QAbstractSocket::LowDelayOption, true);
        }
        return onTransportEvent("TCP", Working, "TCP CONNECTED.", true);
    case QAbstractSocket::UnconnectedState: return onTransportEvent("TCP", DisConnected, "TCP DISCONNECTED.", false);
    default: return onTransportEvent("TCP", -1, nullptr, false);
    }
}

// A negative status only records which transport spoke last.
void KTCommonInterface::onTransportEvent(const char* mode, int status, const char* text, bool restartTimer)
{
    if (!setValueOf(property_ptr("CONNECT_MODE"), QString::fromLatin1(mode)))
        return;
    KTDeviceProperty* statusProperty = property_ptr("STATUS");
    if (!statusProperty || status < 0)
        return;
    // A fresh connection counts as hearing from the cutter: the heartbeat measures silence
    // from here, not from when the parameter set was built.
    if (restartTimer && !setValueOf(property_ptr("LAST_TIME"), kt_local_now()))
        return;
    if (!setValueOf(statusProperty, status) || !notifyHost(DevStatus, QString::fromLatin1(text)))
        return;
    if (restartTimer)
        heartbeat_switch(true);
    else
        stopHeartbeat();
}

void KTCommonInterface::stopHeartbeat()
{
    if (property_ptr("HEARTBEAT") && deviceTimer.isActive())
        deviceTimer.stop();
}
