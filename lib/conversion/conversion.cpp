#include "conversion.h"

#include "dxfreader.h"
#include "gzipdata.h"
#include "pdfreader.h"
#include "svgreader.h"
#include "weld.h"

#include <QSet>

namespace ktconv {

bool isDrawingFormat(JobFormat format)
{
    return format != JobFormat::Plt && format != JobFormat::Unknown;
}

JobFormat detectFormat(const QByteArray& content)
{
    if (looksLikePdf(content))
        return JobFormat::Pdf;
    if (looksLikeSvg(content))
        return JobFormat::Drawing;
    if (looksLikeDxf(content))
        return JobFormat::Dxf;
    if (looksLikeBitmap(content))
        return JobFormat::Bitmap;
    if (looksLikeHpgl(content))
        return JobFormat::Plt;
    return JobFormat::Unknown;
}

QString refusalReason(const QByteArray& content)
{
    if (content.trimmed().isEmpty())
        return QStringLiteral("the file is empty");
    if (content.startsWith("\x1f\x8b"))
        return QStringLiteral("the file is compressed (an .svgz drawing?); save it as plain SVG");
    if (content.trimmed().startsWith('<'))
        return QStringLiteral("the file is XML or HTML but not an SVG drawing (its first element is not <svg>)");
    const QByteArray picture = pictureFormat(content);
    if (!picture.isEmpty())
        return QStringLiteral("the file is a %1 picture; pictures are traced from PNG, JPEG, BMP or TIFF: save it as "
                              "one of those")
            .arg(QString::fromLatin1(picture.toUpper()));
    if (content.left(32).contains("Binary DXF"))
        return QStringLiteral("the file is a binary DXF drawing; save it as ASCII DXF");
    return QStringLiteral("the file is neither a drawing (SVG, PDF, ASCII DXF) nor a PLT job (HP-GL), nor a picture "
                          "to trace (PNG, JPEG, BMP, TIFF)");
}

namespace {

bool readSvgLayers(const QByteArray& stored, const DrawingChoice& choice, SvgDrawing* drawing, QString* error,
                   ConversionProgress* progress)
{
    if (!choice.namesLayers())
        return readSvg(stored, drawing, error, progress);
    const QByteArray content = looksGzipped(stored) ? gunzip(stored) : stored;
    return knownLayers(choice.named(), svgLayers(content), error)
           && readSvg(chooseSvgLayers(content, choice), drawing, error, progress);
}

bool readDrawing(const QByteArray& content, const InputOptions& input, SvgDrawing* drawing, QString* error,
                 Backdrop* backdrop, ConversionProgress* progress = nullptr)
{
    const JobFormat format = detectFormat(content);
    const bool layers = input.choice.namesLayers();
    if ((format == JobFormat::Bitmap && (layers || !input.choice.colours.isEmpty()))
        || (format == JobFormat::Pdf && layers)) {
        *error = format == JobFormat::Pdf ? QStringLiteral("a PDF's layers cannot be chosen; choose by --colors")
                                          : QStringLiteral("a picture has no layers or colours to choose from");
        return false;
    }
    switch (format) {
    case JobFormat::Bitmap: return traceBitmap(content, input.trace, drawing, error, backdrop);
    case JobFormat::Pdf: return readPdf(content, input.page, drawing, error);
    case JobFormat::Dxf: return readDxf(content, drawing, error, input.choice);
    default: return readSvgLayers(content, input.choice, drawing, error, progress);
    }
}

} // namespace

bool convertDrawing(const QByteArray& svg, const CutOptions& options, CutPaths* page, QString* error,
                    QStringList* warnings)
{
    return convertDrawing(svg, options, InputOptions(), page, error, warnings);
}

namespace {

// One part of the drawing's paths as drawn.
bool readPart(const QByteArray& content, const InputOptions& input, CutPaths* paths, QString* error,
              QStringList* warnings, QVector<MissingGlyph>* missing, Backdrop* backdrop, ConversionProgress* progress)
{
    SvgDrawing drawing;
    if (!readDrawing(content, input, &drawing, error, backdrop, progress))
        return false;
    if (warnings)
        *warnings = drawing.warnings;
    // A page of text in a script no font has is thousands of characters: looked up, not scanned.
    QSet<QString> known;
    for (const MissingGlyph& glyph : qAsConst(*missing))
        known.insert(glyph.describe());
    for (const MissingGlyph& glyph : qAsConst(drawing.missingGlyphs)) {
        if (!known.contains(glyph.describe())) {
            known.insert(glyph.describe());
            *missing << glyph;
        }
    }
    *paths += drawing.paths;
    return true;
}

// A glyph no font has is never cut as a box, nor left out unasked: the drawing is refused
// before anything is written or sent, unless the person lets it be cut without them.
bool checkMissingGlyphs(const QVector<MissingGlyph>& missing, const InputOptions& input, QString* error,
                        QStringList* notes)
{
    if (missing.isEmpty())
        return true;
    if (!input.allowMissingGlyphs) {
        *error = missingGlyphsRefusal(missing);
        return false;
    }
    for (const MissingGlyph& glyph : missing)
        *notes << QStringLiteral("left out: ") + glyph.describe();
    return true;
}

// Overlapping outlines united, those of the perforated layers among themselves.
void weldParts(CutPaths* paths)
{
    CutPaths perforated, whole;
    for (const CutPath& path : qAsConst(*paths))
        (path.onPerforatedLayer ? perforated : whole) << path;
    weldPaths(&perforated);
    weldPaths(&whole);
    for (CutPath& path : perforated)
        path.onPerforatedLayer = true;
    *paths = perforated + whole;
}

// The drawing's paths as drawn, the layers and colours chosen: what both a design and a
// whole job start from. The layers to perforate are read apart and marked.
bool readPaths(const QByteArray& content, const InputOptions& input, const CutOptions& options, CutPaths* paths,
               QString* error, QStringList* warnings, Backdrop* backdrop, ConversionProgress* progress)
{
    stepProgress(progress, ConversionStage::Reading, 0, 1);
    QStringList notes;
    QVector<MissingGlyph> missing;
    paths->clear();
    if (options.perforateLayers.isEmpty()) {
        if (!readPart(content, input, paths, error, &notes, &missing, backdrop, progress))
            return false;
    } else {
        InputOptions perforated = input, rest = input;
        perforated.choice.within = options.perforateLayers;
        rest.choice.leftOut = options.perforateLayers;
        if (!readPart(content, perforated, paths, error, &notes, &missing, backdrop, nullptr))
            return false;
        for (CutPath& path : *paths)
            path.onPerforatedLayer = true;
        if (!readPart(content, rest, paths, error, nullptr, &missing, nullptr, progress))
            return false;
    }
    if (!checkMissingGlyphs(missing, input, error, &notes))
        return false;
    stepProgress(progress, ConversionStage::Reading, 1, 1);
    if (warnings)
        *warnings = notes;
    if (!input.choice.colours.isEmpty() && !keepColours(paths, input.choice.colours, error))
        return false;
    if (paths->isEmpty()) {
        *error = QStringLiteral("the drawing has no visible shape to cut");
        return false;
    }
    // A welded drawing is cut as its united outlines: touching letters as one.
    if (options.weld)
        weldParts(paths);
    return true;
}

} // namespace

bool readDesign(const QByteArray& content, const CutOptions& options, const InputOptions& input, CutPaths* design,
                QString* error, QStringList* warnings, Backdrop* backdrop)
{
    QTransform shape;
    if (!readPaths(content, input, options, design, error, warnings, backdrop, nullptr)
        || !shapeDesign(design, options, error, &shape))
        return false;
    if (backdrop && !backdrop->isNull())
        backdrop->toPlotter *= shape;
    return true;
}

bool convertDrawing(const QByteArray& content, const CutOptions& options, const InputOptions& input, CutPaths* page,
                    QString* error, QStringList* warnings, Backdrop* backdrop, ConversionProgress* progress)
{
    CutPaths paths;
    if (!readPaths(content, input, options, &paths, error, warnings, backdrop, progress))
        return false;
    const CutPaths drawn = backdrop && !backdrop->isNull() ? paths : CutPaths();
    if (!applyCutOptions(&paths, options, error, progress))
        return false;
    if (progressCancelled(progress)) {
        *error = QStringLiteral("the conversion was cancelled");
        return false;
    }
    if (!drawn.isEmpty())
        backdrop->toPlotter *= placementAfterOptions(drawn, options);
    *page = std::move(paths);
    return true;
}

bool listDrawingParts(const QByteArray& content, const InputOptions& input, DrawingParts* parts, QString* error)
{
    InputOptions all = input;
    all.choice = DrawingChoice();
    SvgDrawing drawing;
    QVector<QPair<QString, int>> dxfLayers;
    const JobFormat format = detectFormat(content);
    if (format == JobFormat::Dxf ? !readDxf(content, &drawing, error, DrawingChoice(), &dxfLayers)
                                 : !readDrawing(content, all, &drawing, error, nullptr))
        return false;
    *parts = DrawingParts();
    parts->colours = colourCounts(drawing.paths);
    parts->layers = dxfLayers;
    if (format != JobFormat::Drawing)
        return true;
    const QByteArray svg = looksGzipped(content) ? gunzip(content) : content;
    for (const QString& layer : svgLayers(svg)) {
        SvgDrawing alone;
        QString ignored;
        readSvg(keepSvgLayers(svg, {layer}), &alone, &ignored);
        parts->layers << qMakePair(layer, alone.paths.size());
    }
    return true;
}

bool loadJobPages(const QByteArray& content, const CutOptions& options, CutPages* pages, QString* error,
                  QStringList* warnings)
{
    const JobFormat format = detectFormat(content);
    switch (format) {
    case JobFormat::Drawing:
    case JobFormat::Pdf:
    case JobFormat::Dxf:
    case JobFormat::Bitmap: {
        CutPaths page;
        if (!convertDrawing(content, options, &page, error, warnings))
            return false;
        *pages = {page};
        return true;
    }
    case JobFormat::Plt: *pages = readPltPages(content); return true;
    case JobFormat::Unknown: break;
    }
    *error = refusalReason(content);
    return false;
}

} // namespace ktconv
