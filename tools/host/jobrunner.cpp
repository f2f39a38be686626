#include "jobrunner.h"

#include "devicelink.h"

#include "ktdeviceproperty.h"
#include "ktrv8.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

#include <cstdio>

namespace {

bool readJob(const QString& path, QString* text, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *text = QString::fromLocal8Bit(file.readAll());
    if (KTRV8::splitPages(*text).isEmpty()) {
        *error = QStringLiteral("%1 holds no page to cut").arg(path);
        return false;
    }
    return true;
}

} // namespace

JobRunner::JobRunner(DeviceLink& deviceLink, const Output& output, const JobOptions& jobOptions)
    : link(deviceLink), out(output), options(jobOptions)
{
    rv8 = qobject_cast<KTRV8*>(link.device());
    watchdog.setSingleShot(true);
    watchdog.setInterval(options.timeoutSeconds * 1000);
    connect(&watchdog, &QTimer::timeout, this, &JobRunner::onWatchdog);
    stopWait.setSingleShot(true);
    stopWait.setInterval(qMin(options.timeoutSeconds, 10) * 1000);
    connect(&stopWait, &QTimer::timeout, this, [this] {
        finish(ExitSilent, QStringLiteral("the cutter did not confirm the stop; %1").arg(position()));
    });
    connect(&link, &DeviceLink::taskText, this, &JobRunner::onTaskText);
    connect(&link, &DeviceLink::qrCode, this, &JobRunner::onQrCode);
    connect(&link, &DeviceLink::linkLost, this, &JobRunner::onLinkLost);
    for (const char* key : {"TASK", "TASK_PPLT"}) {
        if (KTDeviceProperty* p = link.property(QString::fromLatin1(key)))
            connect(p, &KTDeviceProperty::valueChanged, this, &JobRunner::showProgress);
    }
}

int JobRunner::recordInt(const char* key) const
{
    const KTDeviceProperty* task = link.property(QStringLiteral("TASK"));
    return task ? task->value().toJsonObject().value(QLatin1String(key)).toInt() : 0;
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

    if (options.copies > 1) {
        // The driver sends the spacing between copies before the job: keep the cutter's own
        // unless one was asked for, never the unset 0.
        KTDeviceProperty* margin = link.property(QStringLiteral("MARGIN"));
        if (margin && options.margin.isValid()) {
            margin->setValue(options.margin);
        } else if (margin) {
            QStringList unanswered;
            if (!link.readBack({QStringLiteral("MARGIN")}, 10000, &unanswered) || !unanswered.isEmpty()) {
                *error = QStringLiteral("the cutter did not report its spacing between copies (MARGIN)");
                return ExitSilent;
            }
        }
    }
    if (options.qrDir.isEmpty()) {
        QString text;
        if (!readJob(options.file, &text, error))
            return ExitUsage;
        link.device()->setPlt(text);
        pagesPerCopy = KTRV8::splitPages(text).size();
    }
    return ExitOk;
}

int JobRunner::run()
{
    QString error;
    const int prepared = prepare(&error);
    if (prepared != ExitOk) {
        out.error(error);
        return prepared;
    }
    if (options.qrDir.isEmpty())
        out.line(QStringLiteral("Cutting %1: %2 page(s), %3 cop%4").arg(options.file).arg(pagesPerCopy).arg(options.copies)
                     .arg(options.copies == 1 ? QStringLiteral("y") : QStringLiteral("ies")));
    else
        out.line(QStringLiteral("QR-code job from %1, %2 cop%3: waiting for the cutter to scan")
                     .arg(options.qrDir).arg(options.copies).arg(options.copies == 1 ? QStringLiteral("y") : QStringLiteral("ies")));
    watchdog.start();
    started = true;
    link.device()->startTask();
    if (!finished)
        loop.exec();
    return exitCode;
}

void JobRunner::interrupt()
{
    if (finished)
        return;
    if (stopping) {
        finish(ExitInterrupted, QStringLiteral("stopped without waiting for the cutter; %1").arg(position()));
        return;
    }
    stopping = true;
    KTDeviceProperty* stop = link.property(QStringLiteral("TASK_STOP"));
    if (!stop || stop->set_cmd_bytes().isEmpty()) {
        finish(ExitInterrupted, QStringLiteral("stopped; this driver cannot stop the cutter; %1").arg(position()));
        return;
    }
    if (Output::terminal() && !out.isJson())
        std::fputs("\n", stdout);
    out.line(QStringLiteral("Stopping: waiting for the cutter to confirm (Ctrl-C again to leave at once)"));
    link.send(stop->set_cmd_bytes());
    stopWait.start();
}

void JobRunner::onTaskText(const QString& text)
{
    watchdog.start();
    if (text == QLatin1String("STOP")) {
        finish(ExitCutterStopped, QStringLiteral("the cutter stopped the job itself; %1").arg(position()));
        return;
    }
    if (text == QLatin1String("PAUSE") || text == QLatin1String("RESUME")) {
        out.line(text == QLatin1String("PAUSE") ? QStringLiteral("Paused on the cutter") : QStringLiteral("Resumed"));
        return;
    }
    const int done = recordInt("Finished");
    const int ordered = recordInt("TaskCopies");
    if (stopping) {
        // The stop counts the copy in hand as done in the record; it was not finished.
        finish(ExitInterrupted, QStringLiteral("stopped by the user; %1").arg(position()));
        return;
    }
    showProgress();
    if (ordered > 0 && done >= ordered) {
        const QString copies = QStringLiteral("%1 cop%2").arg(done).arg(done == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
        finish(ExitOk, options.qrDir.isEmpty() ? QStringLiteral("done: %1 of %2 page(s) cut").arg(copies).arg(pagesPerCopy)
                                               : QStringLiteral("done: %1 cut, one per scanned code").arg(copies));
    }
}

// A scanned code names the job to cut: DIR/CODE.plt. The driver then feeds its further
// pages on each readiness reply, as for a normal job.
void JobRunner::onQrCode(const QString& code)
{
    if (options.qrDir.isEmpty() || finished || stopping)
        return;
    watchdog.start();
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]*$"));
    const QString path = QDir(options.qrDir).filePath(code + QStringLiteral(".plt"));
    if (!safe.match(code).hasMatch() || !QFileInfo(path).isFile()) {
        finish(ExitUnknownQrCode, QStringLiteral("the cutter scanned the code \"%1\", which has no job (%2 not found); %3")
                                      .arg(code, safe.match(code).hasMatch() ? path : QStringLiteral("not a file name"), position()));
        return;
    }
    QString text, error;
    if (!readJob(path, &text, &error)) {
        finish(ExitUnknownQrCode, error);
        return;
    }
    out.line(QStringLiteral("Scanned %1: cutting %2").arg(code, path));
    pagesPerCopy = KTRV8::splitPages(text).size();
    pagesLoaded = true;
    link.device()->setPlt(text);
    KTDeviceProperty* job = link.property(QStringLiteral("TASK_PPLT"));
    link.send(job->set_cmd_bytes());
    // As the driver's own start does for a one-page job: the status read answers its end.
    if (pagesPerCopy == 1) {
        if (KTDeviceProperty* status = link.property(QStringLiteral("DEVICE_STATUS")))
            link.send(status->get_cmd_bytes());
    }
}

void JobRunner::onLinkLost(const QString& text)
{
    finish(ExitDisconnected, QStringLiteral("the connection was lost (%1); %2").arg(text, position()));
}

void JobRunner::onWatchdog()
{
    finish(ExitSilent, QStringLiteral("no progress for %1 s: the cutter stopped answering; %2").arg(options.timeoutSeconds).arg(position()));
}

// Pages are confirmed one by one while the host sends them (the first copy, and every copy
// of a QR-code job); further copies of a normal job are repeated by the cutter as a whole.
QString JobRunner::position() const
{
    QString text = QStringLiteral("confirmed: %1 of %2 cop%3").arg(confirmedCopies).arg(options.copies)
                       .arg(options.copies == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
    if (confirmedCopies < options.copies && confirmedPages > 0)
        text += QStringLiteral(", and %1 of %2 page(s) of copy %3").arg(confirmedPages).arg(pagesPerCopy).arg(confirmedCopies + 1);
    return text;
}

void JobRunner::showProgress()
{
    if (!started || finished || stopping)
        return;
    watchdog.start();
    const int done = qMin(recordInt("Finished"), options.copies);
    const bool qr = !options.qrDir.isEmpty();
    if (done != confirmedCopies) {
        confirmedCopies = done;
        pagesLoaded = false;    // a QR-code copy's pages come with its scanned code
    }
    const bool pagesKnown = rv8 && pagesPerCopy > 0 && done < options.copies && (qr ? pagesLoaded : done == 0);
    confirmedPages = pagesKnown ? qBound(0, rv8->pageIndex(), pagesPerCopy) : 0;
    const double fraction = (done + (pagesKnown ? double(confirmedPages) / pagesPerCopy : 0.0)) / qMax(1, options.copies);
    QString where = QStringLiteral("copy %1/%2").arg(qMin(done + 1, options.copies)).arg(options.copies);
    if (pagesKnown && done < options.copies)
        where += QStringLiteral(", page %1/%2").arg(qMin(confirmedPages + 1, pagesPerCopy)).arg(pagesPerCopy);
    else if (done < options.copies && qr)
        where += QStringLiteral(", waiting for the next scanned code");
    else if (done < options.copies && done > 0)
        where += QStringLiteral(", repeated by the cutter");
    if (done >= options.copies)
        where = QStringLiteral("all %1 cop%2 done").arg(options.copies).arg(options.copies == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
    if (out.isJson() || where == lastProgress)
        return;
    lastProgress = where;
    if (Output::terminal()) {
        const int width = 30;
        const int filled = int(fraction * width + 0.5);
        std::fprintf(stdout, "\r[%s%s] %3d%%  %-40s", QByteArray(filled, '#').constData(), QByteArray(width - filled, '-').constData(),
                     int(fraction * 100 + 0.5), qPrintable(where));
        std::fflush(stdout);
    } else {
        out.line(QStringLiteral("progress %1% %2").arg(int(fraction * 100 + 0.5)).arg(where));
    }
}

void JobRunner::finish(int code, const QString& text)
{
    if (finished)
        return;
    finished = true;
    watchdog.stop();
    stopWait.stop();
    exitCode = code;
    lastSummary = text;
    if (Output::terminal() && !out.isJson())
        std::fputs("\n", stdout);
    if (code == ExitOk)
        out.line(text);
    else
        out.error(text);
    QJsonObject result{{QStringLiteral("status"), code == ExitOk ? QStringLiteral("done") : QStringLiteral("failed")},
                       {QStringLiteral("exitCode"), code},
                       {QStringLiteral("copies"), options.copies},
                       {QStringLiteral("finished"), confirmedCopies},
                       {QStringLiteral("pagesPerCopy"), pagesPerCopy},
                       {QStringLiteral("message"), text}};
    out.result(result);
    // Closes the task record as the desktop host does when a job ends.
    link.device()->stopTask();
    loop.quit();
}
