#include "svgtext.h"

#include <algorithm>

namespace ktconv {
namespace {

bool isSpace(const TextChar& c)
{
    return c.character == QLatin1String(" ");
}

const QString SoftHyphen = QStringLiteral("\u00ad"); // where a word may be broken

bool isParagraphEnd(const TextChar& c)
{
    return c.character == QLatin1String("\n");
}

// A run of characters between spaces: what a line is broken between.
struct Word
{
    int from = 0, to = 0; // into TextBlock::chars
    double width = 0;
    double gap = 0; // the spaces after it, with their word- and letter-spacing
    bool rtl = false;
    bool joined = false; // ends in a soft hyphen: the next word goes on without a space
};

struct Paragraph
{
    QVector<Word> words;
    int style = 0;    // of its first character: its direction, alignment, indent and empty line
    bool rtl = false; // its text reads right to left: the order its words are laid in
};

QString textOf(const TextBlock& block, int from, int to)
{
    QString text;
    for (int i = from; i < to; ++i)
        text += block.chars[i].character;
    return text;
}

QVector<Paragraph> paragraphsOf(const TextBlock& block)
{
    QVector<Paragraph> paragraphs(1);
    bool started = false;
    QString text;
    for (int i = 0; i < block.chars.size();) {
        Paragraph& p = paragraphs.last();
        if (!started)
            p.style = block.chars[i].style;
        started = true;
        if (isParagraphEnd(block.chars[i])) {
            p.rtl = text.isRightToLeft();
            text.clear();
            paragraphs << Paragraph();
            started = false;
            ++i;
        } else if (isSpace(block.chars[i])) {
            if (!p.words.isEmpty())
                p.words.last().gap += measureChars(block, i, i + 1);
            ++i;
        } else {
            Word word;
            word.from = i;
            while (i < block.chars.size() && !isSpace(block.chars[i]) && !isParagraphEnd(block.chars[i])
                   && !word.joined)
                word.joined = block.chars[i++].character == SoftHyphen;
            word.to = i;
            word.width = measureChars(block, word.from, word.to - (word.joined ? 1 : 0));
            const QString wordText = textOf(block, word.from, word.to);
            word.rtl = wordText.isRightToLeft();
            text += wordText;
            p.words << word;
        }
    }
    paragraphs.last().rtl = text.isRightToLeft();
    if (!started) // the last paragraph's end starts none
        paragraphs.removeLast();
    return paragraphs;
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
    for (int i = 0; i + 1 < xs.size(); i += 2) {
        // A region with a hole comes as one polygon joined to the hole by a seam, which
        // ends one span where the next begins: the two are one stretch.
        if (!spans.isEmpty() && xs[i] - spans.last().second < 1e-9)
            spans.last().second = xs[i + 1];
        else
            spans << qMakePair(xs[i], xs[i + 1]);
    }
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
    std::sort(both.begin(), both.end());
    return both;
}

// Every stretch inside the frame over the whole band from top to bottom, scanned at its
// edges and across it, left to right: where a line of that height can be laid.
Spans stretchesIn(const QList<QPolygonF>& polygons, double top, double bottom)
{
    constexpr int Scans = 4;
    const double inset = (bottom - top) * 1e-6;
    Spans spans = spansAt(polygons, top + inset);
    for (int i = 1; i <= Scans; ++i)
        spans = common(spans, spansAt(polygons, top + inset + (bottom - top - 2 * inset) * i / Scans));
    return spans;
}

enum class Align {
    Left,
    Center,
    Right,
    Justify
};

// text-align where flowed text sets it, else what its text-anchor means for a line; start
// and end as the paragraph's direction says, not its words.
Align alignOf(const TextStyle& style)
{
    const QString& a = style.align;
    if (a == QLatin1String("center") || (a.isEmpty() && style.anchor == QLatin1String("middle")))
        return Align::Center;
    if (a == QLatin1String("justify"))
        return Align::Justify;
    if (a == QLatin1String("left") || a == QLatin1String("right"))
        return a == QLatin1String("left") ? Align::Left : Align::Right;
    const bool end = a == QLatin1String("end") || (a.isEmpty() && style.anchor == QLatin1String("end"));
    return end != style.rtl ? Align::Right : Align::Left;
}

// One stretch of a line and the words [from, to) of a paragraph it holds.
struct Piece
{
    QPair<double, double> stretch;
    int from = 0, to = 0;
};

class Flow
{
public:
    Flow(TextBlock* block, const QVector<QPainterPath>& frames, bool atTop, const TextStyle& strut)
        : block(*block), frames(frames), atTop(atTop), kept(block->chars.size(), false)
    {
        for (const QPainterPath& frame : frames)
            polygons << frame.toFillPolygons();
        // Each line box holds the element's own line as well as its words', as CSS's strut.
        const double strutAscent = fontAscent(strut);
        const double strutAbove = (strut.lineHeight - strut.size) / 2 + strutAscent;
        for (const TextStyle& style : block->styles) {
            const double ascent = fontAscent(style), own = (style.lineHeight - style.size) / 2 + ascent;
            ascents << qMax(ascent, strutAscent);
            descents << qMax(style.size - ascent, strut.size - strutAscent);
            above << qMax(own, strutAbove);
            below << qMax(style.lineHeight - own, strut.lineHeight - strutAbove);
        }
        for (TextChar& c : block->chars)
            c.x = c.y = NAN;
    }

    bool run()
    {
        bool fits = true;
        for (const Paragraph& p : paragraphsOf(block)) {
            if (!(fits = layParagraph(p)))
                break;
        }
        QVector<TextChar> chars;
        for (int i = 0; i < block.chars.size(); ++i) {
            if (kept[i])
                chars << block.chars[i];
        }
        block.chars = chars;
        for (TextStyle& style : block.styles)
            style.anchor = QStringLiteral("start"); // every word is placed where its line puts it
        return fits;
    }

private:
    double aboveOf(int style) const { return above[style]; }
    double belowOf(int style) const { return below[style]; }

    // The next line's baseline, a line box below the last, in the next frame when this one
    // is full; false when no frame is left.
    bool advance(double lineAbove)
    {
        const double fromTop = atTop ? lineAbove : 0;
        baseline = first ? frames[frame].boundingRect().top() + fromTop : baseline + lastBelow + lineAbove;
        first = false;
        if (baseline > frames[frame].boundingRect().bottom() && frame + 1 < frames.size())
            baseline = frames[++frame].boundingRect().top() + fromTop;
        return baseline <= frames[frame].boundingRect().bottom();
    }

    // The characters of a word no line of the frame can hold, as many as fit `width`, made a
    // word of their own that the rest goes on from without a space; false when not even
    // the first fits. A combining mark stays with the character it marks.
    bool breakWord(Paragraph* p, int w, double width) const
    {
        Word& word = p->words[w];
        if (word.width <= frames[frame].boundingRect().width() + 1e-9)
            return false;
        // The longest start that fits: a bound found by doubling, as a line holds few of a
        // long word's characters, then halves.
        int fits = word.from, over = word.from + 1;
        while (over < word.to && measureChars(block, word.from, over) <= width + 1e-9) {
            fits = over;
            over = qMin<int>(word.to, word.from + 2 * (over - word.from));
        }
        while (over - fits > 1) {
            const int middle = (fits + over) / 2;
            (measureChars(block, word.from, middle) <= width + 1e-9 ? fits : over) = middle;
        }
        int end = fits;
        while (end > word.from && block.chars[end].character.at(0).isMark())
            --end;
        if (end == word.from)
            return false;
        Word rest = word;
        rest.from = end;
        rest.width = measureChars(block, end, rest.to - (rest.joined ? 1 : 0));
        word.to = end;
        word.width = measureChars(block, word.from, end);
        word.gap = 0;
        word.joined = true;
        p->words.insert(w + 1, rest);
        return true;
    }

    // The words from `next` laid into the line's stretches in turn, each taking as many as
    // fit; a stretch too narrow for the next word is passed over, unless no line could hold
    // the word: then it is broken where the stretch ends.
    QVector<Piece> fill(Paragraph& p, int next, int style, double indent) const
    {
        const double top = qMax(baseline - ascents[style], frames[frame].boundingRect().top());
        const double bottom = qMin(baseline + descents[style], frames[frame].boundingRect().bottom());
        QVector<Piece> pieces;
        for (const auto& stretch : stretchesIn(polygons[frame], top, bottom)) {
            const double width = stretch.second - stretch.first - (pieces.isEmpty() ? indent : 0);
            Piece piece{stretch, next, next};
            for (double used = 0; piece.to < p.words.size(); ++piece.to) {
                used += (piece.to > next ? p.words[piece.to - 1].gap : 0) + p.words[piece.to].width;
                if (used > width + 1e-9)
                    break;
            }
            if (piece.to == next && breakWord(&p, next, width))
                piece.to = next + 1;
            if (piece.to == next)
                continue;
            pieces << piece;
            next = piece.to;
            if (next == p.words.size())
                break;
        }
        return pieces;
    }

    bool layParagraph(Paragraph p)
    {
        if (p.words.isEmpty()) { // an empty paragraph still takes its line
            lastBelow = belowOf(p.style);
            return advance(aboveOf(p.style));
        }
        int next = 0;
        bool firstLine = true;
        while (next < p.words.size()) {
            const int style = block.chars[p.words[next].from].style;
            if (!advance(aboveOf(style)))
                return false;
            const double indent = firstLine ? block.styles[p.style].indent : 0;
            QVector<Piece> pieces = fill(p, next, style, indent);
            // A taller word on the line moves its baseline down to make room.
            const double lineAbove = extent(p, pieces, &Flow::aboveOf, aboveOf(style));
            if (lineAbove > aboveOf(style) + 1e-9) {
                baseline += lineAbove - aboveOf(style);
                pieces = fill(p, next, style, indent);
            }
            lastBelow = extent(p, pieces, &Flow::belowOf, belowOf(style));
            for (const Piece& piece : qAsConst(pieces)) {
                place(p, piece, piece.from == next ? indent : 0);
                firstLine = false;
            }
            if (!pieces.isEmpty())
                next = pieces.last().to;
        }
        return true;
    }

    double extent(const Paragraph& p, const QVector<Piece>& pieces, double (Flow::*of)(int) const, double least) const
    {
        for (const Piece& piece : pieces) {
            for (int w = piece.from; w < piece.to; ++w) {
                for (int i = p.words[w].from; i < p.words[w].to; ++i)
                    least = qMax(least, (this->*of)(block.chars[i].style));
            }
        }
        return least;
    }

    // The piece's words left to right as bidi orders them: in a right-to-left paragraph the
    // words run from the right, with runs of left-to-right words kept in their order.
    static QVector<int> visualOrder(const Paragraph& p, const Piece& piece)
    {
        QVector<int> order;
        for (int w = piece.from; w < piece.to; ++w)
            order << w;
        if (!p.rtl)
            return order;
        std::reverse(order.begin(), order.end());
        for (int i = 0; i < order.size();) {
            int j = i;
            while (j < order.size() && !p.words[order[j]].rtl)
                ++j;
            std::reverse(order.begin() + i, order.begin() + j);
            i = j + 1;
        }
        return order;
    }

    void place(const Paragraph& p, const Piece& piece, double indent)
    {
        double natural = 0;
        for (int w = piece.from; w < piece.to; ++w)
            natural += p.words[w].width + (w + 1 < piece.to ? p.words[w].gap : 0);
        const double room = piece.stretch.second - piece.stretch.first - indent;
        const TextStyle& style = block.styles[p.style];
        const double left = piece.stretch.first + (style.rtl ? 0 : indent);
        const Align align = alignOf(style);
        const bool last = piece.to == p.words.size();
        int gaps = 0; // where justification may widen the line: not inside a word
        for (int w = piece.from; w + 1 < piece.to; ++w)
            gaps += p.words[w].joined ? 0 : 1;
        const bool justified = align == Align::Justify && !last && gaps > 0;
        const double extra = justified ? (room - natural) / gaps : 0;
        // A justified paragraph's last line, and a line of one word, go to its start.
        const bool right = align == Align::Right || (align == Align::Justify && !justified && style.rtl);
        double x = left + (right ? room - natural : align == Align::Center ? (room - natural) / 2 : 0);
        for (int w : visualOrder(p, piece)) {
            const Word& word = p.words[w];
            block.chars[word.from].x = x;
            block.chars[word.from].y = baseline;
            for (int i = word.from; i < word.to; ++i)
                kept[i] = block.chars[i].character != SoftHyphen; // never drawn, broken or not
            // Between two words, the space of the one that comes first in the text.
            const int before = p.rtl ? w - 1 : w;
            if (before >= piece.from && before + 1 < piece.to)
                x += p.words[before].gap + (p.words[before].joined ? 0 : extra);
            x += word.width;
        }
    }

    TextBlock& block;
    const QVector<QPainterPath>& frames;
    const bool atTop;
    QVector<bool> kept;
    QVector<QList<QPolygonF>> polygons;
    QVector<double> ascents, descents, above, below;
    int frame = 0;
    double baseline = 0, lastBelow = 0;
    bool first = true;
};

} // namespace

bool wrapInFrames(TextBlock* block, const QVector<QPainterPath>& frames, bool firstBaselineAtTop,
                  const TextStyle& strut)
{
    Flow flow(block, frames, firstBaselineAtTop, strut);
    return flow.run();
}

} // namespace ktconv
