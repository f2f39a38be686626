// ktrv8-sim: a stand-in for the lettering cutter on TCP and on a pseudo-terminal.
#include "signalnotifier.h"
#include "simcutter.h"
#include "simline.h"
#include "simrecorder.h"
#include "simtransport.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

enum ExitCode {
    ExitOk = 0,
    ExitUsage = 2,
    ExitCannotServe = 3
};

void printLine(const QString& line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

[[noreturn]] void usageError(const QString& text)
{
    std::fprintf(stderr, "ktrv8-sim: %s (see --help)\n", qPrintable(text));
    std::exit(ExitUsage);
}

int intOption(const QCommandLineParser& parser, const QString& name, int fallback, int min, int max)
{
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < min || value > max)
        usageError(QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\"")
                       .arg(name)
                       .arg(min)
                       .arg(max)
                       .arg(parser.value(name)));
    return value;
}

struct Option
{
    const char* name;
    const char* value; // null: a switch
    const char* help;
};

// clang-format off
const Option options[] = {
    // name             value      help
    {"host",            "ADDR",    "Address to listen on (default 127.0.0.1)."},
    {"port",            "PORT",    "TCP port (default 9100; 0 picks a free one)."},
    {"no-tcp",          nullptr,   "Do not listen on TCP."},
    {"pty",             nullptr,   "Also serve on a pseudo-terminal, to be used as the USB device path."},
    {"family",          "CODE",    "Cutter family: 437 (the RV8, default) or 157."},
    {"firmware",        "TEXT",    "Firmware version the cutter reports."},
    {"device-id",       "TEXT",    "Machine number."},
    {"pcb-id",          "TEXT",    "PCB number."},
    {"pcb-version",     "TEXT",    "PCB version."},
    {"cut-ms",          "MS",      "Time to cut one page in ms (default 5), or \"speed\": path length / SPEED."},
    {"qr",              "CODES",   "Comma-separated codes the scanner reads, in turn."},
    {"stop-after-pages","N",       "The cutter stops the job by itself (1001) before page N+1."},
    {"finish-page-on-stop", nullptr, "A stop waits for the page being cut, which is reported done first."},
    {"out",             "FILE",    "Write the job text of every page cut to FILE."},
    {"svg",             "FILE",    "Draw what was cut into FILE (SVG)."},
    {"drop-after",      "N",       "Break the connection after N request frames."},
    {"silent-keys",     "KEYS",    "Comma-separated settings whose reads go unanswered."},
    {"refuse-keys",     "KEYS",    "Comma-separated settings whose writes are refused (result 1)."},
    {"ignore-keys",     "KEYS",    "Comma-separated settings whose writes are acknowledged but not applied."},
    {"delay-ms",        "MS",      "Delay every reply."},
    {"withhold",        nullptr,   "Never answer."},
    {"junk",            nullptr,   "Put noise and broken frames between replies."},
    {"byte-at-a-time",  nullptr,   "Send replies one byte per write."},
    {"idle-ms",         "MS",      "Pause after which the next page starts a new job (default 10000)."},
    {"verbose",         nullptr,   "Log requests and events on stderr."},
};
// clang-format on

QCommandLineParser& parseArguments(QCommandLineParser& parser, const QCoreApplication& app)
{
    parser.setApplicationDescription(QStringLiteral(
        "Cutter simulator: answers the KT-RV8 command language on TCP and, with --pty, on a "
        "pseudo-terminal.\nPrints \"LISTENING tcp ADDR:PORT\" and \"LISTENING pty PATH\" on stdout once ready.\n"
        "SIGUSR1 makes the cutter stop the job by itself; SIGINT/SIGTERM end it.\n"
        "Exit codes: 0 ended by a signal, 2 bad arguments, 3 cannot listen or open the pty."));
    parser.addHelpOption();
    for (const Option& option : options) {
        if (option.value)
            parser.addOption({QString::fromLatin1(option.name), QString::fromLatin1(option.help),
                              QString::fromLatin1(option.value)});
        else
            parser.addOption({QString::fromLatin1(option.name), QString::fromLatin1(option.help)});
    }
    if (!parser.parse(app.arguments()))
        usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(ExitOk);
    if (!parser.positionalArguments().isEmpty())
        usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    return parser;
}

ktsim::CutterOptions cutterOptions(const QCommandLineParser& parser)
{
    ktsim::CutterOptions cutter;
    cutter.family = intOption(parser, QStringLiteral("family"), 437, 0, 100000);
    if (cutter.family != 437 && cutter.family != 157)
        usageError(QStringLiteral("--family is 437 or 157"));
    if (parser.isSet(QStringLiteral("firmware")))
        cutter.info.firmware = parser.value(QStringLiteral("firmware"));
    if (parser.isSet(QStringLiteral("device-id")))
        cutter.info.deviceId = parser.value(QStringLiteral("device-id"));
    if (parser.isSet(QStringLiteral("pcb-id")))
        cutter.info.pcbId = parser.value(QStringLiteral("pcb-id"));
    if (parser.isSet(QStringLiteral("pcb-version")))
        cutter.info.pcbVersion = parser.value(QStringLiteral("pcb-version"));
    if (parser.value(QStringLiteral("cut-ms")) == QLatin1String("speed"))
        cutter.cutBySpeed = true;
    else
        cutter.cutMs = intOption(parser, QStringLiteral("cut-ms"), 5, 0, 600000);
    if (parser.isSet(QStringLiteral("qr")))
        cutter.qrCodes = parser.value(QStringLiteral("qr")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    cutter.stopAfterPages = intOption(parser, QStringLiteral("stop-after-pages"), -1, 0, 1000000);
    cutter.idleMs = intOption(parser, QStringLiteral("idle-ms"), 10000, 0, 3600000);
    cutter.replyDelayMs = intOption(parser, QStringLiteral("delay-ms"), 0, 0, 600000);
    cutter.finishPageOnStop = parser.isSet(QStringLiteral("finish-page-on-stop"));
    auto keyList = [&parser](const char* name) {
        return parser.value(QLatin1String(name)).split(QLatin1Char(','), Qt::SkipEmptyParts);
    };
    cutter.quirks = {keyList("silent-keys"), keyList("refuse-keys"), keyList("ignore-keys")};
    return cutter;
}

ktsim::LineFaults lineFaults(const QCommandLineParser& parser)
{
    ktsim::LineFaults faults;
    faults.dropAfterFrames = intOption(parser, QStringLiteral("drop-after"), -1, 0, 100000000);
    faults.delayMs = intOption(parser, QStringLiteral("delay-ms"), 0, 0, 600000);
    faults.withhold = parser.isSet(QStringLiteral("withhold"));
    faults.junk = parser.isSet(QStringLiteral("junk"));
    faults.byteAtATime = parser.isSet(QStringLiteral("byte-at-a-time"));
    return faults;
}

// Where the simulator listens; checked before anything is opened.
struct Endpoints
{
    bool tcp = true;
    bool pty = false;
    QHostAddress host;
    int port = 9100;
};

Endpoints endpoints(const QCommandLineParser& parser)
{
    Endpoints where;
    where.tcp = !parser.isSet(QStringLiteral("no-tcp"));
    where.pty = parser.isSet(QStringLiteral("pty"));
    if (!where.tcp && !where.pty)
        usageError(QStringLiteral("--no-tcp needs --pty"));
    const QString hostText =
        parser.isSet(QStringLiteral("host")) ? parser.value(QStringLiteral("host")) : QStringLiteral("127.0.0.1");
    where.host = QHostAddress(hostText);
    if (where.host.isNull())
        usageError(QStringLiteral("--host takes an IP address, not \"%1\"").arg(hostText));
    where.port = intOption(parser, QStringLiteral("port"), 9100, 0, 65535);
    return where;
}

bool openRecorder(const QCommandLineParser& parser, ktsim::CutRecorder& recorder, QString* error)
{
    if (parser.isSet(QStringLiteral("out")) && !recorder.openText(parser.value(QStringLiteral("out")), error))
        return false;
    return !parser.isSet(QStringLiteral("svg")) || recorder.setSvg(parser.value(QStringLiteral("svg")), error);
}

bool openTransports(const Endpoints& where, ktsim::TcpTransport& tcp, ktsim::PtyTransport& pty, ktsim::SimLine& line,
                    QString* error)
{
    QObject::connect(&tcp, &ktsim::Transport::listening, printLine);
    QObject::connect(&pty, &ktsim::Transport::listening, printLine);
    if (where.tcp) {
        if (!tcp.listen(where.host, quint16(where.port), error)) {
            if (where.port != 0)
                *error +=
                    QStringLiteral(" (is another simulator or cutter service running? --port 0 picks a free port)");
            return false;
        }
        line.addTransport(&tcp);
    }
    if (where.pty) {
        if (!pty.open(error))
            return false;
        line.addTransport(&pty);
    }
    return true;
}

int cannotServe(const QString& error)
{
    std::fprintf(stderr, "ktrv8-sim: %s\n", qPrintable(error));
    return ExitCannotServe;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ktrv8-sim"));
    QCommandLineParser parser;
    parseArguments(parser, app);
    const ktsim::CutterOptions cutter = cutterOptions(parser);
    const ktsim::LineFaults faults = lineFaults(parser);
    const Endpoints where = endpoints(parser);

    QString error;
    ktsim::CutRecorder recorder;
    if (!openRecorder(parser, recorder, &error))
        return cannotServe(error);
    ktsim::SimCutter model(cutter, &recorder);
    ktsim::SimLine line(&model, faults);
    if (parser.isSet(QStringLiteral("verbose"))) {
        auto toStderr = [](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); };
        QObject::connect(&model, &ktsim::SimCutter::log, toStderr);
        QObject::connect(&line, &ktsim::SimLine::log, toStderr);
    }
    ktsim::TcpTransport tcpTransport;
    ktsim::PtyTransport ptyTransport;
    if (!openTransports(where, tcpTransport, ptyTransport, line, &error))
        return cannotServe(error);

    SignalNotifier stopSignals;
    if (!stopSignals.watch({SIGINT, SIGTERM, SIGUSR1}, &error))
        return cannotServe(error);
    QObject::connect(&stopSignals, &SignalNotifier::received, [&](int number) {
        if (number == SIGUSR1)
            model.deviceStop();
        else
            app.quit();
    });
    ::signal(SIGPIPE, SIG_IGN);

    const int code = app.exec();
    std::fprintf(stderr, "ktrv8-sim: %d page(s) cut, %d request(s), %d malformed\n", model.pagesCut(),
                 line.framesHandled(), line.malformedFrames());
    return code;
}
