#include "svgreader.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

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
    void drawPath(const QPainterPath& path) override { record(path, path, filled); }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        QPainterPath outline;
        outline.addPolygon(QPolygonF(QVector<QPointF>(points, points + count)));
        const QPainterPath key = outline;
        if (mode != PolylineMode)
            outline.closeSubpath();
        record(outline, key, false);
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}

private:
    void record(const QPainterPath& path, const QPainterPath& key, bool closeOutline)
    {
        if (stroked && !filled && key == lastKey && world == lastWorld)
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
    return true;
}

// Flowed text (an SVG 1.2 draft some editors still write) is not drawn by the reader, yet
// its frame rectangles would be, out of place. The elements are dropped before reading.
QByteArray withoutFlowedText(const QByteArray& content, bool* dropped)
{
    *dropped = false;
    if (!content.contains("flowRoot"))
        return content;
    QByteArray out;
    QXmlStreamReader xml(content);
    QXmlStreamWriter writer(&out);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("flowRoot")) {
            xml.skipCurrentElement();
            *dropped = true;
            continue;
        }
        if (!xml.isStartDocument() && !xml.isDTD())
            writer.writeCurrentToken(xml);
    }
    return xml.hasError() ? content : out;
}

} // namespace

bool looksLikeSvg(const QByteArray& content)
{
    QXmlStreamReader xml(content.left(64 * 1024));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            return xml.name() == QLatin1String("svg");
    }
    return false;
}

bool readSvg(const QByteArray& content, SvgDrawing* drawing, QString* error)
{
    *drawing = SvgDrawing();
    RootGeometry root;
    if (!readRootGeometry(content, &root, error))
        return false;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && content.contains("<text")) {
        *error = QStringLiteral("the drawing holds text, whose outlines need the fonts of a GUI application");
        return false;
    }
    bool flowedText = false;
    QSvgRenderer renderer;
    if (!renderer.load(withoutFlowedText(content, &flowedText))) {
        *error = QStringLiteral("the SVG document could not be read");
        return false;
    }
    renderer.setViewBox(root.viewBox);

    // User units to plotter units with y upwards: the page's bottom-left corner is 0,0.
    const double sx = root.pageMm.width() / root.viewBox.width() * UnitsPerMm;
    const double sy = root.pageMm.height() / root.viewBox.height() * UnitsPerMm;
    RecordingEngine engine;
    engine.drawing = drawing;
    engine.toPlotter =
        QTransform::fromTranslate(-root.viewBox.left(), -root.viewBox.bottom()) * QTransform::fromScale(sx, -sy);
    RecordingDevice device(&engine);
    QPainter painter(&device);
    renderer.render(&painter, root.viewBox);
    painter.end();
    drawing->pageMm = root.pageMm;
    if (flowedText)
        drawing->warnings << QStringLiteral("flowed text (flowRoot) is not cut: convert it to text or paths first");
    qDebug() << "ktconv::readSvg" << drawing->shapes << "shapes," << drawing->paths.size() << "paths";
    return true;
}

} // namespace ktconv
