#ifndef GUIOPTIONS_H
#define GUIOPTIONS_H

#include "cloudreport.h"
#include "hostcommon.h"

#include <QString>
#include <QStringList>

// What the command line asks the window to do, for demos and tests.
struct GuiOptions
{
    Address address;
    bool haveAddress = false;
    QString pluginPath;
    QStringList openFiles; // several: designs on one material
    int copies = 0;        // 0: not given, the window keeps its own
    bool start = false;
    bool quitWhenDone = false;
    QString screenshot;
    CloudOptions cloud; // the fleet service the cuts are reported to; unset: none
    QString language;   // "en_US", "ja_JP", "zh_CN" or empty: the system's
    bool help = false;
};

// Parses argv (without the program name); on failure says why in error.
bool parseGuiOptions(const QStringList& arguments, GuiOptions* options, QString* error);
QString guiHelp();

#endif // GUIOPTIONS_H
