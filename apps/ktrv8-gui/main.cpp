// ktrv8-gui: the cutter driver plug-in in a desktop window.
#include "cutpanel.h"
#include "guioptions.h"
#include "jobpanel.h"
#include "logpane.h"
#include "mainwindow.h"
#include "signalnotifier.h"
#include "windowmemory.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

#include <csignal>
#include <cstdio>

namespace {

// The driver chooses its captions' language from the system locale once, when its
// objects are made, so the choice is made before anything else starts.
void applyLanguage(const QString& locale)
{
    if (locale.isEmpty())
        return;
    qputenv("LC_ALL", locale.toLatin1() + ".UTF-8");
    qputenv("LANG", locale.toLatin1() + ".UTF-8");
    qputenv("LANGUAGE", locale.toLatin1());
}

// The driver's debug lines are for its developers: shown only with KTRV8_DEBUG=1.
void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    static const bool debug = qEnvironmentVariableIntValue("KTRV8_DEBUG") != 0;
    if (type == QtDebugMsg && !debug)
        return;
    // Said by Qt's offscreen platform for every window; it means nothing to the user.
    if (text == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool headless()
{
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
           && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Runs what the command line asked for, then leaves if told to, with the cut's exit code.
class Script : public QObject
{
public:
    Script(MainWindow& window, const GuiOptions& options) : window(window), options(options) {}

    void run()
    {
        // A scripted run says on the terminal what the window says in its log.
        if (scripted()) {
            connect(window.log(), &LogPane::problemAdded, this,
                    [](const QString& text) { std::fprintf(stderr, "ktrv8-gui: %s\n", qPrintable(text)); });
            connect(window.cutPanel(), &CutPanel::finished, this, [](int code, const QString& text) {
                if (code == ExitOk)
                    std::fprintf(stdout, "%s\n", qPrintable(text));
            });
        }
        if (!window.loadPlugin()) {
            if (!scripted())
                std::fprintf(stderr, "ktrv8-gui: %s\n", qPrintable(window.log()->toPlainText()));
            return leave(ExitNoPlugin);
        }
        if (!options.haveAddress)
            window.findUsbNodes();
        // What went wrong first decides the exit code; the window stays open unless scripted.
        int status = options.haveAddress ? window.connectTo(options.address) : int(ExitOk);
        if (options.copies > 0)
            window.jobPanel()->setCopies(options.copies);
        if (options.cloud.isSet())
            window.cutPanel()->setCloudOptions(options.cloud);
        if (!options.openFiles.isEmpty() && !window.jobPanel()->openFiles(options.openFiles) && status == ExitOk)
            status = ExitUsage;
        if (!options.start || status != ExitOk)
            return leave(status, scripted());
        connect(window.cutPanel(), &CutPanel::finished, this,
                [this](int code, const QString&) { leave(code, scripted()); });
        if (!window.cutPanel()->start()) {
            // The link went down after it came up (while the settings were read).
            std::fprintf(stderr, "ktrv8-gui: the connection was lost before the job started; nothing was cut\n");
            leave(ExitDisconnected, scripted());
        }
    }

private:
    bool scripted() const { return options.quitWhenDone || !options.screenshot.isEmpty(); }

    void leave(int code, bool quit = true)
    {
        if (!options.screenshot.isEmpty()) {
            QString shotError;
            QApplication::processEvents();
            if (!window.saveScreenshot(options.screenshot, &shotError)) {
                std::fprintf(stderr, "ktrv8-gui: %s\n", qPrintable(shotError));
                code = code == ExitOk ? ExitFailed : code;
            }
        }
        if (quit)
            QCoreApplication::exit(code);
    }

    MainWindow& window;
    GuiOptions options;
};

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietDebug);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    GuiOptions options;
    QString error;
    if (!parseGuiOptions(arguments, &options, &error)) {
        std::fprintf(stderr, "ktrv8-gui: %s (see ktrv8-gui --help)\n", qPrintable(error));
        return ExitUsage;
    }
    if (options.help) {
        std::fputs(qPrintable(guiHelp()), stdout);
        return ExitOk;
    }
    applyLanguage(options.language);
    if (!options.screenshot.isEmpty() && headless())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ktrv8-gui"));
    QTranslator windowTranslation;
    installProgramTranslation(&windowTranslation, QStringLiteral("ktrv8-gui"));

    // A stop signal closes the window as its close button does (a running cut is stopped first),
    // so nothing is left behind; a second signal leaves at once.
    SignalNotifier stopSignals;
    const bool watching = stopSignals.watch({SIGINT, SIGTERM, SIGHUP}, &error);
    MainWindow window(options.pluginPath);
    int stopsAsked = 0;
    if (watching)
        QObject::connect(&stopSignals, &SignalNotifier::received, &window, [&window, &stopsAsked] {
            if (stopsAsked++ == 0)
                window.close();
            else
                QCoreApplication::exit(ExitInterrupted);
        });
    window.resize(1100, 720);
    // A scripted run (a screenshot, a job to the end) neither takes nor leaves what the user had.
    const bool interactive = options.screenshot.isEmpty() && !options.quitWhenDone;
    QSettings remembered(WindowMemory::defaultFolder() + QStringLiteral("/ktrv8-gui.ini"), QSettings::IniFormat);
    WindowMemory memory(remembered, WindowMemory::defaultFolder());
    if (interactive)
        memory.restore(window);
    window.show();
    Script script(window, options);
    QTimer::singleShot(0, &script, &Script::run);
    const int code = QApplication::exec();
    if (interactive)
        memory.save(window);
    return code;
}
