// The heartbeat and the task operations shared by the cutter families.
#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "kttaskrecord_p.h"

#include <QDateTime>
#include <QJsonObject>

#include <climits>

namespace {

// Seconds of silence after which the cutter counts as gone.
constexpr qint64 SilenceLimitSecs = 30;

// A jog step is always 100; bit 15 marks the positive direction.
int stepCode(int v)
{
    if (v < 0)
        return 100;
    if (v > 0)
        return 0x8000 | 100;
    return 0;
}

// A reply can set the period to 0 or less: keep at least one second, and stay within the
// timer's range.
int heartbeatIntervalMs(const QVariant& seconds)
{
    const qlonglong s = qBound<qlonglong>(1, seconds.toLongLong(), INT_MAX / 1000);
    return int(s * 1000);
}

} // namespace

void KTCommonInterface::slot_device_timer()
{
    if (KTDeviceProperty* last = property_ptr("LAST_TIME")) {
        const qint64 silent = last->value().toDateTime().secsTo(QDateTime::currentDateTime());
        if (silent > SilenceLimitSecs
            && (!setValueOf(property_ptr("STATUS"), QVariant(int(DisConnected)))
                || !notifyHost(DevStatus, QStringLiteral("HEARTBEAT TIMEOUT 30S."))))
            return;
    }
    if (KTDeviceProperty* heartbeat = property_ptr("HEARTBEAT"))
        send_cmd(heartbeat->get_cmd_bytes());
}

void KTCommonInterface::heartbeat_switch(bool on)
{
    KTDeviceProperty* heartbeat = property_ptr("HEARTBEAT");
    if (!heartbeat)
        return;
    deviceTimer.stop();
    if (on)
        deviceTimer.start(heartbeatIntervalMs(heartbeat->value()));
}

void KTCommonInterface::startTask()
{
    KTDeviceProperty* taskMode = property_ptr("TASK_MODE");
    const int mode = taskMode ? taskMode->value().toInt() : 0;
    if (mode == 0) {
        KTDeviceProperty* copies = property_ptr("TASK_COPIES");
        if (!copies)
            return;
        sendCMD(copies->set_cmd_bytes());
        KTDeviceProperty* plt = property_ptr("TASK_PLT");
        if (!plt)
            return;
        sendCMD(plt->set_cmd_bytes());
    } else if (mode == 1) {
        KTDeviceProperty* qrCopies = property_ptr("QRCODE_COPIES");
        if (!qrCopies)
            return;
        sendCMD(qrCopies->set_cmd_bytes());
    }

    setValueOf(kt_task_start_time(this), QDateTime::currentDateTime());
}

// The work record goes out first, while the start time and the task record still describe
// the task that ends.
void KTCommonInterface::stopTask()
{
    device_task_record_to_cloud();
    if (!setValueOf(property_ptr("TASK_START_TIME"), QDateTime()))
        return;
    if (KTDeviceProperty* task = property_ptr("TASK")) {
        QJsonObject record = task->value().toJsonObject();
        KTTaskRecord::reset(&record);
        setValueOf(task, QVariant(record));
    }
}

void KTCommonInterface::move(int first, int second)
{
    const struct
    {
        const char* key;
        int arg;
    } steps[] = {{"MOVE_Y", first}, {"MOVE_X", second}};
    for (const auto& step : steps) {
        KTDeviceProperty* axis = property_ptr(step.key);
        if (!axis)
            continue;
        if (!setValueOf(axis, QVariant(stepCode(step.arg))))
            return;
        sendCMD(axis->set_cmd_bytes());
    }
}
