#ifndef CUTPANEL_H
#define CUTPANEL_H

#include "cloudreport.h"
#include "jobrunner.h"

#include <QElapsedTimer>
#include <QWidget>

class CutterConnection;
class JobPanel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// Start, pause/resume and stop of the cut, and how far it got: page and copy, the
// estimate and the time left, and how it ended, shown in the panel (never in a dialog).
class CutPanel : public QWidget
{
    Q_OBJECT
public:
    explicit CutPanel(QWidget* parent = nullptr);
    // The fleet service's fields, for the window to place (they belong to the cut: each cut
    // is reported with them).
    QWidget* fleetFields() const { return fleetGroup; }

    void setLink(CutterConnection* link, JobPanel* job);
    void setConnected(bool connected);
    // why: the reason a job cannot be cut, shown on Start while it is off.
    void setJobReady(bool ready, const QString& why = QString());
    bool isRunning() const { return running; }
    bool isPaused() const { return paused; }
    // The exit code of the last job, as "ktrv8 cut" gives it; -1 before the first end.
    int lastExitCode() const { return exitCode; }
    QString resultText() const;
    QString progressText() const;
    // The "Fleet service" fields; all empty: the cuts are not reported.
    void setCloudOptions(const CloudOptions& options);
    CloudOptions cloudOptions() const;

public slots:
    // False when no job can start now (no link, no job, one running).
    bool start();
    void pauseOrResume();
    void stop();
    // Cuts what a job that failed part-way left: from the page after the confirmed ones of
    // the copy in hand, then the copies after it. False when there is nothing to go on with.
    bool resume();

signals:
    void runningChanged(bool running);
    // copy from 1, page from 1 or 0 for a whole copy; copy 0 when nothing is being cut.
    void cutting(int copy, int page);
    void finished(int exitCode, const QString& text);
    void report(const QString& text, bool problem);
    // progressText() or the pause changed.
    void activityChanged();

private:
    QWidget* buildCloudGroup();
    bool attachCloud();
    void launch(const JobOptions& options);
    void noteResume(int code);
    void setResumePoint(int page, int copy, int copies);
    void flushCloud();
    void updateButtons();
    void setRunning(bool on);
    void onStarted(int pages, int copies, double estimateSeconds);
    void onProgress(const JobProgress& progress);
    void onPaused(bool on);
    void onFinished(int code, const QString& text);

    CutterConnection* link = nullptr;
    JobPanel* job = nullptr;
    JobRunner* runner = nullptr;
    double estimate = -1;
    QElapsedTimer clock;
    QPushButton* startButton = nullptr;
    QPushButton* pauseButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* resumeButton = nullptr;
    QProgressBar* bar = nullptr;
    QLabel* progressLabel = nullptr;
    QLabel* timeLabel = nullptr;
    QLabel* resultLabel = nullptr;
    QWidget* fleetGroup = nullptr;
    QLineEdit* cloudUrl = nullptr;
    QLineEdit* cloudToken = nullptr;
    QLineEdit* cloudCode = nullptr;
    // Kept until the next reported job: the device holds on to the client it was given.
    CloudReport* cloudReport = nullptr;
    QString unrecorded; // why this job's cut is not recorded; empty: recorded or not reported
    bool connected = false;
    bool ready = false;
    QString notReady;
    bool running = false;
    bool paused = false;
    int exitCode = -1;
    // Where the failed job goes on (page, copy from 1; 0: nothing to resume), and of how many copies.
    int resumePage = 0;
    int resumeCopy = 0;
    int resumeCopies = 0;
    // Where the runner's job begins in the whole job, and the copies cut whole after it.
    int partCopy = 1;
    int partPage = 1;
    int restCopies = 0;
};

#endif // CUTPANEL_H
