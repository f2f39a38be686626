#include "bitmaptrace.h"

#include "cutoptions.h"

#include <QBuffer>
#include <QDebug>
#include <QImageReader>
#include <QPainterPath>
#include <QtEndian>

#include <potracelib.h>

#include <cmath>
#include <memory>
#include <numeric>

namespace ktconv {

namespace {

constexpr double DefaultDpi = 300;
const QList<QByteArray> TracedFormats = {"png", "jpeg", "jpg", "bmp", "tiff", "tif"};
// Formats that Qt's readers claim for text (ASCII PBM, XPM, XBM) or for bytes of any
// kind: not told from the content reliably enough to name.
const QList<QByteArray> TextLikeFormats = {"pbm", "pgm", "ppm", "xbm", "xpm", "svg", "svgz", "tga", "wbmp"};

// The resolution the file itself states, in dots per inch, or 0. Qt gives every picture a
// resolution, a made-up one when the file has none, so whether there is one is read here.
double statedDpi(const QByteArray& format, const QByteArray& content, const QImage& image)
{
    const double dpi = image.dotsPerMeterX() * 0.0254;
    if (format == "png") {
        // A pHYs chunk in metres before the pixel data.
        const int at = content.indexOf("pHYs");
        const int data = content.indexOf("IDAT");
        return at > 0 && (data < 0 || at < data) && at + 12 < content.size() && content.at(at + 12) == 1 ? dpi : 0;
    }
    if (format == "jpeg" || format == "jpg") {
        // JFIF's density in dots per inch or per centimetre (units 1 or 2), not a bare aspect.
        const int at = content.left(64).indexOf(QByteArray("JFIF\0", 5));
        return at > 0 && at + 11 < content.size() && (content.at(at + 7) == 1 || content.at(at + 7) == 2) ? dpi : 0;
    }
    if (format == "bmp")
        return content.size() >= 42 && qFromLittleEndian<qint32>(content.constData() + 38) > 0 ? dpi : 0;
    // TIFF: Qt's reader leaves its own default where the file has no resolution.
    return image.dotsPerMeterX() != QImage(1, 1, QImage::Format_Mono).dotsPerMeterX() ? dpi : 0;
}

// Luminance of each pixel, -1 for a transparent one (background whatever its colour).
QVector<int> luminance(const QImage& picture, QVector<int>* histogram)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QVector<int> values(image.width() * image.height());
    histogram->fill(0, 256);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            int value = -1;
            if (qAlpha(p) >= 128) {
                value = qRound(0.2126 * qRed(p) + 0.7152 * qGreen(p) + 0.0722 * qBlue(p));
                ++(*histogram)[value];
            }
            values[y * image.width() + x] = value;
        }
    }
    return values;
}

struct BitmapDeleter
{
    void operator()(potrace_bitmap_t* bitmap) const
    {
        delete[] bitmap->map;
        delete bitmap;
    }
};
using Bitmap = std::unique_ptr<potrace_bitmap_t, BitmapDeleter>;

// Ink where the luminance is below the threshold; potrace's first scanline is the bottom
// row, so its coordinates grow upwards as the plotter's do.
Bitmap inkBitmap(const QVector<int>& values, int width, int height, int threshold)
{
    constexpr int Bits = int(sizeof(potrace_word)) * 8;
    Bitmap bitmap(new potrace_bitmap_t{width, height, (width + Bits - 1) / Bits, nullptr});
    bitmap->map = new potrace_word[size_t(bitmap->dy) * size_t(height)]();
    for (int row = 0; row < height; ++row) {
        potrace_word* line = bitmap->map + size_t(height - 1 - row) * size_t(bitmap->dy);
        for (int x = 0; x < width; ++x) {
            const int value = values[row * width + x];
            if (value >= 0 && value < threshold)
                line[x / Bits] |= potrace_word(1) << (Bits - 1 - x % Bits);
        }
    }
    return bitmap;
}

void addCurves(const potrace_path_t* paths, double unitsPerPixel, SvgDrawing* drawing)
{
    const QTransform toPlotter = QTransform::fromScale(unitsPerPixel, unitsPerPixel);
    for (const potrace_path_t* path = paths; path; path = path->next) {
        const potrace_curve_t& curve = path->curve;
        if (curve.n < 1)
            continue;
        QPainterPath outline;
        const potrace_dpoint_t start = curve.c[curve.n - 1][2];
        outline.moveTo(start.x, start.y);
        for (int i = 0; i < curve.n; ++i) {
            const potrace_dpoint_t* c = curve.c[i];
            if (curve.tag[i] == POTRACE_CURVETO) {
                outline.cubicTo(c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y);
            } else {
                outline.lineTo(c[1].x, c[1].y);
                outline.lineTo(c[2].x, c[2].y);
            }
        }
        for (const QPolygonF& polygon : outline.toSubpathPolygons(toPlotter)) {
            CutPath cut;
            cut.points = polygon;
            cut.points.last() = cut.points.first();
            cut.closed = true;
            drawing->paths << cut;
        }
        ++drawing->shapes;
    }
}

bool trace(const QVector<int>& values, const QSize& size, const TraceOptions& options, int threshold,
           double unitsPerPixel, SvgDrawing* drawing, QString* error)
{
    const Bitmap bitmap = inkBitmap(values, size.width(), size.height(), threshold);
    std::unique_ptr<potrace_param_t, decltype(&potrace_param_free)> param(potrace_param_default(), &potrace_param_free);
    std::unique_ptr<potrace_state_t, decltype(&potrace_state_free)> state(nullptr, &potrace_state_free);
    if (param) {
        param->turdsize = options.despeckle;
        param->alphamax = options.smooth;
        state.reset(potrace_trace(param.get(), bitmap.get()));
    }
    if (!state || state->status != POTRACE_STATUS_OK) {
        *error = QStringLiteral("the picture could not be traced");
        return false;
    }
    addCurves(state->plist, unitsPerPixel, drawing);
    return true;
}

} // namespace

QByteArray pictureFormat(const QByteArray& content)
{
    QBuffer buffer;
    buffer.setData(content.left(64 * 1024));
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer).toLower();
    return TextLikeFormats.contains(format) ? QByteArray() : format;
}

bool looksLikeBitmap(const QByteArray& content)
{
    return TracedFormats.contains(pictureFormat(content));
}

int otsuThreshold(const QVector<int>& histogram)
{
    double total = 0, sum = 0;
    for (int i = 0; i < histogram.size(); ++i) {
        total += histogram[i];
        sum += double(i) * histogram[i];
    }
    double below = 0, belowSum = 0, best = -1;
    int threshold = -1;
    for (int t = 1; t < histogram.size(); ++t) {
        // Pixels under t against the rest; the split with the widest gap between the means.
        below += histogram[t - 1];
        belowSum += double(t - 1) * histogram[t - 1];
        const double above = total - below;
        if (below == 0 || above == 0)
            continue;
        const double gap = belowSum / below - (sum - belowSum) / above;
        const double between = below * above * gap * gap;
        if (between > best) {
            best = between;
            threshold = t;
        }
    }
    return threshold;
}

bool traceBitmap(const QByteArray& content, const TraceOptions& options, SvgDrawing* drawing, QString* error,
                 Backdrop* backdrop)
{
    *drawing = SvgDrawing();
    const QByteArray format = pictureFormat(content);
    QImage image = QImage::fromData(content, format.constData());
    if (image.isNull()) {
        *error = QStringLiteral("the %1 picture cannot be read (damaged?)").arg(QString::fromLatin1(format.toUpper()));
        return false;
    }
    double dpi = options.dpi > 0 ? options.dpi : statedDpi(format, content, image);
    if (dpi <= 0) {
        dpi = DefaultDpi;
        drawing->warnings << QStringLiteral("the picture does not give its resolution: traced at %1 dpi "
                                            "(another with --dpi N)")
                                 .arg(DefaultDpi);
    }
    QVector<int> histogram;
    const QVector<int> values = luminance(image, &histogram);
    int threshold = options.threshold;
    if (threshold < 0) {
        threshold = otsuThreshold(histogram);
        // One shade only: ink on a transparent ground is all ink; a plain picture has none.
        const int opaque = std::accumulate(histogram.cbegin(), histogram.cend(), 0);
        if (threshold < 0)
            threshold = opaque < values.size() ? histogram.size() : 0;
    }
    const double unitsPerPixel = 25.4 / dpi * UnitsPerMm;
    if (!trace(values, image.size(), options, threshold, unitsPerPixel, drawing, error))
        return false;
    drawing->pageMm = QSizeF(image.size()) * (25.4 / dpi);
    if (drawing->paths.isEmpty()) {
        *error = QStringLiteral("the picture has nothing darker than the threshold (%1) to trace").arg(threshold);
        return false;
    }
    if (backdrop) {
        backdrop->image = image;
        backdrop->toPlotter = QTransform(unitsPerPixel, 0, 0, -unitsPerPixel, 0, image.height() * unitsPerPixel);
    }
    qDebug() << "ktconv::traceBitmap" << image.size() << "at" << dpi << "dpi, threshold" << threshold << ","
             << drawing->paths.size() << "paths";
    return true;
}

QTransform placementAfterOptions(const CutPaths& before, const CutOptions& options)
{
    CutOptions shapeOnly = options;
    shapeOnly.overcutMm = 0;
    shapeOnly.toolOffsetMm = 0;
    shapeOnly.keepOrder = true;
    // Path for path as drawn: nothing split, nothing added before the last drawn path.
    shapeOnly.perforateCutMm = 0;
    shapeOnly.weedLines = false;
    CutPaths after = before;
    QString ignored;
    if (before.isEmpty() || !applyCutOptions(&after, shapeOnly, &ignored))
        return QTransform();
    // Three points far apart and their images fix the affine map.
    const QRectF box = boundsOf(before);
    QPointF from[3] = {box.center(), box.center(), box.center()};
    QPointF to[3];
    const QPointF aims[3] = {box.topLeft(), box.topRight(), box.bottomLeft()};
    for (int k = 0; k < 3; ++k) {
        double nearest = -1;
        for (int i = 0; i < before.size(); ++i) {
            for (int j = 0; j < before[i].points.size(); ++j) {
                const double d = QLineF(before[i].points[j], aims[k]).length();
                if (nearest < 0 || d < nearest) {
                    nearest = d;
                    from[k] = before[i].points[j];
                    to[k] = after[i].points[j];
                }
            }
        }
    }
    QTransform map;
    const QPolygonF source(QVector<QPointF>{from[0], from[1], from[2], from[1] + from[2] - from[0]});
    const QPolygonF target(QVector<QPointF>{to[0], to[1], to[2], to[1] + to[2] - to[0]});
    return QTransform::quadToQuad(source, target, map) ? map : QTransform();
}

} // namespace ktconv
