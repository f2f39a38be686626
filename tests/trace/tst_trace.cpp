// Pictures traced into outlines: the true size at the picture's resolution, the options,
// the backdrop's place under the cut, and a traced logo cut on the simulator.
#include "conversion.h"
#include "simprocess.h"

#include <QBuffer>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace ktconv;
Q_DECLARE_METATYPE(ktconv::CutOptions)

namespace {

// A disc 20 mm across at (20, 20) mm and a 30 x 15 mm rectangle at (50, 15) mm on a
// 90 x 40 mm picture, y downwards as the picture is stored; with a 1 mm speck at (85, 5).
constexpr double DiscMm = 20;
const QRectF RectMm(50, 15, 30, 15);

QImage referencePicture(double dpi, QColor ink, QColor ground, bool speck = false)
{
    const double px = dpi / 25.4;
    QImage image(qRound(90 * px), qRound(40 * px), QImage::Format_ARGB32);
    image.fill(ground);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(px, px);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(QPointF(20, 20), DiscMm / 2, DiscMm / 2);
    painter.drawRect(RectMm);
    if (speck)
        painter.drawRect(QRectF(85, 5, 1, 1));
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return buffer.data();
}

// The file without its resolution: PNG's pHYs chunk cut out, BMP's pixels per metre zeroed.
QByteArray withoutResolution(QByteArray file)
{
    const int at = file.indexOf("pHYs");
    if (at > 0)
        return file.remove(at - 4, 4 + 4 + 9 + 4);
    file.replace(38, 8, QByteArray(8, '\0'));
    return file;
}

struct Outline
{
    double lengthMm = 0;
    QSizeF sizeMm;
};

// The traced outline whose bounds hold the given point (in mm, y upwards), the smallest
// such (not a weed box around it all).
Outline outlineAround(const CutPaths& paths, QPointF mm)
{
    Outline found;
    for (const CutPath& path : paths) {
        const QRectF box = boundsOf(path);
        const QRectF boxMm(box.topLeft() / UnitsPerMm, box.size() / UnitsPerMm);
        if (boxMm.contains(mm) && (found.sizeMm.isEmpty() || boxMm.width() < found.sizeMm.width()))
            found = Outline{pathLength(path) / UnitsPerMm, boxMm.size()};
    }
    return found;
}

bool within(double measured, double expected, double share)
{
    return std::abs(measured - expected) <= share * expected;
}

} // namespace

class tst_Trace : public QObject
{
    Q_OBJECT

private slots:
    void trueSize_data();
    void trueSize();
    void otsu_data();
    void otsu();
    void refusals_data();
    void refusals();
    void backdropFollowsTheOptions_data();
    void backdropFollowsTheOptions();
    void logoCutOnTheSimulator();
};

// Each row: the picture's resolution and file format, whether the file states it (else
// --dpi gives it), the trace options, the colours, the outlines traced and whether the
// rectangle's corners are rounded; disc and rectangle must keep their size within 2 %,
// and their perimeter unless rounded.
void tst_Trace::trueSize_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("stated");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("despeckle");
    QTest::addColumn<double>("smooth");
    QTest::addColumn<QColor>("ink");
    QTest::addColumn<QColor>("ground");
    QTest::addColumn<int>("outlines");
    QTest::addColumn<bool>("rounded");
    const QColor black(Qt::black), white(Qt::white);
    QTest::newRow("png 300 dpi") << 300.0 << QByteArray("png") << true << -1 << 2 << 1.0 << black << white << 3
                                 << false;
    QTest::newRow("png 96 dpi stated") << 96.0 << QByteArray("png") << true << -1 << 2 << 1.0 << black << white << 3
                                       << false;
    QTest::newRow("png 600 dpi") << 600.0 << QByteArray("png") << true << -1 << 2 << 1.0 << black << white << 3
                                 << false;
    QTest::newRow("png unstated, --dpi 200")
        << 200.0 << QByteArray("png") << false << -1 << 2 << 1.0 << black << white << 3 << false;
    QTest::newRow("bmp 150 dpi") << 150.0 << QByteArray("bmp") << true << -1 << 2 << 1.0 << black << white << 3
                                 << false;
    QTest::newRow("bmp unstated, --dpi 150")
        << 150.0 << QByteArray("bmp") << false << -1 << 2 << 1.0 << black << white << 3 << false;
    QTest::newRow("jpeg 300 dpi") << 300.0 << QByteArray("jpeg") << true << -1 << 2 << 1.0 << black << white << 3
                                  << false;
    QTest::newRow("tiff 254 dpi") << 254.0 << QByteArray("tiff") << true << -1 << 2 << 1.0 << black << white << 3
                                  << false;
    QTest::newRow("threshold 40") << 300.0 << QByteArray("png") << true << 40 << 2 << 1.0 << black << white << 3
                                  << false;
    QTest::newRow("threshold 220") << 300.0 << QByteArray("png") << true << 220 << 2 << 1.0 << black << white << 3
                                   << false;
    QTest::newRow("no despeckle") << 300.0 << QByteArray("png") << true << -1 << 0 << 1.0 << black << white << 3
                                  << false;
    QTest::newRow("despeckle 500 px") << 300.0 << QByteArray("png") << true << -1 << 500 << 1.0 << black << white << 2
                                      << false;
    QTest::newRow("sharp corners") << 300.0 << QByteArray("png") << true << -1 << 2 << 0.0 << black << white << 3
                                   << false;
    QTest::newRow("smoothest") << 300.0 << QByteArray("png") << true << -1 << 2 << 1.334 << black << white << 3 << true;
    QTest::newRow("colour on luminance") << 300.0 << QByteArray("png") << true << -1 << 2 << 1.0 << QColor(200, 30, 30)
                                         << QColor(250, 240, 200) << 3 << false;
    QTest::newRow("one colour on transparency") << 300.0 << QByteArray("png") << true << -1 << 2 << 1.0
                                                << QColor(255, 255, 255) << QColor(0, 0, 0, 0) << 3 << false;
}

void tst_Trace::trueSize()
{
    QFETCH(double, dpi);
    QFETCH(QByteArray, format);
    QFETCH(bool, stated);
    QFETCH(QColor, ink);
    QFETCH(QColor, ground);
    QFETCH(int, outlines);
    QFETCH(bool, rounded);
    TraceOptions options;
    QFETCH(int, threshold);
    options.threshold = threshold;
    QFETCH(int, despeckle);
    options.despeckle = despeckle;
    QFETCH(double, smooth);
    options.smooth = smooth;
    QByteArray file = encoded(referencePicture(dpi, ink, ground, true), format);
    if (!stated) {
        file = withoutResolution(file);
        SvgDrawing guessed;
        QString error;
        QVERIFY2(traceBitmap(file, TraceOptions(), &guessed, &error), qPrintable(error));
        QVERIFY(guessed.warnings.join(' ').contains("300 dpi"));
        options.dpi = dpi;
    }
    QCOMPARE(int(detectFormat(file)), int(JobFormat::Bitmap));
    SvgDrawing drawing;
    QString error;
    QVERIFY2(traceBitmap(file, options, &drawing, &error), qPrintable(error));
    QVERIFY2(stated || drawing.warnings.isEmpty(), qPrintable(drawing.warnings.join(' ')));
    QCOMPARE(drawing.paths.size(), outlines);
    const Outline disc = outlineAround(drawing.paths, QPointF(20, 40 - 20));
    const Outline rect = outlineAround(drawing.paths, QPointF(RectMm.center().x(), 40 - RectMm.center().y()));
    QVERIFY2(within(disc.lengthMm, M_PI * DiscMm, 0.02), qPrintable(QString::number(disc.lengthMm)));
    QVERIFY2(within(disc.sizeMm.width(), DiscMm, 0.02) && within(disc.sizeMm.height(), DiscMm, 0.02),
             qPrintable(QStringLiteral("%1 x %2").arg(disc.sizeMm.width()).arg(disc.sizeMm.height())));
    const double rectLength = 2 * (RectMm.width() + RectMm.height());
    QVERIFY2(rounded ? rect.lengthMm < 0.98 * rectLength : within(rect.lengthMm, rectLength, 0.02),
             qPrintable(QString::number(rect.lengthMm)));
    QVERIFY(within(rect.sizeMm.width(), RectMm.width(), 0.02) && within(rect.sizeMm.height(), RectMm.height(), 0.02));
}

void tst_Trace::otsu_data()
{
    QTest::addColumn<QVector<int>>("counts"); // luminance, count pairs
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::newRow("two peaks") << QVector<int>{20, 500, 30, 300, 230, 900, 240, 100} << 31 << 230;
    QTest::newRow("uneven peaks") << QVector<int>{10, 5, 200, 5000} << 11 << 200;
    QTest::newRow("one shade") << QVector<int>{128, 1000} << -1 << -1;
}

void tst_Trace::otsu()
{
    QFETCH(QVector<int>, counts);
    QFETCH(int, low);
    QFETCH(int, high);
    QVector<int> histogram(256, 0);
    for (int i = 0; i + 1 < counts.size(); i += 2)
        histogram[counts[i]] = counts[i + 1];
    const int threshold = otsuThreshold(histogram);
    QVERIFY2(threshold >= low && threshold <= high, qPrintable(QString::number(threshold)));
}

void tst_Trace::refusals_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("blank picture") << encoded(referencePicture(100, Qt::white, Qt::white), "png")
                                   << QStringLiteral("nothing darker");
    QTest::newRow("truncated png") << encoded(referencePicture(100, Qt::black, Qt::white), "png").left(60)
                                   << QStringLiteral("cannot be read");
}

void tst_Trace::refusals()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    CutPaths page;
    QString error;
    QVERIFY(!convertDrawing(file, CutOptions(), InputOptions(), &page, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

// The picture under the cut lands where its outlines were put by the cutter options.
void tst_Trace::backdropFollowsTheOptions_data()
{
    QTest::addColumn<CutOptions>("options");
    QTest::addColumn<double>("factor");
    CutOptions plain;
    QTest::newRow("as drawn") << plain << 1.0;
    CutOptions turned;
    turned.rotate = 90;
    turned.mirror = true;
    turned.originMm = QPointF(12, 7);
    QTest::newRow("turned, mirrored, placed") << turned << 1.0;
    CutOptions fitted;
    fitted.widthMm = 45;
    fitted.weedBoxMm = 3;
    fitted.rotate = 270;
    QTest::newRow("fitted across its height, weed box") << fitted << 45.0 / 20;
}

void tst_Trace::backdropFollowsTheOptions()
{
    QFETCH(CutOptions, options);
    QFETCH(double, factor);
    const QImage picture = referencePicture(200, Qt::black, Qt::white);
    const QByteArray file = encoded(picture, "png");
    CutPaths page;
    QString error;
    Backdrop backdrop;
    QVERIFY2(convertDrawing(file, options, InputOptions(), &page, &error, nullptr, &backdrop), qPrintable(error));
    QCOMPARE(backdrop.image.size(), picture.size());
    const double px = 200 / 25.4;
    const QPointF discCentre = backdrop.toPlotter.map(QPointF(20, 20) * px) / UnitsPerMm;
    const Outline disc = outlineAround(page, discCentre);
    QVERIFY2(within(disc.sizeMm.width(), DiscMm * factor, 0.02) && within(disc.sizeMm.height(), DiscMm * factor, 0.02),
             qPrintable(QString::number(disc.sizeMm.width())));
}

// A logo as a PNG, its content known whatever its name, cut on the simulator at its size.
void tst_Trace::logoCutOnTheSimulator()
{
    QTemporaryDir dir;
    QFile logo(dir.filePath(QStringLiteral("logo.dat")));
    QVERIFY(logo.open(QIODevice::WriteOnly)
            && logo.write(encoded(referencePicture(300, Qt::black, Qt::white), "png")) > 0);
    logo.close();
    const QString record = dir.filePath(QStringLiteral("record.plt"));
    SimProcess sim({"--out", record});
    QVERIFY(sim.start());
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")),
               {"cut", logo.fileName(), "--tcp", QStringLiteral("127.0.0.1:%1").arg(sim.port), "--json"});
    QVERIFY(host.waitForFinished(60000));
    QVERIFY2(host.exitCode() == 0, host.readAllStandardError().constData());
    QFile cut(record);
    QVERIFY(cut.open(QIODevice::ReadOnly));
    const CutPages pages = readPltPages(cut.readAll());
    QCOMPARE(pages.size(), 1);
    const QRectF box = boundsOf(pages.first());
    // From the disc's left edge to the rectangle's right: 70 x 20 mm.
    QVERIFY2(within(box.width() / UnitsPerMm, 70, 0.01) && within(box.height() / UnitsPerMm, 20, 0.01),
             qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
}

QTEST_MAIN(tst_Trace)
#include "tst_trace.moc"
