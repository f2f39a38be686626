#include "perforate.h"

#include <QLineF>

namespace ktconv {

CutPaths perforated(const CutPath& path, double cut, double gap)
{
    if (cut <= 0 || gap <= 0 || path.points.size() < 2)
        return {path};
    CutPaths pieces;
    CutPath piece;
    bool cutting = true;
    double left = cut; // of the piece or gap under way
    piece.points << path.points.first();
    for (int i = 1; i < path.points.size(); ++i) {
        QPointF from = path.points[i - 1];
        const QPointF to = path.points[i];
        double edge = QLineF(from, to).length();
        while (edge > left) {
            from = QLineF(from, to).pointAt(left / edge);
            edge -= left;
            if (cutting) {
                piece.points << from;
                pieces << piece;
                piece.points.clear();
            } else {
                piece.points << from;
            }
            cutting = !cutting;
            left = cutting ? cut : gap;
        }
        left -= edge;
        if (cutting)
            piece.points << to;
    }
    if (cutting && piece.points.size() > 1)
        pieces << piece;
    return pieces;
}

} // namespace ktconv
