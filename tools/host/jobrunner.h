#ifndef JOBRUNNER_H
#define JOBRUNNER_H

#include "hostcommon.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

class DeviceLink;
class KTRV8;

struct JobOptions
{
    QString file;               // the job (normal job)
    int copies = 1;
    QString qrDir;              // QR-code job: the jobs as DIR/CODE.plt
    int timeoutSeconds = 60;    // no progress for this long ends the job
    QVariant margin;            // spacing between copies to set; else the cutter's own is kept
};

// Runs one cut job through the driver: hands it the job, starts it, follows its task
// record, feeds QR-code jobs, and turns Ctrl-C, silence and a lost link into clear ends.
class JobRunner : public QObject
{
    Q_OBJECT
public:
    JobRunner(DeviceLink& link, const Output& output, const JobOptions& options);
    int run();
    void interrupt();

    int finishedCopies() const { return confirmedCopies; }
    QString summary() const { return lastSummary; }

private:
    int prepare(QString* error);
    void onTaskText(const QString& text);
    void onQrCode(const QString& code);
    void onLinkLost(const QString& text);
    void onWatchdog();
    void showProgress();
    void finish(int code, const QString& text);
    QString position() const;
    int recordInt(const char* key) const;

    DeviceLink& link;
    const Output& out;
    JobOptions options;
    KTRV8* rv8 = nullptr;
    QEventLoop loop;
    QTimer watchdog;
    QTimer stopWait;
    int exitCode = ExitFailed;
    int pagesPerCopy = 0;
    int confirmedCopies = 0;
    int confirmedPages = 0;
    bool started = false;
    bool pagesLoaded = false;
    bool stopping = false;
    bool finished = false;
    QString lastProgress;
    QString lastSummary;
};

#endif // JOBRUNNER_H
