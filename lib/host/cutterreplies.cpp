#include "cutterreplies.h"

#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "ktreplyobserver_p.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QVariant>

#include <climits>
#include <cmath>

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

} // namespace

// The driver drops replies it cannot store (a refusal, a value of 0 for a setting with
// parameters), so the host watches the frames it decodes.
CutterReplies::CutterReplies(KTDeviceInterface& dev, std::function<bool()> up, std::function<void()> before)
    : device(dev), linkUp(std::move(up)), arriving(std::move(before))
{
    if (auto* common = qobject_cast<KTCommonInterface*>(&device)) {
        KTReplyObserver::install(*common, [this](const KTReplyFrame& frame) {
            if (frame.kind == KTDeviceInterface::CCMD && frame.result >= 0)
                results.insert(frame.code, frame.result);
            if (arriving)
                arriving();
        });
        observing = true;
    }
}

CutterReplies::~CutterReplies()
{
    if (auto* common = qobject_cast<KTCommonInterface*>(&device); common && observing)
        KTReplyObserver::install(*common, {});
}

bool CutterReplies::waitUntil(const std::function<bool()>& done, int timeoutMs)
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

KTDeviceProperty* CutterReplies::property(const QString& key) const
{
    return device.property_ptr(key.toLatin1().constData());
}

bool CutterReplies::barrier(int timeoutMs)
{
    QStringList unanswered;
    return readBack({}, timeoutMs, &unanswered);
}

void CutterReplies::mark(const QString& key, QList<Marked>* marked) const
{
    KTDeviceProperty* p = property(key);
    for (const QString& filledKey : filledKeys(key)) {
        KTDeviceProperty* filled = filledKey == key ? p : p->property_ptr(filledKey.toLatin1().constData());
        const QVariant marker = filled ? pendingMarker(filled->value()) : QVariant();
        if (!marker.isValid())
            continue;
        marked->append({filledKey, filled, filled->value()});
        filled->setValue(marker);
    }
}

bool CutterReplies::readBack(const QStringList& keys, int timeoutMs, QStringList* unanswered)
{
    KTDeviceProperty* firmware = property(QStringLiteral("FIRMWARE"));
    if (!firmware || firmware->get_cmd_bytes().isEmpty())
        return false;
    clear();
    QList<Marked> marked;
    for (const QString& key : keys) {
        KTDeviceProperty* p = property(key);
        if (!p || p == firmware || p->get_cmd_bytes().isEmpty())
            continue;
        mark(key, &marked);
        device.sendCMD(p->get_cmd_bytes());
    }
    mark(QStringLiteral("FIRMWARE"), &marked);
    device.sendCMD(firmware->get_cmd_bytes());
    cancelled = false;
    const bool answered =
        waitUntil([this, firmware] { return !linkUp() || cancelled || !isPendingMarker(firmware->value()); }, timeoutMs)
        && linkUp() && !cancelled;
    settle(marked, answered, unanswered);
    return answered;
}

// Marked values still pending were not answered and get their value back.
void CutterReplies::settle(const QList<Marked>& marked, bool answered, QStringList* unanswered) const
{
    for (const Marked& entry : marked) {
        if (!isPendingMarker(entry.property->value()))
            continue;
        entry.property->setValue(entry.before);
        // The driver stores no reply of "0" for a setting with parameters: only a frame the
        // host saw with result 0 says the value is 0.
        const int code = entry.property->get_cmd_int();
        const bool zero = observing ? result(code) == 0 : answered;
        if (answered && zero && !entry.property->param().isEmpty())
            entry.property->setValue(entry.before.userType() == QMetaType::UInt ? QVariant(0u) : QVariant(0));
        else
            unanswered->append(entry.key);
    }
}

QStringList CutterReplies::filledKeys(const QString& key) const
{
    KTDeviceProperty* p = property(key);
    if (p && p->value().userType() == QMetaType::QStringList && p->value().toStringList().size() > 1)
        return p->value().toStringList();
    return {key};
}
