// The preview of a big drawing painted, and a big sheet laid out, while the window answers.
#include "tst_gui.h"

#include "preview.h"

namespace {

// Squares each with one inside: half a second of painting on a quiet machine; a PLT job of
// squares copied onto one sheet, 800 000 strokes. The sanitizer build, many times
// slower, takes a tenth or a twentieth.
#ifdef KT_SLOW_BUILD
constexpr int PreviewSquares = 15000, SheetSquares = 2000;
#else
constexpr int PreviewSquares = 300000, SheetSquares = 20000;
#endif
constexpr int SheetCopies = 40;

// The sheet is laid out before the clock starts: only the view's own work is judged.
std::shared_ptr<ktconv::PreviewSheet> squaresSheet(int squares)
{
    ktconv::CutPaths paths(2 * squares);
    for (int i = 0; i < paths.size(); ++i) {
        const double side = i % 2 ? 80 : 160, x = i / 2 % 400 * 200.0 + (160 - side) / 2,
                     y = i / 800 * 200.0 + (160 - side) / 2;
        paths[i].points = {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
    }
    return std::make_shared<ktconv::PreviewSheet>(ktconv::layOutPreview({paths}, {}));
}

void show(PreviewView* view, const std::shared_ptr<ktconv::PreviewSheet>& sheet)
{
    view->setPicture(
        QRectF(QPointF(0, 0), sheet->sizeMm), [sheet](QPainter* p) { ktconv::paintPreview(p, *sheet); }, {}, 1);
}

int cutPixels(PreviewView* view) // of the cut colour, blue
{
    const QImage image = view->viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qBlue(image.pixel(x, y)) > qRed(image.pixel(x, y)) + 40 ? 1 : 0;
    return count;
}

} // namespace

// A timer of the window keeps firing while the picture is painted; the picture then shows
// the cuts. A picture replaced while still painting stops at once: only the new one lands.
void tst_Gui::bigPreviewKeepsTheWindowAnswering()
{
    PreviewView view;
    view.resize(800, 600);
    view.show();
    QSignalSpy shown(&view, &PreviewView::pictureShown);
    const auto big = squaresSheet(PreviewSquares), small = squaresSheet(1);
    EventGaps gaps;
    show(&view, big);
    QVERIFY(shown.wait(120000));
    const qint64 took = gaps.stop();
    QVERIFY2(took > 200, qPrintable(QStringLiteral("painted in %1 ms: too quick to tell").arg(took)));
    QVERIFY2(gaps.longest < took / 3, qPrintable(gaps.text(took)));
    QVERIFY(cutPixels(&view) > 1000);

    show(&view, big);
    QTRY_VERIFY(view.isDrawing());
    QElapsedTimer clock;
    clock.start();
    show(&view, small);
    QVERIFY2(clock.elapsed() < took / 3, qPrintable(QStringLiteral("%1 ms to replace").arg(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(!view.isDrawing() && cutPixels(&view) > 0, 60000);
}

// Every stroke of every copy placed on the sheet while the window answers; meanwhile the
// picture is veiled and Start off; of two requests only the latest sheet is shown.
void tst_Gui::bigSheetKeepsTheWindowAnswering()
{
    const QString plt = dir.filePath(QStringLiteral("many.plt"));
    QFile file(plt);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("IN;" + QByteArray("PU0,0;PD160,0,160,160,0,160,0,0;").repeated(SheetSquares));
    file.close();
    MainWindow window(pluginPath());
    QVERIFY(window.jobPanel()->open(plt));
    EventGaps gaps;
    window.jobPanel()->setCopies(SheetCopies / 2);
    QVERIFY(!window.jobPanel()->isReady() && window.preview()->isOutOfDate());
    window.jobPanel()->setCopies(SheetCopies);
    QTRY_VERIFY_WITH_TIMEOUT(window.jobPanel()->isReady(), 120000);
    const qint64 took = gaps.stop();
    QVERIFY2(took > 100 && gaps.longest < took / 3, qPrintable(gaps.text(took)));
    window.preview()->highlight(SheetCopies, 1);
    QVERIFY(!window.preview()->isOutOfDate() && !window.preview()->highlighted().isEmpty());
}
