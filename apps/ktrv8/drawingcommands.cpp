#include "drawingcommands.h"

#include "hostcommon.h"
#include "output.h"
#include "preparedjob.h"
#include "preview.h"

#include <QCommandLineParser>
#include <QJsonObject>
#include <QSaveFile>

using ktconv::CutOptions;

const char* const drawingOptionsHelp =
    "Cutter options for drawings (SVG, PDF, DXF), each off unless given; lengths in millimetres:\n"
    "  --page N            the page of a PDF to cut (default 1)\n"
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
    "                      so a letter's counter comes before its outline, then nearest next)\n";

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
    double page = input->page;
    if (!number(parser, QStringLiteral("page"), 1, 100000, &page, error))
        return false;
    if (page != int(page)) {
        *error = QStringLiteral("--page takes a whole number, not \"%1\"").arg(parser.value(QStringLiteral("page")));
        return false;
    }
    input->page = int(page);
    return true;
}

namespace {

// Reads any job file once, a drawing converted with the cutter options; the message names
// the file. verb: how a refusal reads ("not sent" for a cut); open: a PLT job is only opened.
int prepare(const QCommandLineParser& parser, const QString& path, const Output& out, bool geometry,
            const QString& verb, PreparedJob* job, bool open = false)
{
    PreparedJob::Options options;
    options.geometry = geometry;
    QString error;
    if (!readCutterOptions(parser, &options.cut, &error) || !readInputOptions(parser, &options.input, &error)) {
        out.error(error);
        return ExitUsage;
    }
    if (!(open ? job->open(path, options) : job->read(path, options))) {
        out.error(job->unreadable() ? job->error() : QStringLiteral("%1: %2%3").arg(path, verb, job->error()));
        return ExitUsage;
    }
    for (const QString& warning : job->warnings())
        out.line(QStringLiteral("%1: note: %2").arg(path, warning));
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

int needOneFileAndOutput(const QString& command, const QCommandLineParser& parser, const QStringList& args,
                         const Output& out)
{
    if (args.size() != 1 || !parser.isSet(QStringLiteral("output"))) {
        out.error(command == QLatin1String("convert")
                      ? QStringLiteral("convert takes one drawing and -o OUT.plt")
                      : QStringLiteral("preview takes one file and -o OUT.png or -o OUT.svg"));
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
    if (const int failed = prepare(parser, args.first(), out, false, QString(), &job))
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
    if (const int failed = prepare(parser, args.first(), out, true, QString(), &job))
        return failed;
    const QString target = parser.value(QStringLiteral("output"));
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

int prepareCutJob(const QCommandLineParser& parser, const QString& file, const Output& out,
                  std::shared_ptr<PreparedJob>* prepared)
{
    auto job = std::make_shared<PreparedJob>();
    if (const int failed = prepare(parser, file, out, false, QStringLiteral("not sent: "), job.get(), true))
        return failed;
    if (job->isDrawing() && !out.isJson())
        out.line(QStringLiteral("converted %1: %2").arg(file, describeText(describe(*job))));
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
