#include "commands.h"
#include "drawingcommands.h"
#include "invocation.h"
#include "sheetoptions.h"
#include "textcommand.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>
#include <cstring>

namespace {

int checkKeys(Invocation& call)
{
    if (!call.args.isEmpty())
        return ExitOk;
    const bool get = call.command == QLatin1String("get");
    call.out.error(QStringLiteral("%1 needs at least one %2")
                       .arg(call.command, get ? QStringLiteral("KEY") : QStringLiteral("KEY=VALUE")));
    return ExitUsage;
}

const Command commands[] = {
    {"demo", "ktrv8 demo [--copies N] [--out-dir DIR] [--cut-ms MS]",
     "Starts the cutter simulator beside ktrv8 on a free loopback port, cuts the sample job\n"
     "(examples/sample.plt) in 2 copies, checks the simulator's record against it and prints\n"
     "the path of an SVG picture of what was cut. Needs nothing but the build.",
     NeedsNothing, nullptr, runDemo},
    {"convert", "ktrv8 convert DRAWING... -o OUT.plt [cutter options]",
     "Converts drawings (SVG, PDF, DXF, bitmaps traced: PNG, JPEG, BMP, TIFF; several are\n"
     "laid out on one material) into a PLT job with the cutter options below, and says its\n"
     "size, cut length and pen-up travel. Needs no cutter.",
     NeedsNothing, nullptr, [](Invocation& call) { return commandConvert(call.parser, call.args, call.out); }},
    {"preview", "ktrv8 preview FILE... -o OUT.png|OUT.svg [--copies N] [--margin MM] [cutter options]",
     "Draws what would be cut, from drawings (SVG, PDF, DXF, bitmaps) or PLT jobs: cuts in\n"
     "blue, pen-up travel dashed in red, each path's place in the cut order at its start;\n"
     "pages one below the other, and --copies N further below, --margin MM apart (default\n"
     "20), as the cutter lays them out. Needs no cutter.",
     NeedsNothing, nullptr, [](Invocation& call) { return commandPreview(call.parser, call.args, call.out); }},
    {"cut",
     "ktrv8 cut (FILE... | --qr DIR) (--tcp HOST[:PORT] | --usb PATH) [--copies N] [--margin MM] [--timeout S]\n"
     "          [--from-page N [--copy K]] [--cloud URL --token TOKEN --code CODE] [cutter options]",
     "Cuts drawings (SVG, PDF, DXF, bitmaps traced: PNG, JPEG, BMP, TIFF), converted with\n"
     "the cutter options below, or PLT jobs as they are: the content tells which, whatever\n"
     "the file is called. Several files are laid out on one material. Page by page;\n"
     "--copies N cuts it N times (the cutter repeats it);\n"
     "--qr DIR runs a QR-code job: for each code the cutter scans, DIR/CODE.plt is cut.\n"
     "The job must be plain text (ASCII or UTF-8, no NUL, STX, ETX or other control byte\n"
     "but whitespace); anything else is refused with the byte offset (exit 2), nothing sent.\n"
     "Each page's time is estimated from its path lengths and the cutter's SPEED; the\n"
     "progress shows percent and time left, marked (estimate) until the cutter confirms.\n"
     "While the link is up a long page is waited for: past 3x its estimate it is said once.\n"
     "Space or p (stdin a terminal) pauses and resumes the cutter. Ctrl-C stops the cutter\n"
     "and waits for its confirmation (again: leave at once). --timeout S ends a job that\n"
     "makes no confirmed progress for S seconds (default: no limit). \"done\" and exit 0\n"
     "only when every page of every copy was confirmed; a job that ends short says the\n"
     "command that goes on with it: --from-page N [--copy K] cuts pages N... of copy K\n"
     "(default 1) and then the copies after it, up to --copies.\n"
     "--cloud URL --token TOKEN --code CODE reports the job to a fleet service (ktrv8-cloud):\n"
     "the cutter registers as CODE, its job shows live on the service's page, and the work\n"
     "record (copies, page size and path length in mm) is kept when the job ends.",
     NeedsCutter | NeedsCloudCode, checkCut, runCut},
    {"test-cut", "ktrv8 test-cut (--tcp HOST[:PORT] | --usb PATH) [cut options] [cutter options]",
     "Cuts a 10 mm square with a triangle inside at the job's origin, where the head stands\n"
     "(--origin X,Y moves it), with the cutter options given: the check of the knife's\n"
     "pressure and blade offset before a job.",
     NeedsCutter, checkTestCut, runCut},
    {"text",
     "ktrv8 text TEXT... [--font FAMILY] [--bold] [--italic] [--height MM] [--line-spacing F]\n"
     "          [--align left|center|right] [--letter-spacing MM] [--weld] [--allow-missing-glyphs]\n"
     "          (-o OUT.plt|OUT.png|OUT.svg | --tcp HOST[:PORT] | --usb PATH) [cut options] [cutter options]",
     "Cuts lettering typed in. Each TEXT, and each \"\\n\" in one, starts a line. --font takes a\n"
     "family (or a list, as in CSS; default sans-serif); --height MM is the height of a capital\n"
     "(default 10); --line-spacing F times the font's own line distance (default 1); lines are\n"
     "aligned left (default), center or right; --letter-spacing MM is added between letters.\n"
     "--weld joins overlapping letters into one outline, so a script word is cut in one piece\n"
     "and never through the letters where they touch; counters stay holes.\n"
     "A character no installed font has is named with where it is, and nothing is written or\n"
     "sent (exit 2), as for text in a drawing: see --allow-missing-glyphs below.\n"
     "-o writes the PLT job or a preview; --tcp/--usb cuts it with the options of ktrv8 cut.",
     NeedsPlugin, checkText, runText},
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
     "Lists every USB device a cutter may present itself as (serial, printer, HID and\n"
     "vendor bulk) with the path to connect with, its ids, serial, interface and driver,\n"
     "and whether this user may open it, with the fix when not.",
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
                               "  --lang LANG         language of the driver's captions, a job's progress and its\n"
                               "                      result: en, ja or zh\n"
                               "  --verbose           also show the driver's and Qt's log lines on stderr\n"
                               "  --timeout S         give a job up after S seconds without confirmed progress\n"
                               "                      (default: wait as long as the link is up)\n"
                               "  -h, --help          this help; \"ktrv8 COMMAND --help\" for one command\n";

} // namespace

const Command* findCommand(const QString& name)
{
    for (const Command& c : commands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

const Command* commandIn(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (const Command* command = findCommand(QString::fromLocal8Bit(argv[i])))
            return command;
    }
    return nullptr;
}

namespace {

QString helpText(const Command* command)
{
    if (command) {
        const bool drawings = std::strstr(command->usage, "cutter options") != nullptr;
        return QStringLiteral("Usage: %1\n\n%2\n\n%3%4%5%6%7\n%8")
            .arg(QLatin1String(command->usage), QLatin1String(command->help),
                 QLatin1String(drawings ? drawingOptionsHelp : ""), QLatin1String(drawings ? "\n" : ""),
                 QLatin1String(drawings ? sheetOptionsHelp : ""), QLatin1String(drawings ? "\n" : ""),
                 QLatin1String(commonHelp), exitCodeHelp());
    }
    QString text = QStringLiteral(
        "Usage: ktrv8 COMMAND [options]\n\nCommand-line host for the KT-RV8 cutter driver plug-in.\n\nCommands:\n");
    for (const Command& c : commands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(c.usage));
    return text + QStringLiteral("\n%1\n%2").arg(QLatin1String(commonHelp), exitCodeHelp());
}

// With --json the help is one object: the command it is about (or every command's name) and
// the text people read.
void printHelp(const Command* command, const Output& out)
{
    if (!out.isJson()) {
        std::fputs(qPrintable(helpText(command)), stdout);
        return;
    }
    QJsonObject help{{QStringLiteral("text"), helpText(command)}};
    if (command) {
        help.insert(QStringLiteral("command"), QLatin1String(command->name));
        help.insert(QStringLiteral("usage"), QLatin1String(command->usage));
    } else {
        QJsonArray names;
        for (const Command& c : commands)
            names.append(QLatin1String(c.name));
        help.insert(QStringLiteral("commands"), names);
    }
    out.event(QStringLiteral("help"), help);
}

} // namespace

int showHelp(const Command* command, const QCommandLineParser& parser, const Output& out)
{
    printHelp(command, out);
    const bool asked = parser.isSet(QStringLiteral("help"));
    if (command || asked)
        return ExitOk;
    if (!parser.positionalArguments().isEmpty()) {
        out.error(QStringLiteral("unknown command \"%1\"").arg(parser.positionalArguments().first()));
        out.finalError(ExitUsage);
    }
    return ExitUsage;
}
