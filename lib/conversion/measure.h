#ifndef MEASURE_H
#define MEASURE_H

#include "cutpath.h"
#include "hpglreader.h"

#include <QByteArray>
#include <QRectF>
#include <QStringView>

namespace ktconv {

// What a page keeps the cutter busy with: the length it cuts with the knife down, the length
// it travels with the knife up, and the extent of its cuts; all in plotter units. The time
// estimates, the work record, the simulator's cutting time and the conversion summary all
// read these three numbers, so they are taken in this one way.
struct Measure
{
    double cut = 0;
    double travel = 0;
    QRectF bounds; // of the knife-down moves; null when the page cuts nothing

    double cutMm() const { return cut / UnitsPerMm; }
    double travelMm() const { return travel / UnitsPerMm; }
    // Another page of the same job: lengths add up, extents unite.
    Measure& operator+=(const Measure& other);
};

// Measures while it follows the pen; a pen that needs more than the measures derives from it.
class MeasuringPen : public HpglPen
{
public:
    Measure measure;

    void moved(const QPointF& from, const QPointF& to, bool down) override;

private:
    void include(const QPointF& point);

    bool drawn = false;
    QPointF low, high;
};

// HP-GL text as the reader above follows it.
Measure measure(QStringView hpgl);
Measure measure(const QByteArray& hpgl);
// The same in the same pass, with the page's knife-down strokes as cut paths.
Measure measure(QStringView hpgl, CutPaths* strokes);
// A page as writePltPage writes it: from the origin to each path, along it, back to the origin.
Measure measure(const CutPaths& page);

} // namespace ktconv

#endif // MEASURE_H
