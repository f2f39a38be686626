#include "previewpicture.h"

#include <QCoreApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// The part `source` of the picture at `scale` pixels per unit. A thread asked to stop
// drops the image: the painter stops early and what it drew is incomplete.
QImage paintPiece(const PreviewPicture::Painter& paint, const QRectF& source, double scale)
{
    const QSize pixels(std::max(1, int(std::ceil(source.width() * scale))),
                       std::max(1, int(std::ceil(source.height() * scale))));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.translate(-source.topLeft());
    paint(&painter);
    painter.end();
    return QThread::currentThread()->isInterruptionRequested() ? QImage() : image;
}

bool sameScale(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(a, b);
}

} // namespace

PreviewPicture::PreviewPicture(const QRectF& area, const Painter& paint) : bounds(area), paintPicture(paint) {}

// A thread still painting is told to stop and waited for: it holds the painter, whose data
// may go with this item.
PreviewPicture::~PreviewPicture()
{
    for (const QPointer<QThread>& thread : running) {
        if (thread)
            thread->requestInterruption();
    }
    for (const QPointer<QThread>& thread : running) {
        if (thread)
            thread->wait();
    }
}

bool PreviewPicture::isDrawing() const
{
    return std::any_of(running.begin(), running.end(),
                       [](const QPointer<QThread>& thread) { return thread && !thread->isFinished(); });
}

void PreviewPicture::setCaching(bool on)
{
    caching = on;
    update();
}

void PreviewPicture::finish()
{
    const double longest = std::max(bounds.width(), bounds.height());
    if (!caching || longest <= 0 || !whole.shown.image.isNull())
        return;
    if (whole.asked.scale == 0)
        request(&whole, bounds, CachePixels / longest);
    if (whole.thread)
        whole.thread->wait();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void PreviewPicture::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*)
{
    if (!caching) {
        painter->save();
        paintPicture(painter);
        painter->restore();
        return;
    }
    const double longest = std::max(bounds.width(), bounds.height());
    if (longest <= 0)
        return;
    if (whole.asked.scale == 0)
        request(&whole, bounds, CachePixels / longest);
    painter->save();
    drawPiece(painter, &whole);
    const QPaintDevice* device = painter->device();
    const double scale =
        option->levelOfDetailFromTransform(painter->worldTransform()) * (device ? device->devicePixelRatioF() : 1);
    if (scale * longest > CachePixels && device) {
        const QRectF screen(0, 0, device->width(), device->height());
        paintDetail(painter, scale, painter->worldTransform().inverted().mapRect(screen) & bounds);
    }
    painter->restore();
}

// Zoomed in past the whole picture's image: the part on screen at the screen's resolution,
// asked for unless the image shown or the one being painted already holds it; meanwhile the
// last detail image is drawn scaled over the whole picture.
void PreviewPicture::paintDetail(QPainter* painter, double scale, const QRectF& visible)
{
    auto holds = [&](const Piece& piece) { return sameScale(piece.scale, scale) && piece.source.contains(visible); };
    if (!holds(detail.shown) && !holds(detail.asked)) {
        const Piece next = wanted(scale, visible);
        request(&detail, next.source, next.scale);
    }
    if (detail.shown.source.intersects(visible))
        drawPiece(painter, &detail);
}

// An image the view shows smaller than it is, or at its size, is scaled once for each zoom
// and then drawn pixel for pixel: Qt would scale it again on every repaint. Larger, Qt
// scales only the part on screen. Scaled by picking pixels, not averaging them: a line of
// one pixel keeps its colour instead of fading into the paper.
void PreviewPicture::drawPiece(QPainter* painter, Slot* slot)
{
    const QImage& image = slot->shown.image;
    const QTransform& world = painter->worldTransform();
    if (image.isNull())
        return;
    const QRectF target = world.mapRect(slot->shown.source);
    const double ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1;
    const QSize pixels = (target.size() * ratio).toSize();
    if (world.type() > QTransform::TxScale || pixels.width() > image.width() || pixels.height() > image.height()
        || pixels.isEmpty()) {
        painter->drawImage(slot->shown.source, image);
        return;
    }
    if (slot->scaled.size() != pixels) {
        slot->scaled =
            pixels == image.size() ? image : image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        slot->scaled.setDevicePixelRatio(ratio);
    }
    painter->save();
    painter->resetTransform();
    painter->drawImage(QPointF(std::round(target.left()), std::round(target.top())), slot->scaled);
    painter->restore();
}

// The visible part with half its size again on each side for panning, as far as an image of
// DetailPixels allows.
PreviewPicture::Piece PreviewPicture::wanted(double scale, const QRectF& visible) const
{
    Piece piece;
    piece.scale = scale;
    piece.source =
        visible.adjusted(-visible.width() / 2, -visible.height() / 2, visible.width() / 2, visible.height() / 2)
        & bounds;
    if (std::max(piece.source.width(), piece.source.height()) * scale > DetailPixels)
        piece.source = visible;
    if (std::max(piece.source.width(), piece.source.height()) * scale > DetailPixels)
        piece.scale = DetailPixels / std::max(piece.source.width(), piece.source.height());
    return piece;
}

// Paints on a thread of its own; the slot's earlier thread is told to stop, and only the
// latest request's image is kept.
void PreviewPicture::request(Slot* slot, const QRectF& source, double scale)
{
    if (slot->thread)
        slot->thread->requestInterruption();
    const quint64 generation = ++slot->generation;
    slot->asked = Piece{QImage(), source, scale};
    const Painter paint = paintPicture;
    QThread* thread = QThread::create([this, paint, source, scale, slot, generation] {
        const QImage image = paintPiece(paint, source, scale);
        if (image.isNull())
            return;
        QMetaObject::invokeMethod(
            this,
            [this, image, source, scale, slot, generation] {
                if (generation != slot->generation)
                    return;
                slot->shown = Piece{image, QRectF(source.topLeft(), QSizeF(image.size()) / scale), scale};
                slot->scaled = QImage();
                update();
                emit imageReady();
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    running.removeAll(nullptr);
    running << thread;
    slot->thread = thread;
    thread->start(QThread::LowPriority);
}
