// ktrv8: command-line host for the KT-RV8 cutter driver plug-in.
#include "cloudcommands.h"
#include "commands.h"
#include "devicelink.h"
#include "drawingcommands.h"
#include "jobreport.h"
#include "jobrunner.h"
#include "output.h"
#include "settingsaccess.h"
#include "signalnotifier.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The driver picks its translation from the system locale, read once at start-up.
bool applyLanguage(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        QByteArray value;
        if (std::strcmp(argv[i], "--lang") == 0 && i + 1 < argc)
            value = argv[i + 1];
        else if (std::strncmp(argv[i], "--lang=", 7) == 0)
            value = argv[i] + 7;
        else
            continue;
        const QByteArray locale = localeForLanguage(QString::fromLocal8Bit(value)).toLatin1();
        if (locale.isEmpty()) {
            std::fprintf(stderr, "ktrv8: --lang takes en, ja or zh, not \"%s\"\n", value.constData());
            return false;
        }
        qputenv("LC_ALL", locale + ".UTF-8");
        qputenv("LANG", locale + ".UTF-8");
    }
    return true;
}

// The driver's debug lines are for its developers: shown only with KTRV8_DEBUG=1.
void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    static const bool debug = qEnvironmentVariableIntValue("KTRV8_DEBUG") != 0;
    if (type == QtDebugMsg && !debug)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool intValue(const QCommandLineParser& parser, const QString& name, int min, int max, int* value, QString* error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *value = parser.value(name).toInt(&ok);
    if (!ok || *value < min || *value > max) {
        *error = QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\"")
                     .arg(name)
                     .arg(min)
                     .arg(max)
                     .arg(parser.value(name));
        return false;
    }
    return true;
}

JobRunner* running = nullptr;

// Ctrl-C, SIGTERM and SIGHUP (the terminal closed) stop a running job through the cutter;
// otherwise they end ktrv8 at once.
// Without the notifier they keep their default action, which ends it as well.
void watchSignals()
{
    auto* notifier = new SignalNotifier(QCoreApplication::instance());
    QString error;
    if (!notifier->watch({SIGINT, SIGTERM, SIGHUP}, &error))
        return;
    QObject::connect(notifier, &SignalNotifier::received, [] {
        if (running)
            running->interrupt();
        else
            std::_Exit(ExitInterrupted);
    });
}

int runJob(DeviceLink& link, const JobOptions& job, const Output& out)
{
    JobRunner runner(link, job);
    JobReport report(runner, out);
    running = &runner;
    const int code = runner.run();
    running = nullptr;
    return code;
}

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
    CloudOptions cloud;
    DeviceLink* link = nullptr;
    std::unique_ptr<QTemporaryDir> converted; // where a drawing to cut became a job
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

int checkKeys(Invocation& call)
{
    if (!call.args.isEmpty())
        return ExitOk;
    const bool get = call.command == QLatin1String("get");
    call.out.error(QStringLiteral("%1 needs at least one %2")
                       .arg(call.command, get ? QStringLiteral("KEY") : QStringLiteral("KEY=VALUE")));
    return ExitUsage;
}

// A drawing is converted here, before any connection, so a bad one costs none.
int checkCut(Invocation& call)
{
    const Output& out = call.out;
    const QStringList& args = call.args;
    const bool qrJob = call.parser.isSet(QStringLiteral("qr"));
    if (qrJob ? args.size() > 1 : args.size() != 1) {
        out.error(qrJob ? QStringLiteral("a QR-code job takes its jobs from --qr DIR, not from a file")
                        : QStringLiteral("cut takes one job file (FILE.plt or DRAWING.svg)"));
        return ExitUsage;
    }
    if (qrJob && !QFileInfo(call.parser.value(QStringLiteral("qr"))).isDir()) {
        out.error(QStringLiteral("no folder %1 for the QR-code jobs").arg(call.parser.value(QStringLiteral("qr"))));
        return ExitUsage;
    }
    if (qrJob)
        return ExitOk;
    if (!QFileInfo(args.first()).isFile()) {
        out.error(QStringLiteral("no job file %1").arg(args.first()));
        return ExitUsage;
    }
    call.converted = std::make_unique<QTemporaryDir>();
    const QString source = call.args.first();
    return cutJobFile(call.parser, source, call.converted->path(), out, &call.args.first());
}

int runCut(Invocation& call)
{
    DeviceLink& link = *call.link;
    JobOptions job;
    job.file = call.args.value(0);
    job.copies = call.copies;
    job.qrDir = call.parser.value(QStringLiteral("qr"));
    job.timeoutSeconds = call.options.timeoutSeconds;
    if (call.parser.isSet(QStringLiteral("margin"))) {
        QList<QPair<QString, QVariant>> values;
        QString error;
        if (!SettingsAccess(link).parse(QStringLiteral("MARGIN"), call.parser.value(QStringLiteral("margin")), &values,
                                        &error)) {
            call.out.error(error);
            return ExitUsage;
        }
        job.margin = values.first().second;
    }
    return runReported(link, job.file, call.cloud, call.out, [&] { return runJob(link, job, call.out); });
}

int runDemo(Invocation& call)
{
    DemoOptions demo;
    if (call.parser.isSet(QStringLiteral("copies")))
        demo.copies = call.copies;
    demo.outDir = call.parser.value(QStringLiteral("out-dir"));
    demo.sample = call.parser.value(QStringLiteral("sample"));
    demo.cutMs = call.cutMs;
    return commandDemo(call.options, demo, &running);
}

const Command commands[] = {
    {"demo", "ktrv8 demo [--copies N] [--out-dir DIR] [--cut-ms MS]",
     "Starts the cutter simulator beside ktrv8 on a free loopback port, cuts the sample job\n"
     "(examples/sample.plt) in 2 copies, checks the simulator's record against it and prints\n"
     "the path of an SVG picture of what was cut. Needs nothing but the build.",
     NeedsNothing, nullptr, runDemo},
    {"convert", "ktrv8 convert DRAWING.svg -o OUT.plt [cutter options]",
     "Converts an SVG drawing into a PLT job with the cutter options below, and says its\n"
     "size, cut length and pen-up travel. Needs no cutter.",
     NeedsNothing, nullptr, [](Invocation& call) { return commandConvert(call.parser, call.args, call.out); }},
    {"preview", "ktrv8 preview FILE -o OUT.png|OUT.svg [--copies N] [--margin MM] [cutter options]",
     "Draws what would be cut, from a PLT file or a drawing: cuts in blue, pen-up travel\n"
     "dashed in red, each path's place in the cut order at its start; pages one below the\n"
     "other, and --copies N further below, --margin MM apart (default 20), as the cutter\n"
     "lays them out. Needs no cutter.",
     NeedsNothing, nullptr, [](Invocation& call) { return commandPreview(call.parser, call.args, call.out); }},
    {"cut",
     "ktrv8 cut (FILE.plt | DRAWING.svg | --qr DIR) (--tcp HOST[:PORT] | --usb PATH) [--copies N] [--margin MM] "
     "[--timeout S]\n"
     "          [--cloud URL --token TOKEN --code CODE] [cutter options]",
     "Cuts a PLT job, or an SVG drawing converted with the cutter options below (the\n"
     "content tells which, whatever the file is called), page by page. --copies N cuts it N times (the cutter repeats "
     "it);\n"
     "--qr DIR runs a QR-code job: for each code the cutter scans, DIR/CODE.plt is cut.\n"
     "The job must be plain text (ASCII or UTF-8, no NUL, STX, ETX or other control byte\n"
     "but whitespace); anything else is refused with the byte offset (exit 2), nothing sent.\n"
     "Each page's time is estimated from its path lengths and the cutter's SPEED; the\n"
     "progress shows percent and time left, marked (estimate) until the cutter confirms.\n"
     "While the link is up a long page is waited for: past 3x its estimate it is said once.\n"
     "Space or p (stdin a terminal) pauses and resumes the cutter. Ctrl-C stops the cutter\n"
     "and waits for its confirmation (again: leave at once). --timeout S ends a job that\n"
     "makes no confirmed progress for S seconds (default: no limit). \"done\" and exit 0\n"
     "only when every page of every copy was confirmed.\n"
     "--cloud URL --token TOKEN --code CODE reports the job to a fleet service (ktrv8-cloud):\n"
     "the cutter registers as CODE, its job shows live on the service's page, and the work\n"
     "record (copies, page size and path length in mm) is kept when the job ends.",
     NeedsCutter | NeedsCloudCode, checkCut, runCut},
    {"info", "ktrv8 info (--tcp HOST[:PORT] | --usb PATH)",
     "Reads and shows the device information and every user setting.", NeedsCutter, nullptr,
     [](Invocation& call) { return commandInfo(*call.link, call.options); }},
    {"get", "ktrv8 get KEY... (--tcp HOST[:PORT] | --usb PATH)",
     "Reads settings or device information from the cutter and prints KEY=VALUE lines.\n"
     "Groups (SCALE, CAMERA_OFFSET) print their parts comma-separated. Commands (such\n"
     "as GET_QRCODE) are not keys. A key the cutter does not answer is an error (exit 5).",
     NeedsCutter, checkKeys, [](Invocation& call) { return commandGet(*call.link, call.options, call.args); }},
    {"set", "ktrv8 set KEY=VALUE... (--tcp HOST[:PORT] | --usb PATH)",
     "Writes settings. Values are checked against the setting's range first (a list item\n"
     "number for WORK_MODE); groups take comma-separated parts, e.g. CAMERA_OFFSET=0.5,-20.\n"
     "Prints the values the cutter holds afterwards; a write the cutter refuses or that\n"
     "reads back different is reported per key (exit 9).",
     NeedsCutter, checkKeys, [](Invocation& call) { return commandSet(*call.link, call.options, call.args); }},
    {"cloud-status", "ktrv8 cloud-status --cloud URL --token TOKEN",
     "Prints what the fleet service (ktrv8-cloud) knows: each device, whether it is online,\n"
     "when it was last seen, its running job, and its work records with their totals.",
     NeedsNothing, nullptr, [](Invocation& call) { return commandCloudStatus(call.cloud, call.out); }},
    {"move", "ktrv8 move X Y (--tcp HOST[:PORT] | --usb PATH)", "Moves the tool head by X, Y.", NeedsCutter, nullptr,
     [](Invocation& call) { return commandMove(*call.link, call.options, call.args); }},
    {"list", "ktrv8 list",
     "Lists candidate USB nodes of a cutter (/dev/kt-rv8, /dev/ttyACM*, /dev/ttyUSB*,\n"
     "/dev/usb/lp*) with what the system knows of each (maker, product, serial) and\n"
     "whether this user may open it, with the fix when not.",
     NeedsNothing, nullptr, [](Invocation& call) { return commandList(call.options); }},
    {"settings", "ktrv8 settings [--tcp HOST[:PORT] | --usb PATH] [--screenshot FILE.png]",
     "Opens a window with the driver's own setting rows, and Read and Apply buttons.\n"
     "--screenshot saves a picture of it and exits.",
     NeedsPlugin | NeedsWidgets, nullptr,
     [](Invocation& call) {
         return commandSettings(*call.link, call.options, call.parser.value(QStringLiteral("screenshot")));
     }},
};

const char* const commonHelp = "Options for every command:\n"
                               "  --tcp HOST[:PORT]   the cutter on the network (port 9100 by default)\n"
                               "  --usb PATH          the cutter's device node, e.g. /dev/ttyACM0\n"
                               "  --plugin PATH       the driver plug-in (default: $KTRV8_PLUGIN, else libKT-RV8.so\n"
                               "                      beside ktrv8, else the installed one in ../lib/.../kt-rv8/)\n"
                               "  --json              print JSON instead of text: one object per result, or per\n"
                               "                      job event (reading, started, page, copy, estimate, overrun,\n"
                               "                      paused, resumed, done, error with its exit code)\n"
                               "  --lang LANG         language of the driver's captions: en, ja or zh\n"
                               "  --timeout S         give a job up after S seconds without confirmed progress\n"
                               "                      (default: wait as long as the link is up)\n"
                               "  -h, --help          this help; \"ktrv8 COMMAND --help\" for one command\n";

const Command* findCommand(const QString& name)
{
    for (const Command& c : commands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

void printHelp(const Command* command)
{
    if (command) {
        const bool drawings = std::strstr(command->usage, "cutter options") != nullptr;
        std::printf("Usage: %s\n\n%s\n\n%s%s%s\n%s", command->usage, command->help, drawings ? drawingOptionsHelp : "",
                    drawings ? "\n" : "", commonHelp, qPrintable(exitCodeHelp()));
        return;
    }
    std::printf(
        "Usage: ktrv8 COMMAND [options]\n\nCommand-line host for the KT-RV8 cutter driver plug-in.\n\nCommands:\n");
    for (const Command& c : commands)
        std::printf("  %s\n", c.usage);
    std::printf("\n%s\n%s", commonHelp, qPrintable(exitCodeHelp()));
}

// --help, or no command named: the help; an unknown command is an error.
int showHelp(const Command* command, const QCommandLineParser& parser, const Output& out)
{
    printHelp(command);
    const bool asked = parser.isSet(QStringLiteral("help"));
    if (command || asked)
        return ExitOk;
    if (!parser.positionalArguments().isEmpty()) {
        out.error(QStringLiteral("unknown command \"%1\"").arg(parser.positionalArguments().first()));
        out.finalError(ExitUsage);
    }
    return ExitUsage;
}

int runCommand(const Command& command, Invocation& call)
{
    const QCommandLineParser& parser = call.parser;
    QString error;
    if (!parseAddressOptions(parser, &call.options.address, &call.options.haveAddress, &error)
        || !intValue(parser, QStringLiteral("timeout"), 1, 864000, &call.options.timeoutSeconds, &error)
        || !intValue(parser, QStringLiteral("copies"), 1, 999, &call.copies, &error)
        || !intValue(parser, QStringLiteral("cut-ms"), 0, 60000, &call.cutMs, &error)
        || !parseCloudOptions(parser, (command.needs & NeedsCloudCode) != 0, &call.cloud, &error)) {
        call.out.error(error);
        return ExitUsage;
    }
    if ((command.needs & NeedsCutter) == NeedsCutter && !call.options.haveAddress) {
        call.out.error(
            QStringLiteral("say where the cutter is: --tcp HOST[:PORT] or --usb PATH (ktrv8 demo needs neither)"));
        return ExitUsage;
    }
    watchSignals();
    const int checked = command.check ? command.check(call) : ExitOk;
    if (checked != ExitOk || !(command.needs & NeedsPlugin))
        return checked != ExitOk ? checked : command.run(call);
    DeviceLink link;
    if (!link.load(call.options.pluginPath, &error)) {
        call.out.error(error);
        return ExitNoPlugin;
    }
    if (call.options.haveAddress) {
        const int connected = link.connectTo(call.options.address, DeviceLink::ConnectTimeoutMs, &error);
        if (connected != ExitOk) {
            call.out.error(error);
            return connected;
        }
    }
    call.link = &link;
    return command.run(call);
}

bool hasArgument(int argc, char** argv, const char* option, bool prefix)
{
    for (int i = 1; i < argc; ++i) {
        if (prefix ? std::strncmp(argv[i], option, std::strlen(option)) == 0 : std::strcmp(argv[i], option) == 0)
            return true;
    }
    return false;
}

// The first argument that names a command.
const Command* commandIn(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (const Command* command = findCommand(QString::fromLocal8Bit(argv[i])))
            return command;
    }
    return nullptr;
}

// A window needs a QApplication, text in a drawing the fonts of a QGuiApplication; both run
// without a display where none is asked for (a screenshot, a conversion).
// Help needs no window.
std::unique_ptr<QCoreApplication> makeApplication(const Command* command, int& argc, char** argv)
{
    const bool help = hasArgument(argc, argv, "--help", false) || hasArgument(argc, argv, "-h", false);
    const bool widgets = command && (command->needs & NeedsWidgets) && !help;
    const bool headless = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
                          && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (widgets && headless && hasArgument(argc, argv, "--screenshot", true))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (widgets && headless)
        return nullptr;
    const bool fonts = command && drawingNeedsFonts(QString::fromLatin1(command->name), argc, argv);
    if (fonts && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (widgets)
        return std::make_unique<QApplication>(argc, argv);
    if (fonts)
        return std::make_unique<QGuiApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

QList<QCommandLineOption> hostOptions()
{
    return {
        {{"h", "help"}, "help"},
        {"tcp", "cutter on the network", "HOST[:PORT]"},
        {"usb", "cutter device node", "PATH"},
        {"plugin", "driver plug-in", "PATH"},
        {"json", "JSON output"},
        {"lang", "caption language", "LANG"},
        {"timeout", "no-progress timeout", "S"},
        {"copies", "copies", "N"},
        {"qr", "QR-code job folder", "DIR"},
        {"margin", "spacing between copies", "MM"},
        {"screenshot", "screenshot file", "FILE"},
        {"out-dir", "demo output folder", "DIR"},
        {"sample", "demo job", "FILE"},
        {"cut-ms", "demo time per page", "MS"},
        {"cloud", "fleet service", "URL"},
        {"token", "fleet service token", "TOKEN"},
        {"code", "device code for the fleet service", "CODE"},
    };
}

// Negative numbers ("move 10 -5") are arguments, not options: marked before parsing, the
// mark taken off after.
const QString NegativeMark = QStringLiteral("\x01");

QStringList markNegativeNumbers(QStringList arguments)
{
    for (QString& argument : arguments) {
        bool number = false;
        argument.toInt(&number);
        if (number && argument.startsWith(QLatin1Char('-')))
            argument.prepend(NegativeMark);
    }
    return arguments;
}

QStringList commandArguments(const QCommandLineParser& parser, const Command& command)
{
    QStringList args = parser.positionalArguments();
    args.removeOne(QString::fromLatin1(command.name));
    for (QString& argument : args) {
        if (argument.startsWith(NegativeMark))
            argument.remove(0, 1);
    }
    return args;
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietDebug);
    if (!applyLanguage(argc, argv))
        return ExitUsage;
    const Command* command = commandIn(argc, argv);
    const std::unique_ptr<QCoreApplication> app = makeApplication(command, argc, argv);
    if (!app) {
        std::fprintf(stderr,
                     "ktrv8: %s opens a window and there is no display (DISPLAY or WAYLAND_DISPLAY); "
                     "--screenshot FILE.png saves a picture of it without one\n",
                     command->name);
        return ExitFailed;
    }
    QCoreApplication::setApplicationName(QStringLiteral("ktrv8"));

    QCommandLineParser parser;
    parser.addOptions(hostOptions() + drawingOptions());
    const Output plain(hasArgument(argc, argv, "--json", false));
    if (!parser.parse(markNegativeNumbers(app->arguments()))) {
        plain.error(parser.errorText() + QStringLiteral(" (see ktrv8 --help)"));
        plain.finalError(ExitUsage);
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help")) || !command)
        return showHelp(command, parser, plain);

    const Output out(parser.isSet(QStringLiteral("json")));
    Invocation call(parser, QString::fromLatin1(command->name), commandArguments(parser, *command), out);
    call.options.json = parser.isSet(QStringLiteral("json"));
    call.options.pluginPath = parser.value(QStringLiteral("plugin"));
    const int code = runCommand(*command, call);
    out.finalError(code);
    return code;
}
