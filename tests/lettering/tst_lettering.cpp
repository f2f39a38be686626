#include "lettering.h"
#include "simprocess.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QtTest>

using namespace ktconv;

namespace {

Lettering layOut(const QString& text, const LetteringOptions& options)
{
    Lettering result;
    QString error;
    if (!layOutLettering(text.split(QLatin1Char('\n')), options, &result, &error))
        qWarning() << "layOutLettering:" << error;
    return result;
}

// The font's line distance in capitals, measured apart from the layout.
double linesPerCap(const QString& family, bool bold)
{
    QFont font(family);
    font.setPixelSize(1000);
    font.setBold(bold);
    const QFontMetricsF metrics(font);
    return metrics.lineSpacing() / metrics.capHeight();
}

// Ink in square millimetres, counted in pixels of 0.05 mm.
double inkArea(const QPainterPath& path)
{
    const double px = 20;
    const QRectF box = path.boundingRect();
    QImage image(qCeil(box.width() * px) + 2, qCeil(box.height() * px) + 2, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(px, px);
    painter.translate(-box.topLeft());
    painter.fillPath(path, Qt::black);
    painter.end();
    qint64 ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            ink += line[x] < 128 ? 1 : 0;
    }
    return ink / (px * px);
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
        QTest::addColumn<int>("lines");
        QTest::newRow("capital 10 mm") << "H" << false << 10.0 << 1.0 << 1;
        QTest::newRow("bold capital 25 mm") << "EH" << true << 25.0 << 1.0 << 1;
        QTest::newRow("two lines stacked") << "H\nH" << false << 10.0 << 1.0 << 2;
        QTest::newRow("three lines 1.5 apart") << "H\nT\nE" << false << 8.0 << 1.5 << 3;
    }
    void measuredHeight()
    {
        QFETCH(QString, text);
        QFETCH(bool, bold);
        QFETCH(double, capMm);
        QFETCH(double, spacing);
        QFETCH(int, lines);
        LetteringOptions options;
        options.family = QStringLiteral("DejaVu Sans");
        options.bold = bold;
        options.capHeightMm = capMm;
        options.lineSpacing = spacing;
        const double pitch = capMm * spacing * linesPerCap(options.family, bold);
        QVERIFY(qAbs(layOut(text, options).heightMm - (capMm + (lines - 1) * pitch)) < 0.02 * capMm);
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
        options.family = QStringLiteral("DejaVu Sans");
        const double plain = layOut(QStringLiteral("HHHH"), options).widthMm;
        options.letterSpacingMm = spacingMm;
        QCOMPARE(qRound((layOut(QStringLiteral("HHHH"), options).widthMm - plain) * 100), qRound(3 * spacingMm * 100));
    }

    void alignment_data()
    {
        QTest::addColumn<int>("align");
        QTest::newRow("left") << int(Qt::AlignLeft);
        QTest::newRow("center") << int(Qt::AlignHCenter);
        QTest::newRow("right") << int(Qt::AlignRight);
    }
    void alignment()
    {
        QFETCH(int, align);
        LetteringOptions options;
        options.family = QStringLiteral("DejaVu Sans");
        options.align = Qt::Alignment(align);
        const Lettering result = layOut(QStringLiteral("HHH\nH"), options);
        QRectF top, bottom;
        for (const QPolygonF& outline : result.outline.toSubpathPolygons())
            (outline.boundingRect().top() > 5 ? bottom : top) |= outline.boundingRect();
        // Both lines start and end with the same letter: their edges line up as asked.
        const double left = bottom.left() - top.left(), right = bottom.right() - top.right();
        const double off = align == Qt::AlignLeft ? left : align == Qt::AlignRight ? right : left + right;
        QVERIFY2(qAbs(off) < 0.01, qPrintable(QString::number(off)));
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
        QFETCH(QString, family);
        QFETCH(QString, text);
        QFETCH(double, spacingMm);
        if (QFontInfo(QFont(family)).family() != family)
            QSKIP("font not installed");
        LetteringOptions options;
        options.family = family;
        options.letterSpacingMm = spacingMm;
        const Lettering apart = layOut(text, options);
        options.weld = true;
        const Lettering welded = layOut(text, options);
        QVERIFY2(
            outlineCount(welded.outline) < outlineCount(apart.outline),
            qPrintable(QStringLiteral("%1 -> %2").arg(outlineCount(apart.outline)).arg(outlineCount(welded.outline))));
        // Counters stay holes: the ink is the same, filled or not where letters overlap.
        const double ratio = inkArea(welded.outline) / inkArea(apart.outline);
        QVERIFY2(qAbs(ratio - 1) < 0.01, qPrintable(QString::number(ratio)));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<double>("heightMm");
        QTest::newRow("capitals 20 mm") << QStringList{"HELL", "--height", "20"} << 0 << 20.0;
        QTest::newRow("missing character refused") << QStringList{QStringLiteral("A\u0378")} << 2 << 0.0;
        QTest::newRow("missing character allowed")
            << QStringList{QStringLiteral("H\u0378"), "--allow-missing-glyphs"} << 0 << 10.0;
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(double, heightMm);
        QTemporaryDir dir;
        const QString plt = dir.filePath(QStringLiteral("out.plt"));
        QProcess ktrv8;
        ktrv8.start(ktBinary(QStringLiteral("ktrv8")),
                    QStringList{"text", "--font", "DejaVu Sans", "--json", "-o", plt} + args);
        QVERIFY(ktrv8.waitForFinished(60000));
        QCOMPARE(ktrv8.exitCode(), exitCode);
        QCOMPARE(QFile::exists(plt), exitCode == 0);
        if (exitCode == 0) {
            const QJsonObject result = QJsonDocument::fromJson(ktrv8.readAllStandardOutput().trimmed()).object();
            QVERIFY(qAbs(result.value(QStringLiteral("heightMm")).toDouble() - heightMm) < 0.15);
        }
    }
};

QTEST_MAIN(tst_Lettering)
#include "tst_lettering.moc"
