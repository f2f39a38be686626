#include "guioptions.h"

#include <QCommandLineParser>

QString guiHelp()
{
    return QStringLiteral("Usage: ktrv8-gui [options] [FILE...]\n\n"
                          "A desktop window for the KT-RV8 cutter driver plug-in: connection, settings, job preview\n"
                          "and control of the cut. Every option is optional; the window does the rest.\n\n"
                          "Options:\n"
                          "  --tcp HOST[:PORT]   connect to the cutter on the network (port 9100 by default)\n"
                          "  --usb PATH          connect to the cutter's device node, e.g. /dev/ttyACM0\n"
                          "  FILE, --open FILE   open a plotter file (.plt) or a drawing (.svg, .pdf, .dxf);\n"
                          "                      several files are laid out together on the material\n"
                          "  --copies N          copies to cut, 1 to 999 (default 1)\n"
                          "  --start             start the cut once connected and the file is open\n"
                          "  --quit-when-done    leave when the job ends, with the exit code of \"ktrv8 cut\"\n"
                          "  --screenshot FILE   save a picture of the window (PNG) after the job, or at once\n"
                          "                      without --start, then leave\n"
                          "  --cloud URL --token TOKEN --code CODE\n"
                          "                      report the cuts to a fleet service (ktrv8-cloud) as the cutter\n"
                          "                      CODE, as \"ktrv8 cut\" does; the same as the window's \"Fleet\n"
                          "                      service\" fields\n"
                          "  --lang LANG         language: en, ja or zh (default: the system's)\n"
                          "  --plugin PATH       the driver plug-in (default: libKT-RV8.so beside ktrv8-gui)\n"
                          "  -h, --help          this help\n\n"
                          "Without a display (QT_QPA_PLATFORM unset, no DISPLAY) --screenshot renders offscreen.\n\n")
           + exitCodeHelp();
}

bool parseGuiOptions(const QStringList& arguments, GuiOptions* options, QString* error)
{
    QCommandLineParser parser;
    parser.addOptions({
        {{"h", "help"}, "help"},
        {"tcp", "cutter on the network", "HOST[:PORT]"},
        {"usb", "cutter device node", "PATH"},
        {"open", "job file", "FILE"},
        {"copies", "copies", "N"},
        {"start", "start the cut"},
        {"quit-when-done", "leave when the job ends"},
        {"screenshot", "window picture", "FILE"},
        {"lang", "language", "LANG"},
        {"cloud", "fleet service", "URL"},
        {"token", "fleet service token", "TOKEN"},
        {"code", "device code for the fleet service", "CODE"},
        {"plugin", "driver plug-in", "PATH"},
    });
    if (!parser.parse(QStringList{QStringLiteral("ktrv8-gui")} + arguments)) {
        *error = parser.errorText();
        return false;
    }
    options->help = parser.isSet(QStringLiteral("help"));
    // "Open with" from a file manager passes the drawings as plain arguments.
    const QStringList files = parser.positionalArguments() + parser.values(QStringLiteral("open"));
    if (!parseAddressOptions(parser, &options->address, &options->haveAddress, error))
        return false;
    if (parser.isSet(QStringLiteral("copies"))) {
        bool ok = false;
        options->copies = parser.value(QStringLiteral("copies")).toInt(&ok);
        if (!ok || options->copies < 1 || options->copies > 999) {
            *error = QStringLiteral("--copies takes a whole number from 1 to 999, not \"%1\"")
                         .arg(parser.value(QStringLiteral("copies")));
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("lang"))) {
        options->language = localeForLanguage(parser.value(QStringLiteral("lang")));
        if (options->language.isEmpty()) {
            *error = QStringLiteral("--lang takes en, ja or zh, not \"%1\"").arg(parser.value(QStringLiteral("lang")));
            return false;
        }
    }
    if (!parseCloudOptions(parser, true, &options->cloud, error))
        return false;
    options->openFiles = files;
    options->start = parser.isSet(QStringLiteral("start"));
    options->quitWhenDone = parser.isSet(QStringLiteral("quit-when-done"));
    options->screenshot = parser.value(QStringLiteral("screenshot"));
    options->pluginPath = parser.value(QStringLiteral("plugin"));
    if (options->start && (!options->haveAddress || options->openFiles.isEmpty())) {
        *error = QStringLiteral("--start needs a cutter (--tcp or --usb) and a job (--open FILE)");
        return false;
    }
    return true;
}
