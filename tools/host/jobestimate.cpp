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

bool isSeparator(QChar c)
{
    return c == QLatin1Char(',') || c.isSpace();
}

// Up to capacity numbers of the current command (it ends at ";" or the next letter);
// returns where reading stopped.
qsizetype readNumbers(QStringView text, qsizetype at, double* numbers, int* count, int capacity)
{
    *count = 0;
    while (at < text.size() && *count < capacity) {
        const QChar c = text.at(at);
        if (c == QLatin1Char(';') || c.isLetter())
            break;
        if (isSeparator(c)) {
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < text.size() && !isSeparator(text.at(end)) && text.at(end) != QLatin1Char(';') && !text.at(end).isLetter())
            ++end;
        // Numbers are short: a stack copy spares an allocation per number on big jobs.
        char digits[64];
        const qsizetype length = qMin<qsizetype>(end - at, sizeof digits - 1);
        for (qsizetype k = 0; k < length; ++k)
            digits[k] = text.at(at + k).toLatin1();
        digits[length] = 0;
        char* stop = nullptr;
        const double value = std::strtod(digits, &stop);
        if (stop == digits + length && length > 0 && std::isfinite(value))
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
        if (!a.isLetter() || !b.isLetter()) {
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
