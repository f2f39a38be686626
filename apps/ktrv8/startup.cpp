#include "startup.h"

#include "drawingcommands.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QTranslator>

#include <cstdio>
#include <cstring>

// The driver picks its translation from the system locale, read once at start-up.
bool applyLanguage(int argc, char** argv, QString* error)
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
            *error = QStringLiteral("--lang takes en, ja or zh, not \"%1\"").arg(QString::fromLocal8Bit(value));
            return false;
        }
        qputenv("LC_ALL", locale + ".UTF-8");
        qputenv("LANG", locale + ".UTF-8");
    }
    return true;
}

namespace {
bool verboseLog = false;
} // namespace

void setVerboseLog(bool on)
{
    verboseLog = on || qEnvironmentVariableIntValue("KTRV8_DEBUG") != 0;
}

// The driver's debug lines, Qt's warnings (an SVG parser's complaint, where its runtime
// folder went) are for developers: shown with --verbose. Without it the terminal gets what
// ktrv8 itself says, and the errors nothing can go on after.
void quietDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (!verboseLog && type != QtCriticalMsg && type != QtFatalMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// ktrv8's own texts (results, progress, the driver's status texts) follow the language of the
// driver's captions: the locale --lang set, else the system's. Beside the program in the build
// tree; where the package puts them once installed.
void installHostTranslation()
{
    installProgramTranslation(new QTranslator(QCoreApplication::instance()), QStringLiteral("ktrv8"));
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

bool hasArgument(int argc, char** argv, const char* option, bool prefix)
{
    for (int i = 1; i < argc; ++i) {
        if (prefix ? std::strncmp(argv[i], option, std::strlen(option)) == 0 : std::strcmp(argv[i], option) == 0)
            return true;
    }
    return false;
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
        {"verbose", "developer log lines"},
        {"lang", "caption language", "LANG"},
        {"timeout", "no-progress timeout", "S"},
        {"copies", "copies", "N"},
        {"from-page", "page to go on from", "N"},
        {"copy", "copy to go on with", "K"},
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
namespace {
const QString NegativeMark = QStringLiteral("\x01");
} // namespace

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
