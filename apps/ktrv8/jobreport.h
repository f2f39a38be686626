#ifndef JOBREPORT_H
#define JOBREPORT_H

#include "output.h"

#include <QObject>
#include <QStringList>

#include <memory>

class JobRunner;
struct JobAccount;
struct JobProgress;
class QSocketNotifier;

// Shows a running job on the terminal (a progress line, or plain lines when stdout is no
// terminal) or as one JSON object per event, and turns the space or p key into pause and
// resume when stdin is a terminal.
class JobReport : public QObject
{
    Q_OBJECT
public:
    JobReport(JobRunner& runner, const Output& out);
    ~JobReport() override;
    // Said with a failure: how to cut what is left of FILE.
    void setResume(const QString& file, const QStringList& addressArgs);

private:
    void connectEnd();
    void onProgress(const JobProgress& progress);
    void onFinished(int code, const QString& text);
    QString resumeCommand(const JobAccount& account) const;
    void onKey();
    void endLine();
    void say(const QString& text);

    JobRunner& runner;
    const Output& out;
    bool tty = false;
    bool lineOpen = false;
    QString lastLine;
    QString lastState; // the last estimate shown: equal ones are not repeated
    std::unique_ptr<QSocketNotifier> keys;
    bool rawInput = false;
    QString resumeFile;
    QStringList resumeAddress;
};

#endif // JOBREPORT_H
