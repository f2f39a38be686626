#include "simrecorder.h"

#include "measure.h"

namespace ktsim {

namespace {

// The strokes, and the measures of every move.
class Pen : public ktconv::MeasuringPen
{
public:
    QList<QVector<QPointF>> strokes;

    void moved(const QPointF& from, const QPointF& to, bool down) override
    {
        MeasuringPen::moved(from, to, down);
        if (!down)
            return;
        if (stroke.isEmpty())
            stroke.append(from);
        stroke.append(to);
    }
    void lifted() override
    {
        if (stroke.size() > 1)
            strokes.append(stroke);
        stroke.clear();
    }

private:
    QVector<QPointF> stroke;
};

} // namespace

HpglPaths parseHpgl(const QByteArray& text)
{
    Pen pen;
    ktconv::followHpgl(text, pen);
    pen.lifted();
    HpglPaths paths;
    paths.strokes = pen.strokes;
    paths.travelUnits = pen.measure.cut + pen.measure.travel;
    paths.bounds = pen.measure.bounds;
    return paths;
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
    const QSizeF size = layout.sizeMm();
    svg.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\""
              + padded(size.width()) + "mm\" height=\"" + padded(size.height()) + "mm\" viewBox=\"0 0 "
              + padded(size.width()) + ' ' + padded(size.height()) + "\">\n<title>"
              + QByteArray::number(pageCount).rightJustified(9, '0') + " page(s) cut</title>\n");
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
    if (newCopy)
        layout.newCopy(marginMm);
    copyCount += newCopy || pageCount == 1 ? 1 : 0;
    appendSvgPage(paths, layout.nextPage(paths.bounds));
    writeSvgHeader();
    svg.flush();
}

// Pages are laid out one below the other, as they come off the cutter.
void CutRecorder::appendSvgPage(const HpglPaths& page, const ktconv::SheetLayout::Place& place)
{
    QByteArray group = "<g id=\"page" + QByteArray::number(pageCount) + "\" data-copy=\""
                       + QByteArray::number(copyCount) + "\" fill=\"none\" stroke=\"black\" stroke-width=\"0.3\">\n";
    for (const auto& stroke : page.strokes) {
        group += "<polyline points=\"";
        for (int i = 0; i < stroke.size(); ++i) {
            const QPointF p = place.toSheet(stroke.at(i));
            group += (i ? " " : "") + QByteArray::number(p.x(), 'f', 3) + ',' + QByteArray::number(p.y(), 'f', 3);
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
