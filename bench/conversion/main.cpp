// A drawing of `rows` x `columns` letters "O" (an outline and its counter, the counter
// drawn after the outline) in a shuffled order, each placed by a group transform, on an
// A3 mm page: 2 paths a letter. Times are medians of 5 runs; peak memory is the process's
// resident high-water mark (VmHWM) above what it held before the first conversion. The
// previous (quadratic) cut order runs beside the current one for its time and travel.
// Then the cut order at scale (scale.cpp); options: --sizes N,N,... (default 1000, 10000,
// 100000, 1000000; 0 for none) and --with-editor (the vector editor's export as well).
// --write-drawing N FILE writes the drawing of N paths; --convert FILE MODE converts it once.
#include "benchsupport.h"
#include "conversion.h"
#include "pltwriter.h"
#include "quadraticorder.h"
#include "scale.h"
#include "svgreader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>

#include <algorithm>

using namespace ktconv;
using ktbench::fmt;
using ktbench::printRow;

namespace {

QByteArray letterDrawing(int rows, int columns)
{
    QVector<QPoint> cells;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            cells << QPoint(c, r);
    std::shuffle(cells.begin(), cells.end(), *QRandomGenerator::global());
    QByteArray svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"420mm\" height=\"297mm\" viewBox=\"0 0 420 297\">\n";
    const double pitch = std::min(420.0 / columns, 297.0 / rows);
    for (const QPoint& cell : cells) {
        svg += "<g transform=\"translate(" + QByteArray::number(cell.x() * pitch) + ','
               + QByteArray::number(cell.y() * pitch) + ") scale(" + QByteArray::number(pitch / 10)
               + ")\">"
                 "<path d=\"M 5 0.5 C 7.5 0.5 9.5 2.5 9.5 5 C 9.5 7.5 7.5 9.5 5 9.5 C 2.5 9.5 0.5 7.5 0.5 5 C 0.5 2.5 "
                 "2.5 0.5 5 0.5 Z\" fill=\"black\"/>"
                 "<ellipse cx=\"5\" cy=\"5\" rx=\"2.5\" ry=\"3\" fill=\"white\"/></g>\n";
    }
    return svg + "</svg>\n";
}

long residentPeakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

long residentNowKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * 4;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

// The previous (quadratic) cut order on the same drawing, after the peak memory was read:
// its time, and the pen-up travel of the current order against it.
int previousOrderRows(const QByteArray& svg, double indexedMs, double travelIndexed)
{
    SvgDrawing drawing;
    QString error;
    CutOptions options;
    options.keepOrder = true;
    if (!readSvg(svg, &drawing, &error) || !applyCutOptions(&drawing.paths, options, &error))
        return 1;
    QVector<double> previousMs;
    double travel = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        const CutPaths previous = ktbench::quadraticOrder(drawing.paths, options.originMm * UnitsPerMm);
        previousMs << clock.nsecsElapsed() / 1e6;
        travel = travelLength(previous) / UnitsPerMm / 1000;
    }
    printRow(QStringLiteral("7 conversion"), QStringLiteral("ordering alone: previous order / indexed order"),
             QStringLiteral("%1 ms / %2 ms").arg(fmt(median(previousMs), 0), fmt(indexedMs, 0)), QStringLiteral("-"),
             QStringLiteral("info"));
    printRow(
        QStringLiteral("7 conversion"), QStringLiteral("pen-up travel: indexed order / previous order"),
        QStringLiteral("%1 (%2 m / %3 m)").arg(fmt(travelIndexed / travel, 3), fmt(travelIndexed, 2), fmt(travel, 2)),
        QStringLiteral("<= 1.02"), ktbench::verdict(travelIndexed <= 1.02 * travel));
    return 0;
}

int letterRows()
{
    const int rows = 50, columns = 70;
    const QByteArray svg = letterDrawing(rows, columns);
    const long before = residentNowKb();

    QVector<double> readMs, orderMs, keptMs, writeMs;
    double travelOrdered = 0, travelKept = 0, cut = 0;
    int paths = 0;
    qint64 pltBytes = 0;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        SvgDrawing drawing;
        QString error;
        if (!readSvg(svg, &drawing, &error)) {
            qWarning("%s", qPrintable(error));
            return 1;
        }
        readMs << clock.nsecsElapsed() / 1e6;
        CutPaths ordered = drawing.paths, kept = drawing.paths;
        CutOptions options;
        clock.restart();
        applyCutOptions(&ordered, options, &error);
        orderMs << clock.nsecsElapsed() / 1e6;
        options.keepOrder = true;
        clock.restart();
        applyCutOptions(&kept, options, &error);
        keptMs << clock.nsecsElapsed() / 1e6;
        clock.restart();
        pltBytes = writePltPage(ordered).size();
        writeMs << clock.nsecsElapsed() / 1e6;
        paths = ordered.size();
        cut = penDownLength(ordered) / UnitsPerMm / 1000;
        travelOrdered = travelLength(ordered) / UnitsPerMm / 1000;
        travelKept = travelLength(kept) / UnitsPerMm / 1000;
    }
    const double total = median(readMs) + median(orderMs) + median(writeMs);
    const QString size =
        QStringLiteral("%1 paths (%2 letters), %3 KiB SVG").arg(paths).arg(rows * columns).arg(svg.size() / 1024);
    printRow(QStringLiteral("7 conversion"), size + QStringLiteral(": read / order+options / write PLT"),
             QStringLiteral("%1 / %2 / %3 ms (total %4 ms, %5 KiB PLT)")
                 .arg(fmt(median(readMs), 0), fmt(median(orderMs), 0), fmt(median(writeMs), 0), fmt(total, 0))
                 .arg(pltBytes / 1024),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(QStringLiteral("7 conversion"), QStringLiteral("the same with --keep-order: options only"),
             QStringLiteral("%1 ms").arg(fmt(median(keptMs), 0)), QStringLiteral("-"), QStringLiteral("info"));
    printRow(QStringLiteral("7 conversion"),
             QStringLiteral("peak resident memory above the start (VmHWM - RSS before)"),
             QStringLiteral("%1 MiB").arg(fmt((residentPeakKb() - before) / 1024.0, 1)), QStringLiteral("-"),
             QStringLiteral("info"));
    printRow(QStringLiteral("7 conversion"),
             QStringLiteral("pen-up travel: ordered / drawing order (cut length %1 m)").arg(fmt(cut, 1)),
             QStringLiteral("%1 m / %2 m (%3 x less)")
                 .arg(fmt(travelOrdered, 1), fmt(travelKept, 1), fmt(travelKept / travelOrdered, 1)),
             QStringLiteral("ordered < drawing order"), ktbench::verdict(travelOrdered < travelKept));
    return previousOrderRows(svg, median(orderMs) - median(keptMs), travelOrdered);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qSetMessagePattern(QStringLiteral("%{if-debug}%{endif}%{if-warning}%{message}%{endif}"));
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--convert"))
        return ktbench::convertOnce(args.value(2), args.value(3));
    if (args.value(1) == QLatin1String("--write-drawing"))
        return ktbench::writeDrawing(args.value(2).toInt(), args.value(3), args.contains(QStringLiteral("--stacked")));
    QVector<int> sizes{1000, 10000, 100000, 1000000};
    const int sizesAt = args.indexOf(QStringLiteral("--sizes"));
    if (sizesAt > 0) {
        sizes.clear();
        for (const QString& n : args.value(sizesAt + 1).split(QLatin1Char(',')))
            if (n.toInt() > 0)
                sizes << n.toInt();
    }
    if (const int failed = letterRows())
        return failed;
    ktbench::runScaleRows(app.applicationFilePath(), sizes, args.contains(QStringLiteral("--with-editor")));
    const int stackedAt = args.indexOf(QStringLiteral("--stacked"));
    ktbench::runStackedRows(app.applicationFilePath(), stackedAt > 0 ? args.value(stackedAt + 1).toInt() : 30000);
    return 0;
}
