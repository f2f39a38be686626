#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"

#include <QJsonObject>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr char Stx = '\x02';
constexpr char Etx = '\x03';
constexpr int TaskReportCode = 66;
constexpr int TaskReportFields = 9;
// Task stop/pause/resume share one code per family; their replies never update a property.
constexpr int TaskCommandCodes[] = {27, 125};

int lastStxBetween(const QByteArray& buffer, int from, int to)
{
    const char* data = buffer.constData();
    for (int i = to - 1; i >= from; --i) {
        if (data[i] == Stx)
            return i;
    }
    return -1;
}

KTDeviceInterface::KTDeviceCMDType kindOf(const QString& word)
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
    QPointer<KTCommonInterface> alive(this);
    int consumed = 0;
    for (;;) {
        const int etx = recvBuffer.indexOf(Etx, consumed);
        if (etx < 0)
            break;
        const int stx = lastStxBetween(recvBuffer, consumed, etx);
        consumed = etx + 1;
        if (stx < 0)
            continue;
        decode_cmd(QString::fromUtf8(recvBuffer.constData() + stx, etx - stx + 1));
        if (!alive)
            return;
    }
    recvBuffer.remove(0, consumed);
    if (recvBuffer.size() > MaxPendingReplyBytes) {
        // Bytes before the last STX can never become part of a frame: they go first.
        const int stx = recvBuffer.lastIndexOf(Stx);
        if (stx > 0)
            recvBuffer.remove(0, stx);
        if (recvBuffer.size() > MaxPendingReplyBytes)
            recvBuffer.remove(0, recvBuffer.size() - MaxPendingReplyBytes);
    }
    decoding = false;
}

void KTCommonInterface::decode_cmd(QString frame)
{
    const QStringList parts = frame.split(QLatin1Char(';'));
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
            decode_cmd(parts.at(i), key, number, value);
            if (i == 2)
                code = number;
            values.append(value);
        }
    } else if (kind == CCMD) {
        const QStringList fields = parts.at(2).split(QLatin1Char(','));
        code = fields.at(0).toInt();
        if (code == TaskReportCode) {
            if (frame == lastTaskFrame)
                return;
            lastTaskFrame = frame;
            decode_task(parts.at(2));
            return;
        }
        if (code == 55 || code == 11) {
            emit message(Qrcode, fields.last());
            return;
        }
        if (fields.size() < 2 || fields.at(1).toInt() != 0)
            return;
        values = fields.mid(2);
    }
    if (values.isEmpty() || std::find(std::begin(TaskCommandCodes), std::end(TaskCommandCodes), code)
                                != std::end(TaskCommandCodes))
        return;

    // Only the first property answering to this kind and code is considered.
    const QList<QByteArray> names = dynamicPropertyNames();
    for (const QByteArray& name : names) {
        KTDeviceProperty* p = property_ptr(name.constData());
        if (!p)
            return;
        if (p->cmd_type() != kind || (code != p->get_cmd_int() && code != p->set_cmd_int()))
            continue;
        const QStringList params = p->param();
        if (!params.isEmpty()
            && (values.size() != params.size() + 1 || values.last() == QLatin1String("0")))
            return;
        p->set_decode(values);
        return;
    }
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
    if (!task) {
        task = new KTDeviceProperty(nullptr);
        task->init(QJsonObject(), tr("当前任务"), QString(), 0, 0, 0, UnCMD, QStringList());
        storeProperty("TASK", task);
    }
    const QStringList fields = item.split(QLatin1Char(','));
    if (fields.size() < TaskReportFields)
        return;
    QJsonObject record = freshCopy(task->value().toJsonObject());
    record.insert(QStringLiteral("Status"), fields.at(1).toInt());
    record.insert(QStringLiteral("FileName"), fields.at(2));
    record.insert(QStringLiteral("TaskCopies"), fields.at(3).toInt());
    record.insert(QStringLiteral("Finished"), fields.at(4).toInt());
    record.insert(QStringLiteral("Percent"), wholePercent(fields.at(5)));
    task->setValue(record);
    QPointer<KTCommonInterface> alive(this);
    emit message(DevTasK, item);
    if (alive)
        device_task_to_cloud();
}
