#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"
#include "ktreplycodes_p.h"
#include "ktreplyobserver_p.h"
#include "ktsurvives_p.h"
#include "kttaskrecord_p.h"

#include <QEvent>
#include <QHash>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr char Stx = '\x02';
constexpr char Etx = '\x03';
// Task stop/pause/resume share one code per family; their replies never update a property.
constexpr int TaskCommandCodes[] = {KTReplyCode::TaskControl437, KTReplyCode::TaskControl157};

int lastStxBetween(const QByteArray& buffer, int from, int to)
{
    const char* data = buffer.constData();
    for (int i = to - 1; i >= from; --i) {
        if (data[i] == Stx)
            return i;
    }
    return -1;
}

KTDeviceInterface::KTDeviceCMDType kindOf(const QStringRef& word)
{
    if (word == QLatin1String("CMD"))
        return KTDeviceInterface::CMD;
    if (word == QLatin1String("CCMD"))
        return KTDeviceInterface::CCMD;
    return KTDeviceInterface::UnCMD;
}

// Truncated toward zero; what does not parse or fit in an int counts as 0.
int wholePercent(const QString& text)
{
    const double v = text.toDouble();
    if (!std::isfinite(v) || v >= double(std::numeric_limits<int>::max()) + 1.0
        || v <= double(std::numeric_limits<int>::min()) - 1.0)
        return 0;
    return int(v);
}

// The same keys and values in a new object. A JSON object keeps the bytes of every text
// value replaced in it for as long as it lives, so a record updated in place by each task
// report would grow without bound (and each copy of it would take longer).
QJsonObject freshCopy(const QJsonObject& record)
{
    QJsonObject copy;
    for (auto it = record.constBegin(); it != record.constEnd(); ++it)
        copy.insert(it.key(), it.value());
    return copy;
}

// Which property answers replies of one kind and code: found by the search below once, then
// kept until a property of the device is stored, replaced or removed (each such change
// reaches the device as a DynamicPropertyChange event), or any property is given new codes
// or a new kind by init. Without it every reply walks the device's properties, each looked
// up by name, and a set of a few dozen properties costs most of the decoding time.
class ReplyRoutes : public QObject
{
public:
    explicit ReplyRoutes(QObject* device) : QObject(device)
    {
        setObjectName(QString::fromLatin1(Name));
        device->installEventFilter(this);
    }

    static ReplyRoutes* of(QObject* device)
    {
        auto* routes = static_cast<ReplyRoutes*>(
            device->findChild<QObject*>(QString::fromLatin1(Name), Qt::FindDirectChildrenOnly));
        return routes ? routes : new ReplyRoutes(device);
    }

    static quint64 keyOf(KTDeviceInterface::KTDeviceCMDType kind, int code)
    {
        return (quint64(quint32(kind)) << 32) | quint32(code);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::DynamicPropertyChange)
            routes.clear();
        return false;
    }

    // The routes, emptied first if any property has been initialised since they were found.
    QHash<quint64, KTDeviceProperty*>& current()
    {
        const quint64 inits = kt_property_inits();
        if (inits != initsSeen) {
            routes.clear();
            initsSeen = inits;
        }
        return routes;
    }

private:
    QHash<quint64, KTDeviceProperty*> routes; // null: no property answers
    quint64 initsSeen = 0;

    static constexpr const char* Name = "KTCommonInterface::replyRoutes";
};

} // namespace

// Frames are cut by scanning with an offset and the consumed prefix is removed once, so a
// read of many frames costs time linear in its size. A handler that makes bytes arrive
// while this runs only appends them (the nested call returns at once); this loop goes on
// over them, so every byte is consumed exactly once.
void KTCommonInterface::decode_buffer()
{
    if (decoding)
        return;
    decoding = true;
    // Looked up once per read: most devices have no observer.
    const bool observed = KTReplyObserver::installed(*this);
    int consumed = 0;
    for (;;) {
        const int etx = recvBuffer.indexOf(Etx, consumed);
        if (etx < 0)
            break;
        const int stx = lastStxBetween(recvBuffer, consumed, etx);
        consumed = etx + 1;
        if (stx < 0)
            continue;
        const QString frame = QString::fromUtf8(recvBuffer.constData() + stx, etx - stx + 1);
        if (observed && !kt_survives(this, [&] { KTReplyObserver::notify(*this, frame); }))
            return;
        if (!kt_survives(this, [&] { decode_cmd(frame); }))
            return;
    }
    recvBuffer.remove(0, consumed);
    constexpr int MaxPending = KTCommonInterfacePrivate::MaxPendingReplyBytes;
    if (recvBuffer.size() > MaxPending) {
        // Bytes before the last STX can never become part of a frame: they go first.
        const int stx = recvBuffer.lastIndexOf(Stx);
        if (stx > 0)
            recvBuffer.remove(0, stx);
        if (recvBuffer.size() > MaxPending)
            recvBuffer.remove(0, recvBuffer.size() - MaxPending);
    }
    decoding = false;
}

// Only the first property answering to this kind and code is considered; a name that
// holds no property ends the search.
static KTDeviceProperty* searchReplyTarget(KTCommonInterface* device, KTDeviceInterface::KTDeviceCMDType kind, int code)
{
    const QList<QByteArray> names = device->dynamicPropertyNames();
    for (const QByteArray& name : names) {
        KTDeviceProperty* p = device->property_ptr(name.constData());
        if (!p)
            return nullptr;
        if (p->cmd_type() == kind && (code == p->get_cmd_int() || code == p->set_cmd_int()))
            return p;
    }
    return nullptr;
}

static KTDeviceProperty* replyTarget(KTCommonInterface* device, KTDeviceInterface::KTDeviceCMDType kind, int code)
{
    QHash<quint64, KTDeviceProperty*>& routes = ReplyRoutes::of(device)->current();
    const quint64 key = ReplyRoutes::keyOf(kind, code);
    auto it = routes.constFind(key);
    if (it == routes.constEnd())
        it = routes.insert(key, searchReplyTarget(device, kind, code));
    return it.value();
}

void KTCommonInterface::decode_cmd(QString frame)
{
    // Parts and fields refer into the frame; only the values handed on are copied.
    const QVector<QStringRef> parts = frame.splitRef(QLatin1Char(';'));
    if (parts.size() < 3)
        return;
    const KTDeviceCMDType kind = kindOf(parts.at(1));
    int code = 0;
    QStringList values;
    if (kind == CMD) {
        for (int i = 2; i <= parts.size() - 2; ++i) {
            QString key;
            QString value;
            int number = 0;
            decode_cmd(parts.at(i).toString(), key, number, value);
            if (i == 2)
                code = number;
            values.append(value);
        }
    } else if (kind == CCMD) {
        const QVector<QStringRef> fields = parts.at(2).split(QLatin1Char(','));
        code = fields.at(0).toInt();
        if (code == KTReplyCode::TaskReport) {
            if (frame == lastTaskFrame)
                return;
            lastTaskFrame = frame;
            decode_task(parts.at(2).toString());
            return;
        }
        if (code == KTReplyCode::QrCodeFile || code == KTReplyCode::QrCodeScanned) {
            emit message(Qrcode, fields.last().toString());
            return;
        }
        if (fields.size() < 2 || fields.at(1).toInt() != 0)
            return;
        for (int i = 2; i < fields.size(); ++i)
            values.append(fields.at(i).toString());
    }
    if (values.isEmpty()
        || std::find(std::begin(TaskCommandCodes), std::end(TaskCommandCodes), code) != std::end(TaskCommandCodes))
        return;

    KTDeviceProperty* p = replyTarget(this, kind, code);
    if (!p)
        return;
    // A setting with parameters (SPEED and PRESSURE carry the parameter "0") is read back as
    // its parameters followed by its value. A last field of "0" is taken as no reading rather
    // than as a value, so it never replaces the setting the user made; the price is that a
    // setting of 0 is not read back.
    const QStringList params = p->param();
    if (!params.isEmpty() && (values.size() != params.size() + 1 || values.last() == QLatin1String("0")))
        return;
    p->set_decode(values);
}

// An item such as GET10:250 gives key GET, number 10 and value 250; 11:0 gives an empty key.
void KTCommonInterface::decode_cmd(QString item, QString& key, int& number, QString& value)
{
    const int colon = item.lastIndexOf(QLatin1Char(':'));
    value = colon < 0 ? item : item.mid(colon + 1);
    int keyEnd = 0;
    while (keyEnd < item.size() && item.at(keyEnd) >= QLatin1Char('A') && item.at(keyEnd) <= QLatin1Char('Z'))
        ++keyEnd;
    key = item.left(keyEnd);
    const int numberEnd = colon < 0 ? item.size() : colon;
    bool ok = false;
    number = item.mid(keyEnd, numberEnd - keyEnd).toInt(&ok);
    if (!ok)
        number = 0;
}

void KTCommonInterface::decode_task(QString item)
{
    KTDeviceProperty* task = property_ptr("TASK");
    if (!task)
        task = kt_store_bare_property(this, "TASK", QJsonObject(), tr("当前任务"));
    const QStringList fields = item.split(QLatin1Char(','));
    if (fields.size() < KTReplyCode::TaskReportFields)
        return;
    QJsonObject record = freshCopy(task->value().toJsonObject());
    KTTaskRecord::setReport(&record, fields.at(1).toInt(), fields.at(2), fields.at(3).toInt(), fields.at(4).toInt(),
                            wholePercent(fields.at(5)));
    if (!setValueOf(task, record) || !notifyHost(DevTasK, item))
        return;
    device_task_to_cloud();
}
