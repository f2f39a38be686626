#include "previewview.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QWheelEvent>

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
}

void PreviewView::setPicture(const QRectF& bounds, const Painter& paint, const QList<QRectF>& pages)
{
    clearPicture();
    scene()->addItem(new PictureItem(bounds, paint));
    pageAreas = pages;
    // Margin around the job so it does not touch the frame.
    const qreal margin = qMax(bounds.width(), bounds.height()) * 0.04 + 1;
    scene()->setSceneRect(bounds.adjusted(-margin, -margin, margin, margin));
    fitted = true;
    fitAll();
}

void PreviewView::clearPicture()
{
    scene()->clear();
    highlight = nullptr;
    pageAreas.clear();
    current = -1;
}

void PreviewView::setCurrentPage(int index)
{
    current = index >= 0 && index < pageAreas.size() ? index : -1;
    if (current < 0) {
        if (highlight)
            highlight->hide();
        return;
    }
    if (!highlight) {
        highlight = scene()->addRect(QRectF(), QPen(QColor(0xe0, 0x7b, 0x00), 0, Qt::DashLine), QColor(0xff, 0xb3, 0x40, 60));
        highlight->setZValue(-1);
    }
    const QRectF area = pageAreas.at(current);
    const qreal pad = qMax(area.width(), area.height()) * 0.02 + 1;
    highlight->setRect(area.adjusted(-pad, -pad, pad, pad));
    highlight->show();
}

double PreviewView::zoom() const
{
    return transform().m11();
}

void PreviewView::fitAll()
{
    if (!scene()->sceneRect().isEmpty())
        fitInView(scene()->sceneRect(), Qt::KeepAspectRatio);
}

void PreviewView::zoomBy(double factor)
{
    const double next = zoom() * factor;
    if (next < 1e-4 || next > 1e4)
        return;
    fitted = false;
    scale(factor, factor);
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
