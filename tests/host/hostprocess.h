#ifndef HOSTPROCESS_H
#define HOSTPROCESS_H

#include "simprocess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// ktrv8 run to its end, its output gathered; code -1 when it did not end in time.
Run runHost(const QStringList& arguments, int timeoutMs = 60000);
QByteArray readFile(const QString& path);
QByteArray sampleJob();
QStringList addressOf(const SimProcess& sim, bool usb);

// ktrv8 with a terminal as its stdin and stdout, as a user at a console runs it.
struct TerminalHost
{
    int master = -1;
    pid_t pid = -1;
    QByteArray out;

    ~TerminalHost();
    bool start(const QStringList& arguments);
    bool waitFor(const QByteArray& text, int timeoutMs);
    void type(char key);
    int exitCode(int timeoutMs);
};

#endif // HOSTPROCESS_H
