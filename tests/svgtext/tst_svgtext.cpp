#include "svgreader.h"

#include <QtTest>

#include <cmath>

using namespace ktconv;

namespace {

// A 100 x 100 mm page of 100 user units, text in DejaVu Sans (Debian's default font).
QByteArray page(const QByteArray& body)
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"100mm\" "
           "height=\"100mm\" viewBox=\"0 0 100 100\" font-family=\"DejaVu Sans\" font-size=\"8\">"
           + body + "</svg>";
}

QString describe(const QRectF& r)
{
    return QStringLiteral("%1,%2 %3x%4")
        .arg(r.x() / UnitsPerMm)
        .arg(r.y() / UnitsPerMm)
        .arg(r.width() / UnitsPerMm)
        .arg(r.height() / UnitsPerMm);
}

SvgDrawing read(const QByteArray& svg)
{
    SvgDrawing drawing;
    QString error;
    if (!readSvg(svg, &drawing, &error))
        qWarning() << "readSvg failed:" << error;
    return drawing;
}

} // namespace

class tst_SvgText : public QObject
{
    Q_OBJECT

private slots:
    void sameOutlines_data();
    void sameOutlines();
    void counts_data();
    void counts();
};

// Each text feature against the plainest drawing that means the same: the glyph outlines
// must land in the same place to a hundredth of a millimetre.
void tst_SvgText::sameOutlines_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<QByteArray>("plain");

    // clang-format off
    QTest::newRow("letter-spacing is space after each character")
        << page("<text x=\"10\" y=\"20\" letter-spacing=\"2\">HHH</text>")
        << page("<text x=\"10\" y=\"20\" dx=\"0 2 2\">HHH</text>");
    QTest::newRow("word-spacing widens each space")
        << page("<text x=\"10\" y=\"20\" word-spacing=\"5\">H H</text>")
        << page("<text x=\"10\" y=\"20\">H<tspan dx=\"5\"> </tspan>H</text>");
    QTest::newRow("xml:space keeps leading spaces, as wide as no-break ones")
        << page("<text x=\"10\" y=\"20\" xml:space=\"preserve\"><tspan>  </tspan><tspan>H</tspan></text>")
        << page("<text x=\"10\" y=\"20\">\xc2\xa0\xc2\xa0H</text>");
    QTest::newRow("zero shifts keep the pair kerned")
        << page("<text x=\"10\" y=\"20\" dx=\"0 0 0\" dy=\"0 0 0\" rotate=\"0\">AVA</text>")
        << page("<text x=\"10\" y=\"20\">AVA</text>");
    QTest::newRow("another namespace's font-size is no presentation attribute")
        << page("<text xmlns:e=\"urn:e\" x=\"10\" y=\"20\" e:font-size=\"40\">H</text>")
        << page("<text x=\"10\" y=\"20\">H</text>");
    QTest::newRow("rotate turns a character about its origin")
        << page("<text x=\"10\" y=\"20\" rotate=\"90\">H</text>")
        << page("<text x=\"10\" y=\"20\" transform=\"rotate(90 10 20)\">H</text>");
    QTest::newRow("the last rotate angle holds for the rest")
        << page("<text x=\"10 30\" y=\"20\" rotate=\"90\">HH</text>")
        << page("<text x=\"10\" y=\"20\" transform=\"rotate(90 10 20)\">H</text><text x=\"30\" y=\"20\" transform=\"rotate(90 30 20)\">H</text>");
    QTest::newRow("straight path: text on it is text on a line")
        << page("<path id=\"p\" d=\"M10,50 L200,50\" fill=\"none\"/><text><textPath href=\"#p\">Type</textPath></text>")
        << page("<text x=\"10\" y=\"50\">Type</text>");
    QTest::newRow("upward path turns the glyphs with it")
        << page("<path id=\"p\" d=\"M50,90 L50,10\" fill=\"none\"/><text><textPath xlink:href=\"#p\">Up</textPath></text>")
        << page("<text x=\"50\" y=\"90\" transform=\"rotate(-90 50 90)\">Up</text>");
    QTest::newRow("startOffset in percent of the path's length")
        << page("<path id=\"p\" d=\"M10,50 L90,50\" fill=\"none\"/><text><textPath href=\"#p\" startOffset=\"25%\">H</textPath></text>")
        << page("<text x=\"30\" y=\"50\">H</text>");
    QTest::newRow("anchor middle on a path centres on the offset")
        << page("<path id=\"p\" d=\"M0,50 L100,50\" fill=\"none\"/><text text-anchor=\"middle\"><textPath href=\"#p\" startOffset=\"50%\">Mid</textPath></text>")
        << page("<text x=\"50\" y=\"50\" text-anchor=\"middle\">Mid</text>");
    QTest::newRow("a text's y means nothing on a path")
        << page("<path id=\"p\" d=\"M10,50 L200,50\" fill=\"none\"/><text y=\"-70\"><textPath href=\"#p\">H</textPath></text>")
        << page("<text x=\"10\" y=\"50\">H</text>");
    QTest::newRow("glyphs past the path's end are left out")
        << page("<path id=\"p\" d=\"M10,50 L30,50\" fill=\"none\"/><text font-size=\"10\"><textPath href=\"#p\">HHHHHHHH</textPath></text>")
        << page("<text x=\"10\" y=\"50\" font-size=\"10\">HHH</text>");
    QTest::newRow("inline-size wraps at its width")
        << page("<text x=\"10\" y=\"20\" style=\"inline-size:30\">HH HH HH</text>")
        << page("<text><tspan x=\"10\" y=\"20\">HH HH</tspan><tspan x=\"10\" y=\"30\">HH</tspan></text>");
    QTest::newRow("flowRoot and shape-inside fill the same frame")
        << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"30\" height=\"80\"/></flowRegion><flowPara>one two three four five six</flowPara></flowRoot>")
        << page("<defs><rect id=\"r\" x=\"10\" y=\"10\" width=\"30\" height=\"80\"/></defs><text style=\"shape-inside:url(#r)\">one two three four five six</text>");
    QTest::newRow("paragraphs start new lines, empty ones too")
        << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\"/></flowRegion><flowPara>one</flowPara><flowPara/><flowPara>two</flowPara></flowRoot>")
        << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\"/></flowRegion><flowPara>one</flowPara><flowPara><flowLine/>two</flowPara></flowRoot>");
    QTest::newRow("a second region takes the lines the first cannot hold")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><rect x=\"10\" y=\"0\" width=\"80\" height=\"10\"/><rect x=\"10\" y=\"50\" width=\"80\" height=\"10\"/></flowRegion><flowPara>one</flowPara><flowPara>two</flowPara></flowRoot>")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><rect x=\"10\" y=\"0\" width=\"80\" height=\"10\"/></flowRegion><flowPara>one</flowPara></flowRoot>"
                "<flowRoot style=\"line-height:10px\"><flowRegion><rect x=\"10\" y=\"50\" width=\"80\" height=\"10\"/></flowRegion><flowPara>two</flowPara></flowRoot>");
    QTest::newRow("a stepped region is as wide as it is at each line")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><path d=\"M10,0 H30 V20 H90 V80 H10 Z\"/></flowRegion><flowPara>one two three four five six seven</flowPara></flowRoot>")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><rect x=\"10\" y=\"0\" width=\"20\" height=\"20\"/><rect x=\"10\" y=\"20\" width=\"80\" height=\"60\"/></flowRegion><flowPara>one two three four five six seven</flowPara></flowRoot>");
    QTest::newRow("shape-inside a path: a band too narrow is passed over")
        << page("<defs><path id=\"p\" d=\"M10,0 H12 V10 H90 V80 H10 Z\"/></defs><text style=\"shape-inside:url(#p);line-height:10px\">one two</text>")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><rect x=\"10\" y=\"0\" width=\"80\" height=\"80\"/></flowRegion><flowPara/><flowPara>one two</flowPara></flowRoot>");
    QTest::newRow("a slanted edge: a line starts where its band's top meets it")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><path d=\"M50,0 H90 V80 H10 Z\"/></flowRegion><flowPara>one</flowPara></flowRoot>")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><rect x=\"49.5\" y=\"0\" width=\"40.5\" height=\"80\"/></flowRegion><flowPara>one</flowPara></flowRoot>");
    QTest::newRow("an excluded shape is taken out of the region")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><rect x=\"10\" y=\"0\" width=\"80\" height=\"80\"/></flowRegion><flowRegionExclude><rect x=\"0\" y=\"0\" width=\"40\" height=\"10\"/></flowRegionExclude><flowPara>one</flowPara></flowRoot>")
        << page("<flowRoot style=\"line-height:10px\"><flowRegion><rect x=\"40\" y=\"0\" width=\"50\" height=\"80\"/></flowRegion><flowPara>one</flowPara></flowRoot>");
    QTest::newRow("a word wider than its frame is broken where each line ends")
        << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"20\" height=\"80\"/></flowRegion><flowPara>HHHHHHHH</flowPara></flowRoot>")
        << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"20\" height=\"80\"/></flowRegion><flowPara>HHH HHH HH</flowPara></flowRoot>");
    QTest::newRow("right-to-left words in a left-to-right paragraph start at the left")
        << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\"/></flowRegion><flowPara>\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d</flowPara></flowRoot>")
        << page("<flowRoot style=\"text-align:left\"><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\"/></flowRegion><flowPara>\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d</flowPara></flowRoot>");
    QTest::newRow("direction rtl: a justified paragraph's last line at the right")
        << page("<flowRoot style=\"direction:rtl;text-align:justify\"><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\"/></flowRegion><flowPara>\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d</flowPara></flowRoot>")
        << page("<flowRoot style=\"text-align:right\"><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\"/></flowRegion><flowPara>\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d</flowPara></flowRoot>");
    QTest::newRow("font-size in em and percent of the parent's")
        << page("<g font-size=\"10\"><text x=\"10\" y=\"50\" font-size=\"2em\">A<tspan font-size=\"50%\">b</tspan></text></g>")
        << page("<text x=\"10\" y=\"50\" font-size=\"20\">A<tspan font-size=\"10\">b</tspan></text>");
    QTest::newRow("a family list falls through to the first installed")
        << page("<text x=\"10\" y=\"50\" font-family=\"No Such Face, 'DejaVu Serif', serif\">Ag</text>")
        << page("<text x=\"10\" y=\"50\" font-family=\"DejaVu Serif\">Ag</text>");
    QTest::newRow("weight 700 is bold")
        << page("<text x=\"10\" y=\"50\" font-weight=\"700\">Ag</text>")
        << page("<text x=\"10\" y=\"50\" style=\"font-weight:bold\">Ag</text>");
    QTest::newRow("a tref takes the referenced element's text")
        << page("<defs><text id=\"t\">Ref</text></defs><text x=\"10\" y=\"50\"><tref xlink:href=\"#t\"/></text>")
        << page("<text x=\"10\" y=\"50\">Ref</text>");
    QTest::newRow("text in a symbol, used at a place")
        << page("<symbol id=\"s\"><text x=\"0\" y=\"10\">S</text></symbol><use href=\"#s\" x=\"20\" y=\"30\"/>")
        << page("<text x=\"20\" y=\"40\">S</text>");
    // clang-format on
}

void tst_SvgText::sameOutlines()
{
    QFETCH(QByteArray, svg);
    QFETCH(QByteArray, plain);

    const SvgDrawing a = read(svg), b = read(plain);
    QVERIFY(!b.paths.isEmpty());
    QCOMPARE(a.paths.size(), b.paths.size());
    const QRectF boxA = boundsOf(a.paths), boxB = boundsOf(b.paths);
    const double tolerance = 0.01 * UnitsPerMm;
    QVERIFY2(std::abs(boxA.left() - boxB.left()) < tolerance && std::abs(boxA.right() - boxB.right()) < tolerance
                 && std::abs(boxA.top() - boxB.top()) < tolerance
                 && std::abs(boxA.bottom() - boxB.bottom()) < tolerance,
             qPrintable(describe(boxA) + " / " + describe(boxB)));
    QVERIFY(std::abs(penDownLength(a.paths) - penDownLength(b.paths)) < tolerance);
}

// Outlines counted where the font's shapes are known: an "H" is one outline, an "O" two.
void tst_SvgText::counts_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<int>("paths");
    QTest::addColumn<QString>("note");

    // clang-format off
    QTest::newRow("three lines, one outline per H") << page("<text><tspan x=\"10\" y=\"20\">HH</tspan><tspan x=\"10\" y=\"30\">H</tspan></text>") << 3 << QString();
    QTest::newRow("a tspan with neither fill nor stroke is not cut") << page("<text x=\"10\" y=\"20\">H<tspan fill=\"none\">O</tspan>H</text>") << 2 << QString();
    QTest::newRow("a hidden tspan in a shown text") << page("<style>.h{visibility:hidden}</style><text x=\"10\" y=\"20\">O<tspan class=\"h\">H</tspan></text>") << 2 << QString();
    QTest::newRow("an invisible text with a shown tspan") << page("<text x=\"10\" y=\"20\" fill-opacity=\"0\">H<tspan fill-opacity=\"1\">O</tspan></text>") << 2 << QString();
    QTest::newRow("a character no font has is named, not boxed") << page("<text x=\"10\" y=\"20\">H\xee\x80\x80H</text>") << 2 << QString::fromUtf8("\"\xee\x80\x80\" (U+E000) in the text \"H\xee\x80\x80H\" at 10,20: no installed font has it (asked: DejaVu Sans)");
    QTest::newRow("an unassigned code point, in a text named by its id") << page("<text id=\"label\" x=\"10\" y=\"20\" font-family=\"DejaVu Serif\">A\xcd\xb8</text>") << 2 << QString::fromUtf8("\"\xcd\xb8\" (U+0378) in the text \"A\xcd\xb8\" (id label): no installed font has it (asked: DejaVu Serif)");
    QTest::newRow("flowed text: the character named, the rest still laid out") << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\"/></flowRegion><flowPara>H\xcd\xb8 O</flowPara></flowRoot>") << 3 << QStringLiteral("(U+0378) in the text \"H");
    QTest::newRow("flowed text below its frame is noted") << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"20\" height=\"12\"/></flowRegion><flowPara>H H H</flowPara></flowRoot>") << 2 << QStringLiteral("does not fit its frame");
    QTest::newRow("a flow frame is not cut") << page("<flowRoot><flowRegion><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\" stroke=\"black\"/></flowRegion><flowPara>O</flowPara></flowRoot>") << 2 << QString();
    // clang-format on
}

void tst_SvgText::counts()
{
    QFETCH(QByteArray, svg);
    QFETCH(int, paths);
    QFETCH(QString, note);

    const SvgDrawing drawing = read(svg);
    QCOMPARE(drawing.paths.size(), paths);
    QStringList said = drawing.warnings; // what is not cut: a note or a missing character
    for (const MissingGlyph& glyph : drawing.missingGlyphs)
        said << glyph.describe();
    const QString notes = said.join(QLatin1Char('\n'));
    QVERIFY2(note.isEmpty() ? notes.isEmpty() : notes.contains(note), qPrintable(notes));
}

QTEST_MAIN(tst_SvgText)
#include "tst_svgtext.moc"
