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
    // Said with a failure: how to cut what is left, with the arguments the job was started
    // with (the program's name left out), so the rest is converted and cut the same way.
    void setResume(const QStringList& arguments);
    // The words as one line a POSIX shell reads back into the same words.
    static QString shellLine(const QStringList& words);

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
    QStringList resumeArgs;
};

#endif // JOBREPORT_H
