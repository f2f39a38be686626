#ifndef DRAWINGCOMMANDS_H
#define DRAWINGCOMMANDS_H

#include <QCommandLineOption>
#include <QList>
#include <QStringList>

class QCommandLineParser;
class Output;

// Drawings on the command line: the cutter options a drawing is converted with, "convert"
// and "preview" (no cutter needed), and the step of "cut" that turns a drawing into a job.
QList<QCommandLineOption> drawingOptions();
extern const char* const drawingOptionsHelp;

int commandConvert(const QCommandLineParser& parser, const QStringList& args, const Output& out);
int commandPreview(const QCommandLineParser& parser, const QStringList& args, const Output& out);

// The file the driver should cut: a drawing (known by its content, whatever its name) is
// converted into a PLT file named like it in workDir; plotter text is returned as it is.
// Anything else is refused. Returns ExitOk, or the exit code after saying why.
int cutJobFile(const QCommandLineParser& parser, const QString& file, const QString& workDir, const Output& out,
               QString* jobFile);

// Text in a drawing is cut as glyph outlines, which needs a GUI application for the fonts.
bool drawingNeedsFonts(const QString& command, int argc, char** argv);

#endif // DRAWINGCOMMANDS_H
