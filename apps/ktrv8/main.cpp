// ktrv8: command-line host for the KT-RV8 cutter driver plug-in.
#include "cloudcommands.h"
#include "commands.h"
#include "cutterconnection.h"
#include "drawingcommands.h"
#include "invocation.h"
#include "jobreport.h"
#include "jobrunner.h"
#include "output.h"
#include "preparedjob.h"
#include "settingsaccess.h"
#include "sheetoptions.h"
#include "signalnotifier.h"
#include "startup.h"
#include "textcommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

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

// firstCopy, firstPage: where the job the runner has begins in the whole job.
int runJob(CutterConnection& link, JobOptions job, const Invocation& call, int firstCopy, int firstPage)
{
    if (call.wholeJob)
        job.origin = {firstCopy, firstPage, call.copies, call.wholeJob->pages().size()};
    JobRunner runner(link, job);
    JobReport report(runner, call.out);
    // Only cut takes a job up again part-way; a test cut or lettering is cut anew.
    if (job.qrDir.isEmpty() && call.command == QLatin1String("cut"))
        report.setResume(QCoreApplication::arguments().mid(1));
    running = &runner;
    const int code = runner.run();
    running = nullptr;
    return code;
}

} // namespace

int checkResume(Invocation& call);

// A drawing is converted here, before any connection, so a bad one costs none.
int checkCut(Invocation& call)
{
    const Output& out = call.out;
    const QStringList& args = call.args;
    const bool qrJob = call.parser.isSet(QStringLiteral("qr"));
    if (qrJob ? args.size() > 1 : args.isEmpty()) {
        out.error(qrJob ? QStringLiteral("a QR-code job takes its jobs from --qr DIR, not from a file")
                        : QStringLiteral("cut takes job files (drawings: SVG, PDF, DXF, bitmaps; jobs: PLT)"));
        return ExitUsage;
    }
    if (qrJob && !QFileInfo(call.parser.value(QStringLiteral("qr"))).isDir()) {
        out.error(QStringLiteral("no folder %1 for the QR-code jobs").arg(call.parser.value(QStringLiteral("qr"))));
        return ExitUsage;
    }
    if (qrJob)
        return ExitOk;
    for (const QString& file : args) {
        if (!QFileInfo(file).isFile()) {
            out.error(QStringLiteral("no job file %1").arg(file));
            return ExitUsage;
        }
    }
    if (const int prepared = prepareCutJob(call.parser, call.args, out, &call.job))
        return prepared;
    return checkResume(call);
}

// --from-page N [--copy K]: pages N... of copy K, then the copies after K whole.
int checkResume(Invocation& call)
{
    const bool resume = call.parser.isSet(QStringLiteral("from-page")) || call.parser.isSet(QStringLiteral("copy"));
    if (!resume)
        return ExitOk;
    if (call.fromCopy > call.copies) {
        call.out.error(QStringLiteral("--copy %1 is past the %2 cop%3 of the job (--copies)")
                           .arg(call.fromCopy)
                           .arg(call.copies)
                           .arg(call.copies == 1 ? QStringLiteral("y") : QStringLiteral("ies")));
        return ExitUsage;
    }
    call.wholeJob = std::make_shared<PreparedJob>(*call.job);
    if (!call.job->keepPagesFrom(call.fromPage)) {
        call.out.error(call.job->error());
        return ExitUsage;
    }
    return ExitOk;
}

int runCut(Invocation& call)
{
    CutterConnection& link = *call.link;
    JobOptions job;
    job.file = call.args.value(0);
    job.prepared = call.job;
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
    if (!call.wholeJob)
        return runReported(link, call.job.get(), call.cloud, call.out, [&] { return runJob(link, job, call, 1, 1); });
    // Taken up again: the rest of copy K, then the copies after it, as two jobs.
    return runReported(link, call.wholeJob.get(), call.cloud, call.out, [&] {
        job.copies = 1;
        const int first = runJob(link, job, call, call.fromCopy, call.fromPage);
        if (first != ExitOk || call.fromCopy >= call.copies)
            return first;
        job.prepared = call.wholeJob;
        job.copies = call.copies - call.fromCopy;
        return runJob(link, job, call, call.fromCopy + 1, 1);
    });
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

namespace {

bool takesDrawings(const Command& command)
{
    for (const char* name : {"convert", "preview", "cut"}) {
        if (qstrcmp(command.name, name) == 0)
            return true;
    }
    return false;
}

int runCommand(const Command& command, Invocation& call)
{
    const QCommandLineParser& parser = call.parser;
    QString error;
    if (!parseAddressOptions(parser, &call.options.address, &call.options.haveAddress, &error)
        || !intValue(parser, QStringLiteral("timeout"), 1, 864000, &call.options.timeoutSeconds, &error)
        || !intValue(parser, QStringLiteral("copies"), 1, 999, &call.copies, &error)
        || !intValue(parser, QStringLiteral("cut-ms"), 0, 60000, &call.cutMs, &error)
        || !intValue(parser, QStringLiteral("from-page"), 1, 1000000, &call.fromPage, &error)
        || !intValue(parser, QStringLiteral("copy"), 1, 999, &call.fromCopy, &error)
        || !parseCloudOptions(parser, (command.needs & NeedsCloudCode) != 0, &call.cloud, &error)) {
        call.out.error(error);
        return ExitUsage;
    }
    // Listing what a drawing holds needs no cutter, even for a cut.
    if (parser.isSet(QStringLiteral("list-layers")) && takesDrawings(command))
        return commandListLayers(parser, call.args, call.out);
    if ((command.needs & NeedsCutter) == NeedsCutter && !call.options.haveAddress) {
        call.out.error(
            QStringLiteral("say where the cutter is: --tcp HOST[:PORT] or --usb PATH (ktrv8 demo needs neither)"));
        return ExitUsage;
    }
    watchSignals();
    const int checked = command.check ? command.check(call) : ExitOk;
    if (checked != ExitOk || !(command.needs & NeedsPlugin))
        return checked != ExitOk ? checked : command.run(call);
    CutterConnection link;
    if (!link.load(call.options.pluginPath, &error)) {
        call.out.error(error);
        return ExitNoPlugin;
    }
    if (call.options.haveAddress) {
        const int connected = link.connectTo(call.options.address, CutterConnection::ConnectTimeoutMs, &error);
        if (connected != ExitOk) {
            call.out.error(error);
            return connected;
        }
    }
    call.link = &link;
    return command.run(call);
}

int failEarly(const Output& out, int code, const QString& text)
{
    out.error(text);
    out.finalError(code);
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    setVerboseLog(hasArgument(argc, argv, "--verbose", false));
    qInstallMessageHandler(quietDebug);
    // Every end is said as JSON with --json, those before the options are read included.
    const Output plain(hasArgument(argc, argv, "--json", false));
    QString error;
    if (!applyLanguage(argc, argv, &error))
        return failEarly(plain, ExitUsage, error);
    const Command* command = commandIn(argc, argv);
    const std::unique_ptr<QCoreApplication> app = makeApplication(command, argc, argv);
    if (!app)
        return failEarly(plain, ExitFailed,
                         QStringLiteral("%1 opens a window and there is no display (DISPLAY or WAYLAND_DISPLAY); "
                                        "--screenshot FILE.png saves a picture of it without one")
                             .arg(QString::fromLatin1(command->name)));
    QCoreApplication::setApplicationName(QStringLiteral("ktrv8"));
    installHostTranslation();

    QCommandLineParser parser;
    parser.addOptions(hostOptions() + drawingOptions() + sheetOptions() + letteringOptions());
    if (!parser.parse(markNegativeNumbers(app->arguments())))
        return failEarly(plain, ExitUsage, parser.errorText() + QStringLiteral(" (see ktrv8 --help)"));
    // Scripts get the error alone; the help is for people.
    if (plain.isJson() && !command && !parser.isSet(QStringLiteral("help")))
        return failEarly(plain, ExitUsage,
                         parser.positionalArguments().isEmpty()
                             ? QStringLiteral("no command given (see ktrv8 --help)")
                             : QStringLiteral("unknown command \"%1\"").arg(parser.positionalArguments().first()));
    if (parser.isSet(QStringLiteral("help")) || !command)
        return showHelp(command, parser, plain);

    // "--json" taken as another option's value ("--copies --json") still asks for JSON.
    const Output out(plain.isJson());
    Invocation call(parser, QString::fromLatin1(command->name), commandArguments(parser, *command), out);
    call.options.json = plain.isJson();
    call.options.pluginPath = parser.value(QStringLiteral("plugin"));
    const int code = runCommand(*command, call);
    out.finalError(code);
    return code;
}
