#include "preview.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace ktconv {
namespace {

const QColor CutColour(0x1f, 0x4e, 0x9c);
const QColor TravelColour(0xe0, 0x40, 0x1a);
constexpr int MaxLabels = 400; // beyond this the numbers hide the drawing
constexpr double BorderMm = 5;

// One stroke or move on the sheet, in millimetres with y downwards.
struct SheetLine
{
    QPolygonF points;
    bool cut = true;
    int order = 0; // 1-based place in its page's cut order, for cuts
};

struct Sheet
{
    QVector<SheetLine> lines;
    QSizeF sizeMm;
};

Sheet layOut(const PlotterPages& pages, const PreviewLayout& layout)
{
    Sheet sheet;
    double top = BorderMm;
    for (int copy = 0; copy < std::max(1, layout.copies); ++copy) {
        if (copy > 0)
            top += layout.copyGapMm - layout.pageGapMm;
        for (const CutPaths& page : pages) {
            const QRectF bounds = boundsOf(page);
            const double height = std::max(0.0, bounds.bottom() / UnitsPerMm);
            // Plotter y grows upwards from the page's origin; the sheet's y grows downwards.
            auto place = [&](QPointF p) {
                return QPointF(BorderMm + p.x() / UnitsPerMm, top + height - p.y() / UnitsPerMm);
            };
            QPointF at(0, 0);
            int order = 0;
            for (const CutPath& path : page) {
                if (path.points.isEmpty())
                    continue;
                sheet.lines << SheetLine{QPolygonF(QVector<QPointF>{place(at), place(path.points.first())}), false, 0};
                SheetLine cut{QPolygonF(), true, ++order};
                for (const QPointF& p : path.points)
                    cut.points << place(p);
                sheet.lines << cut;
                at = path.points.last();
            }
            sheet.lines << SheetLine{QPolygonF(QVector<QPointF>{place(at), place(QPointF(0, 0))}), false, 0};
            sheet.sizeMm = sheet.sizeMm.expandedTo(QSizeF(2 * BorderMm + bounds.right() / UnitsPerMm, 0));
            top += height + layout.pageGapMm;
        }
    }
    sheet.sizeMm.setHeight(top - layout.pageGapMm + BorderMm);
    sheet.sizeMm = sheet.sizeMm.expandedTo(QSizeF(2 * BorderMm, 2 * BorderMm));
    return sheet;
}

int labelCount(const Sheet& sheet)
{
    int labels = 0;
    for (const SheetLine& line : sheet.lines)
        labels += line.cut ? 1 : 0;
    return labels;
}

bool writePng(const Sheet& sheet, const QString& fileName, QString* error)
{
    // Up to 8 pixels per millimetre, the longer side at most 4000 pixels.
    const double scale = std::min(8.0, 4000.0 / std::max(sheet.sizeMm.width(), sheet.sizeMm.height()));
    QImage image(std::max(1, int(std::ceil(sheet.sizeMm.width() * scale))),
                 std::max(1, int(std::ceil(sheet.sizeMm.height() * scale))), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    QPen travel(TravelColour, 0, Qt::DashLine);
    QPen cut(CutColour, 0);
    for (const SheetLine& line : sheet.lines) {
        painter.setPen(line.cut ? cut : travel);
        painter.drawPolyline(line.points);
    }
    const bool labels = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && labelCount(sheet) <= MaxLabels;
    if (labels) {
        QFont font;
        font.setPixelSize(12);
        painter.resetTransform();
        painter.setFont(font);
        painter.setPen(Qt::black);
        for (const SheetLine& line : sheet.lines) {
            if (line.cut)
                painter.drawText(line.points.first() * scale + QPointF(3, -3), QString::number(line.order));
        }
    }
    painter.end();
    if (!image.save(fileName, "PNG")) {
        *error = QStringLiteral("cannot write %1").arg(fileName);
        return false;
    }
    return true;
}

QByteArray svgPoints(const QPolygonF& points)
{
    QByteArray text;
    for (const QPointF& p : points) {
        text += QByteArray::number(p.x(), 'f', 3) + ',' + QByteArray::number(p.y(), 'f', 3) + ' ';
    }
    return text.trimmed();
}

bool writeSvg(const Sheet& sheet, const QString& fileName, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    const QByteArray w = QByteArray::number(sheet.sizeMm.width(), 'f', 3);
    const QByteArray h = QByteArray::number(sheet.sizeMm.height(), 'f', 3);
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w
               + "mm\" height=\"" + h + "mm\" viewBox=\"0 0 " + w + ' ' + h
               + "\">\n"
                 "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
                 "<g fill=\"none\" stroke-width=\"0.25\" stroke-linejoin=\"round\">\n");
    for (const SheetLine& line : sheet.lines) {
        file.write(line.cut ? "<polyline class=\"cut\" stroke=\"" + CutColour.name().toLatin1() + "\" points=\""
                            : "<polyline class=\"travel\" stroke=\"" + TravelColour.name().toLatin1()
                                  + "\" stroke-dasharray=\"1 1\" points=\"");
        file.write(svgPoints(line.points) + "\"/>\n");
    }
    file.write("</g>\n");
    if (labelCount(sheet) <= MaxLabels) {
        file.write("<g font-family=\"sans-serif\" font-size=\"2\" fill=\"black\">\n");
        for (const SheetLine& line : sheet.lines) {
            if (line.cut)
                file.write("<text x=\"" + QByteArray::number(line.points.first().x() + 0.4, 'f', 3) + "\" y=\""
                           + QByteArray::number(line.points.first().y() - 0.4, 'f', 3) + "\">"
                           + QByteArray::number(line.order) + "</text>\n");
        }
        file.write("</g>\n");
    }
    file.write("</svg>\n");
    if (!file.flush()) {
        *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace

bool writePreview(const PlotterPages& pages, const PreviewLayout& layout, const QString& fileName, QString* error)
{
    const Sheet sheet = layOut(pages, layout);
    if (fileName.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return writeSvg(sheet, fileName, error);
    if (fileName.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return writePng(sheet, fileName, error);
    *error = QStringLiteral("the preview's file name must end in .png or .svg: %1").arg(fileName);
    return false;
}

} // namespace ktconv
