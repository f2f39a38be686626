#ifndef CONVERSION_H
#define CONVERSION_H

#include "bitmaptrace.h"
#include "conversionprogress.h"
#include "cutoptions.h"
#include "hpglreader.h"
#include "layerfilter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ktconv {

enum class JobFormat {
    Drawing, // SVG
    Plt,
    Unknown,
    Pdf,
    Dxf,
    Bitmap, // a picture, traced
};

// A kind that is converted with the cutter options (not a PLT job taken as it is).
bool isDrawingFormat(JobFormat format);

// How a drawing file is read, before the cutter options apply.
struct InputOptions
{
    int page = 1; // a PDF's page, from 1
    TraceOptions trace;
    DrawingChoice choice; // the layers and colours to cut
    // Text with characters no installed font has is cut without them (each named in the
    // warnings) rather than refused.
    bool allowMissingGlyphs = false;
};

// Taken from the content, not the file name.
JobFormat detectFormat(const QByteArray& content);

// Why content is neither a drawing nor a PLT job, in words for the user.
QString refusalReason(const QByteArray& content);

// A drawing as one cutter page in plotter units with the options applied. False with a
// message for a drawing that cannot be read or holds nothing to cut, or whose text has
// characters no installed font has (see InputOptions); `warnings` name what the drawing
// holds that is not cut. `progress` hears how far reading and ordering got; a
// cancelled conversion fails with a message saying so.
bool convertDrawing(const QByteArray& svg, const CutOptions& options, CutPaths* page, QString* error,
                    QStringList* warnings = nullptr);
// `backdrop`, when given, receives a traced picture where it lies under the cut.
bool convertDrawing(const QByteArray& content, const CutOptions& options, const InputOptions& input, CutPaths* page,
                    QString* error, QStringList* warnings = nullptr, Backdrop* backdrop = nullptr,
                    ConversionProgress* progress = nullptr);

// The layers (an SVG's, a DXF's) and colours a drawing has, each with its paths.
bool listDrawingParts(const QByteArray& content, const InputOptions& input, DrawingParts* parts, QString* error);

// A drawing as one design, scaled, turned and mirrored by the options but not yet placed or
// finished (see finishPaths), to be laid out with others; `backdrop` as for convertDrawing.
bool readDesign(const QByteArray& content, const CutOptions& options, const InputOptions& input, CutPaths* design,
                QString* error, QStringList* warnings = nullptr, Backdrop* backdrop = nullptr);

// Any job file as the cutter's pages: a drawing converted, a PLT job read as it is
// (cutter options do not apply to PLT).
bool loadJobPages(const QByteArray& content, const CutOptions& options, CutPages* pages, QString* error,
                  QStringList* warnings = nullptr);

} // namespace ktconv

#endif // CONVERSION_H
