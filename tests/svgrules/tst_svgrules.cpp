#include "svgreader.h"
#include "svgviewport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace ktconv;

namespace {

// A 100 x 100 mm page of 100 user units: user units are millimetres, y downwards.
QByteArray page(const QByteArray& body,
                const QByteArray& root = "width=\"100mm\" height=\"100mm\" viewBox=\"0 0 100 100\"")
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" " + root + ">" + body
           + "</svg>";
}

// Bounds in mm on the page, y upwards from the page's bottom edge.
QRectF boundsMm(const SvgDrawing& drawing)
{
    const QRectF box = boundsOf(drawing.paths);
    return QRectF(box.topLeft() / UnitsPerMm, box.size() / UnitsPerMm);
}

QString describe(const QRectF& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

bool near(const QRectF& a, const QRectF& b, double tolerance)
{
    return std::abs(a.left() - b.left()) <= tolerance && std::abs(a.top() - b.top()) <= tolerance
           && std::abs(a.right() - b.right()) <= tolerance && std::abs(a.bottom() - b.bottom()) <= tolerance;
}

} // namespace

class tst_SvgRules : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void cascade_data();
    void cascade();
    void aspectRatio_data();
    void aspectRatio();
    void sameGeometry_data();
    void sameGeometry();
    void textAgainstEditor_data();
    void textAgainstEditor();
};

// clang-format off
void tst_SvgRules::rules_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<int>("paths");      // -1: the font decides
    QTest::addColumn<QRectF>("expectedMm"); // null: not checked
    QTest::addColumn<QString>("note");    // part of a warning, or of the refusal when no paths

    // Every invisible case sits beside the one square that shows, at the page's top-left.
    const QByteArray seen = "<rect width=\"10\" height=\"10\"/>";
    const QRectF square(0, 90, 10, 10);
    QTest::newRow("no fill and no stroke") << page(seen + "<rect x=\"50\" y=\"50\" width=\"20\" height=\"20\" fill=\"none\"/>") << 1 << square << QString();
    QTest::newRow("opacity 0 on a group") << page(seen + "<g style=\"opacity:0\"><g><rect x=\"50\" width=\"20\" height=\"20\"/></g></g>") << 1 << square << QString();
    QTest::newRow("opacity 0 on the shape") << page(seen + "<rect opacity=\"0\" x=\"50\" width=\"20\" height=\"20\" stroke=\"red\"/>") << 1 << square << QString();
    QTest::newRow("fill-opacity 0, no stroke") << page(seen + "<rect style=\"fill-opacity:0\" x=\"50\" width=\"20\" height=\"20\"/>") << 1 << square << QString();
    QTest::newRow("stroke-opacity 0, no fill") << page(seen + "<rect fill=\"none\" stroke=\"red\" stroke-opacity=\"0\" x=\"50\" width=\"20\" height=\"20\"/>") << 1 << square << QString();
    QTest::newRow("visibility hidden from a class") << page("<style>.off { visibility: hidden }</style>" + seen + "<rect class=\"off\" x=\"50\" width=\"20\" height=\"20\"/>") << 1 << square << QString();
    QTest::newRow("visible child of a hidden group") << page("<g visibility=\"hidden\"><rect visibility=\"visible\" width=\"10\" height=\"10\"/><rect x=\"50\" width=\"9\" height=\"9\"/></g>") << 1 << square << QString();
    QTest::newRow("display none from an id rule") << page("<style>#gone{display:none}</style>" + seen + "<g id=\"gone\"><rect x=\"50\" width=\"20\" height=\"20\"/></g>") << 1 << square << QString();
    QTest::newRow("style wins over the attribute") << page("<rect fill=\"none\" style=\"fill:black\" width=\"10\" height=\"10\"/><rect fill=\"black\" style=\"fill:none\" x=\"50\" width=\"20\" height=\"20\"/>") << 1 << square << QString();
    QTest::newRow("line with a fill and no stroke") << page(seen + "<line x1=\"50\" y1=\"50\" x2=\"90\" y2=\"90\" fill=\"black\"/>") << 1 << square << QString();

    // Geometry Qt SVG gets wrong on its own, each worked out by hand.
    QTest::newRow("nested svg with its own viewBox") << page("<svg x=\"10\" y=\"10\" width=\"20\" height=\"20\" viewBox=\"0 0 200 200\"><rect width=\"200\" height=\"100\"/></svg>") << 1 << QRectF(10, 80, 20, 10) << QString();
    // 100 x 50 mm page, square viewBox: half a mm per unit, centred across.
    QTest::newRow("root preserveAspectRatio default meet") << page("<rect width=\"100\" height=\"100\"/>", "width=\"100mm\" height=\"50mm\" viewBox=\"0 0 100 100\"") << 1 << QRectF(25, 0, 50, 50) << QString();
    QTest::newRow("root preserveAspectRatio xMaxYMax") << page("<rect width=\"100\" height=\"100\"/>", "width=\"100mm\" height=\"50mm\" viewBox=\"0 0 100 100\" preserveAspectRatio=\"xMaxYMax meet\"") << 1 << QRectF(50, 0, 50, 50) << QString();
    QTest::newRow("root preserveAspectRatio none") << page("<rect width=\"100\" height=\"100\"/>", "width=\"100mm\" height=\"50mm\" viewBox=\"0 0 100 100\" preserveAspectRatio=\"none\"") << 1 << QRectF(0, 0, 100, 50) << QString();
    // A page width in percent is the viewBox's width in CSS pixels: 100 px is 26.458 mm
    // across a 100 mm page, so the square meets the width and is centred down the page.
    QTest::newRow("root width in percent, height in mm") << page("<rect width=\"100\" height=\"100\"/>", "width=\"100%\" height=\"100mm\" viewBox=\"0 0 100 100\"") << 1 << QRectF(0, 36.771, 26.458, 26.458) << QString();
    // DejaVu Sans at 12 px: an H's stem starts 201/2048 em in, its cap is 1493/2048 em high.
    QTest::newRow("text with no size is 12 px") << page("<text x=\"10\" y=\"50\" font-family=\"DejaVu Sans\">H</text>") << 1 << QRectF(11.178, 50, 6.668, 8.748) << QString();
    QTest::newRow("percent lengths on a rect") << page("<rect x=\"10%\" y=\"20%\" width=\"50%\" height=\"10%\"/>") << 1 << QRectF(10, 70, 50, 10) << QString();
    QTest::newRow("percent radius of the viewport's diagonal") << page("<circle cx=\"50%\" cy=\"50%\" r=\"10%\"/>") << 1 << QRectF(40, 40, 20, 20) << QString();
    QTest::newRow("symbol used with a size; unused symbol not cut") << page("<symbol id=\"s\" viewBox=\"0 0 10 10\"><rect width=\"10\" height=\"10\"/></symbol><symbol id=\"u\"><rect x=\"80\" y=\"80\" width=\"10\" height=\"10\"/></symbol><use xlink:href=\"#s\" x=\"20\" y=\"20\" width=\"30\" height=\"30\"/>") << 1 << QRectF(20, 50, 30, 30) << QString();
    QTest::newRow("clone of a clone, href without xlink") << page("<rect id=\"a\" width=\"10\" height=\"10\"/><use id=\"b\" href=\"#a\" x=\"20\"/><use href=\"#b\" y=\"20\"/>") << 3 << QRectF(0, 70, 30, 30) << QString();
    QTest::newRow("filled and stroked polyline cut once") << page("<polyline points=\"10,10 50,10 50,50\" fill=\"black\" stroke=\"red\"/>") << 1 << QRectF(10, 50, 40, 40) << QString();
    // 96 user units on a one-inch page: a user unit is a CSS pixel.
    QTest::newRow("mm and inches inside the drawing, 96 per inch") << page("<rect width=\"10mm\" height=\"0.5in\"/>", "width=\"1in\" height=\"1in\" viewBox=\"0 0 96 96\"") << 1 << QRectF(0, 12.7, 10, 12.7) << QString();
    const QByteArray arrow = "<marker id=\"m\" viewBox=\"0 0 10 10\" refX=\"10\" refY=\"5\" markerWidth=\"4\" markerHeight=\"4\" orient=\"auto\"><path d=\"M0,0 L10,5 L0,10 z\"/></marker>";
    QTest::newRow("arrowhead marker at the end") << page(arrow + "<path d=\"M10,10 L50,10\" stroke=\"black\" marker-end=\"url(#m)\"/>") << 2 << QRectF(10, 88, 40, 4) << QString();
    QTest::newRow("marker turned to the path, from a sheet") << page("<style>path.a{marker-end:url(#m)}</style>" + arrow + "<path class=\"a\" d=\"M10,10 L10,50\" stroke=\"black\"/>") << 2 << QRectF(8, 50, 4, 40) << QString();
    const QByteArray clip = "<clipPath id=\"c\"><rect x=\"5\" width=\"20\" height=\"5\" fill=\"none\"/></clipPath>";
    QTest::newRow("filled shape cut where its clip shows") << page(clip + "<rect clip-path=\"url(#c)\" width=\"10\" height=\"10\"/>") << 1 << QRectF(5, 95, 5, 5) << QString();
    QTest::newRow("clip in the shape's transformed space") << page(clip + "<rect clip-path=\"url(#c)\" transform=\"translate(50,50)\" width=\"10\" height=\"10\"/>") << 1 << QRectF(55, 45, 5, 5) << QString();
    QTest::newRow("filled shape outside its clip not cut") << page(seen + clip + "<rect clip-path=\"url(#c)\" y=\"50\" width=\"10\" height=\"10\"/>") << 1 << square << QString();
    QTest::newRow("clipped group: each shape where it shows") << page(clip + "<g clip-path=\"url(#c)\"><rect width=\"10\" height=\"10\"/><rect x=\"20\" y=\"20\" width=\"5\" height=\"5\"/></g>") << 1 << QRectF(5, 95, 5, 5) << QString();
    QTest::newRow("group clip seen through a child's transform") << page(clip + "<g clip-path=\"url(#c)\"><rect transform=\"translate(-5,-5) scale(2)\" width=\"10\" height=\"10\"/></g>") << 1 << QRectF(5, 95, 10, 5) << QString();
    QTest::newRow("stroked line cut where it crosses the clip") << page(clip + "<path clip-path=\"url(#c)\" d=\"M0,2 L50,2\" fill=\"none\" stroke=\"black\"/>") << 1 << QRectF(5, 98, 20, 0) << QString();
    QTest::newRow("stroked ring in two pieces") << page(clip + "<rect clip-path=\"url(#c)\" x=\"10\" y=\"-5\" width=\"10\" height=\"20\" fill=\"none\" stroke=\"black\"/>") << 2 << QRectF(10, 95, 10, 5) << QString();
    QTest::newRow("clip and an ancestor's clip meet") << page(clip + "<clipPath id=\"d\"><rect width=\"8\" height=\"100\"/></clipPath><g clip-path=\"url(#d)\"><rect clip-path=\"url(#c)\" width=\"10\" height=\"10\"/></g>") << 1 << QRectF(5, 95, 3, 5) << QString();
    QTest::newRow("clip in bounding-box units") << page("<clipPath id=\"b\" clipPathUnits=\"objectBoundingBox\"><rect width=\"0.5\" height=\"1\"/></clipPath><rect clip-path=\"url(#b)\" x=\"20\" y=\"20\" width=\"40\" height=\"10\"/>") << 1 << QRectF(20, 70, 20, 10) << QString();
    QTest::newRow("clipped text keeps only what shows") << page(clip + "<text clip-path=\"url(#c)\" x=\"40\" y=\"50\" font-size=\"10\">ABC</text>") << 0 << QRectF() << QString();
    QTest::newRow("mask: union of its visible shapes, noted") << page("<mask id=\"m\"><rect width=\"5\" height=\"5\" fill=\"white\"/><rect x=\"50\" width=\"5\" height=\"5\" display=\"none\"/></mask><g mask=\"url(#m)\"><rect width=\"10\" height=\"10\"/><rect x=\"50\" width=\"10\" height=\"10\"/></g>") << 1 << QRectF(0, 95, 5, 5) << QStringLiteral("masks are cut as the outline of their visible shapes");
    QTest::newRow("a group cloning itself ends with a note") << page("<g id=\"g\"><rect width=\"10\" height=\"10\"/><use href=\"#g\"/></g>") << 33 << square << QStringLiteral("nested deeper than 32");
    QTest::newRow("nested svg: percent size, xMaxYMid") << page("<svg x=\"10%\" width=\"20%\" height=\"10%\" viewBox=\"0 0 10 10\" preserveAspectRatio=\"xMaxYMid\"><rect width=\"10\" height=\"10\"/></svg>") << 1 << QRectF(20, 90, 10, 10) << QString();
    QTest::newRow("beyond the range through a transform") << page("<g transform=\"scale(1e7)\"><rect width=\"10\" height=\"10\"/></g>") << 0 << QRectF() << QStringLiteral("beyond the plotter's coordinate range");
    QTest::newRow("editor's prefix before its declaration") << page(seen, "version=\"1.1\" inkscape:version=\"1.2\" xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" width=\"100mm\" height=\"100mm\" viewBox=\"0 0 100 100\"") << 1 << square << QString();
    const QByteArray picture = "<image width=\"20\" height=\"20\" xlink:href=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==\"/>";
    QTest::newRow("only a picture: pointed to tracing") << page(picture) << 0 << QRectF() << QStringLiteral("to trace it");
    QTest::newRow("a picture beside a shape: noted") << page(seen + picture) << 1 << square << QStringLiteral("1 picture(s) in the drawing are not cut");
    // The square above, gzipped as an .svgz file is.
    const QByteArray svgz("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x4d\x8c\x41\x0e\x80\x20\x0c\x04\xbf\xd2\xf4\x01\xb6\xea\xcd\x00\x07\xbf\xa2\x04\x48\x44\x0c\x36\xd6\xe7\xab\x17\xf5\xb0\x87\xdd\xcc\xac\xd9\x8f\x00\x67\x5e\xd6\xdd\x62\x14\xd9\x06\x22\x55\x6d\xb4\x6f\x4a\x0d\xd4\x31\x33\xdd\x04\x82\xa6\x59\xa2\xc5\x96\x39\x67\x84\xe8\x53\x88\xf2\xd6\x23\x79\x1d\xcb\x69\x91\x81\xe1\xde\x9e\xa0\x33\xd5\x4f\xf2\x89\x7f\x0b\xc9\x99\xe7\xd7\x5d\x81\x00\x6c\xf2\x7f\x00\x00\x00", 112);
    QTest::newRow("gzipped drawing") << svgz << 1 << square << QString();
    QTest::newRow("gzipped drawing cut short") << svgz.left(40) << 0 << QRectF() << QStringLiteral("not a readable SVG document");
    QTest::newRow("beyond the plotter's range refused") << page("<rect width=\"100000000\" height=\"10\"/>") << 0 << QRectF() << QStringLiteral("beyond the plotter's coordinate range");

    // Text: lines, paths and frames.
    QTest::newRow("character no font has: noted, no box") << page("<text x=\"10\" y=\"50\" font-size=\"10\">\xee\x80\x80</text>") << 0 << QRectF() << QStringLiteral("(U+E000)");
    QTest::newRow("text on a path that is missing") << page("<text font-size=\"10\"><textPath xlink:href=\"#none\">AB</textPath></text>") << 0 << QRectF() << QStringLiteral("cannot be found");
}
// clang-format on

void tst_SvgRules::rules()
{
    QFETCH(QByteArray, svg);
    QFETCH(int, paths);
    QFETCH(QRectF, expectedMm);
    QFETCH(QString, note);

    SvgDrawing drawing;
    QString error;
    const bool read = readSvg(svg, &drawing, &error);
    QString said = drawing.warnings.join(QLatin1Char('\n')) + error;
    for (const MissingGlyph& glyph : drawing.missingGlyphs) // listed apart from the notes
        said += glyph.describe();
    QVERIFY2(note.isEmpty() || said.contains(note), qPrintable(said));
    if (!read) { // only a refusal the row expects, with its reason checked above
        QVERIFY2(paths == 0 && !note.isEmpty(), qPrintable(error));
        return;
    }
    QCOMPARE(drawing.paths.size(), paths);
    if (!expectedMm.isNull())
        QVERIFY2(near(boundsMm(drawing), expectedMm, 0.01), qPrintable(describe(boundsMm(drawing))));
}

// Which declaration decides whether a 10 mm square is filled (and so cut): the rules of
// the cascade and of inheritance.
void tst_SvgRules::cascade_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QByteArray>("square"); // the rect's attributes, inside `around`
    QTest::addColumn<QByteArray>("around"); // a group's attributes
    QTest::addColumn<bool>("cut");

    // clang-format off
    QTest::newRow("id rule beats a later class rule") << QByteArray("#a{fill:black} .c{fill:none}") << QByteArray("id=\"a\" class=\"c\"") << QByteArray() << true;
    QTest::newRow("class rule beats a later type rule") << QByteArray(".c{fill:none} rect{fill:black}") << QByteArray("class=\"c\"") << QByteArray() << false;
    QTest::newRow("the later of equal rules wins") << QByteArray(".c{fill:none} .c{fill:black}") << QByteArray("class=\"c\"") << QByteArray() << true;
    QTest::newRow("a sheet beats the attribute") << QByteArray(".c{fill:none}") << QByteArray("class=\"c\" fill=\"black\"") << QByteArray() << false;
    QTest::newRow("style beats the sheet") << QByteArray(".c{fill:none}") << QByteArray("class=\"c\" style=\"fill:black\"") << QByteArray() << true;
    QTest::newRow("one of several classes, in a selector list") << QByteArray("p, .x{fill:none}") << QByteArray("class=\"c x\"") << QByteArray() << false;
    QTest::newRow("!important and comments read") << QByteArray("/* off */ .c{fill:none !important}") << QByteArray("class=\"c\"") << QByteArray() << false;
    QTest::newRow("a rule with a combinator is not applied") << QByteArray("g .c{fill:none}") << QByteArray("class=\"c\"") << QByteArray() << true;
    QTest::newRow("fill inherited from the group") << QByteArray() << QByteArray() << QByteArray("fill=\"none\"") << false;
    QTest::newRow("inherit keyword") << QByteArray() << QByteArray("fill=\"inherit\"") << QByteArray("style=\"fill:none\"") << false;
    QTest::newRow("own fill over the group's") << QByteArray() << QByteArray("style=\"fill:red\"") << QByteArray("fill=\"none\"") << true;
    QTest::newRow("opacity is not inherited but multiplies") << QByteArray() << QByteArray("opacity=\"1\"") << QByteArray("opacity=\"0\"") << false;
    QTest::newRow("stroke of width 0 only") << QByteArray() << QByteArray("fill=\"none\" stroke=\"black\" stroke-width=\"0\"") << QByteArray() << false;
    QTest::newRow("visibility collapse") << QByteArray() << QByteArray() << QByteArray("style=\"visibility:collapse\"") << false;
    QTest::newRow("display none on the group") << QByteArray() << QByteArray() << QByteArray("display=\"none\"") << false;
    // clang-format on
}

void tst_SvgRules::cascade()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QByteArray, square);
    QFETCH(QByteArray, around);
    QFETCH(bool, cut);

    const QByteArray body = "<style>" + sheet + "</style><circle cx=\"90\" cy=\"90\" r=\"5\"/><g " + around
                            + "><rect width=\"10\" height=\"10\" " + square + "/></g>";
    SvgDrawing drawing;
    QString error;
    QVERIFY2(readSvg(page(body), &drawing, &error), qPrintable(error));
    QCOMPARE(drawing.paths.size(), cut ? 2 : 1);
}

// A 50 x 50 viewBox onto a 200 x 100 viewport: meet scales by 2 with 100 to spare across,
// slice by 4 with 100 cut off down the page.
void tst_SvgRules::aspectRatio_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QTransform>("expected");

    QTest::newRow("default") << QString() << QTransform(2, 0, 0, 2, 50, 0);
    QTest::newRow("xMinYMin meet") << QStringLiteral("xMinYMin meet") << QTransform(2, 0, 0, 2, 0, 0);
    QTest::newRow("xMaxYMid") << QStringLiteral("xMaxYMid") << QTransform(2, 0, 0, 2, 100, 0);
    QTest::newRow("xMidYMid slice") << QStringLiteral("xMidYMid slice") << QTransform(4, 0, 0, 4, 0, -50);
    QTest::newRow("xMinYMax slice") << QStringLiteral("xMinYMax slice") << QTransform(4, 0, 0, 4, 0, -100);
    QTest::newRow("none") << QStringLiteral("none") << QTransform(4, 0, 0, 2, 0, 0);
    QTest::newRow("defer is read past") << QStringLiteral("defer xMinYMin") << QTransform(2, 0, 0, 2, 0, 0);
}

void tst_SvgRules::aspectRatio()
{
    QFETCH(QString, rule);
    QFETCH(QTransform, expected);
    QCOMPARE(viewportTransform(QRectF(0, 0, 200, 100), QRectF(0, 0, 50, 50), rule), expected);
}

// Two ways of writing the same drawing cut the same: the first is a rule the reader must
// follow, the second its plainest form.
void tst_SvgRules::sameGeometry_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<QByteArray>("plain");

    const QByteArray font = "font-family=\"DejaVu Sans\" ";
    QTest::newRow("font size in pt at 96 per inch")
        << page("<text " + font + "x=\"10\" y=\"50\" font-size=\"12pt\">Ag</text>")
        << page("<text " + font + "x=\"10\" y=\"50\" font-size=\"16\">Ag</text>");
    QTest::newRow("font shorthand") << page("<text x=\"10\" y=\"50\" style=\"font: bold 12px 'DejaVu Sans'\">Ag</text>")
                                    << page("<text " + font
                                            + "x=\"10\" y=\"50\" font-weight=\"bold\" font-size=\"12\">Ag</text>");
    QTest::newRow("font from a class in a style sheet") << page(
        "<style>.t { font-size: 20px; font-family: 'DejaVu Sans' }</style><text class=\"t\" x=\"5\" y=\"50\">Ag</text>")
                                                        << page("<text " + font
                                                                + "x=\"5\" y=\"50\" font-size=\"20\">Ag</text>");
    QTest::newRow("dy moves a line down from the last")
        << page("<text " + font + "font-size=\"8\" x=\"10\" y=\"20\">H<tspan x=\"10\" dy=\"15\">H</tspan></text>")
        << page("<text " + font
                + "font-size=\"8\"><tspan x=\"10\" y=\"20\">H</tspan><tspan x=\"10\" y=\"35\">H</tspan></text>");
    QTest::newRow("per-character x list")
        << page("<text " + font + "font-size=\"8\" x=\"10 30 50\" y=\"20\">HHH</text>")
        << page("<text " + font
                + "font-size=\"8\"><tspan x=\"10\" y=\"20\">H</tspan><tspan x=\"30\" y=\"20\">H</tspan><tspan x=\"50\" "
                  "y=\"20\">H</tspan></text>");
    QTest::newRow("spaces collapse outside xml:space preserve")
        << page("<text " + font + "font-size=\"8\" x=\"10\" y=\"20\">  A \n   B  </text>")
        << page("<text " + font + "font-size=\"8\" x=\"10\" y=\"20\">A B</text>");
    QTest::newRow("anchor end on a chunk ends at x")
        << page("<text " + font + "font-size=\"8\"><tspan x=\"50\" y=\"20\" text-anchor=\"end\">HI</tspan></text>")
        << page("<text " + font + "font-size=\"8\" x=\"50\" y=\"20\" text-anchor=\"end\">HI</text>");
}

void tst_SvgRules::sameGeometry()
{
    QFETCH(QByteArray, svg);
    QFETCH(QByteArray, plain);

    SvgDrawing a, b;
    QString error;
    QVERIFY2(readSvg(svg, &a, &error), qPrintable(error));
    QVERIFY2(readSvg(plain, &b, &error), qPrintable(error));
    QVERIFY(!b.paths.isEmpty());
    QCOMPARE(a.paths.size(), b.paths.size());
    QVERIFY2(near(boundsMm(a), boundsMm(b), 0.01), qPrintable(describe(boundsMm(a)) + " / " + describe(boundsMm(b))));
    QVERIFY(std::abs(penDownLength(a.paths) - penDownLength(b.paths)) < 0.5);
}

// The editor lays the same text out and turns it into outlines; both are read by the same
// reader, so only the text layout differs.
void tst_SvgRules::textAgainstEditor_data()
{
    QTest::addColumn<QByteArray>("svg");

    const QByteArray font = "font-family:'DejaVu Sans';font-size:8px;";
    QTest::newRow("three lines, the last by dy")
        << page("<text xml:space=\"preserve\" style=\"" + font
                + "\"><tspan x=\"10\" y=\"20\">Lettering</tspan>"
                  "<tspan x=\"10\" y=\"30\">cut as</tspan><tspan x=\"10\" dy=\"10\">seen</tspan></text>");
    QTest::newRow("anchors middle and end") << page("<text style=\"" + font
                                                    + "text-anchor:middle\" x=\"50\" y=\"20\">Centred</text>"
                                                      "<text style=\""
                                                    + font + "text-anchor:end\" x=\"90\" y=\"40\">Right</text>");
    QTest::newRow("text on an arc from 10%")
        << page("<path id=\"arc\" d=\"M 10 60 A 40 40 0 0 1 90 60\" fill=\"none\"/>"
                "<text style=\""
                + font + "\"><textPath xlink:href=\"#arc\" startOffset=\"10%\">Text along an arc</textPath></text>");
    QTest::newRow("flowed text in a rectangle")
        << page("<flowRoot style=\"" + font
                + "line-height:1.25\"><flowRegion><rect x=\"10\" y=\"10\" width=\"40\" "
                  "height=\"80\"/></flowRegion><flowPara>the quick brown fox jumps over the lazy dog</flowPara>"
                  "<flowPara>again</flowPara></flowRoot>");
    const QByteArray words = "the quick brown fox jumps over the lazy dog and runs away";
    QTest::newRow("justified lines on both sides of a hole")
        << page("<flowRoot style=\"" + font
                + "text-align:justify\"><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"60\"/>"
                  "</flowRegion><flowRegionExclude><rect x=\"40\" y=\"20\" width=\"15\" height=\"30\"/>"
                  "</flowRegionExclude><flowPara>"
                + words + "</flowPara></flowRoot>");
    QTest::newRow("both arms of a U, centred then set to the end")
        << page("<flowRoot style=\"" + font
                + "\"><flowRegion><path d=\"M10,10 H40 V50 H60 V10 H90 V80 H10 Z\"/></flowRegion>"
                  "<flowPara style=\"text-align:center\">"
                + words + "</flowPara><flowPara style=\"text-align:end\">" + words.left(19) + "</flowPara></flowRoot>");
    QTest::newRow("small paragraphs keep the frame's own line height")
        << page("<flowRoot style=\"font-family:'DejaVu Sans';font-size:14px\"><flowRegion><rect x=\"10\" y=\"10\" "
                "width=\"80\" height=\"80\"/></flowRegion><flowPara style=\"font-size:6px\">"
                + words + "</flowPara></flowRoot>");
    QTest::newRow("a soft hyphen breaks a word, undrawn")
        << page("<flowRoot style=\"" + font
                + "\"><flowRegion><rect x=\"10\" y=\"10\" width=\"45\" height=\"80\"/></flowRegion>"
                  "<flowPara>letter\xc2\xad"
                  "cutting machine\xc2\xad"
                  "ry</flowPara></flowRoot>");
}

void tst_SvgRules::textAgainstEditor()
{
    QFETCH(QByteArray, svg);
    const QString editor = QStandardPaths::findExecutable(QStringLiteral("inkscape"));
    if (editor.isEmpty())
        QSKIP("inkscape is not installed: apt-get install inkscape");
    QTemporaryDir dir;
    QFile source(dir.filePath(QStringLiteral("text.svg")));
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write(svg);
    source.close();
    const QString outlines = dir.filePath(QStringLiteral("outlines.svg"));
    QProcess process;
    process.start(editor, {QStringLiteral("--export-text-to-path"), QStringLiteral("--export-plain-svg"),
                           QStringLiteral("--export-filename=") + outlines, source.fileName()});
    QVERIFY(process.waitForFinished(240000));
    QFile exported(outlines);
    QVERIFY2(exported.open(QIODevice::ReadOnly), process.readAllStandardError().constData());

    SvgDrawing ours, theirs;
    QString error;
    QVERIFY2(readSvg(svg, &ours, &error), qPrintable(error));
    QVERIFY2(readSvg(exported.readAll(), &theirs, &error), qPrintable(error));
    QVERIFY(!theirs.paths.isEmpty());
    const QString numbers = describe(boundsMm(ours)) + " / " + describe(boundsMm(theirs));
    qInfo().noquote() << QTest::currentDataTag() << numbers;
    QCOMPARE(ours.paths.size(), theirs.paths.size());
    QVERIFY2(near(boundsMm(ours), boundsMm(theirs), 0.3), qPrintable(numbers));
    QVERIFY2(std::abs(penDownLength(ours.paths) / penDownLength(theirs.paths) - 1) < 0.03, qPrintable(numbers));
}

QTEST_MAIN(tst_SvgRules)
#include "tst_svgrules.moc"
