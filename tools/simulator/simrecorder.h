#ifndef SIMRECORDER_H
#define SIMRECORDER_H

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

namespace ktsim {

// The pen-down strokes of an HP-GL text in plotter units (40 per mm), from the subset the
// cutter takes: IN, PU, PD, PA, PR (PG ends a page; everything else is skipped).
struct HpglPaths
{
    QList<QVector<QPointF>> strokes;
    double travelUnits = 0;     // every move, pen up or down
    QRectF bounds;              // of the strokes
};

constexpr double UnitsPerMm = 40.0;

HpglPaths parseHpgl(const QByteArray& text);

// What the cutter has cut: the job text of every finished page (--out) and a drawing of
// its strokes (--svg), both rewritten as pages finish so they can be read at any time.
class CutRecorder
{
public:
    bool openText(const QString& path, QString* error);
    bool setSvg(const QString& path, QString* error);
    void pageCut(const QByteArray& text);
    int pages() const { return pageCount; }

private:
    bool writeSvg(QString* error);

    QFile text;
    QString svgPath;
    QList<HpglPaths> drawn;
    int pageCount = 0;
};

} // namespace ktsim

#endif // SIMRECORDER_H
