#include "drawingcommands.h"

#include "hostcommon.h"
#include "missingglyphs.h"
#include "output.h"
#include "preparedjob.h"
#include "preview.h"
#include "sheetoptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

using ktconv::CutOptions;

const char* const drawingOptionsHelp =
    "Cutter options for drawings (SVG, PDF, DXF, bitmaps), each off unless given; lengths in millimetres:\n"
    "  --page N            the page of a PDF to cut (default 1)\n"
    "  --threshold 0-255   a picture's (PNG, JPEG, BMP, TIFF) outlines go round what is darker\n"
    "                      than this luminance (default: chosen from the picture)\n"
    "  --despeckle PX      specks of up to PX pixels are not traced (default 2)\n"
    "  --smooth A          corners: 0 keeps every one sharp, 1.33 rounds them all (default 1)\n"
    "  --dpi N             the picture's pixels per inch (default: its own, else 300)\n"
    "  --layers NAME,...   cut only these layers (an SVG editor's layers by label, a DXF's)\n"
    "  --colors #RRGGBB,...\n"
    "                      cut only the shapes filled or stroked in these colours\n"
    "  --list-layers       list each drawing's layers and colours, and stop: nothing is\n"
    "                      converted, written or cut (no cutter is reached)\n"
    "  --scale F           multiply the drawing's size by F (e.g. 0.5)\n"
    "  --width MM          fit the job to this width, aspect kept\n"
    "  --height MM         fit the job to this height, aspect kept (with --width: the tighter)\n"
    "  --rotate DEG        turn the job 90, 180 or 270 degrees clockwise\n"
    "  --mirror            mirror left-right (material cut from the back)\n"
    "  --origin X,Y        put the job's lower-left corner at X,Y mm (default 0,0)\n"
    "  --weed-box MM       cut a rectangle this far around the design, last\n"
    "  --weld              unite overlapping closed outlines into one (touching letters of\n"
    "                      a script are cut as one piece); open strokes stay as drawn\n"
    "  --overcut MM        closed shapes are cut on past their start by MM\n"
    "  --tool-offset MM    drag-knife blade offset; corners are cut with arcs around them\n"
    "  --keep-order        cut in the drawing's order (default: shapes inside others first,\n"
    "                      so a letter's counter comes before its outline, then nearest next)\n"
    "  --allow-missing-glyphs\n"
    "                      cut text without the characters no installed font has, each\n"
    "                      named; without it such text is refused (exit 2), nothing sent\n";

QList<QCommandLineOption> drawingOptions()
{
    return {
        {QStringLiteral("scale"), QStringLiteral("scale factor"), QStringLiteral("F")},
        {QStringLiteral("width"), QStringLiteral("job width"), QStringLiteral("MM")},
        {QStringLiteral("height"), QStringLiteral("job height"), QStringLiteral("MM")},
        {QStringLiteral("rotate"), QStringLiteral("rotation"), QStringLiteral("DEG")},
        {QStringLiteral("mirror"), QStringLiteral("mirror left-right")},
        {QStringLiteral("origin"), QStringLiteral("job origin"), QStringLiteral("X,Y")},
        {QStringLiteral("weed-box"), QStringLiteral("weed box margin"), QStringLiteral("MM")},
        {QStringLiteral("overcut"), QStringLiteral("overcut"), QStringLiteral("MM")},
        {QStringLiteral("tool-offset"), QStringLiteral("blade offset"), QStringLiteral("MM")},
        {QStringLiteral("keep-order"), QStringLiteral("keep the drawing's order")},
        {QStringLiteral("weld"), QStringLiteral("unite overlapping outlines")},
        {QStringLiteral("page"), QStringLiteral("PDF page"), QStringLiteral("N")},
        {QStringLiteral("threshold"), QStringLiteral("trace threshold"), QStringLiteral("0-255")},
        {QStringLiteral("despeckle"), QStringLiteral("trace speck size"), QStringLiteral("PX")},
        {QStringLiteral("smooth"), QStringLiteral("trace corner threshold"), QStringLiteral("A")},
        {QStringLiteral("dpi"), QStringLiteral("picture resolution"), QStringLiteral("N")},
        {QStringLiteral("layers"), QStringLiteral("layers to cut"), QStringLiteral("NAME,...")},
        {QStringLiteral("colors"), QStringLiteral("colours to cut"), QStringLiteral("#RRGGBB,...")},
        {QStringLiteral("list-layers"), QStringLiteral("list layers and colours")},
        {QStringLiteral("allow-missing-glyphs"), QStringLiteral("cut without the characters no font has")},
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("output file"), QStringLiteral("FILE")},
    };
}

bool number(const QCommandLineParser& parser, const QString& name, double low, double high, double* value,
            QString* error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double parsed = parser.value(name).toDouble(&ok);
    if (!ok || parsed < low || parsed > high) {
        *error = QStringLiteral("--%1 takes a number from %2 to %3, not \"%4\"")
                     .arg(name)
                     .arg(low)
                     .arg(high)
                     .arg(parser.value(name));
        return false;
    }
    *value = parsed;
    return true;
}

bool readCutterOptions(const QCommandLineParser& parser, CutOptions* options, QString* error)
{
    double rotate = 0, x = 0, y = 0;
    if (!number(parser, QStringLiteral("scale"), 0.001, 1000, &options->scale, error)
        || !number(parser, QStringLiteral("width"), 0.1, 100000, &options->widthMm, error)
        || !number(parser, QStringLiteral("height"), 0.1, 100000, &options->heightMm, error)
        || !number(parser, QStringLiteral("rotate"), 0, 270, &rotate, error)
        || !number(parser, QStringLiteral("weed-box"), 0, 1000, &options->weedBoxMm, error)
        || !number(parser, QStringLiteral("overcut"), 0, 100, &options->overcutMm, error)
        || !number(parser, QStringLiteral("tool-offset"), 0, 20, &options->toolOffsetMm, error))
        return false;
    if (parser.isSet(QStringLiteral("scale"))
        && (parser.isSet(QStringLiteral("width")) || parser.isSet(QStringLiteral("height")))) {
        *error = QStringLiteral("give --scale or --width/--height, not both");
        return false;
    }
    if (rotate != 0 && rotate != 90 && rotate != 180 && rotate != 270) {
        *error =
            QStringLiteral("--rotate takes 90, 180 or 270, not \"%1\"").arg(parser.value(QStringLiteral("rotate")));
        return false;
    }
    options->rotate = int(rotate);
    if (parser.isSet(QStringLiteral("origin"))) {
        const QStringList parts = parser.value(QStringLiteral("origin")).split(QLatin1Char(','));
        bool okX = false, okY = false;
        x = parts.value(0).toDouble(&okX);
        y = parts.value(1).toDouble(&okY);
        if (parts.size() != 2 || !okX || !okY || x < 0 || y < 0) {
            *error = QStringLiteral("--origin takes X,Y in millimetres, both 0 or more, not \"%1\"")
                         .arg(parser.value(QStringLiteral("origin")));
            return false;
        }
    }
    options->originMm = QPointF(x, y);
    options->mirror = parser.isSet(QStringLiteral("mirror"));
    options->keepOrder = parser.isSet(QStringLiteral("keep-order"));
    options->weld = parser.isSet(QStringLiteral("weld"));
    return true;
}

bool readInputOptions(const QCommandLineParser& parser, ktconv::InputOptions* input, QString* error)
{
    double page = input->page, threshold = input->trace.threshold, despeckle = input->trace.despeckle;
    if (!number(parser, QStringLiteral("page"), 1, 100000, &page, error)
        || !number(parser, QStringLiteral("threshold"), 0, 255, &threshold, error)
        || !number(parser, QStringLiteral("despeckle"), 0, 1000000, &despeckle, error)
        || !number(parser, QStringLiteral("smooth"), 0, 1.334, &input->trace.smooth, error)
        || !number(parser, QStringLiteral("dpi"), 1, 100000, &input->trace.dpi, error))
        return false;
    for (const char* whole : {"page", "threshold", "despeckle"}) {
        const QString name = QLatin1String(whole);
        if (parser.isSet(name) && parser.value(name).toDouble() != std::floor(parser.value(name).toDouble())) {
            *error = QStringLiteral("--%1 takes a whole number, not \"%2\"").arg(name, parser.value(name));
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("colors"))
        && !ktconv::parseColours(parser.value(QStringLiteral("colors")), &input->choice.colours, error))
        return false;
    for (const QString& layer : parser.value(QStringLiteral("layers")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        input->choice.layers << layer.trimmed();
    input->allowMissingGlyphs = parser.isSet(QStringLiteral("allow-missing-glyphs"));
    input->page = int(page);
    input->trace.threshold = int(threshold);
    input->trace.despeckle = int(despeckle);
    return true;
}

namespace {

// Reads any job file once, a drawing converted with the cutter options, a PLT job checked
// whole; several files are laid out on one material. The message names the file(s).
// verb: how a refusal reads ("not sent" for a cut).
int prepare(const QCommandLineParser& parser, const QStringList& paths, const Output& out, bool geometry,
            const QString& verb, PreparedJob* job)
{
    PreparedJob::Options options;
    options.geometry = geometry;
    QString error;
    if (!readCutterOptions(parser, &options.cut, &error) || !readInputOptions(parser, &options.input, &error)
        || !readSheetOptions(parser, &options.cut, &options.sheet, &error)) {
        out.error(error);
        return ExitUsage;
    }
    // A conversion that takes a while says how far it got.
    ktconv::ConversionProgress progress(
        [&out](ktconv::ConversionStage stage, int percent) { out.progress(ktconv::stageName(stage), percent); });
    job->setProgress(&progress);
    const QString path = paths.join(QStringLiteral(", "));
    const bool prepared = paths.size() > 1 ? job->readSeveral(paths, options) : job->read(path, options);
    job->setProgress(nullptr);
    out.progressDone();
    if (!prepared && ktconv::refusedForMissingGlyphs(job->error())) // several files: it names its own
        return refuseMissingGlyphs(out, paths.size() > 1 ? QString() : path + QStringLiteral(": "), job->error());
    if (!prepared) {
        out.error(job->unreadable() ? job->error() : QStringLiteral("%1: %2%3").arg(path, verb, job->error()));
        return ExitUsage;
    }
    for (const QString& warning : job->warnings())
        out.line(paths.size() > 1 ? QStringLiteral("note: ") + warning
                                  : QStringLiteral("%1: note: %2").arg(path, warning));
    return ExitOk;
}

} // namespace

QJsonObject describe(const PreparedJob& job)
{
    int paths = 0;
    for (const ktconv::CutPaths& page : job.geometry())
        paths += page.size();
    const ktconv::Measure all = job.total();
    return QJsonObject{{QStringLiteral("pages"), job.pages().size()},
                       {QStringLiteral("paths"), paths},
                       {QStringLiteral("cutMm"), qRound(all.cutMm())},
                       {QStringLiteral("travelMm"), qRound(all.travelMm())},
                       {QStringLiteral("widthMm"), qRound(all.bounds.width() / ktconv::UnitsPerMm * 10) / 10.0},
                       {QStringLiteral("heightMm"), qRound(all.bounds.height() / ktconv::UnitsPerMm * 10) / 10.0}};
}

QString describeText(const QJsonObject& d)
{
    return QStringLiteral("%1 page(s), %2 paths, %3 x %4 mm, cut %5 m, pen-up travel %6 m")
        .arg(d.value(QStringLiteral("pages")).toInt())
        .arg(d.value(QStringLiteral("paths")).toInt())
        .arg(d.value(QStringLiteral("widthMm")).toDouble())
        .arg(d.value(QStringLiteral("heightMm")).toDouble())
        .arg(d.value(QStringLiteral("cutMm")).toInt() / 1000.0, 0, 'f', 2)
        .arg(d.value(QStringLiteral("travelMm")).toInt() / 1000.0, 0, 'f', 2);
}

bool writeFile(const QString& path, const QByteArray& content, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

namespace {

// --list-layers: what of the drawing can be chosen, each with its paths.
int listParts(const QCommandLineParser& parser, const QString& path, const Output& out)
{
    QFile file(path);
    PreparedJob::Options options;
    QString error;
    ktconv::DrawingParts parts;
    if (!readInputOptions(parser, &options.input, &error))
        return out.error(error), ExitUsage;
    if (!file.open(QIODevice::ReadOnly))
        return out.error(QStringLiteral("cannot read %1: %2").arg(path, file.errorString())), ExitUsage;
    if (!ktconv::listDrawingParts(file.readAll(), options.input, &parts, &error))
        return out.error(QStringLiteral("%1: %2").arg(path, error)), ExitUsage;
    QJsonArray layers, colours;
    QStringList lines{
        QStringLiteral("%1: %2 layer(s), %3 colour(s)").arg(path).arg(parts.layers.size()).arg(parts.colours.size())};
    for (const auto& layer : parts.layers) {
        layers << QJsonObject{{QStringLiteral("name"), layer.first}, {QStringLiteral("paths"), layer.second}};
        lines << QStringLiteral("  layer %1: %2 path(s)").arg(layer.first).arg(layer.second);
    }
    for (const auto& colour : parts.colours) {
        const QString name = ktconv::colourName(colour.first);
        colours << QJsonObject{{QStringLiteral("color"), name}, {QStringLiteral("paths"), colour.second}};
        lines << QStringLiteral("  colour %1: %2 path(s)").arg(name).arg(colour.second);
    }
    if (out.isJson())
        out.result(QJsonObject{{QStringLiteral("event"), QStringLiteral("parts")},
                               {QStringLiteral("file"), path},
                               {QStringLiteral("layers"), layers},
                               {QStringLiteral("colors"), colours}});
    else
        out.line(lines.join(QLatin1Char('\n')));
    return ExitOk;
}

} // namespace

int commandListLayers(const QCommandLineParser& parser, const QStringList& args, const Output& out)
{
    if (args.isEmpty()) {
        out.error(QStringLiteral("--list-layers takes the drawings to look into"));
        return ExitUsage;
    }
    for (const QString& path : args) {
        if (const int failed = listParts(parser, path, out))
            return failed;
    }
    return ExitOk;
}

namespace {

int needOneFileAndOutput(const QString& command, const QCommandLineParser& parser, const QStringList& args,
                         const Output& out)
{
    if (args.isEmpty() || !parser.isSet(QStringLiteral("output"))) {
        out.error(command == QLatin1String("convert")
                      ? QStringLiteral("convert takes drawings and -o OUT.plt")
                      : QStringLiteral("preview takes files and -o OUT.png or -o OUT.svg"));
        return ExitUsage;
    }
    return ExitOk;
}

} // namespace

int commandConvert(const QCommandLineParser& parser, const QStringList& args, const Output& out)
{
    if (const int wrong = needOneFileAndOutput(QStringLiteral("convert"), parser, args, out))
        return wrong;
    PreparedJob job;
    if (const int failed = prepare(parser, args, out, false, QString(), &job))
        return failed;
    if (!job.isDrawing()) {
        out.error(QStringLiteral("%1 is a PLT job already; cut or preview it as it is").arg(args.first()));
        return ExitUsage;
    }
    QString error;
    const QString target = parser.value(QStringLiteral("output"));
    if (!writeFile(target, job.text().toLatin1(), &error)) {
        out.error(error);
        return ExitFailed;
    }
    QJsonObject result = describe(job);
    result.insert(QStringLiteral("event"), QStringLiteral("converted"));
    result.insert(QStringLiteral("file"), target);
    if (out.isJson())
        out.result(result);
    else
        out.line(QStringLiteral("wrote %1: %2").arg(target, describeText(result)));
    return ExitOk;
}

int commandPreview(const QCommandLineParser& parser, const QStringList& args, const Output& out)
{
    if (const int wrong = needOneFileAndOutput(QStringLiteral("preview"), parser, args, out))
        return wrong;
    ktconv::PreviewLayout layout;
    double copies = 1;
    QString error;
    if (!number(parser, QStringLiteral("copies"), 1, 999, &copies, &error)
        || !number(parser, QStringLiteral("margin"), 0, 1000, &layout.copyGapMm, &error)) {
        out.error(error);
        return ExitUsage;
    }
    layout.copies = int(copies);
    PreparedJob job;
    if (const int failed = prepare(parser, args, out, true, QString(), &job))
        return failed;
    layout.materialMm = QSizeF(job.material().widthMm, job.material().lengthMm);
    const QString target = parser.value(QStringLiteral("output"));
    layout.backdrop = job.backdrop();
    if (!ktconv::writePreview(job.geometry(), layout, target, &error)) {
        out.error(error);
        return error.startsWith(QLatin1String("cannot")) ? ExitFailed : ExitUsage;
    }
    QJsonObject result = describe(job);
    result.insert(QStringLiteral("event"), QStringLiteral("preview"));
    result.insert(QStringLiteral("file"), target);
    result.insert(QStringLiteral("copies"), layout.copies);
    if (out.isJson())
        out.result(result);
    else
        out.line(QStringLiteral("wrote %1: %2%3")
                     .arg(target, describeText(result),
                          layout.copies > 1
                              ? QStringLiteral(", %1 copies %2 mm apart").arg(layout.copies).arg(layout.copyGapMm)
                              : QString()));
    return ExitOk;
}

int prepareCutJob(const QCommandLineParser& parser, const QStringList& files, const Output& out,
                  std::shared_ptr<PreparedJob>* prepared)
{
    auto job = std::make_shared<PreparedJob>();
    // The whole file is read and checked before a cutter is reached: a refusal then costs no
    // connection, and a cutter busy with another program is not disturbed for nothing.
    if (const int failed = prepare(parser, files, out, false, QStringLiteral("not sent: "), job.get()))
        return failed;
    if (job->isDrawing() && !out.isJson())
        out.line(
            QStringLiteral("converted %1: %2").arg(files.join(QStringLiteral(", ")), describeText(describe(*job))));
    *prepared = std::move(job);
    return ExitOk;
}

bool drawingNeedsFonts(const QString& command, int argc, char** argv)
{
    if (command == QLatin1String("convert") || command == QLatin1String("preview") || command == QLatin1String("text"))
        return true;
    // The job's kind is told from its content when it is read, once, after the start; a
    // cut may hold a drawing unless it is a QR-code job, whose files are PLT.
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--qr") == 0 || qstrncmp(argv[i], "--qr=", 5) == 0)
            return false;
    }
    return command == QLatin1String("cut");
}
