#include "conversion.h"
#include "lettering.h"
#include "simprocess.h"

#include <QFontMetricsF>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QtTest>

using namespace ktconv;

namespace {

Lettering layOut(const QString& text, LetteringOptions options, const QString& family = QStringLiteral("DejaVu Sans"))
{
    options.family = family;
    Lettering result;
    QString error;
    return layOutLettering(text.split(QLatin1Char('\n')), options, &result, &error) ? result : Lettering();
}

// Ink in square millimetres, counted in pixels of 0.05 mm.
double inkArea(const QPainterPath& path)
{
    const QRectF box = path.boundingRect(); // rows of a multiple of 4 pixels: no padding bytes
    QImage image((qCeil(box.width() * 20) / 4 + 1) * 4, qCeil(box.height() * 20) + 1, QImage::Format_Alpha8);
    image.fill(0);
    QPainter(&image).fillPath(path.translated(-box.topLeft()) * QTransform::fromScale(20, 20), Qt::black);
    return std::count(image.constBits(), image.constBits() + image.sizeInBytes(), 255) / 400.0;
}

} // namespace

class tst_Lettering : public QObject
{
    Q_OBJECT

private slots:
    void measuredHeight_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<double>("capMm");
        QTest::addColumn<double>("spacing");
        QTest::newRow("capital 10 mm") << "H" << false << 10.0 << 1.0;
        QTest::newRow("bold capital 25 mm") << "EH" << true << 25.0 << 1.0;
        QTest::newRow("two lines stacked") << "H\nH" << false << 10.0 << 1.0;
        QTest::newRow("three lines 1.5 apart") << "H\nT\nE" << false << 8.0 << 1.5;
    }
    void measuredHeight()
    {
        QFETCH(QString, text);
        QFETCH(bool, bold);
        QFETCH(double, capMm);
        QFETCH(double, spacing);
        QFont font(QStringLiteral("DejaVu Sans")); // the line distance in capitals, from the font itself
        font.setPixelSize(1000);
        font.setBold(bold);
        const double pitch = capMm * spacing * QFontMetricsF(font).lineSpacing() / QFontMetricsF(font).capHeight();
        LetteringOptions options;
        options.bold = bold;
        options.capHeightMm = capMm;
        options.lineSpacing = spacing;
        QVERIFY(qAbs(layOut(text, options).heightMm - (capMm + text.count(QLatin1Char('\n')) * pitch)) < 0.02 * capMm);
    }

    void letterSpacingWidens_data()
    {
        QTest::addColumn<double>("spacingMm");
        QTest::newRow("1 mm") << 1.0;
        QTest::newRow("5 mm") << 5.0;
        QTest::newRow("closer by 0.5 mm") << -0.5;
    }
    void letterSpacingWidens()
    {
        QFETCH(double, spacingMm);
        LetteringOptions options;
        const double plain = layOut(QStringLiteral("HHHH"), options).widthMm;
        options.letterSpacingMm = spacingMm;
        QCOMPARE(qRound((layOut(QStringLiteral("HHHH"), options).widthMm - plain) * 100), qRound(3 * spacingMm * 100));
    }

    void weldJoinsTouchingLetters_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("spacingMm");
        QTest::newRow("script word") << "Dancing Script"
                                     << "minimum" << 0.0;
        QTest::newRow("capitals pushed together") << "DejaVu Sans"
                                                  << "HOB" << -3.0;
    }
    void weldJoinsTouchingLetters()
    {
        QFETCH(QString, family); // the script font is a package the build installs
        QFETCH(QString, text);
        QFETCH(double, spacingMm);
        LetteringOptions options;
        options.letterSpacingMm = spacingMm;
        const QPainterPath apart = layOut(text, options, family).outline;
        options.weld = true;
        const QPainterPath welded = layOut(text, options, family).outline;
        QVERIFY(outlineCount(welded) < outlineCount(apart));
        // Counters stay holes and curves stay curves: the same ink, overlaps counted once.
        const double ratio = inkArea(welded) / inkArea(apart);
        QVERIFY2(qAbs(ratio - 1) < 0.005, qPrintable(QString::number(ratio)));
    }

    // Lettering typed in and text in a drawing (DRAWING: an A in DejaVu Sans followed by
    // U+0378, which Unicode leaves unassigned) are refused alike while a character has no font.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<double>("heightMm");
        QTest::addColumn<QString>("named"); // in the error event's list of missing characters
        const QStringList text{"text", "--font", "DejaVu Sans", "-o", "OUT"};
        QTest::newRow("capitals 20 mm") << text + QStringList{"HELL", "--height", "20"} << 0 << 20.0 << QString();
        QTest::newRow("missing character refused")
            << text + QStringList{QStringLiteral("A\u0378")} << 2 << 0.0 << "(U+0378) in line 1, column 2";
        QTest::newRow("missing character allowed")
            << text + QStringList{QStringLiteral("H\u0378"), "--allow-missing-glyphs"} << 0 << 10.0 << QString();
        QTest::newRow("drawing refused") << QStringList{"convert", "DRAWING", "-o", "OUT"} << 2 << 0.0
                                         << "(U+0378) in the text \"A\u0378\" (id word): no installed font";
        QTest::newRow("drawing cut without it")
            << QStringList{"convert", "DRAWING", "-o", "OUT", "--allow-missing-glyphs"} << 0 << 10.0 << QString();
        QTest::newRow("drawing to a cutter refused before it is reached")
            << QStringList{"cut", "DRAWING", "--tcp", "127.0.0.1:9"} << 2 << 0.0 << "(U+0378)";
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(double, heightMm);
        QFETCH(QString, named);
        QTemporaryDir dir;
        const QString plt = dir.filePath(QStringLiteral("out.plt")), drawing = dir.filePath(QStringLiteral("a.svg"));
        QFile svg(drawing); // a capital A 10 mm high: its cap height is 0.729 em
        QVERIFY(svg.open(QIODevice::WriteOnly));
        svg.write(QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100mm\" height=\"100mm\" "
                                 "viewBox=\"0 0 100 100\"><text id=\"word\" x=\"10\" y=\"50\" "
                                 "font-family=\"DejaVu Sans\" font-size=\"13.717421\">A\u0378</text></svg>")
                      .toUtf8());
        svg.close();
        args.replaceInStrings(QStringLiteral("DRAWING"), drawing).replaceInStrings(QStringLiteral("OUT"), plt);
        QProcess ktrv8;
        ktrv8.start(ktBinary(QStringLiteral("ktrv8")), args << QStringLiteral("--json"));
        QVERIFY(ktrv8.waitForFinished(60000));
        QCOMPARE(ktrv8.exitCode(), exitCode);
        QCOMPARE(QFile::exists(plt), exitCode == 0);
        const QList<QByteArray> lines = ktrv8.readAllStandardOutput().trimmed().split('\n');
        const QJsonObject last = QJsonDocument::fromJson(lines.last()).object();
        if (exitCode == 0)
            QVERIFY(qAbs(last.value(QStringLiteral("heightMm")).toDouble() - heightMm) < 0.15);
        if (!named.isEmpty()) {
            QCOMPARE(last.value(QStringLiteral("event")).toString(), QStringLiteral("error"));
            const QString missing = last.value(QStringLiteral("missing")).toVariant().toStringList().join('\n');
            QVERIFY2(missing.contains(named), qPrintable(missing));
        }
    }
    // Millimetre squares worked out by hand: two 10 mm squares overlapping by 5 mm have an
    // outline of 60 mm; a counter wound against its square stays a hole.
    void weldDrawing_data()
    {
        QTest::addColumn<QByteArray>("shapes");
        QTest::addColumn<int>("paths");
        QTest::addColumn<double>("lengthMm");
        const QByteArray a = "<rect width=\"10\" height=\"10\"/>";
        const QByteArray b = "<rect x=\"5\" y=\"5\" width=\"10\" height=\"10\"/>";
        QTest::newRow("overlapping squares become one outline") << a + b << 1 << 60.0;
        QTest::newRow("shapes apart stay apart") << a + "<rect x=\"20\" width=\"10\" height=\"10\"/>" << 2 << 80.0;
        QTest::newRow("a counter wound the other way stays a hole")
            << QByteArray("<path d=\"M0,0 H20 V20 H0 Z M5,5 V15 H15 V5 Z\"/>") << 2 << 120.0;
        QTest::newRow("an open stroke is kept as drawn")
            << a + b + "<path d=\"M0,30 H50\" fill=\"none\" stroke=\"black\"/>" << 2 << 110.0;
    }
    void weldDrawing()
    {
        QFETCH(QByteArray, shapes);
        QFETCH(int, paths);
        QFETCH(double, lengthMm);
        const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100mm\" height=\"100mm\" "
                               "viewBox=\"0 0 100 100\">"
                               + shapes + "</svg>";
        CutOptions options;
        options.weld = true;
        CutPaths page;
        QString error;
        QVERIFY2(convertDrawing(svg, options, &page, &error), qPrintable(error));
        QCOMPARE(page.size(), paths);
        QVERIFY2(qAbs(penDownLength(page) / UnitsPerMm - lengthMm) < 0.01,
                 qPrintable(QString::number(penDownLength(page) / UnitsPerMm)));
    }

    // A cut's progress names the text typed, never the temporary file it is read from.
    void progressNamesTheText()
    {
        SimProcess sim({});
        QVERIFY(sim.start());
        QProcess ktrv8;
        ktrv8.start(ktBinary(QStringLiteral("ktrv8")), {"text", "Hi", "there", "--font", "DejaVu Sans", "--json",
                                                        "--tcp", QStringLiteral("127.0.0.1:%1").arg(sim.port)});
        QVERIFY(ktrv8.waitForFinished(60000));
        QCOMPARE(ktrv8.exitCode(), 0);
        QStringList named;
        for (const QByteArray& line : ktrv8.readAllStandardOutput().split('\n')) {
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            if (event.contains(QStringLiteral("file")))
                named << event.value(QStringLiteral("file")).toString();
        }
        QVERIFY2(named.size() >= 2, qPrintable(named.join(QLatin1Char('|'))));
        for (const QString& name : qAsConst(named))
            QCOMPARE(name, QStringLiteral("\"Hi there\""));
    }
};

QTEST_MAIN(tst_Lettering)
#include "tst_lettering.moc"
