#ifndef SIMRECORDER_H
#define SIMRECORDER_H

#include "cutpath.h"
#include "sheetlayout.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

namespace ktsim {

using ktconv::UnitsPerMm;

// The pen-down strokes of an HP-GL text in plotter units (40 per mm), from the subset the
// cutter takes: IN, PU, PD, PA, PR (PG ends a page; everything else is skipped).
struct HpglPaths
{
    QList<QVector<QPointF>> strokes;
    double travelUnits = 0; // every move, pen up or down
    QRectF bounds;          // of the strokes
};

HpglPaths parseHpgl(const QByteArray& text);

// What the cutter has cut: the job text of every finished page (--out) and a drawing of
// its strokes (--svg). Both grow by each finished page (the picture's size in its header is
// rewritten in place), so they can be read at any time and long jobs cost no more per page.
class CutRecorder
{
public:
    bool openText(const QString& path, QString* error);
    bool setSvg(const QString& path, QString* error);
    // newCopy: the page begins a copy, laid out marginMm below the one before, as the
    // cutter spaces copies; the pages are placed as the conversion library's sheet layout
    // places them for the preview.
    void pageCut(const QByteArray& text, bool newCopy = false, double marginMm = PageGapMm);
    int pages() const { return pageCount; }

    static constexpr double PageGapMm = ktconv::SheetLayout::PageGapMm;

private:
    void appendSvgPage(const HpglPaths& page, const ktconv::SheetLayout::Place& place);
    void writeSvgHeader();

    QFile text;
    QFile svg;
    qint64 svgTail = 0; // where the closing tag starts: the next page goes there
    ktconv::SheetLayout layout;
    int pageCount = 0;
    int copyCount = 0;
};

} // namespace ktsim

#endif // SIMRECORDER_H
