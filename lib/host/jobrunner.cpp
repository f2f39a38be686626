#include "jobrunner.h"
#include "ktrv8_p.h"

#include "cutterconnection.h"
#include "jobestimate.h"
#include "jobtext.h"

#include "ktdeviceproperty.h"
#include "ktrv8.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace {

const int TickMs = 250;
const int TicksPerProgress = 4; // progress about once a second
const double OverrunFactor = 3.0;
const double OverrunGraceSeconds = 2.0; // small pages may run over by the link's latency

QString copiesText(int n)
{
    return QStringLiteral("%1 cop%2").arg(n).arg(n == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
}

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
            [this] { finish(ExitSilent, QStringLiteral("the cutter did not confirm the stop; %1").arg(position())); });
    ticker.setInterval(TickMs);
    connect(&ticker, &QTimer::timeout, this, [this] {
        ++ticks;
        follow();
    });
    connect(&link, &CutterConnection::taskText, this, &JobRunner::onTaskText);
    connect(&link, &CutterConnection::qrCode, this, &JobRunner::onQrCode);
    connect(&link, &CutterConnection::linkLost, this, &JobRunner::onLinkLost);
    if (KTDeviceProperty* task = link.property(QStringLiteral("TASK")))
        connect(task, &KTDeviceProperty::valueChanged, this, &JobRunner::follow);
}

int JobRunner::recordInt(const char* key) const
{
    const KTDeviceProperty* task = link.property(QStringLiteral("TASK"));
    return task ? task->value().toJsonObject().value(QLatin1String(key)).toInt() : 0;
}

int JobRunner::speed() const
{
    const KTDeviceProperty* p = link.property(QStringLiteral("SPEED"));
    return p ? p->value().toInt() : 0;
}

// The job goes to the driver as the one copy of its text; the host keeps only the page
// estimates, measured on the driver's own pages.
bool JobRunner::loadPages(const QString& path, QString* error)
{
    emit reading(path);
    QString text;
    if (!loadJobText(path, &text, error))
        return false;
    if (!rv8) {
        pageCount = KTRV8Private::splitPages(text).size();
        link.device()->setPlt(std::move(text));
    } else {
        rv8->setPlt(std::move(text));
        pageCount = KTRV8Private::pages(*rv8).size();
    }
    if (pageCount == 0) {
        *error = QStringLiteral("%1 holds no page to cut").arg(path);
        return false;
    }
    return true;
}

void JobRunner::estimatePages()
{
    pageSeconds.clear();
    if (!rv8)
        return;
    pageSeconds.reserve(KTRV8Private::pages(*rv8).size());
    for (const QString& page : KTRV8Private::pages(*rv8))
        pageSeconds.append(estimateSeconds(measurePage(page), speed()));
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
    if (options.qrDir.isEmpty() && !loadPages(options.file, error))
        return ExitUsage;

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
        *error = QStringLiteral("the connection was lost before the job started; nothing was cut");
        return ExitDisconnected;
    }
    if (!answered) {
        *error = QStringLiteral("the cutter did not answer within %1 s; nothing was cut").arg(waitMs / 1000);
        return ExitSilent;
    }
    if (unanswered.contains(QStringLiteral("MARGIN"))) {
        *error = QStringLiteral("the cutter did not report its spacing between copies (MARGIN); nothing was cut");
        return ExitSilent;
    }
    if (options.qrDir.isEmpty())
        estimatePages();

    const QString name = QFileInfo(options.qrDir.isEmpty() ? options.file : options.qrDir).fileName();
    QJsonObject record = task->value().toJsonObject();
    record.insert(QStringLiteral("TaskCopies"), options.copies);
    record.insert(QStringLiteral("Finished"), 0);
    record.insert(QStringLiteral("FileName"), name);
    record.insert(QStringLiteral("Status"), 1);
    record.insert(QStringLiteral("Percent"), 0);
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
        emit started(options.file, pageCount, options.copies, total * options.copies);
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
        finish(ExitInterrupted, QStringLiteral("stopped before the job started; nothing was sent to cut"));
        return;
    }
    if (stoppingNow) {
        finish(ExitInterrupted, QStringLiteral("stopped without waiting for the cutter; %1").arg(position()));
        return;
    }
    stoppingNow = true;
    KTDeviceProperty* stop = link.property(QStringLiteral("TASK_STOP"));
    if (!stop || stop->set_cmd_bytes().isEmpty()) {
        finish(ExitInterrupted, QStringLiteral("stopped; this driver cannot stop the cutter; %1").arg(position()));
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
        finish(ExitCutterStopped, QStringLiteral("the cutter stopped the job itself; %1").arg(position()));
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
        finish(ExitInterrupted, QStringLiteral("stopped by the user; %1").arg(position()));
        return;
    }
    const int ordered = recordInt("TaskCopies");
    if (ordered > 0 && confirmedCopies >= options.copies) {
        finish(ExitOk,
               options.qrDir.isEmpty()
                   ? QStringLiteral("done: %1 of %2 page(s) cut").arg(copiesText(confirmedCopies)).arg(pageCount)
                   : QStringLiteral("done: %1 cut, one per scanned code").arg(copiesText(confirmedCopies)));
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
        finish(
            ExitUnknownQrCode,
            QStringLiteral("the cutter scanned the code \"%1\", which has no job (%2 not found); %3")
                .arg(codeText, safe.match(codeText).hasMatch() ? path : QStringLiteral("not a file name"), position()));
        return;
    }
    QString error;
    if (!loadPages(path, &error)) {
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
    KTDeviceProperty* job = link.property(QStringLiteral("TASK_PPLT"));
    link.send(job->set_cmd_bytes());
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
        finish(ExitDisconnected, QStringLiteral("the connection was lost (%1); %2").arg(text, position()));
}

void JobRunner::onTimeLimit()
{
    finish(ExitSilent,
           QStringLiteral("no progress for %1 s (--timeout); %2").arg(options.timeoutSeconds).arg(position()));
}

void JobRunner::unitStarted()
{
    ++unitId;
    unitClock.start();
    pausedMs = 0;
    if (pausedNow)
        pauseClock.start();
}

// Follows the driver's own page index and task record: a page equal to the one before is
// progress too, though the job property's value does not change.
void JobRunner::follow()
{
    if (!begun || ended || stoppingNow)
        return;
    const bool qr = !options.qrDir.isEmpty();
    const bool pagesInHand =
        rv8 && pageCount > 0 && confirmedCopies < options.copies && (qr ? pagesLoaded : confirmedCopies == 0);
    bool moved = false;
    if (pagesInHand) {
        const int index = qBound(0, KTRV8Private::pageIndex(*rv8), pageCount);
        for (int page = confirmedPages + 1; page <= index; ++page)
            emit pageConfirmed(confirmedCopies + 1, page, pageCount);
        moved = index != confirmedPages;
        confirmedPages = qMax(confirmedPages, index);
    }
    const int done = qMin(recordInt("Finished"), options.copies);
    if (done > confirmedCopies) {
        for (int copy = confirmedCopies + 1; copy <= done; ++copy)
            emit copyConfirmed(copy, options.copies);
        confirmedCopies = done;
        confirmedPages = 0;
        pagesLoaded = false; // a QR-code copy's pages come with its scanned code
        moved = true;
    }
    if (moved) {
        unitStarted();
        if (options.timeoutSeconds > 0)
            timeLimit.start();
    }
    const double elapsed = unitElapsed();
    checkOverrun(elapsed, unitEstimate());
    if (moved || ticks % TicksPerProgress == 0)
        emit progress(currentProgress(elapsed));
}

double JobRunner::unitElapsed() const
{
    const qint64 pausedTotal = pausedMs + (pausedNow ? pauseClock.elapsed() : 0);
    return qMax<qint64>(0, unitClock.elapsed() - pausedTotal) / 1000.0;
}

// The estimate of what the cutter has in hand: a page, a whole repeated copy, or nothing
// known while a QR-code job waits for a scan.
double JobRunner::unitEstimate() const
{
    if (pageSeconds.isEmpty() || confirmedCopies >= options.copies)
        return -1;
    const bool qr = !options.qrDir.isEmpty();
    if (qr ? pagesLoaded : confirmedCopies == 0)
        return pageSeconds.value(confirmedPages, -1);
    if (qr)
        return -1;
    double copy = 0;
    for (double seconds : pageSeconds)
        copy += seconds;
    return copy;
}

void JobRunner::checkOverrun(double elapsed, double estimate)
{
    if (estimate < 0 || pausedNow || overrunSaid == unitId || elapsed < OverrunFactor * estimate
        || elapsed < estimate + OverrunGraceSeconds)
        return;
    overrunSaid = unitId;
    const bool pagesInHand = options.qrDir.isEmpty() ? confirmedCopies == 0 : pagesLoaded;
    emit overrun(confirmedCopies + 1, pagesInHand ? confirmedPages + 1 : 0,
                 estimate > 0 ? int(elapsed / estimate) : int(OverrunFactor));
}

JobProgress JobRunner::currentProgress(double elapsed) const
{
    JobProgress p;
    p.copies = options.copies;
    p.copy = qMin(confirmedCopies + 1, options.copies);
    p.pages = pageCount;
    p.paused = pausedNow;
    const bool qr = !options.qrDir.isEmpty();
    const bool allDone = confirmedCopies >= options.copies;
    const bool pagesInHand = !allDone && (qr ? pagesLoaded : confirmedCopies == 0);
    p.page = pagesInHand ? qMin(confirmedPages + 1, pageCount) : 0;
    p.repeated = !allDone && !qr && confirmedCopies > 0;
    p.waitingForCode = !allDone && qr && !pagesLoaded;
    const double estimate = unitEstimate();
    const double share = estimate > 0 ? qMin(elapsed / estimate, 0.99) : 0.0;
    p.estimated = share > 0;
    double inCopy = 0;
    if (pagesInHand && pageCount > 0)
        inCopy = (confirmedPages + share) / pageCount;
    else if (p.repeated)
        inCopy = share;
    p.percent = allDone ? 100.0 : 100.0 * (confirmedCopies + inCopy) / qMax(1, options.copies);
    if (!pageSeconds.isEmpty() && !qr) {
        double copy = 0, rest = 0;
        for (int i = 0; i < pageSeconds.size(); ++i) {
            copy += pageSeconds.at(i);
            if (pagesInHand && i > confirmedPages)
                rest += pageSeconds.at(i);
        }
        const double left = estimate > 0 ? qMax(0.0, estimate - elapsed) : 0.0;
        p.secondsLeft = allDone ? 0 : left + rest + copy * qMax(0, options.copies - confirmedCopies - 1);
    }
    return p;
}

QString JobRunner::position() const
{
    QString text = QStringLiteral("confirmed: %1 of %2").arg(confirmedCopies).arg(copiesText(options.copies));
    if (confirmedCopies < options.copies && confirmedPages > 0)
        text += QStringLiteral(", and %1 of %2 page(s) of copy %3")
                    .arg(confirmedPages)
                    .arg(pageCount)
                    .arg(confirmedCopies + 1);
    return text;
}

void JobRunner::finish(int exit, const QString& text)
{
    if (ended)
        return;
    follow(); // what the driver confirmed up to this moment counts in the summary
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
