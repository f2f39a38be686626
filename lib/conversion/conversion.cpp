#include "conversion.h"

#include "svgreader.h"

namespace ktconv {

JobFormat detectFormat(const QByteArray& content)
{
    if (looksLikeSvg(content))
        return JobFormat::Drawing;
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
    return QStringLiteral("the file is neither an SVG drawing nor a PLT job (HP-GL)");
}

bool convertDrawing(const QByteArray& svg, const CutOptions& options, CutPaths* page, QString* error,
                    QStringList* warnings)
{
    SvgDrawing drawing;
    if (!readSvg(svg, &drawing, error))
        return false;
    if (warnings)
        *warnings = drawing.warnings;
    if (drawing.paths.isEmpty()) {
        *error = QStringLiteral("the drawing has no visible shape to cut");
        return false;
    }
    if (!applyCutOptions(&drawing.paths, options, error))
        return false;
    *page = drawing.paths;
    return true;
}

bool loadJobPages(const QByteArray& content, const CutOptions& options, CutPages* pages, QString* error,
                  QStringList* warnings)
{
    switch (detectFormat(content)) {
    case JobFormat::Drawing: {
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
