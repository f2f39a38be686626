// Drawings into cutter paths: geometry, cutter options, ordering and the knife.
#include "conversiontest.h"

// Sizes in mm; the first point in mm on a page whose lower-left corner is 0,0 (y upwards),
// so a mirrored or upside-down reading fails.
void tst_Conversion::drawingGeometry_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<int>("paths");
    QTest::addColumn<QSizeF>("sizeMm");
    QTest::addColumn<double>("lengthMm");
    QTest::addColumn<QPointF>("firstMm");

    const QByteArray mmPage = "width=\"100mm\" height=\"50mm\" viewBox=\"0 0 200 100\"";
    QTest::newRow("viewBox scales user units to the mm page")
        << svgDocument(mmPage, "<path d=\"M 20 10 L 60 10 L 60 30\" stroke=\"black\" fill=\"none\"/>") << 1
        << QSizeF(20, 10) << 30.0 << QPointF(10, 45);
    QTest::newRow("unitless page is CSS pixels, 96 per inch")
        << svgDocument("width=\"96\" height=\"96\"", "<rect x=\"0\" y=\"0\" width=\"48\" height=\"24\"/>") << 1
        << QSizeF(12.7, 6.35) << 38.1 << QPointF(0, 25.4);
    QTest::newRow("inches, filled and stroked rect cut once")
        << svgDocument("width=\"2in\" height=\"2in\" viewBox=\"0 0 2 2\"",
                       "<rect width=\"1\" height=\"1\" fill=\"red\" stroke=\"blue\" stroke-width=\"0.2\"/>")
        << 1 << QSizeF(25.4, 25.4) << 101.6 << QPointF(0, 50.8);
    QTest::newRow("nested group transforms and a clone of a clone")
        << svgDocument(mmPage, "<g transform=\"translate(100,0)\"><g transform=\"scale(2)\">"
                               "<path id=\"a\" d=\"M 0 0 L 10 0\" stroke=\"black\"/></g></g>"
                               "<use id=\"b\" xlink:href=\"#a\" transform=\"translate(0,20)\"/>"
                               "<use xlink:href=\"#b\" transform=\"rotate(90)\"/>")
        << 3 << QSizeF(70, 10) << 20.0 << QPointF(50, 50);
    QTest::newRow("hidden elements and definitions are not cut")
        << svgDocument(mmPage, "<defs><rect id=\"d\" width=\"50\" height=\"50\"/></defs>"
                               "<rect width=\"80\" height=\"80\" style=\"display:none\"/>"
                               "<g display=\"none\"><rect width=\"90\" height=\"90\"/></g>"
                               "<rect x=\"100\" y=\"50\" width=\"20\" height=\"20\" fill=\"none\" stroke=\"black\"/>")
        << 1 << QSizeF(10, 10) << 40.0 << QPointF(50, 25);
    QTest::newRow("open filled path is cut along its closed outline")
        << svgDocument(mmPage, "<path d=\"M 0 0 L 40 0 L 40 30\" fill=\"black\"/>") << 1 << QSizeF(20, 15) << 60.0
        << QPointF(0, 50);
    QTest::newRow("text as glyph outlines: an O and its counter")
        << svgDocument(mmPage, "<text x=\"10\" y=\"40\" font-size=\"30\" font-family=\"sans-serif\">O</text>") << 2
        << QSizeF() << 0.0 << QPointF();
}

void tst_Conversion::drawingGeometry()
{
    QFETCH(QByteArray, svg);
    QFETCH(int, paths);
    QFETCH(QSizeF, sizeMm);
    QFETCH(double, lengthMm);
    QFETCH(QPointF, firstMm);

    const CutPaths cut = readOrFail(svg);
    QCOMPARE(cut.size(), paths);
    if (!sizeMm.isValid())
        return; // the font decides the size
    const QRectF box = boundsOf(cut);
    QVERIFY2(std::abs(box.width() / UnitsPerMm - sizeMm.width()) < 0.05,
             qPrintable(QString::number(box.width() / UnitsPerMm)));
    QVERIFY2(std::abs(box.height() / UnitsPerMm - sizeMm.height()) < 0.05,
             qPrintable(QString::number(box.height() / UnitsPerMm)));
    QVERIFY2(std::abs(penDownLength(cut) / UnitsPerMm - lengthMm) < 0.05,
             qPrintable(QString::number(penDownLength(cut) / UnitsPerMm)));
    const QPointF first = cut.first().points.first() / UnitsPerMm;
    QVERIFY2((first - firstMm).manhattanLength() < 0.05,
             qPrintable(QStringLiteral("%1,%2").arg(first.x()).arg(first.y())));
}

// An L of 30 x 10 mm: its long leg runs along x, its foot hangs down at the right end.
void tst_Conversion::cutterOptions_data()
{
    QTest::addColumn<CutOptions>("options");
    QTest::addColumn<QRectF>("boundsMm");
    QTest::addColumn<QPointF>("footMm"); // where the foot's end lands
    QTest::addColumn<int>("paths");

    CutOptions plain;
    QTest::newRow("placed at 0,0") << plain << QRectF(0, 0, 30, 10) << QPointF(30, 0) << 1;
    CutOptions scaled = plain;
    scaled.scale = 2;
    QTest::newRow("scale 2") << scaled << QRectF(0, 0, 60, 20) << QPointF(60, 0) << 1;
    CutOptions sized = plain;
    sized.widthMm = 60;
    sized.heightMm = 100;
    QTest::newRow("width and height: aspect kept, the tighter wins")
        << sized << QRectF(0, 0, 60, 20) << QPointF(60, 0) << 1;
    CutOptions turned = plain;
    turned.rotate = 90;
    QTest::newRow("rotate 90 clockwise") << turned << QRectF(0, 0, 10, 30) << QPointF(0, 0) << 1;
    CutOptions half = plain;
    half.rotate = 180;
    QTest::newRow("rotate 180") << half << QRectF(0, 0, 30, 10) << QPointF(0, 10) << 1;
    CutOptions mirrored = plain;
    mirrored.mirror = true;
    QTest::newRow("mirror") << mirrored << QRectF(0, 0, 30, 10) << QPointF(0, 0) << 1;
    CutOptions moved = plain;
    moved.originMm = QPointF(5, 7);
    QTest::newRow("origin") << moved << QRectF(5, 7, 30, 10) << QPointF(35, 7) << 1;
    CutOptions weeded = moved;
    weeded.weedBoxMm = 2;
    QTest::newRow("weed box cut last, design inside at the margin")
        << weeded << QRectF(5, 7, 34, 14) << QPointF(37, 9) << 2;
}

void tst_Conversion::cutterOptions()
{
    QFETCH(CutOptions, options);
    QFETCH(QRectF, boundsMm);
    QFETCH(QPointF, footMm);
    QFETCH(int, paths);

    CutPath l;
    l.points = {QPointF(0, 400), QPointF(1200, 400), QPointF(1200, 0)};
    CutPaths cut{l};
    QString error;
    QVERIFY2(applyCutOptions(&cut, options, &error), qPrintable(error));
    QCOMPARE(cut.size(), paths);
    const QRectF box = boundsOf(cut);
    QCOMPARE(QRectF(box.topLeft() / UnitsPerMm, box.size() / UnitsPerMm), boundsMm);
    if (paths > 1)
        QCOMPARE(boundsOf(cut.last()), box); // the weed box comes last and encloses all
    const CutPath& design = cut.first();
    const bool footAtAnEnd = (design.points.first() / UnitsPerMm - footMm).manhattanLength() < 1e-6
                             || (design.points.last() / UnitsPerMm - footMm).manhattanLength() < 1e-6;
    QVERIFY(footAtAnEnd);
}

// An "O" whose counter comes after its outline in the drawing, and squares far apart:
// the counter is cut first, then each square nearest-next; --keep-order keeps the drawing's.
void tst_Conversion::ordering()
{
    const CutPaths drawing{circle(QPointF(2000, 2000), 800), circle(QPointF(2000, 2000), 400),
                           square(QPointF(8000, 0), 100), square(QPointF(4000, 0), 100), square(QPointF(6000, 0), 100)};
    auto centres = [](const CutPaths& paths) {
        QVector<QPointF> at;
        for (const CutPath& path : paths)
            at << boundsOf(path).center().toPoint();
        return at;
    };
    const CutPaths ordered = orderPaths(drawing, QPointF(0, 0));
    const QVector<QPointF> expected{QPointF(2000, 2000), QPointF(2000, 2000), QPointF(4050, 50), QPointF(6050, 50),
                                    QPointF(8050, 50)};
    QCOMPARE(centres(ordered), expected);
    QCOMPARE(boundsOf(ordered[0]).width(), boundsOf(drawing[1]).width()); // the counter first
    QVERIFY(penDownLength(ordered) - penDownLength(drawing) < 1e-6);
    QVERIFY(travelLength(ordered) < travelLength(drawing));

    CutOptions keep;
    keep.keepOrder = true;
    CutPaths kept = drawing;
    QString error;
    QVERIFY(applyCutOptions(&kept, keep, &error));
    QCOMPARE(boundsOf(kept[0]).width(), boundsOf(drawing[0]).width());
}

void tst_Conversion::knife_data()
{
    QTest::addColumn<CutPath>("shape");
    QTest::addColumn<double>("overcut");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("extraLength"); // over the shape's own length
    QTest::addColumn<QPointF>("centre");
    QTest::addColumn<double>("minRadius"); // every knife point's distance from the centre
    QTest::addColumn<double>("maxRadius");

    const double s = 2000, d = 10, r = 1000;
    const double corner = std::hypot(s / 2, s / 2);
    QTest::newRow("square, overcut 1 mm")
        << square(QPointF(0, 0), s) << 40.0 << 0.0 << 40.0 << QPointF(s / 2, s / 2) << s / 2 << corner;
    QTest::newRow("circle, overcut 1 mm")
        << circle(QPointF(0, 0), r) << 40.0 << 0.0 << 40.0 << QPointF() << r - 0.01 << r + 0.01;
    // Edges shift forward by d; each corner adds a quarter arc of radius d around it.
    QTest::newRow("square, tool offset 0.25 mm")
        << square(QPointF(0, 0), s) << 0.0 << d << 4 * (Pi / 2 * d) << QPointF(s / 2, s / 2) << s / 2 << corner + d;
    // Along a curve the blade's axis stays on a circle of radius sqrt(r^2 + d^2), turning
    // the blade at each vertex: a full turn adds 2 pi d.
    QTest::newRow("circle, tool offset 0.25 mm") << circle(QPointF(0, 0), r) << 0.0 << d << 2 * Pi * d << QPointF()
                                                 << std::hypot(r, d) - 0.5 << std::hypot(r, d) + 0.5;
}

void tst_Conversion::knife()
{
    QFETCH(CutPath, shape);
    QFETCH(double, overcut);
    QFETCH(double, offset);
    QFETCH(double, extraLength);
    QFETCH(QPointF, centre);
    QFETCH(double, minRadius);
    QFETCH(double, maxRadius);

    CutPath cut = shape;
    addOvercut(&cut, overcut);
    cut = withToolOffset(cut, offset);
    QVERIFY2(std::abs(pathLength(cut) - pathLength(shape) - extraLength) < 0.5,
             qPrintable(QString::number(pathLength(cut) - pathLength(shape))));
    for (const QPointF& p : cut.points) {
        const double distance = QLineF(centre, p).length();
        QVERIFY2(distance >= minRadius - 1e-6 && distance <= maxRadius + 1e-6, qPrintable(QString::number(distance)));
    }
    if (overcut > 0) // runs on along its own outline
        QVERIFY(std::abs(QLineF(cut.points.first(), cut.points.last()).length() - overcut) < 0.5);
    if (offset > 0) { // every corner of the square is rounded at the blade offset
        for (int i = 1; i + 1 < shape.points.size() && shape.points.size() == 5; ++i) {
            int near = 0;
            for (const QPointF& p : cut.points)
                near += std::abs(QLineF(shape.points[i], p).length() - offset) < 1e-6 ? 1 : 0;
            QVERIFY2(near >= 6, qPrintable(QString::number(near)));
        }
    }
}

QTEST_MAIN(tst_Conversion)
