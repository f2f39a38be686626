#include "simrecorder.h"

#include <QSaveFile>
#include <QXmlStreamWriter>

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

bool CutRecorder::setSvg(const QString& path, QString* error)
{
    svgPath = path;
    return writeSvg(error);
}

void CutRecorder::pageCut(const QByteArray& page)
{
    ++pageCount;
    if (text.isOpen()) {
        text.write(page);
        text.flush();
    }
    if (!svgPath.isEmpty()) {
        drawn.append(parseHpgl(page));
        QString error;
        writeSvg(&error);
    }
}

// Pages are laid out one below the other, as they come off the cutter, 10 mm apart.
bool CutRecorder::writeSvg(QString* error)
{
    const double gap = 10.0;
    double width = 10.0;
    double height = gap;
    for (const HpglPaths& page : drawn) {
        width = std::max(width, page.bounds.width() / UnitsPerMm + 2 * gap);
        height += page.bounds.height() / UnitsPerMm + gap;
    }
    QSaveFile file(svgPath);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(svgPath, file.errorString());
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("svg"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    xml.writeAttribute(QStringLiteral("width"), QStringLiteral("%1mm").arg(width));
    xml.writeAttribute(QStringLiteral("height"), QStringLiteral("%1mm").arg(height));
    xml.writeAttribute(QStringLiteral("viewBox"), QStringLiteral("0 0 %1 %2").arg(width).arg(height));
    xml.writeTextElement(QStringLiteral("title"), QStringLiteral("%1 page(s) cut").arg(drawn.size()));
    double top = gap;
    for (int i = 0; i < drawn.size(); ++i) {
        const HpglPaths& page = drawn.at(i);
        xml.writeStartElement(QStringLiteral("g"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("page%1").arg(i + 1));
        xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("none"));
        xml.writeAttribute(QStringLiteral("stroke"), QStringLiteral("black"));
        xml.writeAttribute(QStringLiteral("stroke-width"), QStringLiteral("0.3"));
        for (const auto& stroke : page.strokes) {
            QStringList points;
            for (const QPointF& p : stroke) {
                // Plotter y grows upwards, SVG y downwards.
                const double x = gap + (p.x() - page.bounds.left()) / UnitsPerMm;
                const double y = top + (page.bounds.bottom() - p.y()) / UnitsPerMm;
                points << QStringLiteral("%1,%2").arg(x, 0, 'f', 3).arg(y, 0, 'f', 3);
            }
            xml.writeEmptyElement(QStringLiteral("polyline"));
            xml.writeAttribute(QStringLiteral("points"), points.join(QLatin1Char(' ')));
        }
        xml.writeEndElement();
        top += page.bounds.height() / UnitsPerMm + gap;
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(svgPath, file.errorString());
        return false;
    }
    return true;
}

} // namespace ktsim
