// What of a drawing is cut: an editor's layers, a DXF's layers, colours of fill or stroke,
// and the list of what a drawing has.
#include "../formats/formatstest.h"

#include "conversion.h"

#include <QtTest>

using namespace ktconv;

namespace {

// As a vector editor saves it: layers are groups marked by the editor's namespace, one
// with a sublayer, a clone in one layer of a shape in another, and a shape outside all.
// Red: fill of three shapes; blue: a stroke; black: the stroke of a red one; green: two.
QByteArray editorDrawing()
{
    QFile file(qEnvironmentVariable("KT_SOURCE_DIR") + QStringLiteral("/tests/layerchoice/layers.svg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Two layers, entities in red (colour 1), by layer and in true colour.
QByteArray dxfWithLayers()
{
    return formatstest::dxfDocument(4, "0 LINE 8 A 62 1 10 0 20 0 11 10 21 0 "
                                       "0 CIRCLE 8 A 62 256 10 50 20 0 40 5 "
                                       "0 LINE 8 B 420 65280 10 0 20 10 11 10 21 10 "
                                       "0 LINE 8 B 62 1 10 0 20 20 11 10 21 20");
}

} // namespace

class tst_LayerChoice : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
    void parts();
    void perforatedLayers_data();
    void perforatedLayers();
};

// Each row: the drawing, the layers and colours asked for, the paths cut (or the words of
// the refusal).
void tst_LayerChoice::choice_data()
{
    QTest::addColumn<QByteArray>("drawing");
    QTest::addColumn<QStringList>("layers");
    QTest::addColumn<QString>("colours");
    QTest::addColumn<int>("paths");
    QTest::addColumn<QString>("refusal");
    const QByteArray svg = editorDrawing();
    QTest::newRow("svg whole") << svg << QStringList() << QString() << 6 << QString();
    QTest::newRow("svg layer with its sublayer") << svg << QStringList{"Cut"} << QString() << 3 << QString();
    QTest::newRow("svg sublayer alone") << svg << QStringList{"Holes"} << QString() << 1 << QString();
    QTest::newRow("svg clone of a shape set aside") << svg << QStringList{"Print"} << QString() << 2 << QString();
    QTest::newRow("svg by fill") << svg << QStringList() << QStringLiteral("#FF0000") << 3 << QString();
    QTest::newRow("svg by stroke") << svg << QStringList() << QStringLiteral("#0000ff") << 1 << QString();
    QTest::newRow("svg two colours") << svg << QStringList() << QStringLiteral("#0000ff,#00ff00") << 3 << QString();
    QTest::newRow("svg layer and colour") << svg << QStringList{"Print"} << QStringLiteral("#00ff00") << 1 << QString();
    QTest::newRow("svg unknown layer") << svg << QStringList{"Cut", "Weed"} << QString() << 0
                                       << QStringLiteral("no layer \"Weed\"; its layers: Cut, Holes, Print");
    QTest::newRow("svg colour not in the layer")
        << svg << QStringList{"Holes"} << QStringLiteral("#00ff00") << 0
        << QStringLiteral("no shape in #00ff00; its colours: #ff0000, #000000");
    // Shapes that set no colour of their own take their group's, or the page's.
    const QByteArray groups =
        "<svg xmlns='http://www.w3.org/2000/svg' width='50mm' height='10mm' viewBox='0 0 50 10' fill='#0000ff'>"
        "<g fill='#ff0000' stroke='#000000'><rect width='5' height='5'/><rect x='10' width='5' height='5'/>"
        "<g><rect x='20' width='5' height='5'/></g></g><rect x='30' width='5' height='5'/>"
        "<g style='fill:#ff0000'><rect x='40' width='5' height='5' fill='#00ff00'/></g></svg>";
    QTest::newRow("svg fill of a group") << groups << QStringList() << QStringLiteral("#ff0000") << 3 << QString();
    QTest::newRow("svg stroke of a group") << groups << QStringList() << QStringLiteral("#000000") << 3 << QString();
    QTest::newRow("svg fill of the page") << groups << QStringList() << QStringLiteral("#0000ff") << 1 << QString();
    QTest::newRow("svg own fill in a group") << groups << QStringList() << QStringLiteral("#00ff00") << 1 << QString();
    const QByteArray dxf = dxfWithLayers();
    QTest::newRow("dxf layer") << dxf << QStringList{"A"} << QString() << 2 << QString();
    QTest::newRow("dxf unknown layer") << dxf << QStringList{"C"} << QString() << 0
                                       << QStringLiteral("no layer \"C\"; its layers: A, B");
    QTest::newRow("dxf by index colour") << dxf << QStringList() << QStringLiteral("#ff0000") << 2 << QString();
    QTest::newRow("dxf by true colour") << dxf << QStringList() << QStringLiteral("#00ff00") << 1 << QString();
    QTest::newRow("pdf layers") << formatstest::pdfDocument({"0 0 10 10 re f"}) << QStringList{"A"} << QString() << 0
                                << QStringLiteral("cannot be chosen");
}

void tst_LayerChoice::choice()
{
    QFETCH(QByteArray, drawing);
    QFETCH(QStringList, layers);
    QFETCH(QString, colours);
    QFETCH(int, paths);
    QFETCH(QString, refusal);
    InputOptions input;
    input.choice.layers = layers;
    QString error;
    QVERIFY(colours.isEmpty() || parseColours(colours, &input.choice.colours, &error));
    CutOptions options;
    options.keepOrder = true;
    CutPaths page;
    const bool converted = convertDrawing(drawing, options, input, &page, &error);
    if (!refusal.isEmpty()) {
        QVERIFY2(!converted && error.contains(refusal), qPrintable(error));
        return;
    }
    QVERIFY2(converted, qPrintable(error));
    QCOMPARE(page.size(), paths);
}

void tst_LayerChoice::parts()
{
    DrawingParts parts;
    QString error;
    QVERIFY2(listDrawingParts(editorDrawing(), InputOptions(), &parts, &error), qPrintable(error));
    const QVector<QPair<QString, int>> layers{{"Cut", 3}, {"Holes", 1}, {"Print", 2}};
    QCOMPARE(parts.layers, layers);
    // The small red square is filled and stroked: counted under both colours.
    const QVector<QPair<QRgb, int>> colours{{0xffff0000, 3}, {0xff0000ff, 1}, {0xff000000, 1}, {0xff00ff00, 2}};
    QCOMPARE(parts.colours, colours);
}

// Each row: the drawing, the layers cut and perforated, a weed box or not, and how many
// paths come out whole (found point for point in the job converted unperforated), or the
// words of the refusal.
void tst_LayerChoice::perforatedLayers_data()
{
    QTest::addColumn<QByteArray>("drawing");
    QTest::addColumn<QStringList>("layers");
    QTest::addColumn<QStringList>("perforate");
    QTest::addColumn<bool>("weedBox");
    QTest::addColumn<int>("whole");
    QTest::addColumn<QString>("refusal");
    const QByteArray svg = editorDrawing();
    QTest::newRow("sublayer") << svg << QStringList() << QStringList{"Holes"} << false << 5 << QString();
    QTest::newRow("layer with its sublayer; shape outside all whole")
        << svg << QStringList() << QStringList{"Cut"} << false << 3 << QString();
    QTest::newRow("two layers, weed box whole")
        << svg << QStringList() << QStringList{"Cut", "Print"} << true << 2 << QString();
    QTest::newRow("sublayer of the layer cut")
        << svg << QStringList{"Cut"} << QStringList{"Holes"} << false << 2 << QString();
    QTest::newRow("unknown layer") << svg << QStringList() << QStringList{"Weed"} << false << 0
                                   << QStringLiteral("no layer \"Weed\"; its layers: Cut, Holes, Print");
    QTest::newRow("dxf layer") << dxfWithLayers() << QStringList() << QStringList{"A"} << false << 2 << QString();
}

void tst_LayerChoice::perforatedLayers()
{
    QFETCH(QByteArray, drawing);
    QFETCH(QStringList, layers);
    QFETCH(QStringList, perforate);
    QFETCH(bool, weedBox);
    QFETCH(int, whole);
    QFETCH(QString, refusal);
    InputOptions input;
    input.choice.layers = layers;
    CutOptions plain;
    plain.keepOrder = true;
    plain.weedBoxMm = weedBox ? 2 : 0;
    CutOptions options = plain;
    options.perforateCutMm = options.perforateGapMm = 1;
    options.perforateLayers = perforate;
    CutPaths uncut, page;
    QString error;
    QVERIFY2(convertDrawing(drawing, plain, input, &uncut, &error), qPrintable(error));
    const bool converted = convertDrawing(drawing, options, input, &page, &error);
    QVERIFY2(converted == refusal.isEmpty() && error.contains(refusal), qPrintable(error));
    if (!converted)
        return;
    int kept = 0;
    double wholeLength = 0;
    for (const CutPath& path : uncut) {
        if (std::any_of(page.begin(), page.end(), [&path](const CutPath& out) { return out.points == path.points; })) {
            ++kept;
            wholeLength += pathLength(path);
        }
    }
    QCOMPARE(kept, whole);
    // The others in 1 mm pieces, 1 mm left standing: half their length, give or take the
    // last piece of each.
    const double rest = penDownLength(uncut) - wholeLength;
    QVERIFY(std::abs(penDownLength(page) - wholeLength - rest / 2) <= UnitsPerMm * (uncut.size() - kept));
}

QTEST_MAIN(tst_LayerChoice)
#include "tst_layerchoice.moc"
