#include "svgreader.h"

#include "gzipdata.h"
#include "recordingdevice.h"
#include "svgnormalizer.h"
#include "svgviewport.h"

#include <QBuffer>
#include <QDebug>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace ktconv {
namespace {

constexpr double MmPerPx = 25.4 / 96.0; // CSS pixels, the unit of unitless lengths

// A length attribute in millimetres; unitless means CSS pixels. Percentages and junk give -1.
double lengthInMm(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?)\\s*(px|mm|cm|in|pt|pc)?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return -1;
    const double value = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    if (unit == QLatin1String("mm"))
        return value;
    if (unit == QLatin1String("cm"))
        return value * 10;
    if (unit == QLatin1String("in"))
        return value * 25.4;
    if (unit == QLatin1String("pt"))
        return value * 25.4 / 72;
    if (unit == QLatin1String("pc"))
        return value * 25.4 / 6;
    return value * MmPerPx;
}

struct RootGeometry
{
    QRectF viewBox; // user units
    QSizeF pageMm;
    QString preserveAspectRatio;
};

// The root element's page size and viewBox, read here because Qt's own conversion of
// absolute units assumes 90 dots per inch where SVG says 96.
bool readRootGeometry(const QByteArray& content, RootGeometry* root, QString* error)
{
    QXmlStreamReader xml(content);
    while (!xml.atEnd() && !xml.isStartElement())
        xml.readNext();
    if (!xml.isStartElement() || xml.name() != QLatin1String("svg")) {
        *error = xml.hasError() ? QStringLiteral("not a readable SVG document: %1 (line %2)")
                                      .arg(xml.errorString())
                                      .arg(xml.lineNumber())
                                : QStringLiteral("not an SVG document: the first element is not <svg>");
        return false;
    }
    const QXmlStreamAttributes attributes = xml.attributes();
    double widthMm = lengthInMm(attributes.value(QLatin1String("width")).toString());
    double heightMm = lengthInMm(attributes.value(QLatin1String("height")).toString());
    const QStringList box = attributes.value(QLatin1String("viewBox"))
                                .toString()
                                .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    QRectF viewBox;
    if (box.size() == 4)
        viewBox = QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(), box[3].toDouble());
    if (!viewBox.isValid()) {
        if (widthMm <= 0 || heightMm <= 0) {
            *error = QStringLiteral("the drawing has neither a viewBox nor a width and height in absolute units");
            return false;
        }
        viewBox = QRectF(0, 0, widthMm / MmPerPx, heightMm / MmPerPx);
    }
    if (widthMm <= 0)
        widthMm = viewBox.width() * MmPerPx;
    if (heightMm <= 0)
        heightMm = viewBox.height() * MmPerPx;
    root->viewBox = viewBox;
    root->pageMm = QSizeF(widthMm, heightMm);
    root->preserveAspectRatio = attributes.value(QLatin1String("preserveAspectRatio")).toString();
    return true;
}

// The reading's percent in three parts, weighed by where a big drawing's reading spends its
// time: the document parsed and normalized, Qt's SVG parser through the normalized bytes,
// then its shapes drawn, against the shape elements in the normalized document.
class ReadingSteps
{
public:
    static constexpr qint64 Total = 1000, Normalized = 600, Parsed = 850;

    explicit ReadingSteps(ConversionProgress* progress) : progress(progress) {}
    void at(qint64 done) { stepProgress(progress, ConversionStage::Reading, done, Total); }
    void parsing(qint64 bytes, qint64 of) { at(Normalized + (Parsed - Normalized) * bytes / std::max<qint64>(1, of)); }
    void drawing(qint64 shapes, qint64 of)
    {
        at(Parsed + (Total - Parsed) * std::min(shapes, of) / std::max<qint64>(1, of));
    }
    bool active() const { return progress != nullptr; }
    bool cancelled() const { return progressCancelled(progress); }

private:
    ConversionProgress* progress;
};

// The normalized document to Qt's SVG parser, saying how many of its bytes it took.
class CountingBuffer : public QBuffer
{
public:
    CountingBuffer(const QByteArray* data, ReadingSteps* steps) : steps(steps) { setData(*data); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        // A cancel is checked after the parse, not here: Qt's SVG parser takes a failed
        // read as a document still to come and asks again forever.
        const qint64 read = QBuffer::readData(data, maxSize);
        steps->parsing(pos() + std::max<qint64>(0, read), size());
        return read;
    }

private:
    ReadingSteps* steps;
};

qint64 shapeElements(const QByteArray& normalized)
{
    qint64 count = 0;
    for (const char* name : {"<path", "<rect", "<circle", "<ellipse", "<line", "<polyline", "<polygon"}) {
        for (int at = normalized.indexOf(name); at >= 0; at = normalized.indexOf(name, at + 1))
            ++count;
    }
    return count;
}

bool loadRenderer(QSvgRenderer* renderer, const QByteArray& normalized, ReadingSteps* steps)
{
    CountingBuffer buffer(&normalized, steps);
    buffer.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&buffer);
    return renderer->load(&xml);
}

} // namespace

bool looksLikeSvg(const QByteArray& content)
{
    if (looksGzipped(content))
        return looksLikeSvg(gunzip(content).left(64 * 1024));
    QXmlStreamReader xml(content.left(64 * 1024));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            return xml.name() == QLatin1String("svg");
    }
    return false;
}

// Plotter coordinates are 32-bit integers: a drawing reaching past them cannot be cut
// where it is drawn, and is refused rather than squeezed onto the edge.
bool withinPlotterRange(const CutPaths& paths, QString* error)
{
    constexpr double Limit = 2147483647.0;
    const QRectF box = boundsOf(paths);
    if (std::isfinite(box.left()) && std::isfinite(box.right()) && std::isfinite(box.top())
        && std::isfinite(box.bottom()) && std::abs(box.left()) <= Limit && std::abs(box.right()) <= Limit
        && std::abs(box.top()) <= Limit && std::abs(box.bottom()) <= Limit)
        return true;
    *error = QStringLiteral("the drawing spans %1 x %2 mm from %3,%4 mm, beyond the plotter's coordinate range "
                            "(%5 m either way from the origin)")
                 .arg(box.width() / UnitsPerMm, 0, 'g', 6)
                 .arg(box.height() / UnitsPerMm, 0, 'g', 6)
                 .arg(box.left() / UnitsPerMm, 0, 'g', 6)
                 .arg(box.top() / UnitsPerMm, 0, 'g', 6)
                 .arg(Limit / UnitsPerMm / 1000, 0, 'f', 0);
    return false;
}

bool readSvg(const QByteArray& stored, SvgDrawing* drawing, QString* error, ConversionProgress* progress)
{
    *drawing = SvgDrawing();
    ReadingSteps steps(progress);
    steps.at(0);
    const QByteArray content = looksGzipped(stored) ? gunzip(stored) : stored;
    RootGeometry root;
    if (!readRootGeometry(content, &root, error))
        return false;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && content.contains("<text")) {
        *error = QStringLiteral("the drawing holds text, whose outlines need the fonts of a GUI application");
        return false;
    }
    QByteArray normalized;
    if (!normalizeSvg(content, &normalized, &drawing->warnings, error, &drawing->missingGlyphs))
        return false;
    steps.at(ReadingSteps::Normalized);
    QSvgRenderer renderer;
    if (!loadRenderer(&renderer, normalized, &steps) || steps.cancelled()) {
        *error = steps.cancelled() ? QStringLiteral("the conversion was cancelled")
                                   : QStringLiteral("the SVG document could not be read");
        return false;
    }
    renderer.setViewBox(root.viewBox);

    // User units onto the page in mm as preserveAspectRatio places them, then to plotter
    // units with y upwards: the page's bottom-left corner is 0,0.
    RecordingEngine engine;
    engine.drawing = drawing;
    engine.toPlotter = viewportTransform(QRectF(QPointF(0, 0), root.pageMm), root.viewBox, root.preserveAspectRatio)
                       * QTransform(UnitsPerMm, 0, 0, -UnitsPerMm, 0, root.pageMm.height() * UnitsPerMm);
    if (steps.active()) {
        const qint64 expected = shapeElements(normalized);
        engine.shapeTaken = [&steps, drawing, expected] { steps.drawing(drawing->shapes, expected); };
    }
    RecordingDevice device(&engine);
    QPainter painter(&device);
    renderer.render(&painter, root.viewBox);
    painter.end();
    drawing->pageMm = root.pageMm;
    steps.at(ReadingSteps::Total);
    qDebug() << "ktconv::readSvg" << drawing->shapes << "shapes," << drawing->paths.size() << "paths";
    return notePictures(engine.images, QStringLiteral("the drawing"), drawing, error)
           && withinPlotterRange(drawing->paths, error);
}

bool notePictures(int images, const QString& where, SvgDrawing* drawing, QString* error)
{
    if (images == 0)
        return true;
    if (drawing->paths.isEmpty()) {
        *error = QStringLiteral("%1 holds only pictures, no shapes to cut: save the picture as PNG, JPEG, BMP or "
                                "TIFF and give that file instead, to trace it into outlines (--threshold, --dpi)")
                     .arg(where);
        return false;
    }
    drawing->warnings << QStringLiteral("%1 picture(s) in %2 are not cut").arg(images).arg(where);
    return true;
}

} // namespace ktconv
