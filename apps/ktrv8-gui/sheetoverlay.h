#ifndef SHEETOVERLAY_H
#define SHEETOVERLAY_H

#include "preview.h"

#include <QImage>
#include <QTransform>
#include <QVector>

// The job on its sheet as the preview paints it, with what the window adds over it: each
// traced picture under its own design when several share the material (the sheet carries
// only the first), and every page of every copy framed and named, so that the frame of the
// page being cut has a place to point at.
class SheetOverlay
{
public:
    // first: the picture the sheet was laid out with; all: every picture, the first too.
    SheetOverlay(ktconv::PreviewSheet sheet, const ktconv::Backdrop& first, const QVector<ktconv::Backdrop>& all,
                 int pagesPerCopy);

    void paint(QPainter* painter) const;

    const ktconv::PreviewSheet sheet;

private:
    void paintPictures(QPainter* painter) const;
    void paintPages(QPainter* painter) const;

    struct Picture
    {
        QImage image;
        QTransform toSheet;
    };
    QVector<Picture> pictures; // beyond the sheet's own
    int pagesPerCopy;
};

#endif // SHEETOVERLAY_H
