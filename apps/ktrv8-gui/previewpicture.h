#ifndef PREVIEWPICTURE_H
#define PREVIEWPICTURE_H

#include <QGraphicsObject>
#include <QImage>
#include <QList>
#include <QPointer>

#include <functional>

class QThread;

// The preview's picture as one scene item, painted into images on threads of their own so
// that a drawing of a million strokes never holds the window: the whole picture once, at
// up to CachePixels on its longer side (every zoom up to that size only scales it), and
// zoomed in further the part on screen at the screen's resolution, once per zoom step or
// pan past it. Until an image arrives the item shows the last one it has, scaled; a newer
// request interrupts the one still painting and its image is dropped. Without caching every
// repaint paints every stroke on the GUI thread.
class PreviewPicture : public QGraphicsObject
{
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter*)>;
    static constexpr int CachePixels = 2048;
    static constexpr int DetailPixels = 4096; // the longer side of a detail image at most

    PreviewPicture(const QRectF& bounds, const Painter& paint);
    ~PreviewPicture() override;

    QRectF boundingRect() const override { return bounds; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    void setCaching(bool on);
    // Waits for the whole picture's image (for a picture of the window, not the screen).
    void finish();
    // Whether an image is being painted for the picture now.
    bool isDrawing() const;
    // Whether anything of the picture has been shown from an image yet.
    bool hasImage() const { return !whole.shown.image.isNull(); }

signals:
    void imageReady();

private:
    struct Piece
    {
        QImage image;
        QRectF source;    // item coordinates
        double scale = 0; // pixels per unit
    };

    // One kind of image: what is shown, what is being painted for it, and its thread.
    struct Slot
    {
        Piece shown, asked;
        QImage scaled; // shown, at the size the view last showed it
        quint64 generation = 0;
        QPointer<QThread> thread;
    };

    Piece wanted(double scale, const QRectF& visible) const;
    void request(Slot* slot, const QRectF& source, double scale);
    void paintDetail(QPainter* painter, double scale, const QRectF& visible);
    void drawPiece(QPainter* painter, Slot* slot);

    QRectF bounds;
    Painter paintPicture;
    bool caching = true;
    Slot whole, detail;
    QList<QPointer<QThread>> running;
};

#endif // PREVIEWPICTURE_H
