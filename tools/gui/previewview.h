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

    // bounds in the painter's coordinates; pages: each page's area in the same ones.
    void setPicture(const QRectF& bounds, const Painter& paint, const QList<QRectF>& pages);
    void clearPicture();
    void setCurrentPage(int index);     // -1: none
    int currentPage() const { return current; }
    double zoom() const;

public slots:
    void fitAll();
    void zoomBy(double factor);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QList<QRectF> pageAreas;
    QGraphicsRectItem* highlight = nullptr;
    int current = -1;
    bool fitted = true;     // follows the window size until the user zooms
};

#endif // PREVIEWVIEW_H
