#include "jobestimate.h"

#include <cmath>
#include <cstdlib>

namespace {

const QChar DefaultLabelEnd = QChar(0x03);

struct Head
{
    PageGeometry geometry;
    double x = 0;
    double y = 0;
    bool down = false;
    bool relative = false;

    void moveTo(double tx, double ty)
    {
        const double nx = relative ? x + tx : tx;
        const double ny = relative ? y + ty : ty;
        const double mm = std::hypot(nx - x, ny - y) / PlotterUnitsPerMm;
        (down ? geometry.penDownMm : geometry.penUpMm) += mm;
        x = nx;
        y = ny;
    }
};

// Plotter coordinates are nearly always whole numbers: those are read directly, the rest
// through strtod from a short stack copy (no allocation per number on big jobs).
bool parseNumber(QStringView digits, double* value)
{
    const qsizetype size = digits.size();
    qsizetype i = size > 0 && (digits.at(0) == QLatin1Char('-') || digits.at(0) == QLatin1Char('+')) ? 1 : 0;
    if (i < size && size - i <= 15) {
        qint64 whole = 0;
        qsizetype k = i;
        for (; k < size && digits.at(k).unicode() >= '0' && digits.at(k).unicode() <= '9'; ++k)
            whole = whole * 10 + (digits.at(k).unicode() - '0');
        if (k == size) {
            *value = digits.at(0) == QLatin1Char('-') ? -double(whole) : double(whole);
            return true;
        }
    }
    char buffer[64];
    const qsizetype length = qMin<qsizetype>(size, sizeof buffer - 1);
    for (qsizetype k = 0; k < length; ++k)
        buffer[k] = digits.at(k).toLatin1();
    buffer[length] = 0;
    char* stop = nullptr;
    *value = std::strtod(buffer, &stop);
    return length > 0 && stop == buffer + length && std::isfinite(*value);
}

bool isSeparator(QChar c)
{
    const char16_t u = c.unicode();
    return u == ',' || u == ' ' || (u >= '\t' && u <= '\r');
}

// HP-GL mnemonics are ASCII letters; the check runs for every character of a job.
bool isLetter(QChar c)
{
    const char16_t u = c.unicode() | 0x20;
    return u >= 'a' && u <= 'z';
}

// Up to capacity numbers of the current command (it ends at ";" or the next letter);
// returns where reading stopped.
qsizetype readNumbers(QStringView text, qsizetype at, double* numbers, int* count, int capacity)
{
    *count = 0;
    while (at < text.size() && *count < capacity) {
        const QChar c = text.at(at);
        if (c == QLatin1Char(';') || isLetter(c))
            break;
        if (isSeparator(c)) {
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < text.size() && !isSeparator(text.at(end)) && text.at(end) != QLatin1Char(';') && !isLetter(text.at(end)))
            ++end;
        double value = 0;
        if (parseNumber(text.mid(at, end - at), &value))
            numbers[(*count)++] = value;
        at = end == at ? at + 1 : end;
    }
    return at;
}

} // namespace

PageGeometry measurePage(QStringView page)
{
    Head head;
    QChar labelEnd = DefaultLabelEnd;
    qsizetype at = 0;
    while (at + 1 < page.size()) {
        const QChar a = page.at(at).toUpper();
        const QChar b = page.at(at + 1).toUpper();
        if (!isLetter(a) || !isLetter(b)) {
            ++at;
            continue;
        }
        at += 2;
        if (a == QLatin1Char('L') && b == QLatin1Char('B')) {
            const qsizetype end = page.indexOf(labelEnd, at);
            at = end < 0 ? page.size() : end + 1;
            continue;
        }
        if (a == QLatin1Char('D') && b == QLatin1Char('T')) {
            labelEnd = at < page.size() && page.at(at) != QLatin1Char(';') ? page.at(at) : DefaultLabelEnd;
            continue;
        }
        // Coordinates come in pairs; a long polyline is walked pair by pair.
        const bool moves = a == QLatin1Char('P') && (b == QLatin1Char('U') || b == QLatin1Char('D') || b == QLatin1Char('A') || b == QLatin1Char('R'));
        if (a == QLatin1Char('I') && b == QLatin1Char('N')) {
            head.down = false;
            head.relative = false;
            head.x = head.y = 0;
        } else if (moves) {
            if (b == QLatin1Char('U') || b == QLatin1Char('D'))
                head.down = b == QLatin1Char('D');
            else
                head.relative = b == QLatin1Char('R');
        }
        while (moves) {
            double pair[2];
            int count = 0;
            const qsizetype next = readNumbers(page, at, pair, &count, 2);
            at = next;
            if (count < 2)
                break;
            head.moveTo(pair[0], pair[1]);
        }
    }
    return head.geometry;
}

double estimateSeconds(const PageGeometry& geometry, int speedMmPerS)
{
    const double speed = speedMmPerS > 0 ? speedMmPerS : 100.0;
    return (geometry.penDownMm + geometry.penUpMm) / speed;
}
