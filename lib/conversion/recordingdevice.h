#ifndef RECORDINGDEVICE_H
#define RECORDINGDEVICE_H

#include "svgreader.h"

#include <QLineF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <climits>
#include <functional>

namespace ktconv {

// False with a message when the paths reach past the plotter's 32-bit coordinates.
bool withinPlotterRange(const CutPaths& paths, QString* error);

// Pictures inside a drawing are never cut. False with a message pointing to tracing when
// they are all there is; otherwise a note of how many were left out.
bool notePictures(int images, const QString& where, SvgDrawing* drawing, QString* error);

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
    int images = 0;                   // pictures painted: never cut, but worth a word
    std::function<void()> shapeTaken; // after each shape, for a reader's progress

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyTransform)
            world = state.transform();
        if (state.state() & DirtyBrush) {
            filled = state.brush().style() != Qt::NoBrush;
            fillColour = state.brush().color().rgb();
        }
        if (state.state() & DirtyPen) {
            stroked = state.pen().style() != Qt::NoPen;
            strokeColour = state.pen().color().rgb();
        }
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
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { ++images; }
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override { ++images; }

private:
    // A filled polyline's outline comes as a polygon, then its stroke as a polyline with
    // the brush still set: the same points are not a second shape either.
    void record(const QPainterPath& path, const QPainterPath& key, bool closeOutline, bool polyline)
    {
        if ((polyline || (stroked && !filled)) && key == lastKey && world == lastWorld) {
            // The stroke of the shape just taken: its colour is the shape's too.
            for (int i = lastFirst; i < drawing->paths.size() && stroked; ++i)
                drawing->paths[i].stroke = strokeColour;
            return;
        }
        lastKey = key;
        lastWorld = world;
        lastFirst = drawing->paths.size();
        ++drawing->shapes;
        if (shapeTaken)
            shapeTaken();
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
        cut.fill = filled ? fillColour : 0;
        cut.stroke = stroked ? strokeColour : 0;
        drawing->paths << cut;
    }

    QTransform world;
    bool filled = false;
    bool stroked = false;
    QRgb fillColour = 0;
    QRgb strokeColour = 0;
    int lastFirst = 0;
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

} // namespace ktconv

#endif // RECORDINGDEVICE_H
