#include "previewview.h"

#include "previewpicture.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

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

void PreviewView::setPicture(const QRectF& bounds, const Painter& paint, const QList<QRectF>& areas, int pages)
{
    clearPicture();
    picture = new PreviewPicture(bounds, paint);
    picture->setCaching(caching);
    connect(picture, &PreviewPicture::imageReady, this, [this] {
        viewport()->update();
        emit pictureShown();
    });
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
    outOfDate = false;
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
    if (picture)
        picture->setCaching(on);
}

bool PreviewView::isDrawing() const
{
    return picture && picture->isDrawing();
}

void PreviewView::finishPicture()
{
    if (picture)
        picture->finish();
}

void PreviewView::setOutOfDate(bool on)
{
    if (on == outOfDate)
        return;
    outOfDate = on;
    viewport()->update();
}

// Until the picture's first image arrives the view says that it is being drawn; a picture
// out of date is veiled.
void PreviewView::drawForeground(QPainter* painter, const QRectF&)
{
    const bool veiled = outOfDate && picture;
    if (!veiled && (!picture || picture->hasImage() || !caching))
        return;
    painter->save();
    painter->resetTransform();
    if (veiled)
        painter->fillRect(viewport()->rect(), QColor(0xf4, 0xf4, 0xf0, 190));
    painter->setPen(QColor(0x60, 0x60, 0x60));
    painter->drawText(viewport()->rect(), Qt::AlignCenter,
                      veiled ? tr("Preparing the preview...") : tr("Drawing the preview..."));
    painter->restore();
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
