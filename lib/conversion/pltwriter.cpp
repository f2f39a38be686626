#include "pltwriter.h"

#include <QPoint>

namespace ktconv {
namespace {

void appendPoint(QByteArray* out, QPoint p)
{
    out->append(QByteArray::number(p.x()));
    out->append(',');
    out->append(QByteArray::number(p.y()));
}

} // namespace

QByteArray writePltPage(const CutPaths& paths, ConversionProgress* progress)
{
    QByteArray out("IN;PA;");
    for (int index = 0; index < paths.size(); ++index) {
        stepProgress(progress, ConversionStage::Writing, index, paths.size());
        if (progressCancelled(progress))
            return out;
        const CutPath& path = paths[index];
        QVector<QPoint> points;
        points.reserve(path.points.size());
        for (const QPointF& p : path.points) {
            const QPoint rounded = p.toPoint();
            if (points.isEmpty() || points.last() != rounded)
                points << rounded;
        }
        if (points.size() < 2)
            continue;
        out.append("PU");
        appendPoint(&out, points.first());
        out.append(";PD");
        for (int i = 1; i < points.size(); ++i) {
            if (i > 1)
                out.append(',');
            appendPoint(&out, points[i]);
        }
        out.append(';');
    }
    out.append("PU0,0;PG;");
    stepProgress(progress, ConversionStage::Writing, paths.size(), paths.size());
    return out;
}

} // namespace ktconv
