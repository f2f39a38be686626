// The preview of a big drawing painted while the window answers.
#include "tst_gui.h"

#include "preview.h"

#include <memory>

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define KT_SLOW_PREVIEW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KT_SLOW_PREVIEW 1
#endif
#endif
// Squares each with one inside, in a grid: about a second of painting here, several in the
// sanitizer build with a tenth of them.
#ifdef KT_SLOW_PREVIEW
constexpr int PreviewSquares = 15000;
#else
constexpr int PreviewSquares = 150000;
#endif

std::shared_ptr<const ktconv::PreviewSheet> squareSheet(int squares)
{
    ktconv::CutPaths paths;
    const int columns = int(std::ceil(std::sqrt(double(squares))));
    for (int i = 0; i < 2 * squares; ++i) {
        const double side = i % 2 ? 80 : 160, inset = i % 2 ? 40 : 0;
        const QPointF at(i / 2 % columns * 200.0 + inset, i / 2 / columns * 200.0 + inset);
        ktconv::CutPath path;
        path.points = {at, at + QPointF(side, 0), at + QPointF(side, side), at + QPointF(0, side), at};
        path.closed = true;
        paths << path;
    }
    return std::make_shared<const ktconv::PreviewSheet>(ktconv::layOutPreview({paths}, ktconv::PreviewLayout()));
}

void show(PreviewView* view, const std::shared_ptr<const ktconv::PreviewSheet>& sheet)
{
    view->setPicture(
        QRectF(QPointF(0, 0), sheet->sizeMm), [sheet](QPainter* p) { ktconv::paintPreview(p, *sheet); },
        sheet->pageAreas, 1);
}

// Pixels of the cut colour (blue) on screen.
int cutPixels(PreviewView* view)
{
    const QImage image = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.blue() > c.red() + 40 ? 1 : 0;
        }
    }
    return count;
}

} // namespace

// A timer of the window keeps firing while the picture is painted; the picture then shows
// the cuts. A picture replaced while it is still painting stops at once.
void tst_Gui::bigPreviewKeepsTheWindowAnswering()
{
    const auto big = squareSheet(PreviewSquares);
    PreviewView view;
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy shown(&view, &PreviewView::pictureShown);
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
    QVERIFY(cutPixels(&view) == 0);
    QVERIFY(shown.wait(120000));
    tick.stop();
    const qint64 took = clock.elapsed();
    QVERIFY2(took > 300, qPrintable(QStringLiteral("painted in %1 ms: too quick to tell").arg(took)));
    QVERIFY2(longestGap < took / 3, qPrintable(QStringLiteral("%1 ms without events in %2").arg(longestGap).arg(took)));
    QVERIFY(cutPixels(&view) > 1000);

    // Replaced while painting: the old picture's thread is stopped, not waited out, and only
    // the new picture lands.
    show(&view, big);
    QTRY_VERIFY(view.isDrawing());
    clock.restart();
    const auto small = squareSheet(2);
    show(&view, small);
    QVERIFY2(clock.elapsed() < took / 3, qPrintable(QStringLiteral("%1 ms to replace").arg(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(!view.isDrawing() && cutPixels(&view) > 0, 60000);
}
