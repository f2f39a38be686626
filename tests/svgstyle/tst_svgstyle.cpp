#include "svgstyle.h"

#include <QDomDocument>
#include <QtTest>

using namespace ktconv;

class tst_SvgStyle : public QObject
{
    Q_OBJECT

private slots:
    void declarations_data();
    void declarations();
    void fontSizes_data();
    void fontSizes();
    void sheetMatches_data();
    void sheetMatches();
};

void tst_SvgStyle::declarations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "fill:red;stroke : BLUE"
                           << "stroke"
                           << "BLUE";
    QTest::newRow("important") << "fill:red !important"
                               << "fill"
                               << "red";
    QTest::newRow("important, no space") << "fill: url(#a)!important ;"
                                         << "fill"
                                         << "url(#a)";
    QTest::newRow("important with tabs") << "stroke-width:2\t \t!important"
                                         << "stroke-width"
                                         << "2";
    QTest::newRow("not at the end") << "fill: red !important blue"
                                    << "fill"
                                    << "red !important blue";
    QTest::newRow("upper-case name") << "FILL:none"
                                     << "fill"
                                     << "none";
    QTest::newRow("font shorthand: size") << "font: italic bold 12px/30px Georgia, serif"
                                          << "font-size"
                                          << "12px";
    QTest::newRow("font shorthand: family") << "font: italic bold 12px/30px Georgia, serif"
                                            << "font-family"
                                            << "Georgia, serif";
    QTest::newRow("font shorthand: line height") << "font: 12px/30px serif"
                                                 << "line-height"
                                                 << "30px";
}

void tst_SvgStyle::declarations()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QCOMPARE(parseDeclarations(text).value(name), value);
}

// Rows run one after another in one process: a size relative to the parent must follow
// each call's parent, not the first one's.
void tst_SvgStyle::fontSizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("parent");
    QTest::addColumn<double>("size");
    QTest::newRow("larger of 10") << "larger" << 10.0 << 12.0;
    QTest::newRow("larger of 20") << "larger" << 20.0 << 24.0;
    QTest::newRow("smaller of 12") << "smaller" << 12.0 << 10.0;
    QTest::newRow("smaller of 24") << " Smaller " << 24.0 << 20.0;
    QTest::newRow("keyword") << "medium" << 40.0 << 16.0;
    QTest::newRow("em") << "2em" << 10.0 << 20.0;
    QTest::newRow("percent") << "50%" << 30.0 << 15.0;
    QTest::newRow("mm") << "25.4mm" << 10.0 << 96.0;
    QTest::newRow("negative: the parent's") << "-3px" << 10.0 << 10.0;
    QTest::newRow("junk: the parent's") << "big" << 10.0 << 10.0;
}

void tst_SvgStyle::fontSizes()
{
    QFETCH(QString, text);
    QFETCH(double, parent);
    QFETCH(double, size);
    QCOMPARE(fontSizeInUserUnits(text, parent), size);
}

void tst_SvgStyle::sheetMatches_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<QString>("fill");
    QTest::newRow("type") << "<rect/>"
                          << "green";
    QTest::newRow("both classes") << "<rect class='b a'/>"
                                  << "red";
    QTest::newRow("classes apart by tab and newline") << "<rect class='\ta\n  b '/>"
                                                      << "red";
    QTest::newRow("one class of two") << "<rect class='a'/>"
                                      << "green";
    QTest::newRow("id above classes") << "<rect id='x' class='a b'/>"
                                      << "blue";
    QTest::newRow("no rule") << "<circle class='c'/>"
                             << "";
}

void tst_SvgStyle::sheetMatches()
{
    QFETCH(QString, element);
    QFETCH(QString, fill);
    StyleSheet sheet;
    sheet.add(QStringLiteral("/* a\n comment {fill:black} */ rect{fill:green} .a.b{fill:red} #x{fill:blue}"));
    QDomDocument document;
    QVERIFY(document.setContent(element));
    QCOMPARE(sheet.match(document.documentElement()).value(QStringLiteral("fill")), fill);
}

QTEST_GUILESS_MAIN(tst_SvgStyle)
#include "tst_svgstyle.moc"
