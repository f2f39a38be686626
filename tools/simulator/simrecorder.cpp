#include "simrecorder.h"


#include <cmath>

namespace ktsim {

namespace {

QVector<double> numbersOf(const QByteArray& params)
{
    QVector<double> numbers;
    QByteArray normalised = params;
    normalised.replace(' ', ',');
    for (const QByteArray& part : normalised.split(',')) {
        if (part.trimmed().isEmpty())
            continue;
        bool ok = false;
        const double n = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(n))
            return {};      // a command with a bad number is skipped whole
        numbers.append(n);
    }
    return numbers;
}

struct Pen
{
    HpglPaths paths;
    QPointF at;
    bool down = false;
    bool relative = false;
    QVector<QPointF> stroke;

    void lift()
    {
        if (stroke.size() > 1)
            paths.strokes.append(stroke);
        stroke.clear();
        down = false;
    }
    void moveTo(const QPointF& target)
    {
        const QPointF next = relative ? at + target : target;
        paths.travelUnits += std::hypot(next.x() - at.x(), next.y() - at.y());
        at = next;
        if (down)
            stroke.append(next);
    }
    void follow(const QVector<double>& numbers)
    {
        for (int i = 0; i + 1 < numbers.size(); i += 2)
            moveTo(QPointF(numbers.at(i), numbers.at(i + 1)));
    }
};

} // namespace

HpglPaths parseHpgl(const QByteArray& text)
{
    Pen pen;
    for (const QByteArray& raw : text.split(';')) {
        const QByteArray command = raw.trimmed();
        if (command.size() < 2)
            continue;
        const QByteArray mnemonic = command.left(2).toUpper();
        const QVector<double> numbers = numbersOf(command.mid(2));
        if (mnemonic == "IN") {
            pen.lift();
            pen.at = QPointF();
            pen.relative = false;
        } else if (mnemonic == "PU") {
            pen.lift();
            pen.follow(numbers);
        } else if (mnemonic == "PD") {
            if (!pen.down) {
                pen.down = true;
                pen.stroke = {pen.at};
            }
            pen.follow(numbers);
        } else if (mnemonic == "PA" || mnemonic == "PR") {
            pen.relative = mnemonic == "PR";
            pen.follow(numbers);
        } else if (mnemonic == "PG") {
            pen.lift();
        }
    }
    pen.lift();
    bool first = true;
    double left = 0, right = 0, low = 0, high = 0;
    for (const auto& stroke : pen.paths.strokes) {
        for (const QPointF& p : stroke) {
            left = first ? p.x() : std::min(left, p.x());
            right = first ? p.x() : std::max(right, p.x());
            low = first ? p.y() : std::min(low, p.y());
            high = first ? p.y() : std::max(high, p.y());
            first = false;
        }
    }
    pen.paths.bounds = QRectF(QPointF(left, low), QPointF(right, high));
    return pen.paths;
}

bool CutRecorder::openText(const QString& path, QString* error)
{
    text.setFileName(path);
    if (!text.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, text.errorString());
        return false;
    }
    return true;
}

namespace {

// Fixed-width numbers, so the header can be rewritten in place as the picture grows.
QByteArray padded(double value)
{
    return QByteArray::number(value, 'f', 3).rightJustified(13, '0');
}

const char SvgEnd[] = "</svg>\n";

} // namespace

bool CutRecorder::setSvg(const QString& path, QString* error)
{
    svg.setFileName(path);
    if (!svg.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, svg.errorString());
        return false;
    }
    writeSvgHeader();
    svgTail = svg.pos();
    svg.write(SvgEnd);
    svg.flush();
    return true;
}

void CutRecorder::writeSvgHeader()
{
    svg.seek(0);
    svg.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + padded(svgWidth)
              + "mm\" height=\"" + padded(svgHeight) + "mm\" viewBox=\"0 0 " + padded(svgWidth) + ' ' + padded(svgHeight)
              + "\">\n<title>" + QByteArray::number(pageCount).rightJustified(9, '0') + " page(s) cut</title>\n");
}

void CutRecorder::pageCut(const QByteArray& page, bool newCopy, double marginMm)
{
    ++pageCount;
    if (text.isOpen()) {
        text.write(page);
        text.flush();
    }
    if (!svg.isOpen())
        return;
    const HpglPaths paths = parseHpgl(page);
    if (newCopy && pageCount > 1)
        svgHeight += marginMm - PageGapMm;
    copyCount += newCopy || pageCount == 1 ? 1 : 0;
    appendSvgPage(paths, svgHeight);
    svgHeight += paths.bounds.height() / UnitsPerMm + PageGapMm;
    svgWidth = std::max(svgWidth, paths.bounds.width() / UnitsPerMm + 2 * PageGapMm);
    writeSvgHeader();
    svg.flush();
}

// Pages are laid out one below the other, as they come off the cutter.
void CutRecorder::appendSvgPage(const HpglPaths& page, double top)
{
    QByteArray group = "<g id=\"page" + QByteArray::number(pageCount) + "\" data-copy=\"" + QByteArray::number(copyCount)
                       + "\" fill=\"none\" stroke=\"black\" stroke-width=\"0.3\">\n";
    for (const auto& stroke : page.strokes) {
        group += "<polyline points=\"";
        for (int i = 0; i < stroke.size(); ++i) {
            // Plotter y grows upwards, SVG y downwards.
            const QPointF& p = stroke.at(i);
            group += (i ? " " : "") + QByteArray::number(PageGapMm + (p.x() - page.bounds.left()) / UnitsPerMm, 'f', 3) + ','
                     + QByteArray::number(top + (page.bounds.bottom() - p.y()) / UnitsPerMm, 'f', 3);
        }
        group += "\"/>\n";
    }
    group += "</g>\n";
    svg.seek(svgTail);
    svg.write(group);
    svgTail = svg.pos();
    svg.write(SvgEnd);
}

} // namespace ktsim
