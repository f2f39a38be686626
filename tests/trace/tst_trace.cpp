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
Q_DECLARE_METATYPE(ktconv::TraceOptions)

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

// A PNG without its resolution: the pHYs chunk (length, type, 9 bytes, CRC) cut out.
QByteArray withoutResolution(QByteArray png)
{
    return png.remove(png.indexOf("pHYs") - 4, 4 + 4 + 9 + 4);
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
    void blankPictureRefused();
    void backdropFollowsTheOptions();
    void logoCutOnTheSimulator();
};

// Each row: the picture's resolution and file format ("bare": without its resolution, which
// --dpi then gives), threshold, despeckle and smooth, the colours, the outlines traced and
// whether the rectangle's corners are rounded off; disc and rectangle keep their size within
// 2 %, and their perimeter unless rounded. A 1 mm speck is an outline unless despeckled.
void tst_Trace::trueSize_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<TraceOptions>("options");
    QTest::addColumn<QColor>("ink");
    QTest::addColumn<QColor>("ground");
    QTest::addColumn<int>("outlines");
    QTest::addColumn<bool>("rounded");
    const auto trace = [](int threshold, int despeckle, double smooth) {
        return TraceOptions{threshold, despeckle, smooth, 0};
    };
    const TraceOptions plain;
    const QColor black(Qt::black), white(Qt::white);
    QTest::newRow("png 300 dpi") << 300.0 << QByteArray("png") << plain << black << white << 3 << false;
    QTest::newRow("png 96 dpi") << 96.0 << QByteArray("png") << plain << black << white << 3 << false;
    QTest::newRow("bare png, --dpi 200") << 200.0 << QByteArray("png bare") << plain << black << white << 3 << false;
    QTest::newRow("bmp 150 dpi") << 150.0 << QByteArray("bmp") << plain << black << white << 3 << false;
    QTest::newRow("jpeg 300 dpi") << 300.0 << QByteArray("jpeg") << plain << black << white << 3 << false;
    QTest::newRow("tiff 254 dpi") << 254.0 << QByteArray("tiff") << plain << black << white << 3 << false;
    QTest::newRow("threshold 220") << 300.0 << QByteArray("png") << trace(220, 2, 1) << black << white << 3 << false;
    QTest::newRow("despeckle 500 px") << 300.0 << QByteArray("png") << trace(-1, 500, 1) << black << white << 2
                                      << false;
    QTest::newRow("sharp corners") << 300.0 << QByteArray("png") << trace(-1, 2, 0) << black << white << 3 << false;
    QTest::newRow("round corners") << 300.0 << QByteArray("png") << trace(-1, 2, 1.334) << black << white << 3 << true;
    QTest::newRow("colour on luminance") << 300.0 << QByteArray("png") << plain << QColor(200, 30, 30)
                                         << QColor(250, 240, 200) << 3 << false;
    QTest::newRow("one colour on transparency")
        << 300.0 << QByteArray("png") << plain << QColor(Qt::white) << QColor(Qt::transparent) << 3 << false;
}

void tst_Trace::trueSize()
{
    QFETCH(double, dpi);
    QFETCH(QByteArray, format);
    QFETCH(TraceOptions, options);
    QFETCH(int, outlines);
    QFETCH(bool, rounded);
    QFETCH(QColor, ink);
    QFETCH(QColor, ground);
    const QList<QByteArray> kind = format.split(' ');
    QByteArray file = encoded(referencePicture(dpi, ink, ground, true), kind.first());
    SvgDrawing drawing;
    QString error;
    if (kind.size() > 1) {
        file = withoutResolution(file);
        QVERIFY2(traceBitmap(file, options, &drawing, &error), qPrintable(error));
        QVERIFY(drawing.warnings.join(' ').contains("300 dpi"));
        options.dpi = dpi;
    }
    QCOMPARE(int(detectFormat(file)), int(JobFormat::Bitmap));
    QVERIFY2(traceBitmap(file, options, &drawing, &error), qPrintable(error));
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

void tst_Trace::blankPictureRefused()
{
    SvgDrawing drawing;
    QString error;
    const QByteArray blank = encoded(referencePicture(100, Qt::white, Qt::white), "png");
    QVERIFY(!traceBitmap(blank, TraceOptions(), &drawing, &error) && error.contains("nothing darker"));
}

// The picture under the cut lands where the cutter options put its outlines: fitted across
// its height (turned), mirrored, placed, with a weed box.
void tst_Trace::backdropFollowsTheOptions()
{
    CutOptions options;
    options.widthMm = 45;
    options.rotate = 270;
    options.mirror = true;
    options.originMm = QPointF(12, 7);
    options.weedBoxMm = 3;
    const QImage picture = referencePicture(200, Qt::black, Qt::white);
    CutPaths page;
    QString error;
    Backdrop backdrop;
    QVERIFY2(convertDrawing(encoded(picture, "png"), options, InputOptions(), &page, &error, nullptr, &backdrop),
             qPrintable(error));
    QCOMPARE(backdrop.image.size(), picture.size());
    const QPointF discCentre = backdrop.toPlotter.map(QPointF(20, 20) * (200 / 25.4)) / UnitsPerMm;
    const QSizeF disc = outlineAround(page, discCentre).sizeMm; // 45 mm across: the picture was 20 mm high
    QVERIFY2(within(disc.width(), 45, 0.02) && within(disc.height(), 45, 0.02),
             qPrintable(QString::number(disc.width())));
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
