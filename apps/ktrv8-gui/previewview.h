#ifndef PREVIEWVIEW_H
#define PREVIEWVIEW_H

#include <QGraphicsView>

#include <functional>

class QGraphicsRectItem;

// A zoomable picture of the job: the wheel zooms around the pointer, dragging pans, a
// double click fits the whole job. The picture is painted by whoever drew the preview;
// this view only adds the frame of the page being cut.
class PreviewView : public QGraphicsView
{
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter*)>;

    explicit PreviewView(QWidget* parent = nullptr);

    // bounds in the painter's coordinates; areas: each page of each copy in the same ones,
    // copy after copy.
    void setPicture(const QRectF& bounds, const Painter& paint, const QList<QRectF>& areas, int pagesPerCopy);
    void clearPicture();
    // The area framed as being cut, empty when none.
    QRectF highlighted() const;
    double zoom() const;
    // On (the default): the picture is painted once into a pixmap of up to CachePixels on
    // its longer side, which every repaint and every zoom up to that size only scales (a
    // frame moving over it, panning, zooming: a drawing of a million strokes at once);
    // zoomed in further it is painted once for each zoom at the screen's resolution. Off:
    // every repaint paints every stroke.
    void setCaching(bool on);
    static constexpr int CachePixels = 2048;

public slots:
    // copy from 1; page from 1, or 0 for the whole copy; copy 0 removes the frame.
    void highlight(int copy, int page);
    void fitAll();
    void zoomBy(double factor);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void chooseCache();

    QList<QRectF> pageAreas;
    int pagesPerCopy = 0;
    QGraphicsRectItem* frame = nullptr;
    QGraphicsItem* picture = nullptr;
    bool caching = true;
    bool fitted = true; // follows the window size until the user zooms
};

#endif // PREVIEWVIEW_H
