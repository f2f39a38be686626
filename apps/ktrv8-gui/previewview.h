#ifndef PREVIEWVIEW_H
#define PREVIEWVIEW_H

#include <QGraphicsView>

#include <functional>

class PreviewPicture;
class QGraphicsRectItem;

// A zoomable picture of the job: the wheel zooms around the pointer, dragging pans, a
// double click fits the whole job. The picture is painted by whoever drew the preview, on
// threads of their own (see PreviewPicture): the painter must only read what it draws.
// This view only adds the frame of the page being cut.
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
    // On (the default): the picture is painted off the GUI thread into an image of up to
    // PreviewPicture::CachePixels on its longer side, which every repaint and every zoom up to that size
    // only scales; zoomed in further the part on screen is painted once for each zoom at the
    // screen's resolution. Off: every repaint paints every stroke on the GUI thread.
    void setCaching(bool on);
    // Whether an image of the picture is being painted now.
    bool isDrawing() const;
    // Waits until the whole picture is painted: a screenshot shows it, not its placeholder.
    void finishPicture();
    // The picture shown is of a job that is being read or laid out again: it is veiled and
    // says so until the next picture replaces it.
    void setOutOfDate(bool on);
    bool isOutOfDate() const { return outOfDate; }

signals:
    // An image of the picture arrived and is on screen.
    void pictureShown();

public slots:
    // copy from 1; page from 1, or 0 for the whole copy; copy 0 removes the frame.
    void highlight(int copy, int page);
    void fitAll();
    void zoomBy(double factor);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    QList<QRectF> pageAreas;
    int pagesPerCopy = 0;
    QGraphicsRectItem* frame = nullptr;
    PreviewPicture* picture = nullptr;
    bool caching = true;
    bool outOfDate = false;
    bool fitted = true; // follows the window size until the user zooms
};

#endif // PREVIEWVIEW_H
