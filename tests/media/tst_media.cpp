#include "tst_media.h"

#include "designsheet.h"
#include "hpglreader.h"
#include "knife.h"
#include "perforate.h"
#include "preview.h"
#include "weed.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(ktconv::CutPath)

using namespace ktconv;

namespace {

constexpr double Pi = 3.14159265358979323846;

CutPath polygonMm(const QVector<QPointF>& cornersMm)
{
    CutPath path;
    for (const QPointF& corner : cornersMm)
        path.points << corner * UnitsPerMm;
    path.points << path.points.first();
    path.closed = true;
    return path;
}

CutPaths rectMm(double w, double h)
{
    return {polygonMm({{0, 0}, {w, 0}, {w, h}, {0, h}})};
}

CutPath circle(QPointF centre, double radius, bool clockwise)
{
    QVector<QPointF> points;
    for (int i = 0; i < 360; ++i) {
        const double a = (clockwise ? -1 : 1) * i * Pi / 180;
        points << centre + radius * QPointF(std::cos(a), std::sin(a));
    }
    CutPath path;
    path.points = points << points.first();
    path.closed = true;
    return path;
}

// A drag knife: the tip trails the axis by `offset`, dragged along behind it while the
// knife is down; lifted, the blade keeps the way it points.
struct DragKnife
{
    double offset;
    QPointF blade; // unit, from the tip to the axis
    QPointF tip, axis;

    void down(QPointF at)
    {
        axis = at;
        tip = at - blade * offset;
    }
    void drag(QPointF to)
    {
        const int steps = std::max(1, int(std::ceil(QLineF(axis, to).length() / (offset / 50))));
        const QPointF from = axis;
        for (int i = 1; i <= steps; ++i) {
            axis = from + (to - from) * i / steps;
            const QLineF trail(tip, axis);
            blade = (axis - tip) / trail.length();
            tip = axis - blade * offset;
        }
    }
};

// Axis-aligned cut against a box: true when it runs through the inside.
bool entersBox(QPointF a, QPointF b, const QRectF& box)
{
    const double eps = 1e-6;
    const double x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
    const double y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
    return x1 > box.left() + eps && x0 < box.right() - eps && y1 > box.top() + eps && y0 < box.bottom() - eps;
}

} // namespace

void tst_Media::initTestCase()
{
    QVERIFY(dir.isValid());
    // The material a cutter keeps goes to a settings file of this test's own.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
}

void tst_Media::material_data()
{
    QTest::addColumn<QSizeF>("design"); // mm
    QTest::addColumn<QString>("media");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<QPointF>("origin");
    QTest::addColumn<QString>("refusal"); // empty: it fits
    QTest::addColumn<double>("scaled");   // the design's width after fitting

    QTest::newRow("fits a roll") << QSizeF(100, 50) << "300" << false << QPointF() << QString() << 100.0;
    QTest::newRow("wider than a roll") << QSizeF(400, 50) << "300" << false << QPointF()
                                       << "the job is 400.0 x 50.0 mm, wider than the material (300.0 mm wide roll)"
                                       << 0.0;
    QTest::newRow("the origin pushes it over")
        << QSizeF(290, 50) << "300" << false << QPointF(20, 0) << "310.0 x 50.0 mm, wider than" << 0.0;
    QTest::newRow("longer than a sheet") << QSizeF(100, 500) << "300x400" << false << QPointF()
                                         << "100.0 x 500.0 mm, longer than the material (300.0 x 400.0 mm sheet)"
                                         << 0.0;
    QTest::newRow("a roll has no length") << QSizeF(100, 5000) << "300" << false << QPointF() << QString() << 100.0;
    QTest::newRow("fit to the width") << QSizeF(400, 50) << "300" << true << QPointF() << QString() << 300.0;
    QTest::newRow("fit beside the origin") << QSizeF(400, 50) << "300" << true << QPointF(20, 5) << QString() << 280.0;
    QTest::newRow("fit to the length") << QSizeF(100, 500) << "300x400" << true << QPointF() << QString() << 80.0;
}

void tst_Media::material()
{
    QFETCH(QSizeF, design);
    QFETCH(QString, media);
    QFETCH(bool, fit);
    QFETCH(QPointF, origin);
    QFETCH(QString, refusal);
    QFETCH(double, scaled);

    SheetOptions sheet;
    QString error;
    QVERIFY(parseMaterial(media, &sheet.material, &error));
    sheet.fit = fit;
    CutOptions cut;
    cut.originMm = origin;
    CutPaths job;
    QStringList notes;
    const bool placed = layOutSheet({rectMm(design.width(), design.height())}, cut, sheet, &job, &error, &notes);
    QCOMPARE(placed, refusal.isEmpty());
    if (!placed) {
        QVERIFY2(error.contains(refusal), qPrintable(error));
        return;
    }
    const QRectF box = boundsOf(job);
    QVERIFY(box.right() / UnitsPerMm <= sheet.material.widthMm + 0.01);
    QVERIFY(sheet.material.lengthMm == 0 || box.bottom() / UnitsPerMm <= sheet.material.lengthMm + 0.01);
    // Scaled to fit as closely as it can, its aspect kept.
    QVERIFY2(std::abs(box.width() / UnitsPerMm - scaled) < 0.5, qPrintable(QString::number(box.width())));
    QVERIFY(std::abs(box.width() / box.height() - design.width() / design.height()) < 0.01);
    QCOMPARE(notes.isEmpty(), scaled == design.width());
}

void tst_Media::nestUsesLessMaterialThanRows()
{
    // Right triangles and L shapes: boxes in rows waste half of each triangle's.
    QVector<CutPaths> designs;
    for (int i = 0; i < 6; ++i) {
        designs << CutPaths{polygonMm({{0, 0}, {60, 0}, {0, 45}})};
        designs << CutPaths{polygonMm({{0, 0}, {50, 0}, {50, 12}, {12, 12}, {12, 40}, {0, 40}})};
    }
    ArrangeOptions options;
    options.widthMm = 200;
    options.gapMm = 2;
    Arranged rows, nested;
    QString error;
    QVERIFY(arrangeDesigns(designs, options, &rows, &error));
    options.how = Arrangement::Nest;
    QVERIFY(arrangeDesigns(designs, options, &nested, &error));
    qInfo("material length: rows %.1f mm, nest %.1f mm", rows.lengthMm, nested.lengthMm);
    QCOMPARE(nested.used, Arrangement::Nest);
    QVERIFY(nested.lengthMm < rows.lengthMm * 0.9);
    QVERIFY(boundsOf(nested.paths).width() <= 200 * UnitsPerMm + 1);
    QVERIFY(std::abs(penDownLength(nested.paths) - penDownLength(rows.paths)) < 1); // all there, none scaled
    // No two designs overlap.
    for (int i = 0; i < designs.size(); ++i) {
        const QPolygonF a(nested.paths[i].points);
        for (int j = i + 1; j < designs.size(); ++j) {
            const QRectF common = a.intersected(QPolygonF(nested.paths[j].points)).boundingRect();
            QVERIFY2(common.width() * common.height() < 1, qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
        }
    }
}

// The material begins at the top of the job's first page and runs down the sheet the way
// the pages follow: pages past a sheet's end lie outside it. Each copy: two pages 30 mm
// long, 10 mm apart; copies 20 mm apart.
void tst_Media::materialOnThePreview_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<double>("lengthMm");
    QTest::addColumn<int>("inside"); // pages on the material, from the first
    QTest::newRow("one copy on a long sheet") << 1 << 200.0 << 2;
    QTest::newRow("the second copy past a short sheet") << 2 << 75.0 << 2;
    QTest::newRow("a sheet shorter than the first page") << 1 << 20.0 << 0;
}

void tst_Media::materialOnThePreview()
{
    QFETCH(int, copies);
    QFETCH(double, lengthMm);
    QFETCH(int, inside);
    PreviewLayout layout;
    layout.copies = copies;
    layout.materialMm = QSizeF(100, lengthMm);
    const PreviewSheet sheet = layOutPreview({rectMm(40, 30), rectMm(20, 30)}, layout);
    QVERIFY(sheet.materialEdges.size() == 1 && sheet.pageAreas.size() == 2 * copies);
    const QRectF on = sheet.materialEdges.first().boundingRect();
    QVERIFY(on.top() == sheet.pageAreas.first().top() && on.bottom() <= sheet.sizeMm.height());
    const auto within = [&on](const QRectF& page) { return page.top() >= on.top() && page.bottom() <= on.bottom(); };
    QCOMPARE(std::count_if(sheet.pageAreas.begin(), sheet.pageAreas.end(), within), inside);
}

void tst_Media::weedLinesStopAtDesigns_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("rows") << int(Arrangement::Rows);
    QTest::newRow("nest") << int(Arrangement::Nest);
}

void tst_Media::weedLinesStopAtDesigns()
{
    QFETCH(int, how);
    QRandomGenerator random(27);
    QVector<CutPaths> designs;
    for (int i = 0; i < 14; ++i)
        designs << rectMm(10 + random.bounded(60), 10 + random.bounded(40));
    ArrangeOptions options{250, 6, Arrangement(how)};
    Arranged arranged;
    QString error;
    QVERIFY(arrangeDesigns(designs, options, &arranged, &error));
    const QRectF frame = boundsOf(arranged.paths).adjusted(-80, -80, 80, 80);
    const CutPaths cuts = weedLines(arranged.boxes, frame, 2 * UnitsPerMm);
    int lines = 0;
    for (const CutPath& cut : cuts) {
        lines += cut.closed ? 0 : 1;
        for (int i = 1; i < cut.points.size(); ++i) {
            for (const QRectF& box : arranged.boxes)
                QVERIFY(!entersBox(cut.points[i - 1], cut.points[i], box));
            QVERIFY(frame.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(cut.points[i]));
        }
    }
    QVERIFY2(lines >= designs.size(), qPrintable(QString::number(lines))); // through the waste, not only boxes
}

void tst_Media::perforation_data()
{
    QTest::addColumn<CutPath>("path");
    QTest::addColumn<double>("cut");
    QTest::addColumn<double>("gap");

    CutPath line;
    line.points = {QPointF(0, 0), QPointF(400, 0)};
    QTest::newRow("line, ends on a gap") << line << 80.0 << 80.0;
    QTest::newRow("line, ends on a short piece") << line << 120.0 << 40.0;
    QTest::newRow("square, pieces round the corners") << rectMm(40, 40).first() << 200.0 << 120.0;
    QTest::newRow("circle") << circle(QPointF(1000, 1000), 400, false) << 40.0 << 20.0;
    QTest::newRow("gap longer than the path") << line << 100.0 << 1000.0;
}

void tst_Media::perforation()
{
    QFETCH(CutPath, path);
    QFETCH(double, cut);
    QFETCH(double, gap);

    const CutPaths pieces = perforated(path, cut, gap);
    const double length = pathLength(path);
    const int whole = int(length / (cut + gap));
    const double rest = length - whole * (cut + gap);
    QCOMPARE(pieces.size(), whole + (rest > 1e-6 ? 1 : 0));
    QVERIFY(std::abs(penDownLength(pieces) - (whole * cut + std::min(rest, cut))) < 1e-6);
    // Each piece lies on the path where it should: cut + gap after the last one began.
    QPointF previousStart;
    for (int i = 0; i < pieces.size(); ++i) {
        QVERIFY(pathLength(pieces[i]) <= cut + 1e-6);
        for (const QPointF& point : pieces[i].points) {
            double nearest = 1e9;
            for (int k = 1; k < path.points.size(); ++k) {
                const QLineF edge(path.points[k - 1], path.points[k]);
                const double t = std::clamp(QPointF::dotProduct(point - edge.p1(), edge.p2() - edge.p1())
                                                / (edge.length() * edge.length()),
                                            0.0, 1.0);
                nearest = std::min(nearest, QLineF(point, edge.pointAt(t)).length());
            }
            QVERIFY2(nearest < 1e-6, qPrintable(QString::number(nearest)));
        }
        if (i > 0)
            QVERIFY(QLineF(previousStart, pieces[i].points.first()).length() <= cut + gap + 1e-6);
        previousStart = pieces[i].points.first();
    }
    QVERIFY(pieces.first().points.first() == path.points.first());
}

void tst_Media::bladeTurnsBeforeEachPath_data()
{
    QTest::addColumn<QPointF>("blade"); // the way the blade points before the job
    QTest::newRow("aligned with the first stroke") << QPointF(1, 0);
    QTest::newRow("reversed") << QPointF(-1, 0);
    QTest::newRow("across") << QPointF(0, -1);
}

void tst_Media::bladeTurnsBeforeEachPath()
{
    QFETCH(QPointF, blade);
    const double offset = 0.5 * UnitsPerMm;
    QRandomGenerator random(1000);
    CutPaths circles;
    for (int i = 0; i < 200; ++i) {
        const QPointF centre(20 + random.bounded(260.0), 20 + random.bounded(260.0));
        circles << circle(centre * UnitsPerMm, (1 + random.bounded(14.0)) * UnitsPerMm, random.bounded(2) == 1);
    }
    const CutPaths axes = withBladeTurns(circles, offset, QPointF());
    QCOMPARE(axes.size(), circles.size() + 1);                          // the precut first
    QVERIFY(boundsOf(axes.first()).left() > boundsOf(circles).right()); // beside the job
    DragKnife knife{offset, blade, {}, {}};
    QVector<double> errors;
    for (int p = 0; p < axes.size(); ++p) {
        knife.down(axes[p].points.first());
        double worst = 0;
        bool started = false;
        for (const QPointF& point : axes[p].points) {
            knife.drag(point);
            if (p == 0 || started)
                continue;
            const CutPath& shape = circles[p - 1];
            const QPointF start = shape.points.first();
            const QPointF first = shape.points[1] - start;
            worst = std::max(worst, QLineF(knife.tip, start).length());
            // The swivel ends where the blade stands on the start, aligned with the first edge.
            started = QLineF(point, start + first / std::hypot(first.x(), first.y()) * offset).length() < 1e-6;
        }
        if (p > 0) {
            QVERIFY2(started, qPrintable(QStringLiteral("path %1 never reaches its start").arg(p)));
            errors << worst / UnitsPerMm;
        }
    }
    std::sort(errors.begin(), errors.end());
    qInfo("blade tip start error: median %.4f mm, max %.4f mm", errors[errors.size() / 2], errors.last());
    QVERIFY2(errors.last() <= 0.05, qPrintable(QString::number(errors.last())));
    // The axis runs ahead of the tip: at the origin it is moved up and right, not below.
    const QRectF atOrigin = boundsOf(withBladeTurns(rectMm(10, 10), offset, QPointF()));
    QVERIFY(atOrigin.left() >= 0 && atOrigin.top() >= 0);
}

QTEST_MAIN(tst_Media)
