#ifndef SIMCUTTER_H
#define SIMCUTTER_H

#include "simprotocol.h"
#include "simsettings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace ktsim {

class CutRecorder;

struct CutterOptions
{
    int family = 437;
    DeviceInfo info;
    int cutMs = 5;                 // time to cut one page
    bool cutBySpeed = false;       // derive it from the path length and the speed setting
    QStringList qrCodes;           // handed out in turn by GET_QRCODE reads
    int stopAfterPages = -1;       // the cutter stops by itself before the next page
    int idleMs = 10000;            // a pause this long ends a job (for TASK_REPEAT)
    int replyDelayMs = 0;          // how late replies reach the host
    bool finishPageOnStop = false; // a stop waits for the page in hand, which is reported done
    SettingQuirks quirks;
};

// The cutter: keeps its settings, takes job pages and cuts them one after another (one
// timer, no socket), and answers the way the real one does. Replies leave through reply().
class SimCutter : public QObject
{
    Q_OBJECT
public:
    SimCutter(const CutterOptions& options, CutRecorder* recorder, QObject* parent = nullptr);

    void handle(const Request& request);
    // The cutter stops the job by itself (its stop key): abandons the page and reports 1001.
    void deviceStop();

    // How long cutting a page takes: --cut-ms, or its path length at the speed setting.
    int pageDuration(const QByteArray& page) const;
    int pagesCut() const { return totalPagesCut; }
    bool busy() const { return !units.isEmpty(); }

signals:
    void reply(const QByteArray& frame);
    void log(const QString& line);

private:
    // Pages cut as one piece of work; a readiness reply or task reports follow it.
    struct Unit
    {
        QList<QByteArray> pages;
        int next = 0;
        bool readiness = true;   // answer "CCMD;4,0;" when done
        bool statusRead = false; // a DEVICE_STATUS read is answered by that reply
        bool reports = false;    // family-157 job: task reports instead
        int pagesPerCopy = 1;
        bool startsCopy = false; // its first page begins a copy (a new job or a repeat)
        int copies = 1;
        QString file;
    };

    void handleCcmd(const Request& request);
    void handleCmd(const Request& request);
    void takePage(const QByteArray& page);
    void takePltJob(const QByteArray& text, int copies);
    void repeatLastJob(const QStringList& fields);
    void statusRead();
    void qrCodeRead();
    void taskControl(int value, bool confirm);
    void abandonWork();
    void startNextPage();
    void pageFinished();
    void report(const Unit& unit, int status);
    void send(const QByteArray& frame);

    CutterOptions options;
    CutRecorder* recorder;
    SettingsStore store;
    QList<Unit> units;
    QTimer cutTimer;
    int resumeMs = -1; // time left on the page when paused
    bool paused = false;
    QList<QByteArray> lastJob; // what TASK_REPEAT cuts again
    bool jobBoundary = true;   // the next page starts a new job
    QElapsedTimer sinceWork;
    bool answerUnpaired = false; // the last readiness reply has not met its status read
    QElapsedTimer sinceAnswer;
    int totalPagesCut = 0;
    bool stopFired = false;
    bool stopPending = false; // asked to stop; confirmed once the page in hand is done
    int qrIndex = 0;
    QString lastQrCode;
    int jobNumber = 0;
    int pltCopies = 1;
};

} // namespace ktsim

#endif // SIMCUTTER_H
