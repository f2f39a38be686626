#include "svgwriter.h"

#include <QDomDocument>
#include <QtTest>

using namespace ktconv;

class tst_SvgWriter : public QObject
{
    Q_OBJECT

private slots:
    void written_data();
    void written();
};

// Each row: a document, the element looked at (the first of its name, read back
// namespace-aware) and its attributes after writing, as name=value or name@namespace.
void tst_SvgWriter::written_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("element");
    QTest::addColumn<QStringList>("attributes");
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'>";
    // clang-format off
    QTest::newRow("its group's style: left out")
        << svg + "<g style='fill:red;stroke:blue'><path d='M0,0' style='fill:red;stroke:blue'/></g></svg>"
        << "path" << QStringList{"d=M0,0"};
    QTest::newRow("the page's style: left out")
        << svg.left(svg.size() - 1) + " style='font-size:12'><path d='M0,0' style='font-size:12'/></svg>"
        << "path" << QStringList{"d=M0,0"};
    QTest::newRow("a style unlike its group's: kept")
        << svg + "<g style='fill:red'><path d='M0,0' style='fill:blue'/></g></svg>"
        << "path" << QStringList{"d=M0,0", "style=fill:blue"};
    QTest::newRow("opacity is not inherited: kept")
        << svg + "<g style='opacity:0.5'><path d='M0,0' style='opacity:0.5'/></g></svg>"
        << "path" << QStringList{"d=M0,0", "style=opacity:0.5"};
    QTest::newRow("a paint server: kept")
        << svg + "<g style='fill:url(#a)'><path d='M0,0' style='fill:url(#a)'/></g></svg>"
        << "path" << QStringList{"d=M0,0", "style=fill:url(#a)"};
    QTest::newRow("inside a link, not a group: kept")
        << svg + "<a style='fill:red'><path d='M0,0' style='fill:red'/></a></svg>"
        << "path" << QStringList{"d=M0,0", "style=fill:red"};
    QTest::newRow("a prefixed attribute keeps its namespace")
        << svg + "<linearGradient id='b' xlink:href='#a'/></svg>"
        << "linearGradient" << QStringList{"href@http://www.w3.org/1999/xlink=#a", "id=b"};
    QTest::newRow("prefixed elements keep theirs")
        << QByteArray("<s:svg xmlns:s='http://www.w3.org/2000/svg'><s:rect width='1'/></s:svg>")
        << "rect" << QStringList{"width=1"};
    // clang-format on
}

void tst_SvgWriter::written()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, element);
    QFETCH(QStringList, attributes);
    QDomDocument in, out;
    QVERIFY(in.setContent(document, true));
    const QByteArray text = writeSvgDocument(in);
    QVERIFY2(out.setContent(text, true), text.constData());
    const QDomElement found =
        out.elementsByTagNameNS(QStringLiteral("http://www.w3.org/2000/svg"), element).item(0).toElement();
    QVERIFY2(!found.isNull(), text.constData());
    QStringList seen;
    const QDomNamedNodeMap map = found.attributes();
    for (int i = 0; i < map.count(); ++i) {
        const QDomAttr a = map.item(i).toAttr();
        const QString ns = a.namespaceURI().isEmpty() ? QString() : QLatin1Char('@') + a.namespaceURI();
        seen << a.localName() + ns + QLatin1Char('=') + a.value();
    }
    seen.sort();
    QCOMPARE(seen, attributes);
}

QTEST_APPLESS_MAIN(tst_SvgWriter)
#include "tst_svgwriter.moc"
