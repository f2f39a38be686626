#ifndef COMMANDS_H
#define COMMANDS_H

#include "hostcommon.h"
#include "output.h"

#include <QStringList>

class CutterConnection;
class JobRunner;

// Each command returns an ExitCode. The link is loaded and, where the command talks to
// the cutter, connected.
int commandInfo(CutterConnection& link, const CommonOptions& options);
int commandGet(CutterConnection& link, const CommonOptions& options, const QStringList& keys);
int commandSet(CutterConnection& link, const CommonOptions& options, const QStringList& assignments);
int commandMove(CutterConnection& link, const CommonOptions& options, const QStringList& arguments);
int commandList(const CommonOptions& options);
int commandSettings(CutterConnection& link, const CommonOptions& options, const QString& screenshot);

struct DemoOptions
{
    int copies = 2;
    QString outDir;
    QString sample;
    int cutMs = 150;
};
int commandDemo(const CommonOptions& options, const DemoOptions& demo, JobRunner** running);

#endif // COMMANDS_H
