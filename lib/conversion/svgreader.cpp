#include "svgreader.h"

#include "gzipdata.h"
#include "svgnormalizer.h"
#include "svgviewport.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <cmath>

namespace ktconv {
namespace {

constexpr double MmPerPx = 25.4 / 96.0; // CSS pixels, the unit of unitless lengths

// Records each shape's geometry with the painter's full transform. Claiming every feature
// keeps QPainter from emulating strokes as filled outlines or splitting shapes up. A shape
// is painted in a fill pass without a pen and, when stroked, again with a pen and no brush;
// the second pass of the same geometry is not a shape of its own.
class RecordingEngine : public QPaintEngine
{
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    QTransform toPlotter;
    SvgDrawing* drawing = nullptr;

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyTransform)
            world = state.transform();
        if (state.state() & DirtyBrush)
            filled = state.brush().style() != Qt::NoBrush;
        if (state.state() & DirtyPen)
            stroked = state.pen().style() != Qt::NoPen;
    }
    void drawPath(const QPainterPath& path) override { record(path, path, filled, false); }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        QPainterPath outline;
        outline.addPolygon(QPolygonF(QVector<QPointF>(points, points + count)));
        const QPainterPath key = outline;
        if (mode != PolylineMode)
            outline.closeSubpath();
        record(outline, key, false, mode == PolylineMode);
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}

private:
    // A filled polyline's outline comes as a polygon, then its stroke as a polyline with
    // the brush still set: the same points are not a second shape either.
    void record(const QPainterPath& path, const QPainterPath& key, bool closeOutline, bool polyline)
    {
        if ((polyline || (stroked && !filled)) && key == lastKey && world == lastWorld)
            return;
        lastKey = key;
        lastWorld = world;
        ++drawing->shapes;
        const QList<QPolygonF> polygons = path.toSubpathPolygons(world * toPlotter);
        for (const QPolygonF& polygon : polygons)
            addOutline(polygon, closeOutline);
    }
    void addOutline(const QPolygonF& polygon, bool closeOutline)
    {
        CutPath cut;
        cut.points.reserve(polygon.size() + 1);
        for (const QPointF& p : polygon) {
            if (cut.points.isEmpty() || QLineF(cut.points.last(), p).length() > 1e-6)
                cut.points << p;
        }
        if (cut.points.size() < 2)
            return;
        // A filled area's outline is closed whether or not the path data closes it.
        if (QLineF(cut.points.first(), cut.points.last()).length() <= 1e-6) {
            cut.points.last() = cut.points.first();
            cut.closed = cut.points.size() > 2;
        } else if (closeOutline && cut.points.size() > 2) {
            cut.points << cut.points.first();
            cut.closed = true;
        }
        drawing->paths << cut;
    }

    QTransform world;
    bool filled = false;
    bool stroked = false;
    QPainterPath lastKey;
    QTransform lastWorld;
};

class RecordingDevice : public QPaintDevice
{
public:
    explicit RecordingDevice(RecordingEngine* engine) : engine(engine) {}
    QPaintEngine* paintEngine() const override { return engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight: return 100000;
        case PdmWidthMM:
        case PdmHeightMM: return 100000 * 254 / 960;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return 1 * QPaintDevice::devicePixelRatioFScale();
        }
        return 0;
    }

private:
    RecordingEngine* engine;
};

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

bool readSvg(const QByteArray& stored, SvgDrawing* drawing, QString* error)
{
    *drawing = SvgDrawing();
    const QByteArray content = looksGzipped(stored) ? gunzip(stored) : stored;
    RootGeometry root;
    if (!readRootGeometry(content, &root, error))
        return false;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && content.contains("<text")) {
        *error = QStringLiteral("the drawing holds text, whose outlines need the fonts of a GUI application");
        return false;
    }
    QByteArray normalized;
    if (!normalizeSvg(content, &normalized, &drawing->warnings, error))
        return false;
    QSvgRenderer renderer;
    if (!renderer.load(normalized)) {
        *error = QStringLiteral("the SVG document could not be read");
        return false;
    }
    renderer.setViewBox(root.viewBox);

    // User units onto the page in mm as preserveAspectRatio places them, then to plotter
    // units with y upwards: the page's bottom-left corner is 0,0.
    RecordingEngine engine;
    engine.drawing = drawing;
    engine.toPlotter = viewportTransform(QRectF(QPointF(0, 0), root.pageMm), root.viewBox, root.preserveAspectRatio)
                       * QTransform(UnitsPerMm, 0, 0, -UnitsPerMm, 0, root.pageMm.height() * UnitsPerMm);
    RecordingDevice device(&engine);
    QPainter painter(&device);
    renderer.render(&painter, root.viewBox);
    painter.end();
    drawing->pageMm = root.pageMm;
    qDebug() << "ktconv::readSvg" << drawing->shapes << "shapes," << drawing->paths.size() << "paths";
    return withinPlotterRange(drawing->paths, error);
}

} // namespace ktconv
