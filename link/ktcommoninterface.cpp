#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "localclock.h"
#include "usblink.h"

#include <QDateTime>
#include <QDebug>
#include <QLocale>
#include <QMutexLocker>
#include <QPointer>
#include <QTcpSocket>

#include <climits>

namespace {

constexpr int TcpReadBufferBytes = 10240;
// A reply may set any heartbeat period (0 or less too): keep at least a second, and stay
// within the timer's range.
constexpr qlonglong MinHeartbeatSeconds = 1;
constexpr qlonglong MaxHeartbeatSeconds = INT_MAX / 1000;
// Marks a socket whose state change is being handled: Qt goes on using the socket after the
// signal returns, so a device deleted from that handler must not delete it at once.
const char* const InStateChange = "_kt_in_state_change";

} // namespace

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
    delete usbLink;
    usbLink = nullptr;
    if (tcpSocket) {
        // Closing reports UnconnectedState; a device being destroyed tells the host nothing.
        tcpSocket->disconnect(this);
        tcpSocket->close();
        if (tcpSocket->property(InStateChange).toBool()) {
            tcpSocket->setParent(nullptr);
            tcpSocket->deleteLater();
        } else {
            delete tcpSocket;
        }
        tcpSocket = nullptr;
    }
    const QList<QByteArray> names = dynamicPropertyNames();
    for (const QByteArray& name : names) {
        delete kt_property_of(this, name.constData());
        setProperty(name.constData(), QVariant());
    }
    recvBuffer.clear();
}

void KTCommonInterface::systemLanguage()
{
    language = languageForLocale(QLocale::system().name());
}

// The source texts are Chinese, so Chinese (China) needs no translation file.
QString KTCommonInterface::languageForLocale(const QString& localeName)
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
    auto* record = new KTDeviceProperty(nullptr);
    record->init(path, tr("USB 地址"), QString(), 0, 0, 0, UnCMD, QStringList());
    storeProperty("USB", record);
}

void KTCommonInterface::setIPAddress(QString address)
{
    auto* record = new KTDeviceProperty(nullptr);
    record->init(address, tr("IP 地址"), QString(), 0, 0, 0, UnCMD, QStringList());
    storeProperty("TCP", record);
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
    // After a heartbeat timeout the status says disconnected while the node is still open.
    if (usbLink->isOpen())
        usbLink->close();
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
    // After a heartbeat timeout the status says disconnected while the socket is still open.
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
        tcpSocket->abort();
    tcpSocket->connectToHost(host, quint16(port->value().toInt()), QIODevice::ReadWrite,
                             QAbstractSocket::AnyIPProtocol);
}

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
            tcpSocket->write(bytes);
            // Qt would hand the bytes to the kernel only at the next turn of the event loop;
            // the cutter waits for them.
            tcpSocket->flush();
        }
    } else if (usbLink) {
        usbLink->send(QString::fromUtf8(bytes));
    }
}

void KTCommonInterface::slot_usb_write(QByteArray) {}

void KTCommonInterface::slot_usb_read(QByteArray data)
{
    appendReceived(data);
}

void KTCommonInterface::slot_tcp_socket_read()
{
    // readAll would grow its array in 16 KiB steps and shrink it again: read the exact size.
    if (tcpSocket)
        appendReceived(tcpSocket->read(tcpSocket->bytesAvailable()));
}

void KTCommonInterface::appendReceived(const QByteArray& data)
{
    if (KTDeviceProperty* last = property_ptr("LAST_TIME"))
        last->setValue(kt_local_now());
    recvBuffer.append(data);
    decode_buffer();
}

void KTCommonInterface::slot_usb_status(int s)
{
    qDebug() << "KTCommonInterface::slot_usb_status" << s;
    switch (s) {
    case UsbLink::Connected:
        onTransportEvent("USB", Working, "USB CONNECTED.", true);
        break;
    case UsbLink::Failed:
        onTransportEvent("USB", Warning, "USB ERROR.", false);
        break;
    case UsbLink::Disconnected:
        onTransportEvent("USB", DisConnected, "USB DISCONNECTED.", false);
        break;
    default:
        onTransportEvent("USB", -1, nullptr, false);
        break;
    }
}

void KTCommonInterface::slot_tcp_socket_state(QAbstractSocket::SocketState s)
{
    // The host may delete this device from its message slot below.
    const QPointer<QTcpSocket> socket(tcpSocket);
    if (socket)
        socket->setProperty(InStateChange, true);
    switch (s) {
    case QAbstractSocket::ConnectedState:
        // An option set before the socket exists is not kept: keep-alive is applied here.
        // Nagle off: a status read right after a page must not wait for the page's ACK.
        if (tcpSocket) {
            tcpSocket->setSocketOption(QAbstractSocket::KeepAliveOption, true);
            tcpSocket->setSocketOption(QAbstractSocket::LowDelayOption, true);
        }
        onTransportEvent("TCP", Working, "TCP CONNECTED.", true);
        break;
    case QAbstractSocket::UnconnectedState:
        onTransportEvent("TCP", DisConnected, "TCP DISCONNECTED.", false);
        break;
    default:
        onTransportEvent("TCP", -1, nullptr, false);
        break;
    }
    if (socket)
        socket->setProperty(InStateChange, QVariant());
}

// A negative status only records which transport spoke last.
void KTCommonInterface::onTransportEvent(const char* mode, int status, const char* text,
                                         bool restartTimer)
{
    // The host may delete this device from any slot reached below: a valueChanged of one of
    // the properties as well as the message itself.
    const QPointer<KTCommonInterface> alive(this);
    const auto set = [&alive](KTDeviceProperty* property, const QVariant& value) {
        if (property)
            property->setValue(value);
        return !alive.isNull();
    };
    if (!set(property_ptr("CONNECT_MODE"), QString::fromLatin1(mode)))
        return;
    KTDeviceProperty* statusProperty = property_ptr("STATUS");
    if (!statusProperty || status < 0)
        return;
    // A fresh connection counts as hearing from the cutter: the heartbeat measures silence
    // from here, not from when the parameter set was built.
    if (restartTimer && !set(property_ptr("LAST_TIME"), kt_local_now()))
        return;
    if (!set(statusProperty, status))
        return;
    emit message(DevStatus, QString::fromLatin1(text));
    if (!alive)
        return;
    if (restartTimer)
        restartHeartbeat();
    else
        stopHeartbeat();
}

void KTCommonInterface::restartHeartbeat()
{
    KTDeviceProperty* heartbeat = property_ptr("HEARTBEAT");
    if (!heartbeat)
        return;
    deviceTimer.stop();
    const qlonglong seconds = qBound(MinHeartbeatSeconds, heartbeat->value().toLongLong(), MaxHeartbeatSeconds);
    deviceTimer.start(int(seconds * 1000));
}

void KTCommonInterface::stopHeartbeat()
{
    if (property_ptr("HEARTBEAT") && deviceTimer.isActive())
        deviceTimer.stop();
}
