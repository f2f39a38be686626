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

double lineStart(const QRectF& frame, const QString& anchor)
{
    if (anchor == QLatin1String("middle"))
        return frame.center().x();
    if (anchor == QLatin1String("end"))
        return frame.right();
    return frame.left();
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

bool wrapInFrames(TextBlock* block, const QVector<QRectF>& frames, bool firstBaselineAtTop)
{
    QVector<bool> keep(block->chars.size(), true);
    int frame = 0;
    double baseline = frames.value(0).top();
    bool first = true, fits = true;
    for (int i = 0; i < block->chars.size();) {
        TextChar& c = block->chars[i];
        const TextStyle& style = block->styles[c.style];
        // Half the leading above the em box, as CSS lays a line.
        const double firstLine = firstBaselineAtTop ? (style.lineHeight - style.size) / 2 + fontAscent(style) : 0;
        baseline += first ? firstLine : style.lineHeight;
        first = false;
        if (baseline > frames[frame].bottom() && frame + 1 < frames.size())
            baseline = frames[++frame].top() + firstLine;
        if (baseline > frames[frame].bottom()) {
            for (int k = i; k < block->chars.size(); ++k)
                keep[k] = false;
            fits = false;
            break;
        }
        if (c.character == QLatin1String("\n")) { // an empty paragraph still takes its line
            ++i;
            continue;
        }
        const int end = lineEnd(*block, i, frames[frame].width());
        c.x = lineStart(frames[frame], style.anchor);
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
