#ifndef HOSTCOMMON_H
#define HOSTCOMMON_H

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

class QCommandLineParser;

// Exit codes of ktrv8, also listed in its --help and the README.
enum ExitCode {
    ExitOk = 0,
    ExitFailed = 1,        // the job or command did not complete for another reason
    ExitUsage = 2,         // bad arguments, unknown key, value out of range
    ExitNoPlugin = 3,      // the plug-in or the simulator could not be loaded or started
    ExitNoConnection = 4,  // connection refused, device path missing, permission denied
    ExitSilent = 5,        // the cutter did not answer, or --timeout ran out
    ExitDisconnected = 6,  // the connection was lost before or during the job
    ExitCutterStopped = 7, // the cutter stopped the job itself
    ExitUnknownQrCode = 8, // a scanned code has no job file
    ExitRefused = 9,       // the cutter refused a setting or holds another value
    ExitNotRecorded = 10,  // cut, but the fleet service did not keep its work record
    ExitInterrupted = 130, // stopped with Ctrl-C (the cutter confirmed the stop)
};

QString exitCodeHelp();

// Where the cutter is.
struct Address
{
    bool usb = false;
    QString host;
    quint16 port = 9100;
    QString path;
    QString describe() const;
    // The cutter as the settings file names it, whoever wrote it: "tcp:HOST:PORT" with the
    // port always given and the host as one spelling ([v6] shortest, a name in lower case),
    // "usb:PATH" with a device node's path cleaned.
    QString cutterKey() const;
};

// HOST, HOST:PORT (port 9100 unless given) or a bare IPv6 address; a path starting with
// "/" is a USB node, usb:VID:PID[:SERIAL] a vendor-bulk USB device.
bool parseAddress(const QString& text, Address* address, QString* error);
// --tcp HOST[:PORT] or --usb PATH, as every host takes them; haveAddress is false when
// neither is given.
bool parseAddressOptions(const QCommandLineParser& parser, Address* address, bool* haveAddress, QString* error);
// "en", "ja", "zh" (or a full locale name) to a locale name; empty if unknown.
QString localeForLanguage(const QString& language);

// Loads a program's own texts (name_LOCALE.qm) for the current locale and installs them:
// beside the program in the build tree, or where the package puts them once installed.
// Inline so that each program's own install layout (KTRV8_TRANSLATIONS_FROM_BIN) applies.
inline void installProgramTranslation(QTranslator* translator, const QString& name)
{
    const QDir bin(QCoreApplication::applicationDirPath());
    QStringList folders{bin.filePath(QStringLiteral("translations"))};
#ifdef KTRV8_TRANSLATIONS_FROM_BIN
    folders << QDir::cleanPath(bin.filePath(QStringLiteral(KTRV8_TRANSLATIONS_FROM_BIN)));
#endif
    for (const QString& folder : folders) {
        if (translator->load(QLocale(), name, QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
}

// Options every command that talks to a cutter understands.
struct CommonOptions
{
    Address address;
    bool haveAddress = false;
    QString pluginPath;
    bool json = false;
    int timeoutSeconds = 0; // 0: no limit
};

#endif // HOSTCOMMON_H
