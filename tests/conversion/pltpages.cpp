// Job files told apart by content, PLT pages written and read back, previews, and a
// reference exporter's output read as the cutter would.
#include "conversiontest.h"

// clang-format off
void tst_Conversion::formatDetection_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("error");     // part of the message, for refused content

    QTest::newRow("svg with prolog and comment")
        << QByteArray("<?xml version=\"1.0\"?><!-- made by hand --><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10mm\" height=\"10mm\"><rect width=\"5\" height=\"5\"/></svg>")
        << int(JobFormat::Drawing) << QString();
    QTest::newRow("PLT job") << QByteArray("IN;PA;PU0,0;PD40,40;PG;") << int(JobFormat::Plt) << QString();
    QTest::newRow("PLT job sampled mid-instruction, with a UTF-8 label")
        << QByteArray("IN;PA;LBK\xc3\xa4se\x0a;PU0,0;PD40,4") << int(JobFormat::Plt) << QString();
    QTest::newRow("svg without shapes") << svgDocument("width=\"10mm\" height=\"10mm\"", "<g/>") << int(JobFormat::Drawing)
                                        << QStringLiteral("no visible shape");
    QTest::newRow("empty") << QByteArray("  \n") << int(JobFormat::Unknown) << QStringLiteral("empty");
    QTest::newRow("png cut short") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << int(JobFormat::Bitmap) << QStringLiteral("cannot be read");
    QTest::newRow("elf") << QByteArray("\x7f" "ELF\x02\x01\x01\0", 8) << int(JobFormat::Unknown) << QStringLiteral("neither");
    QTest::newRow("gzip") << QByteArray("\x1f\x8b\x08\0", 4) << int(JobFormat::Unknown) << QStringLiteral("compressed");
    QTest::newRow("html") << QByteArray("<!DOCTYPE html><html><body>PU</body></html>") << int(JobFormat::Unknown) << QStringLiteral("not an SVG");
    QTest::newRow("prose") << QByteArray("Dear cutter; please cut") << int(JobFormat::Unknown) << QStringLiteral("neither");
}
// clang-format on

void tst_Conversion::formatDetection()
{
    QFETCH(QByteArray, content);
    QFETCH(int, format);
    QFETCH(QString, error);

    QCOMPARE(int(detectFormat(content)), format);
    CutPages pages;
    QString message;
    QCOMPARE(loadJobPages(content, CutOptions(), &pages, &message), error.isEmpty());
    QVERIFY2(message.contains(error), qPrintable(message));
    if (error.isEmpty())
        QVERIFY(!pages.isEmpty() && !pages.first().isEmpty());
}

// The written page reads back as the same strokes; a preview lays pages and copies out.
void tst_Conversion::pagesAndPreview()
{
    const CutPaths drawing{square(QPointF(0, 0), 400.4), circle(QPointF(1000, 1000), 300)};
    const QByteArray page = writePltPage(drawing);
    QVERIFY(page.startsWith("IN;PA;PU0,0;PD400,0,400,400,0,400,0,0;PU"));
    QVERIFY(page.endsWith(";PU0,0;PG;"));
    QVERIFY(!page.contains('.'));
    const CutPages back = readPltPages(page + page);
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
// bounding boxes do not), so the editor unlinks clones before exporting; its export leaves
// text out, so the editor turns text into outlines first, as it draws it. It also scales a
// drawing by its page's scale twice over unless a user unit is a pixel, so it is given the
// page the viewBox meets, a pixel a unit, and the drawing scaled inside it. The comparison
// script holds the whole procedure, with what the editor exports but never draws left out.
void tst_Conversion::referenceExport_data()
{
    QTest::addColumn<QString>("drawing");
    QTest::addColumn<bool>("withoutMissing"); // cut without the characters no font has
    QTest::newRow("tiled clones on an A4 mm page") << QStringLiteral("tesselation-P3.svg") << false;
    QTest::newRow("clones of transformed groups") << QStringLiteral("art-nouveau-P3.svg") << false;
    QTest::newRow("paths with markers, mm page") << QStringLiteral("markers.svg") << false;
    QTest::newRow("text labels of several lines") << QStringLiteral("blend_modes.svg") << false;
    QTest::newRow("text on paths: spaces, shifts, glyphs past the end") << QStringLiteral("text-on-path.svg") << false;
    QTest::newRow("tref, in a viewBox that scales the page") << QStringLiteral("tref.svg") << false;
    QTest::newRow("scripts without a font, right-to-left on a path") << QStringLiteral("i18n.svg") << true;
    QTest::newRow("gzipped, page width in percent, height in mm") << QStringLiteral("tiger.svgz") << false;
    QTest::newRow("flowed text justified around a hole") << QStringLiteral("flowsample.svg") << false;
    QTest::newRow("mm page, a viewBox in hundredths of a mm, no namespace")
        << QStringLiteral("/usr/share/openclipart/svg/people/stickmen/blueman_106_01.svg") << false;
}

void tst_Conversion::referenceExport()
{
    QFETCH(QString, drawing);
    QFETCH(bool, withoutMissing);
    const QString editor = QStandardPaths::findExecutable(QStringLiteral("inkscape"));
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    const QString script = qEnvironmentVariable("KT_SOURCE_DIR") + "/bench/conversion/reference_table.py";
    const QString example = QDir(QStringLiteral("/usr/share/inkscape/examples")).filePath(drawing);
    if (editor.isEmpty() || python.isEmpty() || !QFile::exists("/usr/share/inkscape/extensions/hpgl_output.py")
        || !QFile::exists(example) || !QFile::exists(script))
        QSKIP("inkscape (with its examples and HP-GL export) or /usr/bin/python3 is not installed: "
              "apt-get install inkscape python3-lxml python3-cssselect python3-numpy openclipart-svg");

    QTemporaryDir dir;
    QProcess exporter;
    exporter.start(python, {script, QStringLiteral("--reference"), example, dir.path()});
    QVERIFY(exporter.waitForFinished(240000));
    QVERIFY2(exporter.exitCode() == 0, exporter.readAllStandardError().constData());
    QFile exported(dir.filePath("reference.plt"));
    QVERIFY(exported.open(QIODevice::ReadOnly));
    CutPaths reference;
    for (const CutPaths& page : readPltPages(exported.readAll()))
        reference += page;

    QFile file(dir.filePath("prepared.svg")); // the drawing as the script gave it to the editor
    QVERIFY(file.open(QIODevice::ReadOnly));
    CutPaths ours;
    QString error;
    InputOptions input;
    input.allowMissingGlyphs = withoutMissing;
    QVERIFY2(convertDrawing(file.readAll(), CutOptions(), input, &ours, &error), qPrintable(error));
    ours = readPltPages(writePltPage(ours)).value(0);

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
