#ifndef SHEETLAYOUT_H
#define SHEETLAYOUT_H

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace ktconv {

// How the cutter lays a job out on the material: pages one after the other down the sheet,
// PageGapMm apart, and each further copy of the whole job below the last, its spacing
// between copies apart. Each page keeps its own origin at the left edge, so a page whose
// cuts start away from its origin is cut away from the edge too. The preview, the window
// and the simulator's picture all place pages through this one class.
class SheetLayout
{
public:
    static constexpr double BorderMm = 5;
    static constexpr double PageGapMm = 10;

    // One page on the sheet, in millimetres from the sheet's top-left corner, y downwards.
    struct Place
    {
        double topMm = 0;
        double widthMm = 0;  // from the page's origin to its rightmost cut
        double heightMm = 0; // from the page's origin to its highest cut
        // Plotter units, y upwards from the page's origin, to the sheet.
        QPointF toSheet(const QPointF& plotter) const;
        QRectF area() const { return QRectF(BorderMm, topMm, widthMm, heightMm); }
    };

    // The next page, given the extent of its cuts in plotter units (y upwards).
    Place nextPage(const QRectF& bounds);
    // The pages that follow begin a further copy, gapMm below the last page.
    void newCopy(double gapMm);
    // The sheet so far, borders included.
    QSizeF sizeMm() const;

private:
    double top = BorderMm;
    double width = 0;
    int pages = 0;
};

} // namespace ktconv

#endif // SHEETLAYOUT_H
