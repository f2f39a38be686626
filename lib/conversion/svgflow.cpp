#include "svgtext.h"

namespace ktconv {
namespace {

bool isBreak(const TextBlock& block, int i)
{
    return i >= block.chars.size() || block.chars[i].character == QLatin1String(" ")
           || block.chars[i].character == QLatin1String("\n");
}

// The end of the longest run of words from `from` that fits `width` (at least one word).
int lineEnd(const TextBlock& block, int from, double width)
{
    int fits = -1;
    for (int end = from + 1; end <= block.chars.size(); ++end) {
        if (!isBreak(block, end) || isBreak(block, end - 1))
            continue;
        if (fits >= 0 && measureChars(block, from, end) > width)
            break;
        fits = end;
        if (end < block.chars.size() && block.chars[end].character == QLatin1String("\n"))
            break;
    }
    return fits < 0 ? block.chars.size() : fits;
}

double lineStart(double left, double right, const QString& anchor)
{
    if (anchor == QLatin1String("middle"))
        return (left + right) / 2;
    if (anchor == QLatin1String("end"))
        return right;
    return left;
}

using Spans = QVector<QPair<double, double>>;

// Where a horizontal line at y is inside the polygons (even-odd), left to right.
Spans spansAt(const QList<QPolygonF>& polygons, double y)
{
    QVector<double> xs;
    for (const QPolygonF& polygon : polygons) {
        for (int i = 0; i < polygon.size(); ++i) {
            const QPointF a = polygon[i], b = polygon[(i + 1) % polygon.size()];
            if ((a.y() <= y && y < b.y()) || (b.y() <= y && y < a.y()))
                xs << a.x() + (y - a.y()) * (b.x() - a.x()) / (b.y() - a.y());
        }
    }
    std::sort(xs.begin(), xs.end());
    Spans spans;
    for (int i = 0; i + 1 < xs.size(); i += 2)
        spans << qMakePair(xs[i], xs[i + 1]);
    return spans;
}

Spans common(const Spans& a, const Spans& b)
{
    Spans both;
    for (const auto& s : a) {
        for (const auto& t : b) {
            const double left = qMax(s.first, t.first), right = qMin(s.second, t.second);
            if (right > left)
                both << qMakePair(left, right);
        }
    }
    return both;
}

// The widest stretch inside the frame over the whole band from top to bottom, scanned at
// its edges and across it: where a line of that height can be laid.
QPair<double, double> widestSpan(const QPainterPath& frame, double top, double bottom)
{
    const QList<QPolygonF> polygons = frame.toFillPolygons();
    constexpr int Scans = 4;
    const double inset = (bottom - top) * 1e-6;
    Spans spans = spansAt(polygons, top + inset);
    for (int i = 1; i <= Scans; ++i)
        spans = common(spans, spansAt(polygons, top + inset + (bottom - top - 2 * inset) * i / Scans));
    QPair<double, double> widest(0, 0);
    for (const auto& span : qAsConst(spans)) {
        if (span.second - span.first > widest.second - widest.first)
            widest = span;
    }
    return widest;
}

} // namespace

double measureChars(const TextBlock& block, int from, int to)
{
    double width = 0;
    for (int i = from; i < to;) {
        int j = i + 1;
        while (j < to && block.chars[j].style == block.chars[i].style)
            ++j;
        QString text;
        for (int k = i; k < j; ++k)
            text += block.chars[k].character == QLatin1String("\n") ? QString() : block.chars[k].character;
        double advance = 0;
        shapeRun(text, block.styles[block.chars[i].style], &advance);
        width += advance;
        i = j;
    }
    return width;
}

bool wrapInFrames(TextBlock* block, const QVector<QPainterPath>& frames, bool firstBaselineAtTop)
{
    QVector<bool> keep(block->chars.size(), true);
    int frame = 0;
    double baseline = frames.value(0).boundingRect().top();
    bool first = true, fits = true;
    for (int i = 0; i < block->chars.size();) {
        TextChar& c = block->chars[i];
        const TextStyle& style = block->styles[c.style];
        // Half the leading above the em box, as CSS lays a line.
        const double firstLine = firstBaselineAtTop ? (style.lineHeight - style.size) / 2 + fontAscent(style) : 0;
        baseline += first ? firstLine : style.lineHeight;
        first = false;
        if (baseline > frames[frame].boundingRect().bottom() && frame + 1 < frames.size())
            baseline = frames[++frame].boundingRect().top() + firstLine;
        if (baseline > frames[frame].boundingRect().bottom()) {
            for (int k = i; k < block->chars.size(); ++k)
                keep[k] = false;
            fits = false;
            break;
        }
        if (c.character == QLatin1String("\n")) { // an empty paragraph still takes its line
            ++i;
            continue;
        }
        // A band too narrow for the next word is passed over, as where a round frame narrows.
        // An inline size's frame starts at the first baseline: the band is clamped to it.
        const double top = qMax(baseline - fontAscent(style), frames[frame].boundingRect().top());
        const auto span = widestSpan(frames[frame], top, baseline);
        if (span.second - span.first < measureChars(*block, i, lineEnd(*block, i, 0)))
            continue;
        const int end = lineEnd(*block, i, span.second - span.first);
        c.x = lineStart(span.first, span.second, style.anchor);
        c.y = baseline;
        i = end;
        // The spaces where a line breaks are not drawn; a paragraph's end is passed over.
        while (i < block->chars.size() && block->chars[i].character == QLatin1String(" "))
            keep[i++] = false;
        if (i < block->chars.size() && block->chars[i].character == QLatin1String("\n"))
            ++i;
    }
    QVector<TextChar> kept;
    for (int i = 0; i < block->chars.size(); ++i) {
        if (keep[i])
            kept << block->chars[i];
    }
    block->chars = kept;
    return fits;
}

} // namespace ktconv
