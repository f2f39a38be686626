#include "conversion.h"

#include "dxfreader.h"
#include "gzipdata.h"
#include "pdfreader.h"
#include "svgreader.h"
#include "weld.h"

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

bool readSvgLayers(const QByteArray& stored, const QStringList& layers, SvgDrawing* drawing, QString* error,
                   ConversionProgress* progress)
{
    if (layers.isEmpty())
        return readSvg(stored, drawing, error, progress);
    const QByteArray content = looksGzipped(stored) ? gunzip(stored) : stored;
    return knownLayers(layers, svgLayers(content), error)
           && readSvg(keepSvgLayers(content, layers), drawing, error, progress);
}

bool readDrawing(const QByteArray& content, const InputOptions& input, SvgDrawing* drawing, QString* error,
                 Backdrop* backdrop, ConversionProgress* progress = nullptr)
{
    const JobFormat format = detectFormat(content);
    const bool layers = !input.choice.layers.isEmpty();
    if ((format == JobFormat::Bitmap && (layers || !input.choice.colours.isEmpty()))
        || (format == JobFormat::Pdf && layers)) {
        *error = format == JobFormat::Pdf ? QStringLiteral("a PDF's layers cannot be chosen; choose by --colors")
                                          : QStringLiteral("a picture has no layers or colours to choose from");
        return false;
    }
    switch (format) {
    case JobFormat::Bitmap: return traceBitmap(content, input.trace, drawing, error, backdrop);
    case JobFormat::Pdf: return readPdf(content, input.page, drawing, error);
    case JobFormat::Dxf: return readDxf(content, drawing, error, input.choice.layers);
    default: return readSvgLayers(content, input.choice.layers, drawing, error, progress);
    }
}

} // namespace

bool convertDrawing(const QByteArray& svg, const CutOptions& options, CutPaths* page, QString* error,
                    QStringList* warnings)
{
    return convertDrawing(svg, options, InputOptions(), page, error, warnings);
}

namespace {

// The drawing's paths as drawn, the layers and colours chosen: what both a design and a
// whole job start from.
bool readPaths(const QByteArray& content, const InputOptions& input, bool weld, CutPaths* paths, QString* error,
               QStringList* warnings, Backdrop* backdrop, ConversionProgress* progress)
{
    SvgDrawing drawing;
    stepProgress(progress, ConversionStage::Reading, 0, 1);
    if (!readDrawing(content, input, &drawing, error, backdrop, progress))
        return false;
    stepProgress(progress, ConversionStage::Reading, 1, 1);
    if (warnings)
        *warnings = drawing.warnings;
    if (!input.choice.colours.isEmpty() && !keepColours(&drawing.paths, input.choice.colours, error))
        return false;
    if (drawing.paths.isEmpty()) {
        *error = QStringLiteral("the drawing has no visible shape to cut");
        return false;
    }
    // A welded drawing is cut as its united outlines: touching letters as one.
    if (weld)
        weldPaths(&drawing.paths);
    *paths = std::move(drawing.paths);
    return true;
}

} // namespace

bool readDesign(const QByteArray& content, const CutOptions& options, const InputOptions& input, CutPaths* design,
                QString* error, QStringList* warnings)
{
    return readPaths(content, input, options.weld, design, error, warnings, nullptr, nullptr)
           && shapeDesign(design, options, error);
}

bool convertDrawing(const QByteArray& content, const CutOptions& options, const InputOptions& input, CutPaths* page,
                    QString* error, QStringList* warnings, Backdrop* backdrop, ConversionProgress* progress)
{
    CutPaths paths;
    if (!readPaths(content, input, options.weld, &paths, error, warnings, backdrop, progress))
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
    if (format == JobFormat::Dxf ? !readDxf(content, &drawing, error, {}, &dxfLayers)
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
