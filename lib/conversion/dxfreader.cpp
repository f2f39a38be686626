#include "dxfreader.h"

#include "dxfcurves.h"
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
    static const QRegularExpression start(QStringLiteral("^\\s*(999\\r?\\n[^\\n]*\\n\\s*)*0\\r?\\n\\s*SECTION\\s"));
    return start.match(QString::fromLatin1(content.left(4096))).hasMatch();
}

namespace {

constexpr double ToleranceMm = 0.01;

// Millimetres per drawing unit for each $INSUNITS code; 0 where it is not a length we take.
double mmPerUnit(int code)
{
    switch (code) {
    case 1: return 25.4;   // inch
    case 2: return 304.8;  // foot
    case 4: return 1;      // millimetre
    case 5: return 10;     // centimetre
    case 6: return 1000;   // metre
    case 9: return 0.0254; // mil
    case 10: return 914.4; // yard
    case 14: return 100;   // decimetre
    default: return 0;
    }
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

class Collector : public DL_CreationAdapter
{
public:
    QHash<QString, Block> blocks; // model space under the empty name
    double mmPerDrawingUnit = 1;
    bool unitless = true;

    void setVariableInt(const std::string& key, int value, int) override
    {
        if (key == "$INSUNITS" && mmPerUnit(value) > 0) {
            mmPerDrawingUnit = mmPerUnit(value);
            unitless = false;
        }
    }
    void addLayer(const DL_LayerData& data) override
    {
        if ((data.flags & 1) || data.off)
            hidden.insert(QString::fromStdString(data.name));
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
        spline = SplineParts{int(d.degree), bool(d.flags & 1), {}, {}, {}, {}};
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
        QVector<double> knots;
        QVector<QPointF> control;
        QVector<double> weights;
        QVector<QPointF> fit;
    };

    double tolerance() const { return ToleranceMm / mmPerDrawingUnit; }
    bool skipped() { return hidden.contains(QString::fromStdString(getAttributes().getLayer())); }
    // Entities drawn in a plane seen from behind (extrusion 0,0,-1) are mirrored in x.
    bool mirrored() { return getExtrusion() && getExtrusion()->getDirection()[2] < 0; }
    void add(QVector<QPointF> points, bool closed, bool planar = false);

    QString current;
    QSet<QString> hidden;
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
    if (skipped() || points.size() < 2)
        return;
    if (planar && mirrored()) {
        for (QPointF& p : points)
            p.setX(-p.x());
    }
    CutPath path;
    path.points = points;
    if (closed && QLineF(points.first(), points.last()).length() > 1e-12)
        path.points << points.first();
    path.closed = closed;
    blocks[current].paths << path;
}

void Collector::addInsert(const DL_InsertData& d)
{
    flush();
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
        add(points, spline.closed);
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

bool readDxf(const QByteArray& content, SvgDrawing* drawing, QString* error)
{
    *drawing = SvgDrawing();
    Collector collector;
    DL_Dxf dxf;
    std::istringstream in(content.toStdString());
    if (!dxf.in(in, &collector)) {
        *error = QStringLiteral("the DXF drawing cannot be read");
        return false;
    }
    collector.flush();
    const double scale = collector.mmPerDrawingUnit * UnitsPerMm;
    expand(collector.blocks, QString(), QTransform::fromScale(scale, scale), 0, &drawing->paths);
    if (collector.unitless)
        drawing->warnings << QStringLiteral("the DXF drawing does not give its units ($INSUNITS): read as millimetres");
    drawing->shapes = drawing->paths.size();
    drawing->pageMm = boundsOf(drawing->paths).size() / UnitsPerMm;
    qDebug() << "ktconv::readDxf" << drawing->paths.size() << "paths," << collector.mmPerDrawingUnit << "mm per unit";
    return withinPlotterRange(drawing->paths, error);
}

} // namespace ktconv
