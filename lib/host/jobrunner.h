#ifndef JOBRUNNER_H
#define JOBRUNNER_H

#include "hostcommon.h"
#include "preparedjob.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QVariant>
#include <QVector>

#include <memory>

class CutterConnection;
class KTRV8;

// Where a job taken up again (its pages from one on, of one copy, or its last copies) lies in
// the job it goes on with. Its pages and copies are numbered as that job's in every signal and
// in its account; 0 for pages or copies: the job's own.
struct JobOrigin
{
    int copy = 1;   // this job's first copy is this copy of the whole
    int page = 1;   // its first page is this page of that copy
    int copies = 0; // of the whole job
    int pages = 0;  // per copy of the whole job
};

struct JobOptions
{
    QString file;                          // the job (normal job), read by the runner unless prepared
    std::shared_ptr<PreparedJob> prepared; // the job opened, or read and made ready, beforehand
    int copies = 1;
    QString qrDir;          // QR-code job: the jobs as DIR/CODE.plt
    int timeoutSeconds = 0; // > 0: no confirmed progress for this long ends the job
    QVariant margin;        // spacing between copies to set; else the cutter's own is kept
    JobOrigin origin;
};

// What the host knows of a job, in one place: every summary, event and window reads it,
// and it is brought up to date before any of them is said.
struct JobAccount
{
    int copies = 1;          // ordered
    int pagesPerCopy = 0;    // 0 for a QR-code job before its first scan
    int confirmedCopies = 0; // cut whole, as the cutter confirmed
    int confirmedPages = 0;  // of the copy after those, confirmed one by one
    int sentPages = 0;       // of that copy: the confirmed ones and the one on the cutter
    // Where a job that ended short goes on: page and copy, from 1; 0 when nothing is left
    // or the job cannot be taken up again by page (a QR-code job).
    int resumePage = 0;
    int resumeCopy = 0;
};

// Where a job stands. Pages are confirmed one by one while the host sends them (the first
// copy, every copy of a QR-code job); further copies of a normal job are repeated by the
// cutter as a whole. Inside a page or repeated copy only the time estimate says how far.
struct JobProgress
{
    int copy = 1; // the copy in hand, from 1
    int copies = 1;
    int page = 0; // the page in hand, from 1; 0 while not known
    int pages = 0;
    double percent = 0;      // of the whole job
    double secondsLeft = -1; // of the job, from the estimate; -1 unknown
    bool estimated = false;  // percent includes an estimated share of the unit in hand
    bool repeated = false;   // the cutter repeats this copy by itself
    bool waitingForCode = false;
    bool paused = false;
};

// Runs one cut job through the driver: hands it the job, starts it, follows the driver's
// page index and task record, feeds QR-code jobs, and turns a stop, a lost link or an
// optional time limit into clear ends. It prints nothing: hosts follow its signals.
class JobRunner : public QObject
{
    Q_OBJECT
public:
    JobRunner(CutterConnection& link, const JobOptions& options, QObject* parent = nullptr);

    // Starts the job and returns; finished() follows. false: it ended at once.
    bool start();
    // start() and wait for the end; returns the exit code.
    int run();
    void interrupt();
    // Pauses or resumes through the driver's own commands.
    void togglePause();

    int exitCode() const { return code; }
    const JobOrigin& origin() const { return options.origin; }
    JobAccount account() const;
    int finishedCopies() const { return confirmedCopies; }
    int pagesPerCopy() const { return pageCount; }
    bool isPaused() const { return pausedNow; }
    bool isRunning() const { return begun && !ended; }
    // "1 copy", "3 copies", in the language of the host's texts.
    static QString copiesText(int n);

signals:
    void reading(const QString& file);
    void started(const QString& name, int pages, int copies, double estimateSeconds);
    void waitingForCode(const QString& dir, int copies);
    void scanned(const QString& code, const QString& file);
    void pageConfirmed(int copy, int page, int pages);
    void copyConfirmed(int copy, int copies);
    void progress(const JobProgress& progress);
    // A page (or repeated copy: page 0) has run well past its estimate; said once each.
    void overrun(int copy, int page, int times);
    void paused(bool on);
    void stopping();
    void finished(int code, const QString& text);

private:
    int prepare(QString* error);
    bool loadJob(const PreparedJob& job, QString* error);
    void estimatePages();
    void onTaskText(const QString& text);
    void onQrCode(const QString& code);
    void onLinkLost(const QString& text);
    void onTimeLimit();
    void follow();
    bool followPages(bool held);
    void countCopies(int done, bool moved);
    void unitStarted();
    void checkOverrun(double elapsed, double estimate);
    JobProgress currentProgress(double elapsed) const;
    double unitEstimate() const;
    double unitElapsed() const;
    void finish(int exit, const QString& text);
    // Ends with the reason and where the job stands, said after the last progress counted.
    void finishAt(int exit, const QString& reason);
    double copyLength() const;
    double doneLength(double share) const;
    QString position() const;
    // This job's copy and page (from 1) as the whole job's, and the whole job's totals.
    int wholeCopy(int copy) const { return copy + options.origin.copy - 1; }
    int pageBase(int copy) const { return copy == 1 ? options.origin.page - 1 : 0; }
    int wholeCopies() const { return options.origin.copies > 0 ? options.origin.copies : options.copies; }
    int wholePages() const { return options.origin.pages > 0 ? options.origin.pages : pageCount; }
    QJsonObject record() const;
    int speed() const;

    CutterConnection& link;
    JobOptions options;
    KTRV8* rv8 = nullptr;
    QEventLoop loop;
    QTimer timeLimit;
    QTimer stopWait;
    QTimer ticker;           // follows the page index and shows progress about once a second
    QElapsedTimer unitClock; // time on the page or repeated copy in hand
    qint64 pausedMs = 0;
    QElapsedTimer pauseClock;
    QVector<ktconv::Measure> pageMeasures; // of the job in hand, as its pages go to the cutter
    QVector<double> pageSeconds;
    int code = ExitFailed;
    int pageCount = 0;
    int confirmedCopies = 0;
    int confirmedPages = 0;
    int sentThrough = 0;      // pages of the copy in hand that went to the cutter
    bool heldCounted = false; // the work the cutter finished during a hold is counted
    int overrunSaid = -1;     // unit whose overrun was reported
    int unitId = 0;
    int ticks = 0;
    bool begun = false;
    bool pagesLoaded = false;
    bool stoppingNow = false;
    bool ended = false;
    bool pausedNow = false;
};

Q_DECLARE_METATYPE(JobProgress)

#endif // JOBRUNNER_H
