#ifndef DRAWINGCOMMANDS_H
#define DRAWINGCOMMANDS_H

#include <QCommandLineOption>
#include <QList>
#include <QStringList>

#include <memory>

class PreparedJob;
class QCommandLineParser;
class QJsonObject;
class Output;
namespace ktconv {
struct CutOptions;
}

// Drawings on the command line: the cutter options a drawing is converted with, "convert"
// and "preview" (no cutter needed), and the step of "cut" that turns a drawing into a job.
QList<QCommandLineOption> drawingOptions();
extern const char* const drawingOptionsHelp;

// The pieces the commands share with lettering typed in, which is a drawing made here.
bool number(const QCommandLineParser& parser, const QString& name, double low, double high, double* value,
            QString* error);
bool readCutterOptions(const QCommandLineParser& parser, ktconv::CutOptions* options, QString* error);
QJsonObject describe(const PreparedJob& job);
QString describeText(const QJsonObject& description);
bool writeFile(const QString& path, const QByteArray& content, QString* error);

// --list-layers: each drawing's layers and colours with their paths; nothing converted or cut.
int commandListLayers(const QCommandLineParser& parser, const QStringList& args, const Output& out);
int commandConvert(const QCommandLineParser& parser, const QStringList& args, const Output& out);
int commandPreview(const QCommandLineParser& parser, const QStringList& args, const Output& out);

// The job "cut" hands to the driver, opened before the cutter is reached: a drawing (known by
// its content, whatever its name) converted with the cutter options, a PLT job read on and
// checked as the job starts. Anything else is refused. Returns ExitOk, or the exit code after
// saying why.
int prepareCutJob(const QCommandLineParser& parser, const QStringList& files, const Output& out,
                  std::shared_ptr<PreparedJob>* prepared);

// Text in a drawing is cut as glyph outlines, which needs a GUI application for the fonts.
// Any command that may read a drawing gets one: its files are not read before the start.
bool drawingNeedsFonts(const QString& command, int argc, char** argv);

#endif // DRAWINGCOMMANDS_H
