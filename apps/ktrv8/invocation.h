#ifndef INVOCATION_H
#define INVOCATION_H

#include "cloudcommands.h"
#include "hostcommon.h"
#include "output.h"

#include <QStringList>

#include <memory>

class CutterConnection;
class PreparedJob;
class QCommandLineParser;

// What a command is given: its arguments and options and, for a command that works through
// the plug-in, the loaded link (connected when an address was given).
struct Invocation
{
    Invocation(const QCommandLineParser& commandLine, const QString& name, const QStringList& arguments,
               const Output& output)
        : parser(commandLine), command(name), args(arguments), out(output)
    {
    }

    const QCommandLineParser& parser;
    QString command;
    QStringList args;
    CommonOptions options;
    const Output& out;
    int copies = 1;
    int cutMs = 150;
    int fromPage = 1; // a job taken up again: from this page of copy fromCopy, then the copies after it
    int fromCopy = 1;
    CloudOptions cloud;
    CutterConnection* link = nullptr;
    std::shared_ptr<PreparedJob> job;      // the file to cut, opened and checked
    std::shared_ptr<PreparedJob> wholeJob; // with --from-page: the job's every page, for the copies after
};

// What a command needs before it runs.
enum Need {
    NeedsNothing = 0,
    NeedsPlugin = 1,     // the driver loaded; connected when an address is given
    NeedsCutter = 2 | 1, // the driver loaded and connected: --tcp or --usb is a must
    NeedsWidgets = 4,    // a window: a QApplication
    NeedsCloudCode = 8,  // --cloud goes with --code
};

// One row per command: the one place a new command is added.
struct Command
{
    const char* name;
    const char* usage;
    const char* help;
    int needs;
    // Checks that need no cutter, so that a wrong call costs no connection; may be null.
    int (*check)(Invocation& call);
    int (*run)(Invocation& call);
};

// The commands, in the order the help lists them.
const Command* findCommand(const QString& name);
// The first argument that names a command.
const Command* commandIn(int argc, char** argv);
// --help, or no command named: the help; an unknown command is an error.
int showHelp(const Command* command, const QCommandLineParser& parser, const Output& out);

// The cut and the demo, beside main: they share its Ctrl-C handling.
int checkCut(Invocation& call);
int runCut(Invocation& call);
int checkTestCut(Invocation& call); // the test shape made ready, as a cut's job
int runDemo(Invocation& call);

#endif // INVOCATION_H
