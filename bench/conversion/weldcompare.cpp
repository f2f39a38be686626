// Welding a long line of script: Qt's path union against Clipper's, on the lettering's
// curves (the way `ktrv8 text --weld` welds) and on a drawing's flattened strokes (the way
// `--weld` welds a drawing). Time is the median of 3 runs; the ink-area error is the
// result's area against the unwelded text filled under the nonzero rule, both counted on
// the same 20 px/mm raster (the raster's own error is well below 0.1 %).
#include "conversion.h"
#include "lettering.h"
#include "weld.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtMath>

#include <cstdio>

using namespace ktconv;

namespace {

constexpr double PxPerUnit = 20;

// Pixels inside the path under its fill rule.
qint64 inkPixels(const QPainterPath& path, double pxPerUnit)
{
    const QRectF box = path.boundingRect();
    QImage image(qCeil(box.width() * pxPerUnit) + 2, qCeil(box.height() * pxPerUnit) + 2, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.translate(1, 1);
    painter.scale(pxPerUnit, pxPerUnit);
    painter.translate(-box.topLeft());
    painter.fillPath(path, Qt::white);
    painter.end();
    qint64 count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            count += line[x] ? 1 : 0;
    }
    return count;
}

QPainterPath qtUnion(const QPainterPath& outlines, double fine)
{
    QPainterPath nonzero = QTransform::fromScale(fine, fine).map(outlines);
    nonzero.setFillRule(Qt::WindingFill);
    return QTransform::fromScale(1 / fine, 1 / fine).map(nonzero.simplified());
}

QPainterPath fromPaths(const CutPaths& paths)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const CutPath& p : paths)
        path.addPolygon(QPolygonF(p.points));
    return path;
}

template <typename F>
double medianMs(F run, QPainterPath* result)
{
    QVector<double> ms;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        *result = run();
        ms << timer.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    return ms[1];
}

void report(const char* what, double ms, const QPainterPath& welded, qint64 reference, double pxPerUnit)
{
    QPainterPath evenOdd = welded;
    evenOdd.setFillRule(Qt::OddEvenFill); // a weld's outlines do not overlap: any rule counts alike
    const double error = 100.0 * (inkPixels(evenOdd, pxPerUnit) - reference) / reference;
    std::printf("%-34s %10.1f ms %+9.3f %% %9d outlines\n", what, ms, error, outlineCount(welded));
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    // --lines N: the three lines below repeated to N lines (default 3).
    const int wanted =
        qMax(1, app.arguments().indexOf(QStringLiteral("--lines")) > 0
                    ? app.arguments().value(app.arguments().indexOf(QStringLiteral("--lines")) + 1).toInt()
                    : 3);
    const QStringList three{QStringLiteral("The quick brown fox jumps over the lazy dog, minimum"),
                            QStringLiteral("Sphinx of black quartz, judge my vow; illuminated"),
                            QStringLiteral("Pack my box with five dozen liquor jugs, summer")};
    QStringList lines;
    while (lines.size() < wanted)
        lines << three[lines.size() % 3];
    LetteringOptions options;
    options.family = QStringLiteral("Dancing Script");
    options.capHeightMm = 10;
    Lettering text;
    QString error;
    if (!layOutLettering(lines, options, &text, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d characters in %s, %.0f x %.0f mm, %d outlines unwelded\n", int(lines.join(QString()).size()),
                qPrintable(text.familyUsed), text.widthMm, text.heightMm, outlineCount(text.outline));
    std::printf("%-34s %13s %11s %18s\n", "union", "time", "ink error", "");
    const qint64 curves = inkPixels(text.outline, PxPerUnit);
    QPainterPath welded;
    double ms = medianMs([&] { return qtUnion(text.outline, 1); }, &welded);
    report("curves, Qt, in mm", ms, welded, curves, PxPerUnit);
    ms = medianMs([&] { return qtUnion(text.outline, 1000); }, &welded);
    report("curves, Qt, at 1000x", ms, welded, curves, PxPerUnit);
    ms = medianMs([&] { return weldOutlines(text.outline); }, &welded);
    report("curves, Clipper", ms, welded, curves, PxPerUnit);

    CutPaths strokes;
    if (!convertDrawing(letteringDrawing(text), CutOptions(), &strokes, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QPainterPath polygons = fromPaths(strokes);
    const double pxPerPlotterUnit = PxPerUnit / UnitsPerMm;
    const qint64 flat = inkPixels(polygons, pxPerPlotterUnit);
    ms = medianMs([&] { return qtUnion(polygons, 1); }, &welded);
    report("drawing strokes, Qt", ms, welded, flat, pxPerPlotterUnit);
    ms = medianMs(
        [&] {
            CutPaths copy = strokes;
            weldPaths(&copy);
            return fromPaths(copy);
        },
        &welded);
    report("drawing strokes, Clipper", ms, welded, flat, pxPerPlotterUnit);
    return 0;
}
