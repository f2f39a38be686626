#include "previewview.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QPixmapCache>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// The preview painter as one scene item, so the view's transform zooms it.
class PictureItem : public QGraphicsItem
{
public:
    PictureItem(const QRectF& bounds, const PreviewView::Painter& paint) : bounds(bounds), paintPicture(paint) {}
    QRectF boundingRect() const override { return bounds; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        painter->save();
        paintPicture(painter);
        painter->restore();
    }

private:
    QRectF bounds;
    PreviewView::Painter paintPicture;
};

} // namespace

PreviewView::PreviewView(QWidget* parent) : QGraphicsView(parent)
{
    setObjectName(QStringLiteral("preview"));
    setScene(new QGraphicsScene(this));
    setRenderHint(QPainter::Antialiasing);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setBackgroundBrush(QColor(0xf4, 0xf4, 0xf0));
    setMinimumSize(320, 240);
    // The cached picture lives in Qt's pixmap cache, 10 MiB by default: one picture of
    // CachePixels square must fit, with room for the view's other pixmaps.
    const int pictureKb = CachePixels * CachePixels * 4 / 1024;
    QPixmapCache::setCacheLimit(std::max(QPixmapCache::cacheLimit(), 2 * pictureKb + 10240));
}

void PreviewView::setPicture(const QRectF& bounds, const Painter& paint, const QList<QRectF>& areas, int pages)
{
    clearPicture();
    picture = new PictureItem(bounds, paint);
    scene()->addItem(picture);
    pageAreas = areas;
    pagesPerCopy = pages;
    // Margin around the job so it does not touch the frame.
    const qreal margin = qMax(bounds.width(), bounds.height()) * 0.04 + 1;
    scene()->setSceneRect(bounds.adjusted(-margin, -margin, margin, margin));
    fitted = true;
    fitAll();
}

void PreviewView::clearPicture()
{
    scene()->clear();
    frame = nullptr;
    picture = nullptr;
    pageAreas.clear();
    pagesPerCopy = 0;
}

void PreviewView::highlight(int copy, int page)
{
    QRectF area;
    const int first = (copy - 1) * pagesPerCopy;
    if (copy > 0 && page > 0 && page <= pagesPerCopy && first + page - 1 < pageAreas.size())
        area = pageAreas.at(first + page - 1);
    for (int i = 0; copy > 0 && page == 0 && i < pagesPerCopy && first + i < pageAreas.size(); ++i)
        area |= pageAreas.at(first + i);
    if (area.isNull()) {
        if (frame)
            frame->hide();
        return;
    }
    if (!frame) {
        frame =
            scene()->addRect(QRectF(), QPen(QColor(0xe0, 0x7b, 0x00), 0, Qt::DashLine), QColor(0xff, 0xb3, 0x40, 60));
        frame->setZValue(-1);
    }
    const qreal pad = 1.5;
    frame->setRect(area.adjusted(-pad, -pad, pad, pad));
    frame->show();
}

void PreviewView::setCaching(bool on)
{
    caching = on;
    chooseCache();
}

// The picture in item coordinates while the screen shows it no larger than the cache (one
// paint for every zoom), else at each zoom's own resolution; a change of kind paints anew.
void PreviewView::chooseCache()
{
    if (!picture)
        return;
    const QRectF bounds = picture->boundingRect();
    const double longest = std::max(bounds.width(), bounds.height());
    QGraphicsItem::CacheMode mode = QGraphicsItem::NoCache;
    if (caching && longest > 0)
        mode =
            longest * zoom() <= CachePixels ? QGraphicsItem::ItemCoordinateCache : QGraphicsItem::DeviceCoordinateCache;
    if (mode != picture->cacheMode())
        picture->setCacheMode(mode, (bounds.size() * (CachePixels / longest)).toSize().expandedTo(QSize(1, 1)));
}

QRectF PreviewView::highlighted() const
{
    return frame && frame->isVisible() ? frame->rect() : QRectF();
}

double PreviewView::zoom() const
{
    return transform().m11();
}

void PreviewView::fitAll()
{
    if (!scene()->sceneRect().isEmpty())
        fitInView(scene()->sceneRect(), Qt::KeepAspectRatio);
    chooseCache();
}

void PreviewView::zoomBy(double factor)
{
    const double next = zoom() * factor;
    if (next < 1e-4 || next > 1e4)
        return;
    fitted = false;
    scale(factor, factor);
    chooseCache();
}

void PreviewView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0)
        return;
    zoomBy(std::pow(1.25, steps));
    event->accept();
}

void PreviewView::mouseDoubleClickEvent(QMouseEvent* event)
{
    fitted = true;
    fitAll();
    event->accept();
}

void PreviewView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    if (fitted)
        fitAll();
}
