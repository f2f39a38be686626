// The nesting step of arrange.h, apart from the rest because the nesting library is heavy
// to compile.
#include "arrange.h"

#include <libnest2d/libnest2d.hpp>

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

namespace ktconv {
namespace {

namespace n2d = libnest2d;

// Each try packs every outline once; the shortest strip that holds them all is searched by
// halving between the shortest any packing can be and the longest allowed.
constexpr int MaxTries = 10;
constexpr qint64 MaxMilliseconds = 20000;
// Past this many designs a try takes minutes; rows lay them out instead.
constexpr int MaxOutlines = 400;

n2d::Item item(const QPolygonF& outline)
{
    // The nester takes closed outlines clockwise (y upwards), in whole units.
    n2d::PathImpl path;
    for (int i = outline.size() - 1; i >= 0; --i)
        path.push_back({n2d::Coord(std::lround(outline[i].x())), n2d::Coord(std::lround(outline[i].y()))});
    if (!path.empty() && !(path.front() == path.back()))
        path.push_back(path.front());
    return n2d::Item(std::move(path));
}

// One try: all outlines in one strip of the given length, or false; a try still under way
// when the time is up is given up.
bool tryStrip(const QVector<QPolygonF>& outlines, double width, double gap, double length, const QElapsedTimer& clock,
              QVector<NestPlace>* places)
{
    std::vector<n2d::Item> items;
    for (const QPolygonF& outline : outlines)
        items.push_back(item(outline));
    using Config = n2d::NestConfig<n2d::NfpPlacer, n2d::FirstFitSelection>;
    using Align = n2d::placers::NfpPConfig<n2d::PolygonImpl>::Alignment;
    Config config;
    config.placer_config.alignment = Align::BOTTOM_LEFT;
    config.placer_config.starting_point = Align::BOTTOM_LEFT;
    config.placer_config.parallel = false; // the same layout on every machine
    // The nester keeps half the gap from the edges, which the material does not need.
    const auto half = n2d::Coord(std::lround(gap / 2));
    const n2d::Box strip({-half, -half},
                         {n2d::Coord(std::lround(width)) + half, n2d::Coord(std::lround(length)) + half});
    const n2d::NestControl control([&clock] { return clock.elapsed() > MaxMilliseconds; });
    std::size_t bins = 0;
    try {
        bins = n2d::nest(items, strip, n2d::Coord(std::lround(gap)), config, control);
    } catch (const std::exception&) {
        return false; // the layout in rows stands
    }
    const bool allIn =
        std::all_of(items.begin(), items.end(), [](const n2d::Item& placed) { return placed.binId() == 0; });
    if (bins != 1 || !allIn)
        return false;
    places->clear();
    for (const n2d::Item& placed : items) {
        const double turns = placed.rotation() / (n2d::Pi / 2);
        const auto moved = placed.translation();
        places->append(NestPlace{int(std::lround(turns)) % 4, QPointF(n2d::getX(moved), n2d::getY(moved))});
    }
    return true;
}

} // namespace

bool nestOutlines(const QVector<QPolygonF>& outlines, double width, double gap, double limit,
                  QVector<NestPlace>* places)
{
    if (outlines.size() > MaxOutlines)
        return false;
    double area = 0;
    for (const QPolygonF& outline : outlines) {
        const QRectF box = outline.boundingRect();
        area += (box.width() + gap) * (box.height() + gap);
    }
    double shortest = std::max(0.0, area / (width + gap) / 2);
    double longest = limit;
    bool found = false;
    QElapsedTimer clock;
    clock.start();
    QVector<NestPlace> tried;
    for (int i = 0; i < MaxTries && clock.elapsed() < MaxMilliseconds && longest - shortest > gap; ++i) {
        const double length = i == 0 ? longest : (shortest + longest) / 2;
        if (tryStrip(outlines, width, gap, length, clock, &tried)) {
            *places = tried;
            found = true;
            longest = length;
        } else if (!found) {
            return false; // not even as long as allowed
        } else {
            shortest = length;
        }
    }
    return found;
}

} // namespace ktconv
