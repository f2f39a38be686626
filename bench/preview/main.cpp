// A drawing of N small squares, each with a square inside, laid out as the window's
// preview shows it, in a 1000 x 700 view on the offscreen platform. For each size: the
// time to lay the sheet out, then the repaint of the whole view (median of 5) with every
// stroke painted each time (with and without antialiasing), and with the cached picture:
// the time until the first picture, painted on a thread of its own, is on screen, and the
// GUI thread's longest stall meanwhile; a paint after a zoom, the repaints after it (a page
// frame moved, as during a cut); zoomed in past the cache the paint while the detail is
// painted, and the time until the detail is on screen.
// Options: --sizes N,N,... (default 100000,1000000).
#include "benchsupport.h"
#include "preview.h"
#include "previewview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <cmath>

using namespace ktconv;
using ktbench::fmt;
using ktbench::printRow;

namespace {

CutPaths squares(int count)
{
    CutPaths paths;
    paths.reserve(count);
    const int columns = int(std::ceil(std::sqrt(count / 2.0)));
    auto square = [](QPointF at, double side) {
        CutPath path;
        path.points = {at, at + QPointF(side, 0), at + QPointF(side, side), at + QPointF(0, side), at};
        path.closed = true;
        return path;
    };
    for (int i = 0; paths.size() < count; ++i) {
        const QPointF at(i % columns * 200.0, i / columns * 200.0);
        paths << square(at + QPointF(40, 40), 80);
        if (paths.size() < count)
            paths << square(at, 160);
    }
    return paths;
}

// The view's paint into an image of its size: what a repaint on screen draws.
double repaintMs(PreviewView* view)
{
    QImage image(view->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer clock;
    clock.start();
    view->viewport()->render(&image);
    return clock.nsecsElapsed() / 1e6;
}

double medianRepaintMs(PreviewView* view, int copy)
{
    QVector<double> times;
    for (int i = 0; i < 5; ++i) {
        view->highlight(copy, (i % 2) + 1);
        times << repaintMs(view);
    }
    return ktbench::median(times);
}

struct Waited
{
    double ms = 0, stallMs = 0;
};

// From `start` to the view's next picture on screen, and the longest time the GUI thread
// went without a turn of its event loop meanwhile (a 5 ms timer).
template <typename Start>
Waited waitForPicture(PreviewView* view, Start start)
{
    QElapsedTimer clock;
    double last = 0;
    Waited waited;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = clock.nsecsElapsed() / 1e6;
        waited.stallMs = std::max(waited.stallMs, now - last);
        last = now;
    });
    QEventLoop loop;
    QObject::connect(view, &PreviewView::pictureShown, &loop, &QEventLoop::quit);
    QTimer::singleShot(10 * 60 * 1000, &loop, &QEventLoop::quit);
    clock.start();
    tick.start(5);
    start();
    loop.exec();
    waited.ms = clock.nsecsElapsed() / 1e6;
    waited.stallMs = std::max(waited.stallMs, waited.ms - last);
    return waited;
}

void measure(int count)
{
    const QString size = QStringLiteral("%1 paths").arg(count);
    QElapsedTimer clock;
    clock.start();
    auto sheet = std::make_shared<const PreviewSheet>(layOutPreview({squares(count)}, PreviewLayout()));
    printRow(QStringLiteral("preview layout"), size, fmt(clock.nsecsElapsed() / 1e6, 0) + " ms", "-", "info");

    PreviewView view;
    view.resize(1000, 700);
    view.show();
    view.setPicture(
        QRectF(QPointF(0, 0), sheet->sizeMm), [sheet](QPainter* p) { paintPreview(p, *sheet); }, sheet->pageAreas, 1);
    view.setCaching(false);
    repaintMs(&view);
    const double direct = medianRepaintMs(&view, 1);
    printRow(QStringLiteral("preview repaint, every stroke"), size, fmt(direct, 1) + " ms", "-", "info");

    view.setRenderHint(QPainter::Antialiasing, false);
    const double plain = medianRepaintMs(&view, 1);
    printRow(QStringLiteral("preview repaint, every stroke, no antialiasing"), size, fmt(plain, 1) + " ms", "-",
             "info");
    view.setRenderHint(QPainter::Antialiasing, true);

    view.setCaching(true);
    const Waited first = waitForPicture(&view, [&] { view.viewport()->update(); });
    printRow(QStringLiteral("preview first picture, painted off the GUI thread"), size, fmt(first.ms, 1) + " ms", "-",
             "info");
    printRow(QStringLiteral("preview first picture: longest GUI thread stall meanwhile"), size,
             fmt(first.stallMs, 1) + " ms", "<= 100 ms", ktbench::verdict(first.stallMs <= 100));
    view.zoomBy(1.25);
    const double zoomed = repaintMs(&view);
    printRow(QStringLiteral("preview paint after a zoom within the cache"), size, fmt(zoomed, 1) + " ms", "<= 100 ms",
             ktbench::verdict(zoomed <= 100));
    const double cached = medianRepaintMs(&view, 1);
    printRow(QStringLiteral("preview repaint, cached"), size, fmt(cached, 2) + " ms", "<= 50 ms",
             ktbench::verdict(cached <= 50));
    printRow(QStringLiteral("preview repaint, every stroke / cached"), size, fmt(direct / cached, 0) + "x", "-",
             "info");
    view.zoomBy(8);
    const double past = repaintMs(&view);
    printRow(QStringLiteral("preview paint zoomed in past the cache, detail still painting"), size,
             fmt(past, 1) + " ms", "<= 100 ms", ktbench::verdict(past <= 100));
    const Waited detail = waitForPicture(&view, [] {});
    printRow(QStringLiteral("preview detail picture past the cache, painted off the GUI thread"), size,
             fmt(past + detail.ms, 1) + " ms", "-", "info");
    printRow(QStringLiteral("preview detail picture: longest GUI thread stall meanwhile"), size,
             fmt(detail.stallMs, 1) + " ms", "<= 100 ms", ktbench::verdict(detail.stallMs <= 100));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ktbench::silenceDebugOutput();
    QVector<int> sizes{100000, 1000000};
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--sizes"));
    if (at > 0 && at + 1 < args.size()) {
        sizes.clear();
        for (const QString& n : args.at(at + 1).split(QLatin1Char(',')))
            sizes << n.toInt();
    }
    for (int count : sizes)
        measure(count);
    return 0;
}
