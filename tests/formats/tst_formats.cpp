#include "formatstest.h"

#include "cutpath.h"
#include "dxfreader.h"
#include "pdfreader.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace ktconv;
using formatstest::dxfDocument;
using formatstest::pdfDocument;

namespace {

constexpr double MmPerPoint = 25.4 / 72;

QRectF boundsMm(const CutPaths& paths)
{
    const QRectF box = boundsOf(paths);
    return QRectF(box.topLeft() / UnitsPerMm, box.size() / UnitsPerMm);
}

// Where the cut's weight sits in the drawing's bounds, 0..1 either way: a mirrored or
// turned conversion moves it.
QPointF balancePoint(const CutPaths& paths)
{
    QPointF sum;
    for (const CutPath& path : paths)
        sum += boundsOf(path).center() * pathLength(path);
    const QRectF all = boundsOf(paths);
    const QPointF centre = sum / penDownLength(paths) - all.topLeft();
    return QPointF(centre.x() / all.width(), centre.y() / all.height());
}

} // namespace

class tst_Formats : public QObject
{
    Q_OBJECT

private slots:
    void pdfPages_data();
    void pdfPages();
    void pdfTextAsOutlines();
    void pdfRefusals_data();
    void pdfRefusals();
    void dxfEntities_data();
    void dxfEntities();
    void dxfRefusals_data();
    void dxfRefusals();
    void sameShapeAsSvg_data();
    void sameShapeAsSvg();
    void detection_data();
    void detection();
};

// Each row: the pages' content streams, the page asked for, the expected bounds and
// pen-down length in points (y from the page's bottom), and a word the notes must hold.
void tst_Formats::pdfPages_data()
{
    QTest::addColumn<QList<QByteArray>>("pages");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRectF>("bounds");
    QTest::addColumn<double>("length");
    QTest::addColumn<QString>("note");
    QTest::newRow("filled rectangle") << QList<QByteArray>{"72 72 144 72 re f"} << 1 << QRectF(72, 72, 144, 72) << 432.0
                                      << QString();
    QTest::newRow("stroked open line") << QList<QByteArray>{"2 w 10 20 m 110 20 l S"} << 1 << QRectF(10, 20, 100, 0)
                                       << 100.0 << QString();
    QTest::newRow("filled and stroked line cut once") << QList<QByteArray>{"10 20 m 110 20 l f 10 20 m 110 20 l S"} << 1
                                                      << QRectF(10, 20, 100, 0) << 100.0 << QString();
    QTest::newRow("filled and stroked square cut once")
        << QList<QByteArray>{"10 10 20 20 re B 10 10 20 20 re f 10 10 m 30 10 l 30 30 l 10 30 l h S"} << 1
        << QRectF(10, 10, 20, 20) << 80.0 << QString();
    QTest::newRow("scaled by the content matrix") << QList<QByteArray>{"2 0 0 3 100 200 cm 0 0 10 10 re f"} << 1
                                                  << QRectF(100, 200, 20, 30) << 100.0 << QString();
    const double k = 0.5523 * 50; // a circle of radius 50 from four Béziers
    const QByteArray circle =
        QByteArray("300 400 m 300 ") + QByteArray::number(400 + k) + " " + QByteArray::number(250 + k)
        + " 450 250 450 c " + QByteArray::number(250 - k) + " 450 200 " + QByteArray::number(400 + k)
        + " 200 400 c 200 " + QByteArray::number(400 - k) + " " + QByteArray::number(250 - k) + " 350 250 350 c "
        + QByteArray::number(250 + k) + " 350 300 " + QByteArray::number(400 - k) + " 300 400 c f";
    QTest::newRow("circle") << QList<QByteArray>{circle} << 1 << QRectF(200, 350, 100, 100) << 2 * M_PI * 50
                            << QString();
    QTest::newRow("second of two pages") << QList<QByteArray>{"0 0 10 10 re f", "50 60 30 40 re f"} << 2
                                         << QRectF(50, 60, 30, 40) << 140.0 << QStringLiteral("2 pages");
    QTest::newRow("first of two pages, noted") << QList<QByteArray>{"5 5 10 10 re f", "50 60 30 40 re f"} << 1
                                               << QRectF(5, 5, 10, 10) << 40.0 << QStringLiteral("--page");
    QTest::newRow("picture beside a shape skipped")
        << QList<QByteArray>{"q 50 0 0 50 300 300 cm BI /W 2 /H 2 /CS /G /BPC 8 ID \x80\x40\x40\x80 EI Q "
                             "10 10 20 20 re f"}
        << 1 << QRectF(10, 10, 20, 20) << 80.0 << QStringLiteral("picture");
}

void tst_Formats::pdfPages()
{
    QFETCH(QList<QByteArray>, pages);
    QFETCH(int, page);
    QFETCH(QRectF, bounds);
    QFETCH(double, length);
    QFETCH(QString, note);
    SvgDrawing drawing;
    QString error;
    QVERIFY2(readPdf(pdfDocument(pages), page, &drawing, &error), qPrintable(error));
    const QRectF box = boundsMm(drawing.paths);
    const QRectF expected(bounds.topLeft() * MmPerPoint, bounds.size() * MmPerPoint);
    QVERIFY2(
        std::abs(box.left() - expected.left()) < 0.05 && std::abs(box.top() - expected.top()) < 0.05
            && std::abs(box.width() - expected.width()) < 0.05 && std::abs(box.height() - expected.height()) < 0.05,
        qPrintable(
            QStringLiteral("bounds %1,%2 %3x%4 mm").arg(box.left()).arg(box.top()).arg(box.width()).arg(box.height())));
    QVERIFY(std::abs(penDownLength(drawing.paths) / UnitsPerMm - length * MmPerPoint) < 0.005 * length * MmPerPoint);
    QCOMPARE(drawing.warnings.join(QLatin1Char('\n')).contains(note), true);
    if (note.isEmpty())
        QCOMPARE(drawing.warnings, QStringList());
}

// A capital H of 100 points stands on its baseline, about three quarters of its size tall,
// and is cut as closed outlines (not skipped, not upside down).
void tst_Formats::pdfTextAsOutlines()
{
    SvgDrawing drawing;
    QString error;
    QVERIFY2(readPdf(pdfDocument({"BT /F1 100 Tf 100 100 Td (H) Tj ET"}), 1, &drawing, &error), qPrintable(error));
    QVERIFY(!drawing.paths.isEmpty());
    for (const CutPath& path : drawing.paths)
        QVERIFY(path.closed);
    const QRectF box = boundsMm(drawing.paths);
    QVERIFY2(
        std::abs(box.top() - 100 * MmPerPoint) < 1 && box.left() >= 100 * MmPerPoint && box.height() > 60 * MmPerPoint
            && box.height() < 80 * MmPerPoint,
        qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.left()).arg(box.top()).arg(box.width()).arg(box.height())));
}

void tst_Formats::pdfRefusals_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("reason");
    QTest::newRow("page past the last") << pdfDocument({"0 0 1 1 re f"}) << 2 << QStringLiteral("no page 2");
    QTest::newRow("page zero") << pdfDocument({"0 0 1 1 re f"}) << 0 << QStringLiteral("no page 0");
    QTest::newRow("only a picture") << pdfDocument({"q 100 0 0 100 0 0 cm BI /W 1 /H 1 /CS /G /BPC 8 ID \x80 EI Q"})
                                    << 1 << QStringLiteral("trace");
    QTest::newRow("cut short") << QByteArray("%PDF-1.4\n1 0 obj\n<<") << 1 << QStringLiteral("cannot be read");
}

void tst_Formats::pdfRefusals()
{
    QFETCH(QByteArray, content);
    QFETCH(int, page);
    QFETCH(QString, reason);
    SvgDrawing drawing;
    QString error;
    QVERIFY(!readPdf(content, page, &drawing, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

// Each row: units, entities (and blocks), expected bounds and pen-down length in mm.
void tst_Formats::dxfEntities_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<QByteArray>("entities");
    QTest::addColumn<QByteArray>("blocks");
    QTest::addColumn<QRectF>("bounds");
    QTest::addColumn<double>("length");
    const QByteArray line = "0 LINE 8 0 10 0 20 0 11 100 21 0";
    const QByteArray none;
    QTest::newRow("line, mm") << 4 << line << none << QRectF(0, 0, 100, 0) << 100.0;
    QTest::newRow("line, unitless as mm") << -1 << line << none << QRectF(0, 0, 100, 0) << 100.0;
    QTest::newRow("line, inch") << 1 << line << none << QRectF(0, 0, 2540, 0) << 2540.0;
    QTest::newRow("line, feet") << 2 << line << none << QRectF(0, 0, 30480, 0) << 30480.0;
    QTest::newRow("line, m") << 6 << QByteArray("0 LINE 8 0 10 0 20 0 11 0.1 21 0") << none << QRectF(0, 0, 100, 0)
                             << 100.0;
    QTest::newRow("circle, cm") << 5 << QByteArray("0 CIRCLE 8 0 10 5 20 5 40 1") << none << QRectF(40, 40, 20, 20)
                                << 20 * M_PI;
    QTest::newRow("arc, quarter") << 4 << QByteArray("0 ARC 8 0 10 0 20 0 40 10 50 0 51 90") << none
                                  << QRectF(0, 0, 10, 10) << 5 * M_PI;
    QTest::newRow("lwpolyline, two bulges make a circle")
        << 4 << QByteArray("0 LWPOLYLINE 8 0 90 2 70 1 10 0 20 0 42 1 10 20 20 0 42 1") << none
        << QRectF(0, -10, 20, 20) << 20 * M_PI;
    QTest::newRow("lwpolyline, clockwise bulge below")
        << 4 << QByteArray("0 LWPOLYLINE 8 0 90 2 70 0 10 0 20 0 42 1 10 20 20 0") << none << QRectF(0, -10, 20, 10)
        << 10 * M_PI;
    QTest::newRow("ellipse, whole") << 4
                                    << QByteArray(
                                           "0 ELLIPSE 8 0 10 0 20 0 30 0 11 20 21 0 31 0 40 0.5 41 0 42 6.283185307")
                                    << none << QRectF(-20, -10, 40, 20) << 96.88;
    QTest::newRow("spline, evaluated not its hull")
        << 4
        << QByteArray("0 SPLINE 8 0 70 8 71 2 72 6 73 3 40 0 40 0 40 0 40 1 40 1 40 1 "
                      "10 0 20 0 30 0 10 10 20 20 30 0 10 20 20 0 30 0")
        << none << QRectF(0, 0, 20, 10) << 29.58;
    QTest::newRow("insert, moved, scaled, turned")
        << 4 << QByteArray("0 INSERT 8 0 2 B 10 50 20 50 30 0 41 2 42 2 50 90")
        << QByteArray("0 BLOCK 8 0 2 B 70 0 10 5 20 0 30 0 0 LINE 8 0 10 5 20 0 11 15 21 0 0 ENDBLK")
        << QRectF(50, 50, 0, 20) << 20.0;
}

void tst_Formats::dxfEntities()
{
    QFETCH(int, units);
    QFETCH(QByteArray, entities);
    QFETCH(QByteArray, blocks);
    QFETCH(QRectF, bounds);
    QFETCH(double, length);
    const QByteArray content = dxfDocument(units, entities, blocks);
    QCOMPARE(int(detectFormat(content)), int(JobFormat::Dxf));
    SvgDrawing drawing;
    QString error;
    QVERIFY2(readDxf(content, &drawing, &error), qPrintable(error));
    const QRectF box = boundsMm(drawing.paths);
    const double slack = 0.001 * std::max(bounds.width(), bounds.height()) + 0.02;
    QVERIFY2(
        std::abs(box.left() - bounds.left()) < slack && std::abs(box.top() - bounds.top()) < slack
            && std::abs(box.width() - bounds.width()) < slack && std::abs(box.height() - bounds.height()) < slack,
        qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.left()).arg(box.top()).arg(box.width()).arg(box.height())));
    const double cut = penDownLength(drawing.paths) / UnitsPerMm;
    QVERIFY2(std::abs(cut - length) < 0.002 * length, qPrintable(QString::number(cut)));
    QCOMPARE(drawing.warnings.join(QString()).contains(QLatin1String("$INSUNITS")), units < 0);
}

void tst_Formats::dxfRefusals_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    const QByteArray line = "0 LINE 8 0 10 0 20 0 11 100 21 0";
    // Layer 0 frozen (flag 1) in the layer table, ahead of the blocks.
    const QByteArray frozen = QByteArray("0 SECTION 2 TABLES 0 TABLE 2 LAYER 70 1 0 LAYER 2 0 70 1 62 7 6 CONTINUOUS "
                                         "0 ENDTAB 0 ENDSEC 0 SECTION 2 BLOCKS")
                                  .replace(' ', '\n');
    QTest::newRow("no entities") << dxfDocument(4, "") << QStringLiteral("nothing to cut");
    QTest::newRow("all on a frozen layer")
        << dxfDocument(4, line).replace("0\nSECTION\n2\nBLOCKS", frozen) << QStringLiteral("hidden layers");
    QTest::newRow("units no unit has") << dxfDocument(99, line) << QStringLiteral("$INSUNITS 99");
    QTest::newRow("binary") << QByteArray("Binary DXF\r\n\x1a\0", 14) + QByteArray(64, '\0')
                            << QStringLiteral("save it as ASCII DXF");
}

void tst_Formats::dxfRefusals()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    CutPages pages;
    QString error;
    QVERIFY(!loadJobPages(content, CutOptions(), &pages, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

// The vector editor's PDF and DXF of a drawing convert to the same shape as the drawing
// itself. Its DXF export (R14, for cutting plotters) writes paths, rectangles, circles and
// ellipses, not text: the DXF rows are drawings without it.
void tst_Formats::sameShapeAsSvg_data()
{
    QTest::addColumn<QString>("svgFile");
    QTest::addColumn<QString>("format");
    const QString examples = QStringLiteral("/usr/share/inkscape/examples/");
    // Beside this source: the test runs from the build tree, where QFINDTESTDATA finds nothing.
    const QString here = qEnvironmentVariable("KT_SOURCE_DIR") + QStringLiteral("/tests/formats/");
    QTest::newRow("pdf: shapes and a line") << here + QStringLiteral("shapes.svg") << "pdf";
    QTest::newRow("pdf: text") << here + QStringLiteral("lettering.svg") << "pdf";
    QTest::newRow("pdf: editor example, art nouveau") << examples + QStringLiteral("art-nouveau-P3.svg") << "pdf";
    QTest::newRow("dxf: shapes and a line") << here + QStringLiteral("shapes.svg") << "dxf";
    QTest::newRow("dxf: letters and a star of clones") << here + QStringLiteral("../../examples/drawing.svg") << "dxf";
    QTest::newRow("dxf: editor example, art nouveau") << examples + QStringLiteral("art-nouveau-P3.svg") << "dxf";
    QTest::newRow("dxf: editor example, tessellation") << examples + QStringLiteral("tesselation-P3.svg") << "dxf";
}

namespace {

// The drawing as the vector editor exports it, written to `out`.
bool exportDrawing(const QString& svgFile, const QString& format, const QString& out)
{
    QProcess editor;
    QFile svg(svgFile), plain(out + QStringLiteral(".svg"));
    if (format == QLatin1String("pdf")) {
        editor.start(QStandardPaths::findExecutable(QStringLiteral("inkscape")),
                     {svgFile, QStringLiteral("--export-type=pdf"), QStringLiteral("--export-filename=") + out});
    } else if (svg.open(QIODevice::ReadOnly) && plain.open(QIODevice::WriteOnly)) {
        // Its DXF exporter stops at an XML comment in a group: it gets the drawing without.
        const QRegularExpression comment(QStringLiteral("<!--.*?-->"), QRegularExpression::DotMatchesEverythingOption);
        plain.write(QString::fromUtf8(svg.readAll()).remove(comment).toUtf8());
        plain.close();
        editor.setWorkingDirectory(QStringLiteral("/usr/share/inkscape/extensions"));
        editor.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("dxf_outlines.py"), QStringLiteral("--output=") + out, plain.fileName()});
    }
    return editor.waitForFinished(120000) && editor.exitCode() == 0 && QFile::exists(out);
}

} // namespace

void tst_Formats::sameShapeAsSvg()
{
    QFETCH(QString, svgFile);
    QFETCH(QString, format);
    QVERIFY2(svgFile.startsWith(QLatin1String("/usr/")) || QFile::exists(svgFile), qPrintable(svgFile));
    if (QStandardPaths::findExecutable(QStringLiteral("inkscape")).isEmpty() || !QFile::exists(svgFile))
        QSKIP("the vector editor (inkscape) or its example is not installed");
    QTemporaryDir dir;
    const QString exported = dir.filePath(QStringLiteral("out.") + format);
    QVERIFY2(exportDrawing(svgFile, format, exported), "the editor's export failed (DXF: python3-lxml missing?)");
    QFile svg(svgFile), other(exported);
    QVERIFY(svg.open(QIODevice::ReadOnly) && other.open(QIODevice::ReadOnly));
    CutPaths fromSvg, fromOther;
    QString error;
    QVERIFY2(convertDrawing(svg.readAll(), CutOptions(), &fromSvg, &error), qPrintable(error));
    QVERIFY2(convertDrawing(other.readAll(), CutOptions(), &fromOther, &error), qPrintable(error));
    const double length = penDownLength(fromSvg);
    QVERIFY2(std::abs(penDownLength(fromOther) - length) < 0.03 * length,
             qPrintable(QStringLiteral("cut %1 mm, the drawing's %2 mm")
                            .arg(penDownLength(fromOther) / UnitsPerMm)
                            .arg(length / UnitsPerMm)));
    const QSizeF size = boundsOf(fromSvg).size();
    QVERIFY(std::abs(boundsOf(fromOther).width() - size.width()) < 0.01 * size.width());
    QVERIFY(std::abs(boundsOf(fromOther).height() - size.height()) < 0.01 * size.height());
    const QPointF place = balancePoint(fromOther) - balancePoint(fromSvg);
    QVERIFY(std::abs(place.x()) < 0.01 && std::abs(place.y()) < 0.01);
    // The DXF holds an outline as one entity per segment: still one path each.
    if (format == QLatin1String("dxf"))
        QCOMPARE(fromOther.size(), fromSvg.size());
}

void tst_Formats::detection_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("reason");
    QTest::newRow("pdf") << pdfDocument({"0 0 1 1 re f"}) << int(JobFormat::Pdf) << QString();
    QTest::newRow("pdf after junk") << QByteArray(200, ' ') + pdfDocument({"0 0 1 1 re f"}) << int(JobFormat::Pdf)
                                    << QString();
    QTest::newRow("gif picture") << QByteArray("GIF89a\x01\0\x01\0\0\0\0;", 14) << int(JobFormat::Unknown)
                                 << QStringLiteral("a GIF picture; pictures are traced from PNG");
    // The vector editor's R12 export: a 999 comment first, group codes padded on both sides.
    QTest::newRow("dxf with padded codes")
        << QByteArray("999\n\"R12\" output\n  0 \nSECTION\n  2 \nENTITIES\n  0 \nENDSEC\n  0 \nEOF\n")
        << int(JobFormat::Dxf) << QString();
    QTest::newRow("pdf header past the first kilobyte")
        << QByteArray(2000, 'x') + "%PDF-1.4" << int(JobFormat::Unknown) << QStringLiteral("PDF");
}

void tst_Formats::detection()
{
    QFETCH(QByteArray, content);
    QFETCH(int, format);
    QFETCH(QString, reason);
    QCOMPARE(int(detectFormat(content)), format);
    if (!reason.isEmpty())
        QVERIFY2(refusalReason(content).contains(reason), qPrintable(refusalReason(content)));
}

QTEST_MAIN(tst_Formats)
#include "tst_formats.moc"
