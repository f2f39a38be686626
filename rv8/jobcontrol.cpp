#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"
#include "ktlogging_p.h"
#include "ktreplycodes_p.h"
#include "ktrv8.h"
#include "ktrv8_p.h"
#include "ktsurvives_p.h"
#include "kttaskrecord_p.h"
#include "preparedpage_p.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonObject>
#include <QTcpSocket>

#include <utility>

namespace {

// The cutter's move command counts motor steps: one unit of the host's move is 80 of them.
constexpr quint32 MoveStepsPerUnit = 80;

void sendRead(KTDeviceInterface* device, KTDeviceProperty* property)
{
    if (property)
        device->sendCMD(property->get_cmd_bytes());
}

void sendWrite(KTDeviceInterface* device, KTDeviceProperty* property)
{
    if (property)
        device->sendCMD(property->set_cmd_bytes());
}

} // namespace

QStringList KTRV8Private::splitPages(const QString& plt)
{
    return KTJobPages(plt).toList();
}

void KTRV8::setPlt(QString plt)
{
    jobPages->clear(); // free the previous job before the new one is kept
    *jobPages = KTJobPages(std::move(plt));
    jobPageIndex = 0;
    // A new cut job waits for startTask. In a QR-code job the host loads the page of each
    // scanned code into the job that startTask began, and that job goes on.
    KTDeviceProperty* mode = property_ptr("TASK_MODE");
    if (!mode || mode->value().toInt() == 0)
        jobRunning = false;
    nextPage.reset();
    KTDeviceProperty* job = kt_job_property(this);
    if (!job || !kt_survives(this, [&] { job->setValue(jobPages->isEmpty() ? QString() : jobPages->hold(0)); }))
        return;
    // The first page's frame is built with the job, so that startTask sends it at once.
    if (!jobPages->isEmpty() && !jobRunning && job->value().userType() == QMetaType::QString) {
        nextPage = std::make_unique<KTPreparedPage>();
        nextPage->prepare(job, 0, job->value().toString());
    }
}

void KTRV8::startTask()
{
    KTDeviceProperty* mode = property_ptr("TASK_MODE");
    // A cut job without a page has nothing to cut: nothing is sent and no task begins.
    KTDeviceProperty* firstPage = property_ptr("TASK_PPLT");
    if (mode && mode->value().toInt() == 0 && firstPage && firstPage->value().toString().isEmpty())
        return;
    KTDeviceProperty* copies = property_ptr("TASK_COPIES");
    if (copies && copies->value().toInt() > 1) {
        if (KTDeviceProperty* margin = property_ptr("MARGIN")) {
            // The editor's value reaches MARGIN through its valueChanged.
            if (!kt_survives(this, [margin] { margin->from_ui_ctrl(); }))
                return;
            sendWrite(this, margin);
        }
    }
    if (!mode)
        return;
    // A new start is a new job: what held the last one is over.
    hold = Hold::None;
    readyWhileHeld = false;
    sendWrite(this, property_ptr("SET_MARK"));

    if (mode->value().toInt() != 0) {
        KTDeviceProperty* qrcode = property_ptr("GET_QRCODE");
        if (!qrcode)
            return;
        sendRead(this, qrcode);
    } else {
        KTDeviceProperty* page = property_ptr("TASK_PPLT");
        KTDeviceProperty* status = property_ptr("DEVICE_STATUS");
        if (!page || !status)
            return;
        // The frame built by setPlt, while the job property still holds that page.
        const QByteArray frame = nextPage ? nextPage->take(page, jobPageIndex) : page->set_cmd_bytes();
        // A page can run to megabytes: the log shows its start only.
        qCDebug(ktRv8) << "KTRV8::startTask" << frame.left(200);
        sendCMD(frame);
        if (jobPages->size() == 1)
            sendRead(this, status);
        prepareNextPage();
    }
    jobRunning = true;
    if (setValueOf(kt_task_start_time(this), QDateTime::currentDateTime()))
        reportTaskChange();
}

// Tells the host and then the cloud.
bool KTRV8::reportTaskChange()
{
    if (!notifyHost(DevTasK, QString()))
        return false;
    device_task_to_cloud();
    return true;
}

void KTRV8::move(int x, int y)
{
    KTDeviceProperty* head = property_ptr("MOVE");
    if (!head)
        return;
    // A host may pass any int: the 32-bit product wraps, computed unsigned so the wrap is defined.
    const auto steps = [](int v) { return qint32(quint32(v) * MoveStepsPerUnit); };
    if (setValueOf(head, QStringLiteral("0,0,%1,%2").arg(steps(x)).arg(steps(y))))
        sendWrite(this, head);
}

void KTRV8::decode_cmd(QString frame)
{
    // Parts and fields refer into the frame: nothing is copied to read the code.
    const QVector<QStringRef> parts = frame.splitRef(QLatin1Char(';'));
    if (parts.size() < 3)
        return;
    if (parts.at(1) != QLatin1String("CCMD")) {
        KTCommonInterface::decode_cmd(frame);
        return;
    }
    const QVector<QStringRef> fields = parts.at(2).split(QLatin1Char(','));
    if (fields.size() < 2)
        return;
    const int code = fields.at(0).toInt();
    const int result = fields.at(1).toInt();
    const int value = fields.size() >= 3 ? fields.at(2).toInt() : 0;

    if (code == KTReplyCode::DeviceStatus && result == 0) {
        onJobReady();
        return;
    }
    if (code == KTReplyCode::DeviceStopped) {
        emit message(DevTasK, QStringLiteral("STOP"));
        return;
    }
    if (code == KTReplyCode::TaskControl437 && result == 0) {
        onTaskControl(value);
        return;
    }
    if (!kt_survives(this, [&] { KTCommonInterface::decode_cmd(frame); }))
        return;
    // A refused pause leaves the cutter working, so the job goes on. A refused stop or resume
    // changes nothing: the pages stay held.
    if (code == KTReplyCode::TaskControl437 && value == KTReplyCode::Paused && hold == Hold::Pause)
        releasePause();
}

// The cutter is ready for the next page. Only a job that startTask began and that has not
// ended moves on: a status reply still on its way when the job was stopped or finished, or
// one that comes before startTask, must not send a page or count a copy. While a stop or a
// pause the host asked for is unanswered, the page waits: a cutter that gets a page after
// it was told to stop may cut it.
void KTRV8::onJobReady()
{
    if (!jobRunning)
        return;
    if (hold != Hold::None) {
        readyWhileHeld = true;
        return;
    }
    advanceJob();
}

// Every command of the host and of the driver leaves through here; a stop or a pause the
// host asks for holds the pages from this moment on, before the cutter has even read it.
void KTRV8::sendCMD(QByteArray bytes)
{
    noteTaskControl(bytes);
    KTCommonInterface::sendCMD(std::move(bytes));
}

void KTRV8::noteTaskControl(const QByteArray& bytes)
{
    const auto is = [&](const char* key) {
        KTDeviceProperty* command = property_ptr(key);
        return command && bytes == command->set_cmd_bytes();
    };
    if (bytes.isEmpty() || hold == Hold::Stop)
        return;
    if (is("TASK_STOP"))
        hold = Hold::Stop;
    else if (is("TASK_PAUSE"))
        hold = Hold::Pause;
}

// The cutter works again after a pause: the page it asked for in the meantime goes out now.
void KTRV8::releasePause()
{
    hold = Hold::None;
    if (std::exchange(readyWhileHeld, false))
        onJobReady();
}

void KTRV8::onTaskControl(int value)
{
    switch (value) {
    case KTReplyCode::Paused: emit message(DevTasK, QStringLiteral("PAUSE")); break;
    case KTReplyCode::Resumed:
        if (notifyHost(DevTasK, QStringLiteral("RESUME")) && hold == Hold::Pause)
            releasePause();
        break;
    case KTReplyCode::Stopped:
        // The cutter confirmed the stop: the rest of the job is abandoned, the copy in hand
        // counts as done, and no further copy is started. A repeated confirmation (Stop
        // pressed twice) finds no running job and changes nothing.
        readyWhileHeld = false;
        if (!jobRunning)
            break;
        jobRunning = false;
        jobPageIndex = jobPages->size();
        completeCopy(false);
        break;
    default: emit message(DevTasK, QString()); break;
    }
}

void KTRV8::advanceJob()
{
    ++jobPageIndex;
    if (jobPageIndex < jobPages->size()) {
        KTDeviceProperty* job = kt_job_property(this);
        if (!job)
            return;
        const QString page = jobPages->hold(jobPageIndex);
        if (!kt_survives(this, [&] { nextPage ? nextPage->setPage(job, jobPageIndex, page) : job->setValue(page); }))
            return;
        sendCMD(nextPage ? nextPage->take(job, jobPageIndex) : job->set_cmd_bytes());
        if (jobPageIndex == jobPages->size() - 1)
            sendRead(this, property_ptr("DEVICE_STATUS"));
        prepareNextPage();
        return;
    }
    completeCopy(true);
}

// Encodes the page after the one just sent while the cutter works on that one, so that its
// readiness reply only has to send it. A long page the kernel has not taken whole yet goes
// out first: its successor is encoded once the last of it has.
void KTRV8::prepareNextPage()
{
    const int next = jobPageIndex + 1;
    if (next >= jobPages->size())
        return;
    if (!nextPage)
        nextPage = std::make_unique<KTPreparedPage>();
    nextPage->prepareWhenSent(
        tcpSocket, [this, next] { nextPage->prepare(kt_job_property(this), next, jobPages->buildAhead(next)); });
}

// Counts the copy just finished in the task record; with copies outstanding and
// startNext set, asks the cutter for the next one.
void KTRV8::completeCopy(bool startNext)
{
    nextPage.reset();
    jobRunning = false;
    KTDeviceProperty* task = property_ptr("TASK");
    if (!task)
        return;
    QJsonObject record = task->value().toJsonObject();
    const bool nextCopy = KTTaskRecord::countCopy(&record, startNext);
    jobRunning = nextCopy;
    if (!setValueOf(task, record))
        return;
    if (nextCopy && !startNextCopy()) {
        jobRunning = false;
        return;
    }
    reportTaskChange();
}

// False when the parameter set lacks what the next copy needs; the job step then ends
// without a report.
bool KTRV8::startNextCopy()
{
    KTDeviceProperty* mode = property_ptr("TASK_MODE");
    if (!mode)
        return false;
    KTDeviceProperty* request = property_ptr(mode->value().toInt() != 0 ? "GET_QRCODE" : "TASK_REPEAT");
    if (!request)
        return false;
    if (mode->value().toInt() != 0)
        sendRead(this, request);
    else
        sendWrite(this, request);
    return true;
}
