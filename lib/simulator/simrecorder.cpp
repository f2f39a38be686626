#include "simrecorder.h"

#include "hpglreader.h"

#include <cmath>

namespace ktsim {

namespace {

// The strokes and the distance travelled, pen up or down.
class Pen : public ktconv::PlotterPen
{
public:
    HpglPaths paths;

    void moved(const QPointF& from, const QPointF& to, bool down) override
    {
        paths.travelUnits += std::hypot(to.x() - from.x(), to.y() - from.y());
        if (!down)
            return;
        if (stroke.isEmpty())
            stroke.append(from);
        stroke.append(to);
    }
    void lifted() override
    {
        if (stroke.size() > 1)
            paths.strokes.append(stroke);
        stroke.clear();
    }

private:
    QVector<QPointF> stroke;
};

} // namespace

HpglPaths parseHpgl(const QByteArray& text)
{
    Pen pen;
    ktconv::followPlotterText(text, pen);
    pen.lifted();
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
    svg.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\""
              + padded(svgWidth) + "mm\" height=\"" + padded(svgHeight) + "mm\" viewBox=\"0 0 " + padded(svgWidth) + ' '
              + padded(svgHeight) + "\">\n<title>" + QByteArray::number(pageCount).rightJustified(9, '0')
              + " page(s) cut</title>\n");
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
    QByteArray group = "<g id=\"page" + QByteArray::number(pageCount) + "\" data-copy=\""
                       + QByteArray::number(copyCount) + "\" fill=\"none\" stroke=\"black\" stroke-width=\"0.3\">\n";
    for (const auto& stroke : page.strokes) {
        group += "<polyline points=\"";
        for (int i = 0; i < stroke.size(); ++i) {
            // Plotter y grows upwards, SVG y downwards.
            const QPointF& p = stroke.at(i);
            group += (i ? " " : "") + QByteArray::number(PageGapMm + (p.x() - page.bounds.left()) / UnitsPerMm, 'f', 3)
                     + ',' + QByteArray::number(top + (page.bounds.bottom() - p.y()) / UnitsPerMm, 'f', 3);
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
