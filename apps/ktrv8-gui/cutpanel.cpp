#include "cutpanel.h"

#include "cutterconnection.h"
#include "jobestimate.h"
#include "jobpanel.h"
#include "jobrunner.h"
#include "preparedjob.h"

#include "ktdeviceproperty.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CutPanel::CutPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    startButton = new QPushButton(tr("Start"));
    startButton->setObjectName(QStringLiteral("startCut"));
    pauseButton = new QPushButton(tr("Pause"));
    pauseButton->setObjectName(QStringLiteral("pauseCut"));
    stopButton = new QPushButton(tr("Stop"));
    stopButton->setObjectName(QStringLiteral("stopCut"));
    stopButton->setToolTip(tr("Asks the cutter to stop and waits for its confirmation"));
    buttons->addWidget(startButton);
    buttons->addWidget(pauseButton);
    buttons->addWidget(stopButton);
    resumeButton = new QPushButton(tr("Resume"));
    resumeButton->setObjectName(QStringLiteral("resumeJob"));
    resumeButton->setToolTip(tr("Cuts what the failed job left: from its first unconfirmed page on"));
    buttons->addWidget(resumeButton);
    layout->addLayout(buttons);
    bar = new QProgressBar;
    bar->setObjectName(QStringLiteral("progress"));
    bar->setRange(0, 100);
    bar->setValue(0);
    layout->addWidget(bar);
    progressLabel = new QLabel(tr("No cut yet"));
    progressLabel->setObjectName(QStringLiteral("progressText"));
    timeLabel = new QLabel;
    timeLabel->setObjectName(QStringLiteral("timeText"));
    resultLabel = new QLabel;
    resultLabel->setObjectName(QStringLiteral("result"));
    resultLabel->setWordWrap(true);
    layout->addWidget(progressLabel);
    layout->addWidget(timeLabel);
    layout->addWidget(resultLabel);
    fleetGroup = buildCloudGroup();
    connect(startButton, &QPushButton::clicked, this, &CutPanel::start);
    connect(pauseButton, &QPushButton::clicked, this, &CutPanel::pauseOrResume);
    connect(stopButton, &QPushButton::clicked, this, &CutPanel::stop);
    connect(resumeButton, &QPushButton::clicked, this, &CutPanel::resume);
    updateButtons();
}

QWidget* CutPanel::buildCloudGroup()
{
    auto* group = new QGroupBox(tr("Fleet service"));
    group->setObjectName(QStringLiteral("fleetService"));
    group->setToolTip(tr("Reports each cut to a fleet service (ktrv8-cloud): the cutter registers, "
                         "shows its running job and leaves a work record"));
    auto* form = new QFormLayout(group);
    auto field = [form](const QString& label, const char* name, const QString& hint) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setPlaceholderText(hint);
        form->addRow(label, edit);
        return edit;
    };
    cloudUrl = field(tr("Address"), "cloudUrl", tr("e.g. http://127.0.0.1:8080/ (empty: not reported)"));
    cloudToken = field(tr("Token"), "cloudToken", tr("the one ktrv8-cloud printed at start"));
    cloudToken->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    cloudCode = field(tr("Device code"), "cloudCode", tr("what this cutter registers as"));
    return group;
}

void CutPanel::setCloudOptions(const CloudOptions& options)
{
    cloudUrl->setText(options.url.toString());
    cloudToken->setText(QString::fromUtf8(options.token));
    cloudCode->setText(options.code);
}

CloudOptions CutPanel::cloudOptions() const
{
    CloudOptions options;
    options.url = QUrl(cloudUrl->text().trimmed(), QUrl::StrictMode);
    options.token = cloudToken->text().trimmed().toUtf8();
    options.code = cloudCode->text().trimmed();
    return options;
}

// Hands the device the cloud client and its code before the job, as "ktrv8 cut --cloud"
// does. False when the fields are filled but unusable: nothing is cut then, so that a job
// meant to be recorded is not cut unrecorded by a typing slip.
bool CutPanel::attachCloud()
{
    unrecorded.clear();
    const CloudOptions options = cloudOptions();
    const bool empty = cloudUrl->text().trimmed().isEmpty() && options.token.isEmpty() && options.code.isEmpty();
    if (empty)
        return true;
    QString error;
    if (!checkCloudOptions(options, true, &error)) {
        emit report(tr("Fleet service: %1; the job was not started").arg(error), true);
        return false;
    }
    progressLabel->setText(tr("Registering with the fleet service at %1").arg(options.url.toString()));
    auto* next = new CloudReport(options, this);
    if (next->attach(link->device(), job->qrMode() ? nullptr : job->preparedJob().get(), CloudReport::RegistrationMs))
        emit report(tr("Reporting this job to the fleet service at %1 as %2").arg(options.url.toString(), options.code),
                    false);
    else
        emit report(tr("Fleet service: %1").arg(unrecorded = next->error()), true);
    delete cloudReport; // the device now holds the new client
    cloudReport = next;
    return true;
}

// Waits until the service has answered the work record, so that a window closed right
// after the job does not lose it.
void CutPanel::flushCloud()
{
    if (cloudReport && !cloudReport->flush(CloudReport::RetryMs + CloudReport::RequestMs))
        emit report(tr("Fleet service: %1").arg(unrecorded = cloudReport->error()), true);
}

void CutPanel::setLink(CutterConnection* deviceLink, JobPanel* jobPanel)
{
    link = deviceLink;
    job = jobPanel;
    // Another job or other options: the place to go on from was the old job's.
    if (job)
        connect(job, &JobPanel::jobChanged, this, [this] { setResumePoint(0, 0, 0); });
    updateButtons();
}

void CutPanel::setConnected(bool on)
{
    connected = on;
    updateButtons();
}

void CutPanel::setJobReady(bool on, const QString& why)
{
    ready = on;
    notReady = why;
    updateButtons();
}

void CutPanel::updateButtons()
{
    startButton->setEnabled(link && job && connected && ready && !running);
    startButton->setToolTip(notReady.isEmpty() ? QString() : tr("Not possible: %1").arg(notReady));
    pauseButton->setEnabled(running);
    pauseButton->setText(paused ? tr("Resume") : tr("Pause"));
    stopButton->setEnabled(running);
    const bool resumable = resumePage > 0 && !running;
    resumeButton->setVisible(resumable);
    resumeButton->setEnabled(resumable && link && job && connected && ready);
    // A job's report goes where it was set when it started.
    for (QLineEdit* field : {cloudUrl, cloudToken, cloudCode})
        field->setReadOnly(running);
}

QString CutPanel::resultText() const
{
    return resultLabel->text();
}

QString CutPanel::progressText() const
{
    return progressLabel->text();
}

void CutPanel::setRunning(bool on)
{
    running = on;
    paused = false;
    updateButtons();
    emit runningChanged(on);
}

// The runner follows the job (pages, copies, estimates, stop); the panel only shows it.
bool CutPanel::start()
{
    if (running || !link || !job || !connected || !job->isReady())
        return false;
    // Running while the service registers the cutter, so that Start cannot be pressed twice.
    setRunning(true);
    if (!attachCloud()) {
        setRunning(false);
        return false;
    }
    JobOptions options;
    options.copies = job->copies();
    if (job->qrMode())
        options.qrDir = job->qrFolder();
    else
        options.prepared = job->preparedJob();
    partCopy = partPage = 1;
    restCopies = 0;
    launch(options);
    return true;
}

bool CutPanel::resume()
{
    if (running || resumePage < 1 || !link || !job || !connected || !job->isReady() || !job->preparedJob())
        return false;
    JobOptions options;
    options.prepared = std::make_shared<PreparedJob>(*job->preparedJob());
    if (!options.prepared->keepPagesFrom(resumePage)) {
        emit report(options.prepared->error(), true);
        return false;
    }
    // The rest of the copy in hand alone; the copies after it as the cutter repeats them.
    options.copies = resumePage > 1 ? 1 : resumeCopies - resumeCopy + 1;
    restCopies = resumePage > 1 ? resumeCopies - resumeCopy : 0;
    partCopy = resumeCopy;
    partPage = resumePage;
    setRunning(true);
    if (!attachCloud()) {
        setRunning(false);
        return false;
    }
    launch(options);
    return true;
}

void CutPanel::launch(const JobOptions& options)
{
    delete runner;
    runner = new JobRunner(*link, options, this);
    connect(runner, &JobRunner::started, this,
            [this](const QString&, int pages, int copies, double seconds) { onStarted(pages, copies, seconds); });
    connect(runner, &JobRunner::waitingForCode, this, [this](const QString& dir, int) {
        progressLabel->setText(tr("Waiting for the cutter to scan a code (jobs in %1)").arg(dir));
    });
    connect(runner, &JobRunner::scanned, this, [this](const QString& code, const QString& file) {
        emit report(tr("Scanned %1: cutting %2").arg(code, file), false);
    });
    connect(runner, &JobRunner::progress, this, &CutPanel::onProgress);
    connect(runner, &JobRunner::overrun, this, [this](int copy, int page, int times) {
        emit report(
            page > 0 ? tr("Page %1 of copy %2 has taken %3x its estimate; still waiting").arg(page).arg(copy).arg(times)
                     : tr("Copy %1 has taken %2x its estimate; still waiting").arg(copy).arg(times),
            true);
    });
    connect(runner, &JobRunner::paused, this, &CutPanel::onPaused);
    connect(runner, &JobRunner::stopping, this, [this] {
        progressLabel->setText(tr("Stopping: waiting for the cutter to confirm"));
        emit activityChanged();
        stopButton->setEnabled(false);
        pauseButton->setEnabled(false);
    });
    // Queued: the runner closes the driver's task after telling its end, and only then does
    // the driver post the work record that the end waits for.
    connect(runner, &JobRunner::finished, this, &CutPanel::onFinished, Qt::QueuedConnection);
    resultLabel->clear();
    bar->setValue(0);
    timeLabel->clear();
    progressLabel->setText(tr("Preparing the job"));
    clock.start();
    runner->start();
}

void CutPanel::onStarted(int pages, int copies, double seconds)
{
    estimate = seconds;
    emit report(tr("Cutting %1 page(s), %2 copy(ies); estimate %3").arg(pages).arg(copies).arg(durationText(seconds)),
                false);
}

void CutPanel::onProgress(const JobProgress& p)
{
    bar->setValue(qBound(0, int(p.percent + 0.5), 100));
    QString where = tr("Copy %1 of %2").arg(p.copy).arg(p.copies);
    if (p.waitingForCode)
        where += tr(", waiting for the next scanned code");
    else if (p.repeated)
        where += tr(", repeated by the cutter");
    else if (p.page > 0)
        where += tr(", page %1 of %2").arg(p.page).arg(p.pages);
    if (p.paused)
        where += tr(" (paused)");
    progressLabel->setText(where);
    emit activityChanged();
    QStringList times;
    if (estimate >= 0)
        times << tr("estimate %1").arg(durationText(estimate));
    if (p.secondsLeft >= 0)
        times << tr("about %1 left").arg(durationText(p.secondsLeft));
    timeLabel->setText(times.join(QLatin1String(", ")));
    emit cutting(p.waitingForCode ? 0 : p.copy, p.repeated ? 0 : p.page);
}

void CutPanel::onPaused(bool on)
{
    paused = on;
    updateButtons();
    emit activityChanged();
    emit report(on ? tr("Paused on the cutter") : tr("Resumed"), false);
}

// A resumed job's copies after the copy in hand follow its end; a job that failed part-way
// leaves the place to go on from.
void CutPanel::noteResume(int code)
{
    const JobAccount a = runner->account();
    if (code != ExitOk && a.sentPages > 0 && a.resumePage > 0)
        setResumePoint(a.resumePage + (a.resumeCopy == 1 ? partPage - 1 : 0), a.resumeCopy + partCopy - 1,
                       a.copies + partCopy - 1 + restCopies);
    else
        setResumePoint(0, 0, 0);
}

void CutPanel::setResumePoint(int page, int copy, int copies)
{
    resumePage = page;
    resumeCopy = copy;
    resumeCopies = copies;
    updateButtons();
}

void CutPanel::onFinished(int code, const QString& text)
{
    noteResume(code);
    if (code == ExitOk && restCopies > 0) {
        JobOptions options;
        options.prepared = job->preparedJob();
        options.copies = restCopies;
        partCopy += 1;
        partPage = 1;
        restCopies = 0;
        runner->deleteLater();
        runner = nullptr;
        launch(options);
        return;
    }
    runner->deleteLater();
    runner = nullptr;
    flushCloud();
    setRunning(false);
    emit cutting(0, 0);
    if (code == ExitOk && !unrecorded.isEmpty())
        code = ExitNotRecorded; // cut, but a warning rather than "done"
    if (code == ExitOk || code == ExitNotRecorded)
        bar->setValue(100);
    progressLabel->setText(code == ExitOk || code == ExitNotRecorded ? tr("Finished") : tr("Ended"));
    exitCode = code;
    resultLabel->setStyleSheet(code == ExitOk            ? QStringLiteral("color: #1b5e20; font-weight: bold")
                               : code == ExitNotRecorded ? QStringLiteral("color: #8a5a00; font-weight: bold")
                                                         : QStringLiteral("color: #b00020; font-weight: bold"));
    // The runner's text says what was confirmed; the code is the one "ktrv8 cut" returns.
    const QString said = text.isEmpty() ? text : text.at(0).toUpper() + text.mid(1);
    QString result = code == ExitOk            ? said
                     : code == ExitNotRecorded ? tr("%1, but not recorded: %2").arg(said, unrecorded)
                                               : tr("Not completed (exit code %1): %2").arg(code).arg(said);
    if (resumePage > 0)
        result += tr("; Resume goes on from page %1 of copy %2").arg(resumePage).arg(resumeCopy);
    resultLabel->setText(result);
    timeLabel->setText(tr("took %1").arg(durationText(clock.elapsed() / 1000.0)));
    emit report(resultLabel->text(), code != ExitOk);
    emit finished(code, text);
}

void CutPanel::pauseOrResume()
{
    if (runner)
        runner->togglePause();
}

void CutPanel::stop()
{
    if (runner)
        runner->interrupt();
}
