#include "conversion.h"

#include "dxfreader.h"
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
    return QStringLiteral("the file is neither a drawing (SVG, PDF, ASCII DXF) nor a PLT job (HP-GL)");
}

namespace {

bool readDrawing(const QByteArray& content, const InputOptions& input, SvgDrawing* drawing, QString* error)
{
    switch (detectFormat(content)) {
    case JobFormat::Pdf: return readPdf(content, input.page, drawing, error);
    case JobFormat::Dxf: return readDxf(content, drawing, error);
    default: return readSvg(content, drawing, error);
    }
}

} // namespace

bool convertDrawing(const QByteArray& svg, const CutOptions& options, CutPaths* page, QString* error,
                    QStringList* warnings)
{
    return convertDrawing(svg, options, InputOptions(), page, error, warnings);
}

bool convertDrawing(const QByteArray& content, const CutOptions& options, const InputOptions& input, CutPaths* page,
                    QString* error, QStringList* warnings)
{
    SvgDrawing drawing;
    if (!readDrawing(content, input, &drawing, error))
        return false;
    if (warnings)
        *warnings = drawing.warnings;
    if (drawing.paths.isEmpty()) {
        *error = QStringLiteral("the drawing has no visible shape to cut");
        return false;
    }
    if (options.weld)
        weldPaths(&drawing.paths);
    if (!applyCutOptions(&drawing.paths, options, error))
        return false;
    *page = drawing.paths;
    return true;
}

bool loadJobPages(const QByteArray& content, const CutOptions& options, CutPages* pages, QString* error,
                  QStringList* warnings)
{
    const JobFormat format = detectFormat(content);
    switch (format) {
    case JobFormat::Drawing:
    case JobFormat::Pdf:
    case JobFormat::Dxf: {
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
