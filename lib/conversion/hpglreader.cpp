#include "hpglreader.h"

#include <QLineF>

#include <charconv>
#include <cmath>

namespace ktconv {
namespace {

char16_t unit(QChar c)
{
    return c.unicode();
}

char16_t unit(char c)
{
    return static_cast<unsigned char>(c);
}

// The one reader of HP-GL instructions and their numbers. It runs over whole jobs of
// hundreds of megabytes for the time estimates, so it reads in place, allocates nothing
// and reads whole numbers (nearly all plotter coordinates) without a library call.
template <typename Char>
class HpglScanner
{
public:
    HpglScanner(const Char* characters, qsizetype length, HpglPen& follower)
        : text(characters), size(length), pen(follower)
    {
    }

    void run()
    {
        while (at + 1 < size) {
            const char16_t a = lower(at);
            const char16_t b = lower(at + 1);
            if (!isLetter(a) || !isLetter(b)) {
                ++at;
                continue;
            }
            at += 2;
            instruction(a, b);
        }
    }

private:
    char16_t lower(qsizetype i) const { return unit(text[i]) | 0x20; }
    // Mnemonics are ASCII letters; the check runs for every character of a job.
    static bool isLetter(char16_t lowered) { return lowered >= 'a' && lowered <= 'z'; }
    static bool isSeparator(char16_t u) { return u == ',' || u == ' ' || (u >= '\t' && u <= '\r'); }
    bool endsNumber(qsizetype i) const
    {
        const char16_t u = unit(text[i]);
        return isSeparator(u) || u == ';' || isLetter(u | 0x20);
    }

    void instruction(char16_t a, char16_t b)
    {
        if (a == 'l' && b == 'b') {
            skipLabel();
        } else if (a == 'd' && b == 't') {
            labelEnd = at < size && unit(text[at]) != ';' ? unit(text[at]) : DefaultLabelEnd;
        } else if (a == 'i' && b == 'n') {
            lift();
            position = QPointF();
            relative = false;
        } else if (a == 'p' && (b == 'u' || b == 'd')) {
            if (b == 'u')
                lift();
            down = b == 'd';
            movePairs();
        } else if (a == 'p' && (b == 'a' || b == 'r')) {
            relative = b == 'r';
            movePairs();
        } else if (a == 'p' && b == 'g') {
            lift();
            pen.pageEnded();
        }
    }
    void lift()
    {
        down = false;
        pen.lifted();
    }
    // Without a terminator of its own (DT) a label ends at ETX, which no job can hold (it
    // would end the frame that carries the page), so at the ";" that ends the instruction too.
    void skipLabel()
    {
        while (at < size && unit(text[at]) != labelEnd && !(labelEnd == DefaultLabelEnd && unit(text[at]) == ';'))
            ++at;
        at = qMin(at + 1, size);
    }
    // A long polyline is walked pair by pair.
    void movePairs()
    {
        double pair[2];
        int count = 0;
        while (readNumber(&pair[count])) {
            if (++count < 2)
                continue;
            const QPointF next = relative ? position + QPointF(pair[0], pair[1]) : QPointF(pair[0], pair[1]);
            pen.moved(position, next, down);
            position = next;
            count = 0;
        }
    }
    // The next number of the instruction, which ends at ";" or the next letter; a token that
    // does not read as a number is passed over.
    bool readNumber(double* value)
    {
        while (at < size) {
            const char16_t u = unit(text[at]);
            if (u == ';' || isLetter(u | 0x20))
                return false;
            if (isSeparator(u)) {
                ++at;
                continue;
            }
            const qsizetype from = at;
            while (at < size && !endsNumber(at))
                ++at;
            if (parseNumber(from, at, value))
                return true;
        }
        return false;
    }
    bool parseNumber(qsizetype from, qsizetype end, double* value) const;

    static constexpr char16_t DefaultLabelEnd = 0x03;

    const Char* text;
    qsizetype size;
    HpglPen& pen;
    qsizetype at = 0;
    QPointF position;
    bool down = false;
    bool relative = false;
    char16_t labelEnd = DefaultLabelEnd;
};

// Whole numbers are read directly, the rest through from_chars (the C locale's form,
// whatever the user's locale) from a short stack copy.
template <typename Char>
bool HpglScanner<Char>::parseNumber(qsizetype from, qsizetype end, double* value) const
{
    const bool negative = unit(text[from]) == '-';
    const qsizetype digits = from + (negative || unit(text[from]) == '+' ? 1 : 0);
    if (digits < end && end - digits <= 15) {
        qint64 whole = 0;
        qsizetype k = digits;
        for (; k < end && unit(text[k]) >= '0' && unit(text[k]) <= '9'; ++k)
            whole = whole * 10 + (unit(text[k]) - '0');
        if (k == end) {
            *value = negative ? -double(whole) : double(whole);
            return true;
        }
    }
    char buffer[64];
    const qsizetype length = end - digits;
    if (length <= 0 || length >= qsizetype(sizeof buffer))
        return false;
    for (qsizetype k = 0; k < length; ++k) {
        const char16_t u = unit(text[digits + k]);
        buffer[k] = u < 0x80 ? char(u) : '?';
    }
    if (buffer[0] == '-' || buffer[0] == '+')
        return false;
    double number = 0;
    const auto result = std::from_chars(buffer, buffer + length, number);
    if (result.ec != std::errc() || result.ptr != buffer + length || !std::isfinite(number))
        return false;
    *value = negative ? -number : number;
    return true;
}

class PageBuilder : public StrokePen
{
public:
    CutPages pages;

    void pageEnded() override
    {
        if (!strokes.isEmpty())
            pages << strokes;
        strokes.clear();
    }
};

} // namespace

void StrokePen::moved(const QPointF& from, const QPointF& to, bool down)
{
    if (!down)
        return;
    if (stroke.points.isEmpty())
        stroke.points << from;
    stroke.points << to;
}

void StrokePen::lifted()
{
    if (stroke.points.size() > 1) {
        stroke.closed = stroke.points.size() > 3 && QLineF(stroke.points.first(), stroke.points.last()).length() < 0.5;
        strokes << stroke;
    }
    stroke = CutPath();
}

void followHpgl(QStringView text, HpglPen& pen)
{
    HpglScanner<QChar>(text.data(), text.size(), pen).run();
}

void followHpgl(const QByteArray& text, HpglPen& pen)
{
    HpglScanner<char>(text.constData(), text.size(), pen).run();
}

bool looksLikeHpgl(const QByteArray& content)
{
    for (const char c : content) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x7f || (byte < 0x20 && byte != '\n' && byte != '\r' && byte != '\t'))
            return false;
    }
    // The text after the last ";" may be the cut-off end of a sample, so it is not judged.
    QList<QByteArray> instructions = content.split(';');
    instructions.removeLast();
    bool moves = false;
    for (const QByteArray& raw : instructions) {
        const QByteArray instruction = raw.trimmed();
        if (instruction.isEmpty())
            continue;
        if (instruction.size() < 2 || !isalpha(static_cast<unsigned char>(instruction[0]))
            || !isalpha(static_cast<unsigned char>(instruction[1])))
            return false;
        const QByteArray mnemonic = instruction.left(2).toUpper();
        moves = moves || mnemonic == "PU" || mnemonic == "PD" || mnemonic == "PA" || mnemonic == "PR";
    }
    return moves;
}

CutPages readPltPages(const QByteArray& content)
{
    PageBuilder builder;
    followHpgl(content, builder);
    builder.lifted();
    builder.pageEnded();
    return builder.pages;
}

} // namespace ktconv
