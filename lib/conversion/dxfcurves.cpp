#include "dxfcurves.h"

#include <QLineF>

#include <algorithm>
#include <cmath>

namespace ktconv {

QVector<QPointF> arcPoints(QPointF centre, QPointF major, double ratio, double start, double end, double tolerance)
{
    while (end <= start)
        end += 2 * M_PI;
    const double radius = std::max(std::hypot(major.x(), major.y()), 1e-12);
    const double step = 2 * std::acos(std::max(-1.0, 1 - tolerance / radius));
    const int count = std::clamp(int(std::ceil((end - start) / std::max(step, 1e-3))), 4, 100000);
    const QPointF minor(-major.y() * ratio, major.x() * ratio);
    QVector<QPointF> points;
    for (int i = 0; i <= count; ++i) {
        const double t = start + (end - start) * i / count;
        points << centre + major * std::cos(t) + minor * std::sin(t);
    }
    return points;
}

QVector<QPointF> bulgePoints(QPointF from, QPointF to, double bulge, double tolerance)
{
    const double chord = QLineF(from, to).length();
    if (std::abs(bulge) < 1e-9 || chord < 1e-12)
        return {to};
    // The included angle is four times the arc tangent of the bulge, counter-clockwise when
    // the bulge is positive.
    const double angle = 4 * std::atan(bulge);
    const double radius = chord / (2 * std::sin(std::abs(angle) / 2));
    const QPointF middle = (from + to) / 2;
    const QPointF along = (to - from) / chord;
    const double rise = radius * std::cos(angle / 2) * (bulge > 0 ? 1 : -1);
    const QPointF centre = middle + QPointF(-along.y(), along.x()) * rise;
    const double start = std::atan2(from.y() - centre.y(), from.x() - centre.x());
    QVector<QPointF> points = arcPoints(centre, QPointF(radius, 0), 1, start, start + std::abs(angle), tolerance);
    if (bulge < 0) {
        const double end = std::atan2(to.y() - centre.y(), to.x() - centre.x());
        points = arcPoints(centre, QPointF(radius, 0), 1, end, end + std::abs(angle), tolerance);
        std::reverse(points.begin(), points.end());
    }
    points.removeFirst();
    points.last() = to;
    return points;
}

namespace {

// de Boor's recursion in homogeneous coordinates.
QPointF splineAt(int degree, const QVector<double>& knots, const QVector<QPointF>& control,
                 const QVector<double>& weights, double t)
{
    int span = degree;
    while (span < control.size() - 1 && knots[span + 1] <= t)
        ++span;
    QVector<QPointF> d(degree + 1);
    QVector<double> w(degree + 1);
    for (int j = 0; j <= degree; ++j) {
        w[j] = weights.value(span - degree + j, 1.0);
        d[j] = control[span - degree + j] * w[j];
    }
    for (int r = 1; r <= degree; ++r) {
        for (int j = degree; j >= r; --j) {
            const int i = span - degree + j;
            const double span_ = knots[i + degree - r + 1] - knots[i];
            const double a = span_ > 0 ? (t - knots[i]) / span_ : 0;
            d[j] = d[j - 1] * (1 - a) + d[j] * a;
            w[j] = w[j - 1] * (1 - a) + w[j] * a;
        }
    }
    return d[degree] / w[degree];
}

} // namespace

QVector<QPointF> splinePoints(int degree, const QVector<double>& knots, const QVector<QPointF>& control,
                              const QVector<double>& weights, double tolerance)
{
    if (degree < 1 || control.size() <= degree || knots.size() != control.size() + degree + 1)
        return control;
    const double first = knots[degree], last = knots[control.size()];
    double hull = 0;
    for (int i = 1; i < control.size(); ++i)
        hull += QLineF(control[i - 1], control[i]).length();
    const int count = std::clamp(int(hull / std::max(tolerance * 20, 1e-9)), 16 * control.size(), 200000);
    QVector<QPointF> points;
    for (int i = 0; i <= count; ++i)
        points << splineAt(degree, knots, control, weights, first + (last - first) * i / count);
    return points;
}

void joinFollowingPaths(CutPaths* paths, double tolerance)
{
    CutPaths joined;
    const auto touching = [tolerance](QPointF a, QPointF b) { return QLineF(a, b).length() <= tolerance; };
    for (const CutPath& path : qAsConst(*paths)) {
        CutPath* last = joined.isEmpty() ? nullptr : &joined.last();
        if (last && !last->closed && !path.closed && !path.points.isEmpty() && last->stroke == path.stroke
            && touching(last->points.last(), path.points.first())) {
            last->points += path.points.mid(1);
        } else {
            joined << path;
        }
    }
    for (CutPath& path : joined) {
        if (!path.closed && path.points.size() > 2 && touching(path.points.first(), path.points.last())) {
            path.points.last() = path.points.first();
            path.closed = true;
        }
    }
    *paths = joined;
}

} // namespace ktconv
