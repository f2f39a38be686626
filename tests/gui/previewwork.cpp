// The preview of a big drawing painted while the window answers.
#include "tst_gui.h"

#include "preview.h"

namespace {

#ifdef __has_feature
#define KT_HAS_FEATURE(x) __has_feature(x)
#else
#define KT_HAS_FEATURE(x) 0
#endif
// Squares each with one inside: half a second of painting on a quiet machine; the sanitizer build, many times
// slower, paints a tenth of them.
#if defined(__SANITIZE_ADDRESS__) || KT_HAS_FEATURE(address_sanitizer)
constexpr int PreviewSquares = 15000;
#else
constexpr int PreviewSquares = 300000;
#endif

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
    QElapsedTimer clock;
    qint64 last = 0, longestGap = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    tick.start(10);
    show(&view, big);
    QVERIFY(shown.wait(120000));
    const qint64 took = clock.elapsed();
    QVERIFY2(took > 200, qPrintable(QStringLiteral("painted in %1 ms: too quick to tell").arg(took)));
    QVERIFY2(longestGap < took / 3, qPrintable(QStringLiteral("%1 ms without events in %2").arg(longestGap).arg(took)));
    QVERIFY(cutPixels(&view) > 1000);

    show(&view, big);
    QTRY_VERIFY(view.isDrawing());
    clock.restart();
    show(&view, small);
    QVERIFY2(clock.elapsed() < took / 3, qPrintable(QStringLiteral("%1 ms to replace").arg(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(!view.isDrawing() && cutPixels(&view) > 0, 60000);
}
