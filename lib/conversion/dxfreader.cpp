#include "dxfreader.h"

#include "dxfcurves.h"
#include "layerfilter.h"
#include "recordingdevice.h"

#include <QDebug>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTransform>

#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <cmath>
#include <sstream>

namespace ktconv {

bool looksLikeDxf(const QByteArray& content)
{
    // Group codes may be padded on both sides (" 0 "), as the vector editor writes them.
    static const QRegularExpression start(
        QStringLiteral("^\\s*(999[ \\t]*\\r?\\n[^\\n]*\\n\\s*)*0[ \\t]*\\r?\\n\\s*SECTION\\s"));
    return start.match(QString::fromLatin1(content.left(4096))).hasMatch();
}

namespace {

constexpr double ToleranceMm = 0.01;

// Millimetres per drawing unit for each $INSUNITS code (0: unitless); -1 for a code that
// names no unit.
double mmPerUnit(int code)
{
    static const double units[] = {0,
                                   25.4,
                                   304.8,
                                   1609344,
                                   1,
                                   10,
                                   1000,
                                   1e6,
                                   2.54e-5,
                                   0.0254,
                                   914.4,
                                   1e-7,
                                   1e-6,
                                   1e-3,
                                   100,
                                   1e4,
                                   1e5,
                                   1e12,
                                   1.495978707e14,
                                   9.4607304725808e18,
                                   3.0856775814913673e19,
                                   1200.0 / 3937 * 1000,
                                   100.0 / 3937 * 1000,
                                   3600.0 / 3937 * 1000,
                                   6336000.0 / 3937 * 1000};
    return code >= 0 && code < int(sizeof(units) / sizeof(units[0])) ? units[code] : -1;
}

struct Insert
{
    QString block;
    QTransform transform;
};

struct Block
{
    QPointF base;   // the block's own origin, which lands on the insertion point
    CutPaths paths; // drawing units
    QVector<Insert> inserts;
};

// The colours of the first AutoCAD Color Index numbers, the ones drawings mostly use.
QRgb indexColour(int index)
{
    static const QRgb colours[] = {0xff000000, 0xffff0000, 0xffffff00, 0xff00ff00, 0xff00ffff,
                                   0xff0000ff, 0xffff00ff, 0xff000000, 0xff808080, 0xffc0c0c0};
    return index >= 1 && index <= 9 ? colours[index] : 0;
}

class Collector : public DL_CreationAdapter
{
public:
    QHash<QString, Block> blocks; // model space under the empty name
    double mmPerDrawingUnit = 1;
    bool unitless = true;
    int unitCode = 0;
    DrawingChoice choice;                     // the layers asked for (none: all)
    QVector<QPair<QString, int>> layerCounts; // model space entities per layer, in order

    void setVariableInt(const std::string& key, int value, int) override
    {
        if (key != "$INSUNITS")
            return;
        unitCode = value;
        if (mmPerUnit(value) > 0) {
            mmPerDrawingUnit = mmPerUnit(value);
            unitless = false;
        }
    }
    void addLayer(const DL_LayerData& data) override
    {
        const QString name = QString::fromStdString(data.name);
        if ((data.flags & 1) || data.off)
            hidden.insert(name);
        layerColours.insert(name, entityColour());
        tallyLayer(name, 0);
    }
    void addBlock(const DL_BlockData& data) override
    {
        flush();
        current = QString::fromStdString(data.name);
        blocks[current].base = QPointF(data.bpx, data.bpy);
    }
    void endBlock() override
    {
        flush();
        current.clear();
    }
    void addLine(const DL_LineData& d) override { add({QPointF(d.x1, d.y1), QPointF(d.x2, d.y2)}, false); }
    void addArc(const DL_ArcData& d) override
    {
        add(arcPoints(QPointF(d.cx, d.cy), QPointF(d.radius, 0), 1, d.angle1 * M_PI / 180, d.angle2 * M_PI / 180,
                      tolerance()),
            false, true);
    }
    void addCircle(const DL_CircleData& d) override
    {
        add(arcPoints(QPointF(d.cx, d.cy), QPointF(d.radius, 0), 1, 0, 2 * M_PI, tolerance()), true, true);
    }
    void addEllipse(const DL_EllipseData& d) override
    {
        const bool whole = std::abs(d.angle2 - d.angle1) >= 2 * M_PI - 1e-9 || d.angle2 == d.angle1;
        add(arcPoints(QPointF(d.cx, d.cy), QPointF(d.mx, d.my), d.ratio, d.angle1,
                      whole ? d.angle1 + 2 * M_PI : d.angle2, tolerance()),
            whole);
    }
    void addPolyline(const DL_PolylineData& d) override
    {
        flush();
        polyline = CutPath();
        polyline.closed = d.flags & 1;
        polyline.stroke = entityColour();
        tally();
        inPolyline = skipped() ? Skipped : Open;
        mirrorPolyline = mirrored();
    }
    void addVertex(const DL_VertexData& d) override
    {
        if (inPolyline == None)
            return;
        const QPointF p(mirrorPolyline ? -d.x : d.x, d.y);
        if (!polyline.points.isEmpty())
            polyline.points << bulgePoints(polyline.points.last(), p, pendingBulge, tolerance());
        else
            polyline.points << p;
        pendingBulge = mirrorPolyline ? -d.bulge : d.bulge;
    }
    void endSequence() override { flush(); }
    void addSpline(const DL_SplineData& d) override
    {
        flush();
        spline = SplineParts{int(d.degree), bool(d.flags & 1), entityColour(), {}, {}, {}, {}};
        tally();
        inSpline = !skipped();
    }
    void addKnot(const DL_KnotData& d) override { spline.knots << d.k; }
    void addControlPoint(const DL_ControlPointData& d) override
    {
        spline.control << QPointF(d.x, d.y);
        spline.weights << (d.w > 0 ? d.w : 1);
    }
    void addFitPoint(const DL_FitPointData& d) override { spline.fit << QPointF(d.x, d.y); }
    void addInsert(const DL_InsertData& d) override;
    void flush();

private:
    enum PolylineState {
        None,
        Open,
        Skipped
    };
    struct SplineParts
    {
        int degree = 3;
        bool closed = false;
        QRgb colour = 0;
        QVector<double> knots;
        QVector<QPointF> control;
        QVector<double> weights;
        QVector<QPointF> fit;
    };

    double tolerance() const { return ToleranceMm / mmPerDrawingUnit; }
    QString layer() { return QString::fromStdString(getAttributes().getLayer()); }
    // A layer asked for is chosen in model space: a block comes whole with its insert.
    bool skipped()
    {
        if (hidden.contains(layer()))
            return true;
        if (!current.isEmpty())
            return false;
        const QString name = layer();
        return (!choice.layers.isEmpty() && !choice.layers.contains(name))
               || (!choice.within.isEmpty() && !choice.within.contains(name)) || choice.leftOut.contains(name);
    }
    QRgb entityColour()
    {
        const DL_Attributes& a = getAttributes();
        if (a.getColor24() >= 0)
            return 0xff000000 | QRgb(a.getColor24());
        return a.getColor() == 256 ? layerColours.value(layer()) : indexColour(a.getColor());
    }
    void tally() { tallyLayer(layer(), current.isEmpty() ? 1 : 0); }
    void tallyLayer(const QString& name, int entities)
    {
        for (QPair<QString, int>& entry : layerCounts) {
            if (entry.first == name) {
                entry.second += entities;
                return;
            }
        }
        layerCounts << qMakePair(name, entities);
    }
    // Entities drawn in a plane seen from behind (extrusion 0,0,-1) are mirrored in x.
    bool mirrored() { return getExtrusion() && getExtrusion()->getDirection()[2] < 0; }
    void add(QVector<QPointF> points, bool closed, bool planar = false);
    void keep(QVector<QPointF> points, bool closed, QRgb colour);

    QString current;
    QSet<QString> hidden;
    QHash<QString, QRgb> layerColours;
    CutPath polyline;
    PolylineState inPolyline = None;
    bool mirrorPolyline = false;
    double pendingBulge = 0;
    SplineParts spline;
    bool inSpline = false;
};

void Collector::add(QVector<QPointF> points, bool closed, bool planar)
{
    flush();
    tally();
    if (skipped() || points.size() < 2)
        return;
    if (planar && mirrored()) {
        for (QPointF& p : points)
            p.setX(-p.x());
    }
    keep(points, closed, entityColour());
}

void Collector::keep(QVector<QPointF> points, bool closed, QRgb colour)
{
    if (points.size() < 2)
        return;
    CutPath path;
    path.points = points;
    if (closed && QLineF(points.first(), points.last()).length() > 1e-12)
        path.points << points.first();
    path.closed = closed;
    path.stroke = colour;
    blocks[current].paths << path;
}

void Collector::addInsert(const DL_InsertData& d)
{
    flush();
    tally();
    if (skipped())
        return;
    const double sx = d.sx == 0 ? 1 : d.sx, sy = d.sy == 0 ? 1 : d.sy;
    const int cols = std::max(1, d.cols), rows = std::max(1, d.rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            QTransform t;
            t.translate(d.ipx, d.ipy);
            t.rotate(d.angle);
            t.translate(c * d.colSp, r * d.rowSp);
            t.scale(sx, sy);
            blocks[current].inserts << Insert{QString::fromStdString(d.name), t};
        }
    }
}

void Collector::flush()
{
    if (inPolyline == Open && polyline.points.size() > 1) {
        if (polyline.closed)
            polyline.points << bulgePoints(polyline.points.last(), polyline.points.first(), pendingBulge, tolerance());
        blocks[current].paths << polyline;
    }
    inPolyline = None;
    pendingBulge = 0;
    if (inSpline) {
        inSpline = false;
        QVector<QPointF> points =
            spline.control.size() > spline.degree
                ? splinePoints(spline.degree, spline.knots, spline.control, spline.weights, tolerance())
                : spline.fit;
        keep(points, spline.closed, spline.colour);
    }
}

} // namespace

namespace {

// A block's paths where its inserts put them; a block that inserts itself stops at a depth
// no drawing needs.
void expand(const QHash<QString, Block>& blocks, const QString& name, const QTransform& place, int depth, CutPaths* out)
{
    const auto block = blocks.constFind(name);
    if (block == blocks.constEnd() || depth > 16)
        return;
    for (CutPath path : block->paths) {
        for (QPointF& p : path.points)
            p = place.map(p);
        *out << path;
    }
    for (const Insert& insert : block->inserts) {
        const QPointF base = blocks.value(insert.block).base;
        expand(blocks, insert.block, QTransform::fromTranslate(-base.x(), -base.y()) * insert.transform * place,
               depth + 1, out);
    }
}

} // namespace

bool readDxf(const QByteArray& content, SvgDrawing* drawing, QString* error, const DrawingChoice& choice,
             QVector<QPair<QString, int>>* layerCounts)
{
    *drawing = SvgDrawing();
    Collector collector;
    collector.choice = choice;
    DL_Dxf dxf;
    std::istringstream in(content.toStdString());
    if (!dxf.in(in, &collector)) {
        *error = QStringLiteral("the DXF drawing cannot be read");
        return false;
    }
    collector.flush();
    if (mmPerUnit(collector.unitCode) < 0) {
        *error = QStringLiteral("the DXF drawing gives its units as $INSUNITS %1, which names no unit")
                     .arg(collector.unitCode);
        return false;
    }
    QStringList present;
    for (const QPair<QString, int>& entry : collector.layerCounts)
        present << entry.first;
    if (!knownLayers(choice.named(), present, error))
        return false;
    if (layerCounts)
        *layerCounts = collector.layerCounts;
    const double scale = collector.mmPerDrawingUnit * UnitsPerMm;
    expand(collector.blocks, QString(), QTransform::fromScale(scale, scale), 0, &drawing->paths);
    if (collector.unitless)
        drawing->warnings << QStringLiteral("the DXF drawing does not give its units ($INSUNITS): read as millimetres");
    joinFollowingPaths(&drawing->paths, ToleranceMm * UnitsPerMm);
    drawing->shapes = drawing->paths.size();
    // A part read apart from the rest may be empty; the whole is looked at where it is joined.
    const bool part = !choice.within.isEmpty() || !choice.leftOut.isEmpty();
    if (drawing->paths.isEmpty() && !part) {
        *error = QStringLiteral("the DXF drawing has nothing to cut (no entities, or all on hidden layers)");
        return false;
    }
    drawing->pageMm = boundsOf(drawing->paths).size() / UnitsPerMm;
    qDebug() << "ktconv::readDxf" << drawing->paths.size() << "paths," << collector.mmPerDrawingUnit << "mm per unit";
    return withinPlotterRange(drawing->paths, error);
}

} // namespace ktconv
