#include "devicelink.h"
#include "usblink.h"

#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cmath>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A value no cutter reports, of the type the reply decoding expects.
QVariant pendingMarker(const QVariant& current)
{
    switch (current.userType()) {
    case QMetaType::UInt: return QVariant(uint(UINT_MAX));
    case QMetaType::Int: return QVariant(int(INT_MIN));
    case QMetaType::Double: return QVariant(std::nan(""));
    case QMetaType::QString: return QVariant(QStringLiteral("\x01pending"));
    default: return QVariant();
    }
}

bool isPendingMarker(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::UInt: return value.toUInt() == UINT_MAX;
    case QMetaType::Int: return value.toInt() == INT_MIN;
    case QMetaType::Double: return std::isnan(value.toDouble());
    case QMetaType::QString: return value.toString() == QLatin1String("\x01pending");
    default: return false;
    }
}

#ifndef KTRV8_PLUGIN_FROM_BIN
#define KTRV8_PLUGIN_FROM_BIN "../lib/kt-rv8"
#endif

// KTRV8_PLUGIN names another plug-in; the build tree keeps it beside the tools, an installed
// prefix in its own library folder.
QString defaultPluginPath()
{
    const QString chosen = qEnvironmentVariable("KTRV8_PLUGIN");
    if (!chosen.isEmpty())
        return chosen;
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString beside = bin.filePath(QStringLiteral("libKT-RV8.so"));
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(bin.filePath(QStringLiteral(KTRV8_PLUGIN_FROM_BIN "/libKT-RV8.so")));
}

} // namespace

DeviceLink::DeviceLink(QObject* parent) : QObject(parent) {}

DeviceLink::~DeviceLink()
{
    if (tapped && usbTap)
        UsbLink::setReadObserver({});
    dev.reset(); // before the loader goes
}

bool DeviceLink::load(const QString& pluginPath, QString* error)
{
    const QString path = pluginPath.isEmpty() ? defaultPluginPath() : pluginPath;
    loader.setFileName(path);
    QObject* instance = loader.instance();
    if (!instance) {
        *error = QStringLiteral("cannot load the plug-in %1: %2").arg(path, loader.errorString());
        return false;
    }
    auto* factory = qobject_cast<KTDeviceInterface*>(instance);
    if (!factory) {
        *error = QStringLiteral("%1 is not a cutter driver (no %2 interface)")
                     .arg(path, QStringLiteral(KTDeviceInterface_iid));
        return false;
    }
    dev.reset(factory->initInstance());
    if (!dev) {
        *error = QStringLiteral("the plug-in %1 gave no device object").arg(path);
        return false;
    }
    connect(dev.get(), &KTDeviceInterface::message, this, &DeviceLink::onMessage);
    return true;
}

KTDeviceProperty* DeviceLink::property(const QString& key) const
{
    return dev ? dev->property_ptr(key.toLatin1().constData()) : nullptr;
}

void DeviceLink::onMessage(KTDeviceInterface::KTDeviceMessage kind, const QString& text)
{
    switch (kind) {
    case KTDeviceInterface::DevStatus:
        // The cloud channel reports through the same signal; it says nothing of the cutter.
        if (text.startsWith(QLatin1String("WEB SOCKET"))) {
            emit statusText(text);
            break;
        }
        lastStatus = text;
        if (text.endsWith(QLatin1String(" CONNECTED."))) {
            connected = true;
            everConnected = true;
        } else if (text.contains(QLatin1String("DISCONNECTED")) || text.contains(QLatin1String("ERROR"))
                   || text.contains(QLatin1String("TIMEOUT"))) {
            const bool wasConnected = connected;
            connected = false;
            if (wasConnected)
                emit linkLost(text);
        }
        emit statusText(text);
        break;
    case KTDeviceInterface::DevTasK: emit taskText(text); break;
    case KTDeviceInterface::Qrcode: emit qrCode(text); break;
    }
}

bool DeviceLink::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(qBound<qint64>(1, deadline.remainingTime(), 20), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

int DeviceLink::connectTo(const Address& address, int timeoutMs, QString* error)
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
        *error = QStringLiteral("the driver refused to connect to %1").arg(address.describe());
        return ExitNoConnection;
    }
    if (address.usb)
        tapUsb();
    else
        tapTcp();
    const bool settled = waitUntil([this] { return connected || !lastStatus.isEmpty(); }, timeoutMs);
    if (connected)
        return ExitOk;
    if (!address.usb)
        return tcpFailure(dev.get(), address, error);
    *error = settled ? QStringLiteral("cannot open %1 (%2)").arg(address.path, lastStatus)
                     : QStringLiteral("%1 did not open within %2 s").arg(address.path).arg(timeoutMs / 1000);
    return ExitNoConnection;
}

int DeviceLink::tcpFailure(KTDeviceInterface* device, const Address& address, QString* error)
{
    QTcpSocket* socket = device->findChild<QTcpSocket*>();
    const auto code = socket ? socket->error() : QAbstractSocket::UnknownSocketError;
    switch (code) {
    case QAbstractSocket::ConnectionRefusedError:
        *error = QStringLiteral(
                     "connection refused by %1: is the cutter switched on, on the network, and is the port right?")
                     .arg(address.describe());
        break;
    case QAbstractSocket::HostNotFoundError:
        *error = QStringLiteral("host %1 not found: check the address").arg(address.host);
        break;
    default:
        *error = socket && socket->state() != QAbstractSocket::UnconnectedState
                     ? QStringLiteral("no answer from %1: is the cutter on the network?").arg(address.describe())
                     : QStringLiteral("cannot connect to %1: %2")
                           .arg(address.describe(), socket ? socket->errorString() : QStringLiteral("no socket"));
        break;
    }
    if (socket)
        socket->abort();
    return ExitNoConnection;
}

// The driver reports a failed open only as "USB ERROR.", so the usual causes are looked
// for first and explained.
int DeviceLink::usbPreflight(const QString& path, QString* error)
{
    QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("device path %1 does not exist: is the cutter plugged in and switched on? "
                                "(ls /dev/ttyACM* /dev/usb/lp* shows the candidates)")
                     .arg(path);
        return ExitNoConnection;
    }
    if (::access(path.toLocal8Bit().constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
        struct stat st = {};
        QString owner = QStringLiteral("the device's group");
        if (::stat(path.toLocal8Bit().constData(), &st) == 0) {
            if (const struct group* g = ::getgrgid(st.st_gid))
                owner = QString::fromLocal8Bit(g->gr_name);
        }
        *error = QStringLiteral("permission denied on %1. Join the group that owns it: sudo usermod -aG %2 $USER "
                                "(then log out and in), or %3")
                     .arg(path, owner, QString::fromLatin1(udevRuleHint()));
        return ExitNoConnection;
    }
    return ExitOk;
}

// The driver drops replies it cannot store (a refusal, a value of 0 for a setting with
// parameters), so the host reads the frames beside it: its own reader runs first and only
// peeks, then the driver's reads as before.
void DeviceLink::tapTcp()
{
    QTcpSocket* socket = dev->findChild<QTcpSocket*>();
    auto* common = qobject_cast<KTCommonInterface*>(dev.get());
    if (!socket || !common || tapped)
        return;
    if (!disconnect(socket, &QTcpSocket::readyRead, common, &KTCommonInterface::slot_tcp_socket_read))
        return;
    connect(socket, &QTcpSocket::readyRead, this,
            [this, socket] { readTapped(socket->peek(socket->bytesAvailable())); });
    connect(socket, &QTcpSocket::readyRead, common, &KTCommonInterface::slot_tcp_socket_read);
    tapped = true;
}

// The USB link is the driver's own; the platform library shows the host what it receives.
void DeviceLink::tapUsb()
{
    if (tapped)
        return;
    UsbLink::setReadObserver([this](const UsbLink*, const QByteArray& bytes) { readTapped(bytes); });
    tapped = usbTap = true;
}

void DeviceLink::readTapped(const QByteArray& bytes)
{
    tapBuffer += bytes;
    for (;;) {
        const int start = tapBuffer.indexOf('\x02');
        const int end = start < 0 ? -1 : tapBuffer.indexOf('\x03', start);
        if (end < 0) {
            if (start < 0)
                tapBuffer.clear();
            else
                tapBuffer.remove(0, start);
            return;
        }
        // LENGTH;CCMD;code,result,values...;
        const QList<QByteArray> parts = tapBuffer.mid(start + 1, end - start - 1).split(';');
        tapBuffer.remove(0, end + 1);
        if (parts.size() < 3 || parts.at(1) != "CCMD")
            continue;
        const QList<QByteArray> fields = parts.at(2).split(',');
        bool okCode = false, okResult = false;
        const int code = fields.value(0).toInt(&okCode);
        const int result = fields.value(1).toInt(&okResult);
        if (okCode && okResult)
            replies.insert(code, result);
    }
}

void DeviceLink::send(const QByteArray& frame)
{
    if (!frame.isEmpty())
        dev->sendCMD(frame);
}

bool DeviceLink::barrier(int timeoutMs)
{
    QStringList unanswered;
    return readBack({}, timeoutMs, &unanswered);
}

bool DeviceLink::readBack(const QStringList& keys, int timeoutMs, QStringList* unanswered)
{
    KTDeviceProperty* firmware = property(QStringLiteral("FIRMWARE"));
    if (!firmware || firmware->get_cmd_bytes().isEmpty())
        return false;
    clearReplies();
    struct Marked
    {
        QString key;
        KTDeviceProperty* property;
        QVariant before;
    };
    QList<Marked> marked;
    auto mark = [this, &marked](const QString& key) {
        KTDeviceProperty* p = property(key);
        for (const QString& filledKey : filledKeys(key)) {
            KTDeviceProperty* filled = filledKey == key ? p : p->property_ptr(filledKey.toLatin1().constData());
            const QVariant marker = filled ? pendingMarker(filled->value()) : QVariant();
            if (!marker.isValid())
                continue;
            marked.append({filledKey, filled, filled->value()});
            filled->setValue(marker);
        }
    };
    for (const QString& key : keys) {
        KTDeviceProperty* p = property(key);
        if (!p || p == firmware || p->get_cmd_bytes().isEmpty())
            continue;
        mark(key);
        send(p->get_cmd_bytes());
    }
    mark(QStringLiteral("FIRMWARE"));
    send(firmware->get_cmd_bytes());
    waitCancelled = false;
    const bool answered =
        waitUntil([this, firmware] { return !connected || waitCancelled || !isPendingMarker(firmware->value()); },
                  timeoutMs)
        && connected && !waitCancelled;
    for (const Marked& entry : marked) {
        if (!isPendingMarker(entry.property->value()))
            continue;
        entry.property->setValue(entry.before);
        // The driver stores no reply of "0" for a setting with parameters: only a frame the
        // host saw with result 0 says the value is 0.
        const int code = entry.property->get_cmd_int();
        const bool zero = tapped ? replyResult(code) == 0 : answered;
        if (answered && zero && !entry.property->param().isEmpty())
            entry.property->setValue(entry.before.userType() == QMetaType::UInt ? QVariant(0u) : QVariant(0));
        else
            unanswered->append(entry.key);
    }
    return answered;
}

// The keys whose values a read of key fills in: a compound's children, else the key itself.
QStringList DeviceLink::filledKeys(const QString& key) const
{
    KTDeviceProperty* p = property(key);
    if (p && p->value().userType() == QMetaType::QStringList && p->value().toStringList().size() > 1)
        return p->value().toStringList();
    return {key};
}
