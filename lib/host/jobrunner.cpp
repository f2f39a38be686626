#include "jobrunner.h"
#include "ktrv8_p.h"
#include "kttaskrecord_p.h"

#include "cutterconnection.h"
#include "driverstatus.h"
#include "jobestimate.h"

#include "ktdeviceproperty.h"
#include "ktrv8.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace {

const int TickMs = 250;
} // namespace

JobRunner::JobRunner(CutterConnection& deviceLink, const JobOptions& jobOptions, QObject* parent)
    : QObject(parent), link(deviceLink), options(jobOptions)
{
    qRegisterMetaType<JobProgress>();
    rv8 = qobject_cast<KTRV8*>(link.device());
    timeLimit.setSingleShot(true);
    timeLimit.setInterval(options.timeoutSeconds * 1000);
    connect(&timeLimit, &QTimer::timeout, this, &JobRunner::onTimeLimit);
    stopWait.setSingleShot(true);
    stopWait.setInterval(CutterConnection::ReplyTimeoutMs);
    connect(&stopWait, &QTimer::timeout, this,
            [this] { finishAt(ExitSilent, tr("the cutter did not confirm the stop")); });
    ticker.setInterval(TickMs);
    connect(&ticker, &QTimer::timeout, this, [this] {
        ++ticks;
        follow();
    });
    connect(&link, &CutterConnection::taskText, this, &JobRunner::onTaskText);
    connect(&link, &CutterConnection::qrCode, this, &JobRunner::onQrCode);
    connect(&link, &CutterConnection::linkLost, this, &JobRunner::onLinkLost);
    // What the cutter finishes during a hold must be seen before a stop confirmation drops it.
    connect(&link, &CutterConnection::replyArriving, this, [this] {
        if (rv8 && !heldCounted && KTRV8Private::readyWhileHeld(*rv8))
            follow();
    });
    if (KTDeviceProperty* task = link.property(QStringLiteral("TASK")))
        connect(task, &KTDeviceProperty::valueChanged, this, &JobRunner::follow);
}

QJsonObject JobRunner::record() const
{
    const KTDeviceProperty* task = link.property(QStringLiteral("TASK"));
    return task ? task->value().toJsonObject() : QJsonObject();
}

int JobRunner::speed() const
{
    const KTDeviceProperty* p = link.property(QStringLiteral("SPEED"));
    return p ? p->value().toInt() : 0;
}

// The job goes to the driver as the one copy of its text, shared with the prepared job;
// the host keeps the measures of its pages for the estimates.
bool JobRunner::loadJob(const PreparedJob& job, QString* error)
{
    if (!rv8) {
        pageCount = KTRV8Private::splitPages(job.text()).size();
        link.device()->setPlt(job.text());
    } else {
        rv8->setPlt(job.text());
        pageCount = KTRV8Private::pages(*rv8).size();
    }
    pageMeasures = job.pages();
    if (pageCount == 0) {
        *error = QStringLiteral("%1 holds no page to cut").arg(job.path());
        return false;
    }
    return true;
}

void JobRunner::estimatePages()
{
    pageSeconds.clear();
    if (!rv8)
        return;
    pageSeconds.reserve(pageMeasures.size());
    for (const ktconv::Measure& page : pageMeasures)
        pageSeconds.append(estimateSeconds(page, speed()));
}

// The task record and the settings the driver reads when the job starts.
int JobRunner::prepare(QString* error)
{
    KTDeviceProperty* task = link.property(QStringLiteral("TASK"));
    KTDeviceProperty* copies = link.property(QStringLiteral("TASK_COPIES"));
    KTDeviceProperty* mode = link.property(QStringLiteral("TASK_MODE"));
    if (!task || !copies || !mode || !link.property(QStringLiteral("TASK_PPLT"))) {
        *error = QStringLiteral("this driver has no job properties (TASK, TASK_COPIES, TASK_MODE, TASK_PPLT)");
        return ExitNoPlugin;
    }
    // The job is checked before anything about it reaches the cutter.
    if (options.qrDir.isEmpty() && !options.prepared) {
        options.prepared = std::make_shared<PreparedJob>();
        options.prepared->open(options.file, PreparedJob::Options());
    }
    if (options.qrDir.isEmpty()) {
        PreparedJob& job = *options.prepared;
        emit reading(job.path());
        if (!job.finishReading()) {
            *error = job.unreadable() ? job.error() : QStringLiteral("%1: not sent: %2").arg(job.path(), job.error());
            return ExitUsage;
        }
        if (!loadJob(job, error))
            return ExitUsage;
    }

    // SPEED for the estimates; the spacing between copies, which the driver sends before a
    // job of several copies: the cutter's own unless one was asked for, never the unset 0.
    QStringList reads{QStringLiteral("SPEED")};
    KTDeviceProperty* margin = link.property(QStringLiteral("MARGIN"));
    if (options.copies > 1 && margin && options.margin.isValid())
        margin->setValue(options.margin);
    else if (options.copies > 1 && margin)
        reads << QStringLiteral("MARGIN");
    QStringList unanswered;
    const int waitMs = options.timeoutSeconds > 0
                           ? qMin(CutterConnection::ReplyTimeoutMs, options.timeoutSeconds * 1000)
                           : CutterConnection::ReplyTimeoutMs;
    const bool answered = link.readBack(reads, waitMs, &unanswered);
    if (!link.isConnected()) {
        *error = tr("the connection was lost before the job started; nothing was cut%1").arg(link.lostHint());
        return ExitDisconnected;
    }
    if (!answered) {
        *error = tr("the cutter did not answer within %1 s; nothing was cut").arg(waitMs / 1000);
        return ExitSilent;
    }
    if (unanswered.contains(QStringLiteral("MARGIN"))) {
        *error = QStringLiteral("the cutter did not report its spacing between copies (MARGIN); nothing was cut");
        return ExitSilent;
    }
    if (options.qrDir.isEmpty())
        estimatePages();

    const QString name = QFileInfo(options.qrDir.isEmpty() ? options.prepared->path() : options.qrDir).fileName();
    QJsonObject record = task->value().toJsonObject();
    KTTaskRecord::setReport(&record, KTTaskRecord::Cutting, name, options.copies, 0, 0);
    task->setValue(record);
    copies->setValue(options.copies);
    mode->setValue(options.qrDir.isEmpty() ? 0 : 1);
    return ExitOk;
}

bool JobRunner::start()
{
    QString error;
    const int prepared = prepare(&error);
    if (prepared != ExitOk)
        finish(prepared, error);
    // Ctrl-C while the settings were read ended the job before it started.
    if (ended)
        return false;
    if (options.qrDir.isEmpty()) {
        double total = 0;
        for (double seconds : pageSeconds)
            total += seconds;
        emit started(options.prepared->path(), wholePages(), wholeCopies(), total * options.copies);
    } else {
        emit waitingForCode(options.qrDir, options.copies);
    }
    if (options.timeoutSeconds > 0)
        timeLimit.start();
    begun = true;
    unitStarted();
    ticker.start();
    link.device()->startTask();
    return !ended;
}

int JobRunner::run()
{
    if (start())
        loop.exec();
    return code;
}

void JobRunner::interrupt()
{
    if (ended)
        return;
    if (!begun) {
        link.cancelWait();
        finish(ExitInterrupted, tr("stopped before the job started; nothing was sent to cut"));
        return;
    }
    if (stoppingNow) {
        finishAt(ExitInterrupted, tr("stopped without waiting for the cutter"));
        return;
    }
    stoppingNow = true;
    KTDeviceProperty* stop = link.property(QStringLiteral("TASK_STOP"));
    if (!stop || stop->set_cmd_bytes().isEmpty()) {
        finishAt(ExitInterrupted, tr("stopped; this driver cannot stop the cutter"));
        return;
    }
    emit stopping();
    link.send(stop->set_cmd_bytes());
    stopWait.start();
}

void JobRunner::togglePause()
{
    if (!begun || ended || stoppingNow)
        return;
    KTDeviceProperty* command = link.property(pausedNow ? QStringLiteral("TASK_RESUME") : QStringLiteral("TASK_PAUSE"));
    if (command)
        link.send(command->set_cmd_bytes());
}

void JobRunner::onTaskText(const QString& text)
{
    if (!begun || ended)
        return;
    follow();
    if (text == QLatin1String("STOP")) {
        finishAt(ExitCutterStopped, tr("the cutter stopped the job itself"));
        return;
    }
    if (text == QLatin1String("PAUSE") || text == QLatin1String("RESUME")) {
        const bool on = text == QLatin1String("PAUSE");
        if (on == pausedNow)
            return;
        pausedNow = on;
        if (on)
            pauseClock.start();
        else
            pausedMs += pauseClock.elapsed();
        emit paused(on);
        emit progress(currentProgress(unitElapsed()));
        return;
    }
    if (stoppingNow) {
        // The stop counts the copy in hand as done in the record; it was not finished.
        finishAt(ExitInterrupted, tr("stopped by the user"));
        return;
    }
    const int ordered = KTTaskRecord::copies(record());
    if (ordered > 0 && confirmedCopies >= options.copies) {
        finish(ExitOk, options.qrDir.isEmpty()
                           ? tr("done: %1 of %2 page(s) cut").arg(copiesText(confirmedCopies)).arg(pageCount)
                           : tr("done: %1 cut, one per scanned code").arg(copiesText(confirmedCopies)));
    }
}

// A scanned code names the job to cut: DIR/CODE.plt. The driver then feeds its further
// pages on each readiness reply, as for a normal job.
void JobRunner::onQrCode(const QString& codeText)
{
    if (options.qrDir.isEmpty() || ended || stoppingNow)
        return;
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]*$"));
    const QString path = QDir(options.qrDir).filePath(codeText + QStringLiteral(".plt"));
    if (!safe.match(codeText).hasMatch() || !QFileInfo(path).isFile()) {
        finishAt(ExitUnknownQrCode, tr("the cutter scanned the code \"%1\", which has no job (%2 not found)")
                                        .arg(codeText, safe.match(codeText).hasMatch() ? path : tr("not a file name")));
        return;
    }
    PreparedJob job;
    PreparedJob::Options plt;
    plt.pltOnly = true;
    QString error;
    emit reading(path);
    if (!job.read(path, plt)) {
        finish(ExitUnknownQrCode,
               job.unreadable() ? job.error() : QStringLiteral("%1: not sent: %2").arg(path, job.error()));
        return;
    }
    if (!loadJob(job, &error)) {
        finish(ExitUnknownQrCode, error);
        return;
    }
    estimatePages();
    emit scanned(codeText, path);
    if (options.timeoutSeconds > 0)
        timeLimit.start();
    pagesLoaded = true;
    confirmedPages = 0;
    unitStarted();
    link.send(link.property(QStringLiteral("TASK_PPLT"))->set_cmd_bytes());
    // As the driver's own start does for a one-page job: the status read answers its end.
    if (pageCount == 1) {
        if (KTDeviceProperty* status = link.property(QStringLiteral("DEVICE_STATUS")))
            link.send(status->get_cmd_bytes());
    }
}

void JobRunner::onLinkLost(const QString& text)
{
    // Before the start, preparing notices the lost link and says so once.
    if (begun)
        finishAt(ExitDisconnected, tr("the connection was lost (%1)").arg(DriverStatus::said(text)));
}

void JobRunner::onTimeLimit()
{
    finishAt(ExitSilent, tr("no progress for %1 s (--timeout)").arg(options.timeoutSeconds));
}

void JobRunner::finishAt(int exit, const QString& reason)
{
    if (ended)
        return;
    follow(); // what the driver confirmed up to this moment counts in the summary
    finish(exit, QStringLiteral("%1; %2").arg(reason, position()));
}

void JobRunner::finish(int exit, const QString& text)
{
    if (ended)
        return;
    follow();
    ended = true;
    timeLimit.stop();
    stopWait.stop();
    ticker.stop();
    code = exit;
    emit finished(exit, text);
    // Closes the task record as the desktop host does when a job ends.
    if (begun)
        link.device()->stopTask();
    loop.quit();
}
