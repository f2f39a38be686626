#include "svgstyle.h"

#include <QDomDocument>
#include <QtTest>

using namespace ktconv;

class tst_SvgStyle : public QObject
{
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
};

// Each row one property read from a style attribute, a font size from its parent's, or a
// sheet's fill matched to an element. Rows run in one process one after another: a size
// relative to the parent must follow each call's parent, not the first one's.
void tst_SvgStyle::parsing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* kind, const char* text, const char* expected) {
        QTest::newRow(name) << QString(kind) << QString(text) << QString(expected);
    };
    row("important", "style", "fill:red !important;stroke:blue", "red");
    row("important, no space, tabs", "style", "fill: url(#a)\t!important ;", "url(#a)");
    row("important not at the end", "style", "fill: red !important b", "red !important b");
    row("larger of 10", "size 10", "larger", "12");
    row("larger of 20", "size 20", "larger", "24");
    row("no size: the parent's", "size 7", "", "7");
    row("classes apart by tab and newline", "sheet", "<rect class='\ta\n  b '/>", "red");
    row("id above classes", "sheet", "<rect id='x' class='a b'/>", "blue");
}

void tst_SvgStyle::parsing()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    if (kind == QLatin1String("style")) {
        QCOMPARE(parseDeclarations(text).value(QStringLiteral("fill")), expected);
    } else if (kind.startsWith(QLatin1String("size"))) {
        QCOMPARE(fontSizeInUserUnits(text, kind.mid(5).toDouble()), expected.toDouble());
    } else {
        StyleSheet sheet;
        sheet.add(QStringLiteral("/* .a{fill:black} */ rect{fill:green} .a.b{fill:red} #x{fill:blue}"));
        QDomDocument document;
        QVERIFY(document.setContent(text));
        QCOMPARE(sheet.match(document.documentElement()).value(QStringLiteral("fill")), expected);
    }
}

QTEST_GUILESS_MAIN(tst_SvgStyle)
#include "tst_svgstyle.moc"
