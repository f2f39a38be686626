#include "measure.h"

#include <QLineF>

namespace ktconv {
namespace {

// united() drops empty rectangles, and a straight cut has an empty one.
QRectF unite(const QRectF& a, const QRectF& b)
{
    if (a.isNull())
        return b;
    if (b.isNull())
        return a;
    return QRectF(QPointF(std::min(a.left(), b.left()), std::min(a.top(), b.top())),
                  QPointF(std::max(a.right(), b.right()), std::max(a.bottom(), b.bottom())));
}

} // namespace

Measure& Measure::operator+=(const Measure& other)
{
    cut += other.cut;
    travel += other.travel;
    bounds = unite(bounds, other.bounds);
    return *this;
}

void MeasuringPen::moved(const QPointF& from, const QPointF& to, bool down)
{
    const double length = QLineF(from, to).length();
    if (!down) {
        measure.travel += length;
        return;
    }
    measure.cut += length;
    include(from);
    include(to);
}

void MeasuringPen::include(const QPointF& point)
{
    if (!drawn)
        low = high = point;
    drawn = true;
    low = QPointF(std::min(low.x(), point.x()), std::min(low.y(), point.y()));
    high = QPointF(std::max(high.x(), point.x()), std::max(high.y(), point.y()));
    measure.bounds = QRectF(low, high);
}

Measure measure(QStringView hpgl)
{
    MeasuringPen pen;
    followHpgl(hpgl, pen);
    return pen.measure;
}

Measure measure(const QByteArray& hpgl)
{
    MeasuringPen pen;
    followHpgl(hpgl, pen);
    return pen.measure;
}

namespace {

class MeasuringStrokes : public MeasuringPen
{
public:
    StrokePen strokes;

    void moved(const QPointF& from, const QPointF& to, bool down) override
    {
        MeasuringPen::moved(from, to, down);
        strokes.moved(from, to, down);
    }
    void lifted() override { strokes.lifted(); }
};

} // namespace

Measure measure(QStringView hpgl, CutPaths* strokes)
{
    MeasuringStrokes pen;
    followHpgl(hpgl, pen);
    pen.lifted();
    *strokes = std::move(pen.strokes.strokes);
    return pen.measure;
}

Measure measure(const CutPaths& page)
{
    Measure m;
    m.cut = penDownLength(page);
    QPointF at;
    for (const CutPath& path : page) {
        if (path.points.isEmpty())
            continue;
        m.travel += QLineF(at, path.points.first()).length();
        at = path.points.last();
    }
    m.travel += QLineF(at, QPointF()).length();
    m.bounds = boundsOf(page);
    return m;
}

} // namespace ktconv
