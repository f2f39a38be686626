#include "svgpathdata.h"

#include <QDomDocument>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QSvgRenderer>

namespace ktconv {
namespace {

// Gathers every path painted, each with the transform it was painted with.
class OutlineEngine : public QPaintEngine
{
public:
    OutlineEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    QPainterPath outline;

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyTransform)
            world = state.transform();
    }
    void drawPath(const QPainterPath& path) override { outline.addPath(world.map(path)); }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        QPainterPath path;
        path.addPolygon(QPolygonF(QVector<QPointF>(points, points + count)));
        if (mode != PolylineMode)
            path.closeSubpath();
        drawPath(path);
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}

private:
    QTransform world;
};

class OutlineDevice : public QPaintDevice
{
public:
    explicit OutlineDevice(OutlineEngine* engine) : engine(engine) {}
    QPaintEngine* paintEngine() const override { return engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight: return 1000;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return QPaintDevice::devicePixelRatioFScale();
        default: return 1000;
        }
    }

private:
    OutlineEngine* engine;
};

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

// Every shape of the copy filled, whatever its own paint: only its geometry is wanted.
void paintEverything(QDomElement element)
{
    element.setAttribute(QStringLiteral("style"), QStringLiteral("fill:black;stroke:none;display:inline"));
    element.removeAttribute(QStringLiteral("class"));
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        paintEverything(child);
}

} // namespace

QString pathData(const QPainterPath& path)
{
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo())
            d += QStringLiteral("M%1,%2").arg(number(e.x), number(e.y));
        else if (e.isLineTo())
            d += QStringLiteral("L%1,%2").arg(number(e.x), number(e.y));
        else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1), to = path.elementAt(i + 2);
            d += QStringLiteral("C%1,%2 %3,%4 %5,%6")
                     .arg(number(e.x), number(e.y), number(c2.x), number(c2.y), number(to.x), number(to.y));
            i += 2;
        }
    }
    return d;
}

QPainterPath shapeOutline(const QDomElement& shape)
{
    QDomDocument document;
    QDomElement root = document.createElementNS(QStringLiteral("http://www.w3.org/2000/svg"), QStringLiteral("svg"));
    root.setAttribute(QStringLiteral("width"), 1000);
    root.setAttribute(QStringLiteral("height"), 1000);
    root.setAttribute(QStringLiteral("viewBox"), QStringLiteral("0 0 1000 1000"));
    document.appendChild(root);
    QDomElement copy = document.importNode(shape, true).toElement();
    paintEverything(copy);
    root.appendChild(copy);
    QSvgRenderer renderer(document.toByteArray());
    OutlineEngine engine;
    OutlineDevice device(&engine);
    QPainter painter(&device);
    renderer.render(&painter, QRectF(0, 0, 1000, 1000));
    painter.end();
    return engine.outline;
}

} // namespace ktconv
