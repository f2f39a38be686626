// The cut order at scale: time, peak memory and pen-up travel of the default order against
// --keep-order and against the previous (quadratic) order, each conversion a process of
// its own, all sizes and modes in one run. A mode's rounds alternate with the others'.
#include "scale.h"

#include "benchsupport.h"
#include "cutoptions.h"
#include "pltwriter.h"
#include "quadraticorder.h"
#include "svgreader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>

using namespace ktconv;

namespace ktbench {
namespace {

constexpr int ChildBoundMs = 15 * 60 * 1000;  // any one conversion
constexpr int EditorBoundMs = 10 * 60 * 1000; // the editor's export, as the issue allows
constexpr int QuadraticUpTo = 100000;         // the previous order takes about an hour beyond
// The editor's export grows with the square of the path count (minutes at 20 000 paths):
// not tried where it cannot finish within its bound.
constexpr int EditorUpTo = 20000;

// Cells of 5 mm on a square grid: an outline 4 mm wide, a counter 2 mm wide in its middle.
// Every path placed at random in the document.
QByteArray squareDrawing(int paths)
{
    const int cells = paths / 2, side = int(std::ceil(std::sqrt(double(cells))));
    QVector<QByteArray> shapes;
    shapes.reserve(paths);
    for (int c = 0; c < cells; ++c) {
        const double x = (c % side) * 5.0, y = (c / side) * 5.0;
        for (const double inset : {0.5, 1.5}) {
            const double w = 5 - 2 * inset;
            shapes << "<path d=\"M" + QByteArray::number(x + inset) + ',' + QByteArray::number(y + inset) + " h"
                          + QByteArray::number(w) + " v" + QByteArray::number(w) + " h-" + QByteArray::number(w)
                          + " Z\"/>\n";
        }
    }
    QRandomGenerator random(20261208);
    std::shuffle(shapes.begin(), shapes.end(), random);
    const QByteArray mm = QByteArray::number(side * 5);
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + mm + "mm\" height=\"" + mm
                     + "mm\" viewBox=\"0 0 " + mm + ' ' + mm + "\" fill=\"none\" stroke=\"black\">\n";
    for (const QByteArray& shape : shapes)
        svg += shape;
    return svg + "</svg>\n";
}

// Half the paths copies of one 4 mm square, half copies of a 2 mm square in its middle, in
// random order: every box holds every other box, every outline holds half the paths.
QByteArray stackedDrawing(int paths)
{
    QVector<QByteArray> shapes;
    shapes.reserve(paths);
    for (int c = 0; c < paths; ++c)
        shapes << (c % 2 ? "<path d=\"M1.5,1.5 h2 v2 h-2 Z\"/>\n" : "<path d=\"M0.5,0.5 h4 v4 h-4 Z\"/>\n");
    QRandomGenerator random(20261208);
    std::shuffle(shapes.begin(), shapes.end(), random);
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"5mm\" height=\"5mm\" viewBox=\"0 0 5 5\" "
                     "fill=\"none\" stroke=\"black\">\n";
    for (const QByteArray& shape : shapes)
        svg += shape;
    return svg + "</svg>\n";
}

long peakResidentKb()
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

// Outlines cut while a counter in them is still to be cut, told apart by size and paired
// by their common centre, without the order's own containment search.
int outlinesBeforeCounters(const CutPaths& paths)
{
    using Centre = QPair<qint64, qint64>;
    auto centreOf = [](const QRectF& box) {
        return Centre(std::llround(box.center().x()), std::llround(box.center().y()));
    };
    QHash<Centre, int> countersLeft;
    for (const CutPath& path : paths) {
        const QRectF box = boundsOf(path);
        if (box.width() < 3 * UnitsPerMm)
            ++countersLeft[centreOf(box)];
    }
    int wrong = 0;
    for (const CutPath& path : paths) {
        const QRectF box = boundsOf(path);
        if (box.width() < 3 * UnitsPerMm)
            --countersLeft[centreOf(box)];
        else if (countersLeft.value(centreOf(box)) > 0)
            ++wrong;
    }
    return wrong;
}

} // namespace

int convertOnce(const QString& file, const QString& mode)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray svg = in.readAll();
    QElapsedTimer clock;
    clock.start();
    SvgDrawing drawing;
    QString error;
    if (!readSvg(svg, &drawing, &error))
        return 3;
    const qint64 readNs = clock.nsecsElapsed();
    CutOptions options;
    options.keepOrder = mode != QLatin1String("order");
    if (!applyCutOptions(&drawing.paths, options, &error))
        return 4;
    if (mode == QLatin1String("quadratic"))
        drawing.paths = quadraticOrder(drawing.paths, QPointF());
    const qint64 orderNs = clock.nsecsElapsed() - readNs;
    const qint64 pltBytes = writePltPage(drawing.paths).size();
    const qint64 totalNs = clock.nsecsElapsed();
    const long peakKb = peakResidentKb();
    QTextStream(stdout) << "result " << totalNs / 1e6 << ' ' << orderNs / 1e6 << ' ' << peakKb << ' '
                        << travelLength(drawing.paths) / UnitsPerMm / 1000 << ' ' << drawing.paths.size() << ' '
                        << outlinesBeforeCounters(drawing.paths) << ' ' << pltBytes << '\n';
    return 0;
}

namespace {

struct Sample
{
    bool ok = false;
    double totalMs = 0, orderMs = 0, travelM = 0;
    double peakMiB = 0;
    int paths = 0, wrong = 0;
};

Sample runChild(const QString& self, const QString& file, const QString& mode)
{
    QProcess child;
    child.start(self, {QStringLiteral("--convert"), file, mode});
    Sample s;
    if (!child.waitForFinished(ChildBoundMs)) {
        child.kill();
        child.waitForFinished();
        return s;
    }
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || f.size() != 8 || f[0] != "result")
        return s;
    s = {true, f[1].toDouble(), f[2].toDouble(), f[4].toDouble(), f[3].toLong() / 1024.0, f[5].toInt(), f[6].toInt()};
    return s;
}

// The editor's own HP-GL export of the same drawing; peak memory from /usr/bin/time.
Sample runEditor(const QString& file, const QString& out)
{
    QProcess editor;
    QElapsedTimer clock;
    clock.start();
    editor.start(QStringLiteral("/usr/bin/time"),
                 {QStringLiteral("-f"), QStringLiteral("peak %M"), QStringLiteral("inkscape"),
                  QStringLiteral("--export-type=hpgl"), QStringLiteral("--export-filename=") + out, file});
    Sample s;
    if (!editor.waitForFinished(EditorBoundMs)) {
        editor.kill();
        editor.waitForFinished();
        s.wrong = 1; // out of time
        return s;
    }
    s.totalMs = clock.nsecsElapsed() / 1e6;
    const QByteArray err = editor.readAllStandardError();
    const int at = err.lastIndexOf("peak ");
    s.peakMiB = at < 0 ? 0 : err.mid(at + 5).trimmed().toLong() / 1024.0;
    s.ok = editor.exitCode() == 0 && QFile::exists(out);
    return s;
}

Sample medianOf(const QVector<Sample>& samples)
{
    Sample m = samples.value(0);
    QVector<double> total, order, peak;
    for (const Sample& s : samples) {
        m.ok = m.ok && s.ok;
        total << s.totalMs;
        order << s.orderMs;
        peak << s.peakMiB;
    }
    if (!samples.isEmpty()) {
        m.totalMs = median(total);
        m.orderMs = median(order);
        m.peakMiB = median(peak);
    }
    return m;
}

QString ratio(double a, double b, const QString& unit, int decimals = 0)
{
    return QStringLiteral("%1 (%2 %4 / %3 %4)").arg(fmt(a / b), fmt(a, decimals), fmt(b, decimals), unit);
}

void printSizeRows(int n, const QHash<QString, Sample>& at)
{
    const QString m = QStringLiteral("8 cut order"), size = QStringLiteral("%1 paths: ").arg(n);
    const Sample &def = at[QStringLiteral("order")], &keep = at[QStringLiteral("keep")];
    if (!def.ok || !keep.ok) {
        printRow(m, size + QStringLiteral("conversion"), QStringLiteral("did not finish"), QStringLiteral("-"),
                 QStringLiteral("FAILED"));
        return;
    }
    const bool target = n == 100000;
    printRow(m, size + QStringLiteral("conversion time, default order / --keep-order"),
             ratio(def.totalMs, keep.totalMs, QStringLiteral("ms")),
             target ? QStringLiteral("<= 3") : QStringLiteral("-"),
             target ? verdict(def.totalMs <= 3 * keep.totalMs) : QStringLiteral("info"));
    printRow(m, size + QStringLiteral("peak resident memory, default order / --keep-order"),
             ratio(def.peakMiB, keep.peakMiB, QStringLiteral("MiB")), QStringLiteral("<= 2"),
             verdict(def.peakMiB <= 2 * keep.peakMiB));
    printRow(m, size + QStringLiteral("outlines cut before their counter, default order"),
             QStringLiteral("%1 of %2").arg(def.wrong).arg(def.paths / 2), QStringLiteral("0"),
             verdict(def.wrong == 0));
    const Sample& old = at[QStringLiteral("quadratic")];
    if (!old.ok)
        return;
    printRow(m, size + QStringLiteral("ordering step (with options), previous order / indexed"),
             ratio(old.orderMs, def.orderMs, QStringLiteral("ms")), QStringLiteral("-"), QStringLiteral("info"));
    printRow(m, size + QStringLiteral("pen-up travel, indexed / previous order"),
             ratio(def.travelM, old.travelM, QStringLiteral("m"), 2), QStringLiteral("<= 1.02"),
             verdict(def.travelM <= 1.02 * old.travelM));
}

} // namespace

int writeDrawing(int paths, const QString& file, bool stacked)
{
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(stacked ? stackedDrawing(paths) : squareDrawing(paths)) >= 0 ? 0
                                                                                                                    : 2;
}

void runStackedRows(const QString& self, int paths)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("stacked.svg"));
    if (writeDrawing(paths, file, true) != 0)
        return;
    const Sample def = runChild(self, file, QStringLiteral("order"));
    const Sample keep = runChild(self, file, QStringLiteral("keep"));
    const QString m = QStringLiteral("8 cut order"), size = QStringLiteral("%1 stacked paths: ").arg(paths);
    if (!def.ok || !keep.ok) {
        printRow(m, size + QStringLiteral("conversion"), QStringLiteral("did not finish"), QStringLiteral("-"),
                 QStringLiteral("FAILED"));
        return;
    }
    printRow(m, size + QStringLiteral("conversion time, default order / --keep-order"),
             ratio(def.totalMs, keep.totalMs, QStringLiteral("ms")), QStringLiteral("-"), QStringLiteral("info"));
    printRow(m, size + QStringLiteral("peak resident memory, default order / --keep-order"),
             ratio(def.peakMiB, keep.peakMiB, QStringLiteral("MiB")), QStringLiteral("<= 2"),
             verdict(def.peakMiB <= 2 * keep.peakMiB));
    printRow(m, size + QStringLiteral("outlines cut before one of their counters, default order"),
             QStringLiteral("%1 of %2").arg(def.wrong).arg(def.paths / 2), QStringLiteral("0"),
             verdict(def.wrong == 0));
}

void runScaleRows(const QString& self, const QVector<int>& sizes, bool editor)
{
    QTemporaryDir dir;
    for (int n : sizes) {
        const QString file = dir.filePath(QStringLiteral("squares-%1.svg").arg(n));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(squareDrawing(n)) < 0)
            return;
        out.close();
        QStringList modes{QStringLiteral("order"), QStringLiteral("keep")};
        if (n <= QuadraticUpTo)
            modes << QStringLiteral("quadratic");
        QHash<QString, QVector<Sample>> samples;
        for (int round = 0; round < (n <= 10000 ? 3 : 1); ++round) {
            for (const QString& mode : modes)
                samples[mode] << runChild(self, file, mode);
        }
        QHash<QString, Sample> at;
        for (const QString& mode : modes)
            at[mode] = medianOf(samples[mode]);
        printSizeRows(n, at);
        if (editor && n <= EditorUpTo) {
            const Sample e = runEditor(file, dir.filePath(QStringLiteral("editor.hpgl")));
            const QString failed = e.wrong ? QStringLiteral("not within 10 minutes") : QStringLiteral("failed");
            printRow(QStringLiteral("8 cut order"), QStringLiteral("%1 paths: the vector editor's export").arg(n),
                     e.ok ? QStringLiteral("%1 ms, peak %2 MiB (%3 x the default order's time)")
                                .arg(fmt(e.totalMs, 0), fmt(e.peakMiB, 0),
                                     fmt(e.totalMs / at[QStringLiteral("order")].totalMs, 0))
                          : failed,
                     QStringLiteral("-"), QStringLiteral("info"));
        }
        QFile::remove(file);
    }
}

} // namespace ktbench
