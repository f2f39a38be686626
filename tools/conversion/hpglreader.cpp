#include "hpglreader.h"

#include <QLineF>

namespace ktconv {
namespace {

QVector<double> numbersOf(const QByteArray& parameters)
{
    QVector<double> numbers;
    QByteArray text = parameters;
    text.replace(' ', ',');
    for (const QByteArray& part : text.split(',')) {
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        if (ok)
            numbers << value;
    }
    return numbers;
}

class PageBuilder
{
public:
    PlotterPages pages;

    void instruction(const QByteArray& mnemonic, const QByteArray& parameters)
    {
        if (mnemonic == "IN") {
            finishStroke();
            at = QPointF();
            down = false;
            relative = false;
        } else if (mnemonic == "PA" || mnemonic == "PR") {
            relative = mnemonic == "PR";
            moveThrough(numbersOf(parameters));
        } else if (mnemonic == "PU" || mnemonic == "PD") {
            if (mnemonic == "PU")
                finishStroke();
            down = mnemonic == "PD";
            moveThrough(numbersOf(parameters));
        } else if (mnemonic == "PG") {
            finishPage();
        }
    }
    void finishPage()
    {
        finishStroke();
        if (!page.isEmpty())
            pages << page;
        page.clear();
    }

private:
    void moveThrough(const QVector<double>& numbers)
    {
        for (int i = 0; i + 1 < numbers.size(); i += 2) {
            const QPointF next = relative ? at + QPointF(numbers[i], numbers[i + 1])
                                          : QPointF(numbers[i], numbers[i + 1]);
            if (down) {
                if (stroke.points.isEmpty())
                    stroke.points << at;
                stroke.points << next;
            }
            at = next;
        }
    }
    void finishStroke()
    {
        if (stroke.points.size() > 1) {
            stroke.closed = stroke.points.size() > 3
                            && QLineF(stroke.points.first(), stroke.points.last()).length() < 0.5;
            page << stroke;
        }
        stroke = CutPath();
    }

    CutPaths page;
    CutPath stroke;
    QPointF at;
    bool down = false;
    bool relative = false;
};

} // namespace

bool looksLikePlotterText(const QByteArray& content)
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

PlotterPages readPlotterText(const QByteArray& content)
{
    PageBuilder builder;
    for (const QByteArray& raw : content.split(';')) {
        const QByteArray instruction = raw.trimmed();
        if (instruction.size() >= 2)
            builder.instruction(instruction.left(2).toUpper(), instruction.mid(2));
    }
    builder.finishPage();
    return builder.pages;
}

} // namespace ktconv
