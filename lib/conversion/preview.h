#ifndef PREVIEW_H
#define PREVIEW_H

#include "bitmaptrace.h"
#include "hpglreader.h"

#include <QList>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

class QPainter;

namespace ktconv {

// The job on the material as the cutter lays it out (see SheetLayout): the pages of each
// copy down the sheet, the copies below one another, copyGapMm apart.
struct PreviewLayout
{
    int copies = 1;
    double copyGapMm = 20; // the cutter's spacing between copies on one sheet
    Backdrop backdrop;     // a traced picture, drawn faintly under the first page
    QSizeF materialMm;     // the material's width and length (0: a roll; empty: not drawn)
};

// One stroke or move on the sheet, in millimetres with y downwards.
struct SheetLine
{
    QPolygonF points;
    bool cut = true;
    int order = 0; // 1-based place in its page's cut order, for cuts
};

// The job drawn on its sheet: cuts, pen-up travel back and forth, and where each page of
// each copy lies (copy after copy), all in millimetres.
struct PreviewSheet
{
    QVector<SheetLine> lines;
    QList<QRectF> pageAreas;
    QVector<QPolygonF> materialEdges; // a sheet's outline, or a roll's two long edges
    QSizeF sizeMm;
    QImage backdrop;
    QTransform backdropToSheet; // the picture's pixels to the sheet's millimetres
};

PreviewSheet layOutPreview(const CutPages& pages, const PreviewLayout& layout);

// Paints the sheet in its millimetres: cuts in one colour, pen-up travel dashed in another,
// each path's place in the cut order at its start. Order numbers need a QGuiApplication.
// On a thread asked to stop (QThread::requestInterruption) it stops early.
void paintPreview(QPainter* painter, const PreviewSheet& sheet);

// Draws the job as paintPreview does into a file whose format follows its suffix (.png or
// .svg).
bool writePreview(const CutPages& pages, const PreviewLayout& layout, const QString& fileName, QString* error);

} // namespace ktconv

#endif // PREVIEW_H
