#ifndef BITMAPTRACE_H
#define BITMAPTRACE_H

#include "cutoptions.h"
#include "svgreader.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTransform>

namespace ktconv {

// How a picture is traced into outlines.
struct TraceOptions
{
    int threshold = -1;  // luminance 0-255 below which a pixel is ink; -1: chosen from the picture
    int despeckle = 2;   // specks of up to this many pixels are dropped
    double smooth = 1.0; // corner threshold: 0 keeps every corner sharp, 1.334 rounds them all
    double dpi = 0;      // pixels per inch; 0: the picture's own, else 300
};

// A picture behind the cut: its pixels and where they lie in plotter units.
struct Backdrop
{
    QImage image;
    QTransform toPlotter;
    bool isNull() const { return image.isNull(); }
};

// True for the bytes of a PNG, JPEG, BMP or TIFF picture, told by Qt's readers from the
// content.
bool looksLikeBitmap(const QByteArray& content);
// The kind of picture Qt's readers see in the bytes ("png", "gif", ...), empty for none.
QByteArray pictureFormat(const QByteArray& content);

// The dark areas of a picture as outlines, at the picture's true size: a colour picture
// is judged by its luminance, transparent pixels are background. The threshold, when not
// given, splits the histogram of the opaque pixels in two (Otsu); a picture of one shade
// on a transparent ground is taken whole. `backdrop`, when given, receives the picture
// placed under the outlines.
bool traceBitmap(const QByteArray& content, const TraceOptions& options, SvgDrawing* drawing, QString* error,
                 Backdrop* backdrop = nullptr);

// The luminance that best splits the histogram in two (Otsu); -1 when every counted pixel
// has the same luminance.
int otsuThreshold(const QVector<int>& histogram);

// Where the cut options carry a thing drawn with `before`: the affine map from the paths
// before to the same paths after scaling, turning, mirroring and placing.
QTransform placementAfterOptions(const CutPaths& before, const CutOptions& options);

} // namespace ktconv

#endif // BITMAPTRACE_H
