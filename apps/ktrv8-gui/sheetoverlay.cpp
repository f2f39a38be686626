#include "sheetoverlay.h"

#include <QCoreApplication>
#include <QPainter>

namespace {

const QColor PageColour(0x6a, 0x6a, 0x90);
constexpr double LabelMm = 3; // a page's name, as high as the sheet's smaller print allows

} // namespace

SheetOverlay::SheetOverlay(ktconv::PreviewSheet laidOut, const ktconv::Backdrop& first,
                           const QVector<ktconv::Backdrop>& all, int pages)
    : sheet(std::move(laidOut)), pagesPerCopy(pages)
{
    // The sheet places the first picture; the others go where it goes, each by its own map
    // into the job's plotter units.
    bool invertible = false;
    const QTransform plotterToSheet = first.toPlotter.inverted(&invertible) * sheet.backdropToSheet;
    for (int i = 1; invertible && !sheet.backdrop.isNull() && i < all.size(); ++i)
        pictures << Picture{all[i].image, all[i].toPlotter * plotterToSheet};
}

void SheetOverlay::paint(QPainter* painter) const
{
    ktconv::paintPreview(painter, sheet);
    paintPictures(painter);
    paintPages(painter);
}

// Over the cuts, multiplied in: white leaves them as they are, the picture shows faintly.
void SheetOverlay::paintPictures(QPainter* painter) const
{
    for (const Picture& picture : pictures) {
        painter->save();
        painter->setTransform(picture.toSheet, true);
        painter->setCompositionMode(QPainter::CompositionMode_Multiply);
        painter->setOpacity(0.35);
        painter->drawImage(QPointF(0, 0), picture.image);
        painter->restore();
    }
}

void SheetOverlay::paintPages(QPainter* painter) const
{
    if (sheet.pageAreas.size() < 2 || pagesPerCopy < 1)
        return;
    painter->save();
    painter->setPen(QPen(PageColour, 0, Qt::DotLine));
    painter->setBrush(Qt::NoBrush);
    QFont font;
    font.setPixelSize(1); // the size is set by scaling: fonts take whole pixels, the sheet is in mm
    painter->setFont(font);
    const bool copies = sheet.pageAreas.size() > pagesPerCopy;
    for (int i = 0; i < sheet.pageAreas.size(); ++i) {
        const QRectF area = sheet.pageAreas[i];
        painter->drawRect(area);
        const int copy = i / pagesPerCopy + 1, page = i % pagesPerCopy + 1;
        const QString name = copies
                                 ? QCoreApplication::translate("SheetOverlay", "Copy %1, page %2").arg(copy).arg(page)
                                 : QCoreApplication::translate("SheetOverlay", "Page %1").arg(page);
        painter->save();
        painter->translate(area.topLeft() + QPointF(0.5, -0.5));
        painter->scale(LabelMm, LabelMm);
        painter->drawText(QPointF(0, 0), name);
        painter->restore();
    }
    painter->restore();
}
