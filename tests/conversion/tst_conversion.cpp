#include "conversion.h"
#include "knife.h"
#include "pathorder.h"
#include "pltwriter.h"
#include "preview.h"
#include "svgreader.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(ktconv::CutOptions)
Q_DECLARE_METATYPE(ktconv::CutPath)

using namespace ktconv;

namespace {

constexpr double Pi = 3.14159265358979323846;

QByteArray svgDocument(const QByteArray& root, const QByteArray& body)
{
    return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
           + root + ">" + body + "</svg>";
}

CutPaths readOrFail(const QByteArray& svg)
{
    SvgDrawing drawing;
    QString error;
    if (!readSvg(svg, &drawing, &error))
        qWarning() << "readSvg failed:" << error;
    return drawing.paths;
}

CutPath polygon(const QVector<QPointF>& corners)
{
    CutPath path;
    path.points = corners;
    path.points << corners.first();
    path.closed = true;
    return path;
}

CutPath square(QPointF corner, double side)
{
    return polygon({corner, corner + QPointF(side, 0), corner + QPointF(side, side), corner + QPointF(0, side)});
}

CutPath circle(QPointF centre, double radius)
{
    QVector<QPointF> points;
    for (int i = 0; i < 720; ++i)
        points << centre + radius * QPointF(std::cos(i * Pi / 360), std::sin(i * Pi / 360));
    return polygon(points);
}

// Shape measures that do not depend on how paths are split or ordered.
struct Measures
{
    double length = 0, width = 0, height = 0;
    QPointF centroid; // length-weighted, as a fraction of the bounds: tells a mirror image
};

Measures measure(const CutPaths& paths)
{
    Measures m;
    const QRectF box = boundsOf(paths);
    m.width = box.width();
    m.height = box.height();
    for (const CutPath& path : paths) {
        for (int i = 1; i < path.points.size(); ++i) {
            const double l = QLineF(path.points[i - 1], path.points[i]).length();
            const QPointF mid = (path.points[i - 1] + path.points[i]) / 2 - box.topLeft();
            m.length += l;
            m.centroid += l * QPointF(mid.x() / box.width(), mid.y() / box.height());
        }
    }
    m.centroid /= m.length;
    return m;
}

} // namespace

class tst_conversion : public QObject
{
    Q_OBJECT

private slots:
    void drawingGeometry_data();
    void drawingGeometry();
    void cutterOptions_data();
    void cutterOptions();
    void ordering();
    void knife_data();
    void knife();
    void formatDetection_data();
    void formatDetection();
    void pagesAndPreview();
    void referenceExport_data();
    void referenceExport();
};

// Sizes in mm; the first point in mm on a page whose lower-left corner is 0,0 (y upwards),
// so a mirrored or upside-down reading fails.
void tst_conversion::drawingGeometry_data()
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

void tst_conversion::drawingGeometry()
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
void tst_conversion::cutterOptions_data()
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

void tst_conversion::cutterOptions()
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
void tst_conversion::ordering()
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

void tst_conversion::knife_data()
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

void tst_conversion::knife()
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

// clang-format off
void tst_conversion::formatDetection_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("error");     // part of the message, for refused content

    QTest::newRow("svg with prolog and comment")
        << QByteArray("<?xml version=\"1.0\"?><!-- made by hand --><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10mm\" height=\"10mm\"><rect width=\"5\" height=\"5\"/></svg>")
        << int(JobFormat::Drawing) << QString();
    QTest::newRow("plotter text") << QByteArray("IN;PA;PU0,0;PD40,40;PG;") << int(JobFormat::PlotterText) << QString();
    QTest::newRow("plotter text sampled mid-instruction, with a UTF-8 label")
        << QByteArray("IN;PA;LBK\xc3\xa4se\x0a;PU0,0;PD40,4") << int(JobFormat::PlotterText) << QString();
    QTest::newRow("svg without shapes") << svgDocument("width=\"10mm\" height=\"10mm\"", "<g/>") << int(JobFormat::Drawing)
                                        << QStringLiteral("no visible shape");
    QTest::newRow("empty") << QByteArray("  \n") << int(JobFormat::Unknown) << QStringLiteral("empty");
    QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << int(JobFormat::Unknown) << QStringLiteral("neither");
    QTest::newRow("elf") << QByteArray("\x7f" "ELF\x02\x01\x01\0", 8) << int(JobFormat::Unknown) << QStringLiteral("neither");
    QTest::newRow("gzip") << QByteArray("\x1f\x8b\x08\0", 4) << int(JobFormat::Unknown) << QStringLiteral("compressed");
    QTest::newRow("html") << QByteArray("<!DOCTYPE html><html><body>PU</body></html>") << int(JobFormat::Unknown) << QStringLiteral("not an SVG");
    QTest::newRow("prose") << QByteArray("Dear cutter; please cut") << int(JobFormat::Unknown) << QStringLiteral("neither");
}
// clang-format on

void tst_conversion::formatDetection()
{
    QFETCH(QByteArray, content);
    QFETCH(int, format);
    QFETCH(QString, error);

    QCOMPARE(int(detectFormat(content)), format);
    PlotterPages pages;
    QString message;
    QCOMPARE(loadJobPages(content, CutOptions(), &pages, &message), error.isEmpty());
    QVERIFY2(message.contains(error), qPrintable(message));
    if (error.isEmpty())
        QVERIFY(!pages.isEmpty() && !pages.first().isEmpty());
}

// The written page reads back as the same strokes; a preview lays pages and copies out.
void tst_conversion::pagesAndPreview()
{
    const CutPaths drawing{square(QPointF(0, 0), 400.4), circle(QPointF(1000, 1000), 300)};
    const QByteArray page = writePltPage(drawing);
    QVERIFY(page.startsWith("IN;PA;PU0,0;PD400,0,400,400,0,400,0,0;PU"));
    QVERIFY(page.endsWith(";PU0,0;PG;"));
    QVERIFY(!page.contains('.'));
    const PlotterPages back = readPlotterText(page + page);
    QCOMPARE(back.size(), 2);
    QCOMPARE(back[1].size(), 2);
    QVERIFY(std::abs(penDownLength(back[1]) / penDownLength(drawing) - 1) < 0.01);

    QTemporaryDir dir;
    PreviewLayout layout;
    layout.copies = 3;
    layout.copyGapMm = 20;
    QString error;
    QVERIFY2(writePreview(back, layout, dir.filePath("p.svg"), &error), qPrintable(error));
    QVERIFY2(writePreview(back, layout, dir.filePath("p.png"), &error), qPrintable(error));
    QVERIFY(!writePreview(back, layout, dir.filePath("p.txt"), &error));
    QFile svg(dir.filePath("p.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    QCOMPARE(text.count("class=\"cut\""), 2 * 2 * 3);
    QCOMPARE(text.count("class=\"travel\""), 2 * 3 * 3);
    // Three copies 20 mm apart, each of two 32.5 mm pages 10 mm apart, 5 mm border, 8 px/mm.
    const QImage png(dir.filePath("p.png"));
    QCOMPARE(png.width(), int(std::ceil((32.5 + 10) * 8)));
    QCOMPARE(png.height(), int(std::ceil((6 * 32.5 + 3 * 10 + 2 * 20 + 10) * 8)));
}

// A vector editor's own HP-GL export of its example drawings is an independent answer.
// This editor's export misplaces clones of transformed groups (its own renderer and
// bounding boxes do not), so the editor unlinks clones before exporting.
void tst_conversion::referenceExport_data()
{
    QTest::addColumn<QString>("drawing");
    QTest::newRow("tiled clones on an A4 mm page") << QStringLiteral("tesselation-P3.svg");
    QTest::newRow("clones of transformed groups") << QStringLiteral("art-nouveau-P3.svg");
    QTest::newRow("paths with markers, mm page") << QStringLiteral("markers.svg");
}

void tst_conversion::referenceExport()
{
    QFETCH(QString, drawing);
    const QString editor = QStandardPaths::findExecutable(QStringLiteral("inkscape"));
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    const QString extensions = QStringLiteral("/usr/share/inkscape/extensions");
    const QString example = QStringLiteral("/usr/share/inkscape/examples/") + drawing;
    if (editor.isEmpty() || python.isEmpty() || !QFile::exists(extensions + "/hpgl_output.py")
        || !QFile::exists(example))
        QSKIP("inkscape (with its examples and HP-GL export) or /usr/bin/python3 is not installed: "
              "apt-get install inkscape python3-lxml python3-cssselect python3-numpy");

    QTemporaryDir dir;
    const QString unlinked = dir.filePath(QStringLiteral("unlinked.svg"));
    QProcess unlink;
    unlink.start(editor, {QStringLiteral("--actions=select-all:all;clone-unlink-recursively;export-filename:%1;"
                                         "export-plain-svg;export-do")
                              .arg(unlinked),
                          example});
    QVERIFY(unlink.waitForFinished(240000));
    QVERIFY2(QFile::exists(unlinked), unlink.readAllStandardError().constData());
    QProcess exporter;
    exporter.setWorkingDirectory(extensions);
    exporter.start(python, {QStringLiteral("hpgl_output.py"), QStringLiteral("--overcut"), QStringLiteral("0"),
                            QStringLiteral("--toolOffset"), QStringLiteral("0"), QStringLiteral("--precut"),
                            QStringLiteral("false"), unlinked});
    QVERIFY(exporter.waitForFinished(240000));
    QVERIFY2(exporter.exitCode() == 0, exporter.readAllStandardError().constData());
    CutPaths reference;
    for (const CutPaths& page : readPlotterText(exporter.readAllStandardOutput()))
        reference += page;

    QFile file(example);
    QVERIFY(file.open(QIODevice::ReadOnly));
    CutPaths ours;
    QString error;
    // The editor's HP-GL export leaves markers out; tst_svgrules checks them by hand.
    const QByteArray content =
        QString::fromUtf8(file.readAll())
            .replace(QRegularExpression("marker-(start|mid|end):url\\([^)]*\\)"), "marker-\\1:none")
            .toUtf8();
    QVERIFY2(convertDrawing(content, CutOptions(), &ours, &error), qPrintable(error));
    ours = readPlotterText(writePltPage(ours)).value(0);

    const Measures a = measure(ours), b = measure(reference);
    QVERIFY2(b.length > 0, "the reference export is empty");
    const QString numbers = QStringLiteral("length %1 / %2, width %3 / %4, height %5 / %6, centroid %7,%8 / %9,%10")
                                .arg(a.length)
                                .arg(b.length)
                                .arg(a.width)
                                .arg(b.width)
                                .arg(a.height)
                                .arg(b.height)
                                .arg(a.centroid.x())
                                .arg(a.centroid.y())
                                .arg(b.centroid.x())
                                .arg(b.centroid.y());
    qInfo().noquote() << drawing << numbers;
    QVERIFY2(std::abs(a.length / b.length - 1) <= 0.03, qPrintable(numbers));
    QVERIFY2(std::abs(a.width / b.width - 1) <= 0.01, qPrintable(numbers));
    QVERIFY2(std::abs(a.height / b.height - 1) <= 0.01, qPrintable(numbers));
    QVERIFY2((a.centroid - b.centroid).manhattanLength() < 0.01, qPrintable(numbers));
}

QTEST_MAIN(tst_conversion)
#include "tst_conversion.moc"
