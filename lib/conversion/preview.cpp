#include "preview.h"

#include "sheetlayout.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace ktconv {
namespace {

const QColor CutColour(0x1f, 0x4e, 0x9c);
const QColor TravelColour(0xe0, 0x40, 0x1a);
const QColor MaterialColour(0x90, 0x90, 0x90);
constexpr int MaxLabels = 400; // beyond this the numbers hide the drawing

void layOutPage(PreviewSheet* sheet, const CutPaths& page, const SheetLayout::Place& place)
{
    QPointF at(0, 0);
    int order = 0;
    sheet->lines.reserve(sheet->lines.size() + 2 * page.size() + 1);
    for (const CutPath& path : page) {
        if (path.points.isEmpty())
            continue;
        sheet->lines.append(
            SheetLine{QPolygonF(QVector<QPointF>{place.toSheet(at), place.toSheet(path.points.first())}), false, 0});
        QPolygonF points(path.points.size());
        std::transform(path.points.begin(), path.points.end(), points.begin(),
                       [&](const QPointF& p) { return place.toSheet(p); });
        sheet->lines.append(SheetLine{std::move(points), true, ++order});
        at = path.points.last();
    }
    sheet->lines.append(
        SheetLine{QPolygonF(QVector<QPointF>{place.toSheet(at), place.toSheet(QPointF(0, 0))}), false, 0});
}

int labelCount(const PreviewSheet& sheet)
{
    int labels = 0;
    for (const SheetLine& line : sheet.lines)
        labels += line.cut ? 1 : 0;
    return labels;
}

// The plotter units of one page to its place on the sheet, as one affine map.
QTransform sheetTransform(const SheetLayout::Place& place)
{
    constexpr double Span = 1000;
    const QPointF origin = place.toSheet(QPointF(0, 0));
    const QPointF x = (place.toSheet(QPointF(Span, 0)) - origin) / Span;
    const QPointF y = (place.toSheet(QPointF(0, Span)) - origin) / Span;
    return QTransform(x.x(), x.y(), y.x(), y.y(), origin.x(), origin.y());
}

void paintBackdrop(QPainter* painter, const PreviewSheet& sheet)
{
    if (sheet.backdrop.isNull())
        return;
    painter->save();
    painter->setTransform(sheet.backdropToSheet, true);
    painter->setOpacity(0.35);
    painter->drawImage(QPointF(0, 0), sheet.backdrop);
    painter->restore();
}

// The material from where the job begins, the top of its first page: its width across
// from the pages' left edge, a sheet's length down the sheet as the pages follow each other
// (the sheet grows to hold it, and a page past its end lies outside it), a roll's edges
// the whole way down.
void addMaterial(PreviewSheet* sheet, const QSizeF& material)
{
    if (material.width() <= 0)
        return;
    const double left = SheetLayout::BorderMm, right = left + material.width();
    const double top = sheet->pageAreas.isEmpty() ? SheetLayout::BorderMm : sheet->pageAreas.first().top();
    sheet->sizeMm.setWidth(std::max(sheet->sizeMm.width(), right + SheetLayout::BorderMm));
    if (material.height() <= 0) {
        sheet->materialEdges = {QPolygonF(QVector<QPointF>{{left, 0}, {left, sheet->sizeMm.height()}}),
                                QPolygonF(QVector<QPointF>{{right, 0}, {right, sheet->sizeMm.height()}})};
        return;
    }
    sheet->sizeMm.setHeight(std::max(sheet->sizeMm.height(), top + material.height() + SheetLayout::BorderMm));
    sheet->materialEdges = {QPolygonF(QRectF(left, top, material.width(), material.height()))};
}

void paintLines(QPainter* painter, const PreviewSheet& sheet)
{
    painter->setPen(QPen(MaterialColour, 0, Qt::DashDotLine));
    for (const QPolygonF& edge : sheet.materialEdges)
        painter->drawPolyline(edge);
    const QPen travel(TravelColour, 0, Qt::DashLine);
    const QPen cut(CutColour, 0);
    // A picture painted on a thread of its own stops when that thread is asked to: a newer
    // picture replaces it.
    constexpr int CheckEvery = 64; // a line may fill the whole picture: thousands take seconds
    const QThread* thread = QThread::currentThread();
    int sinceCheck = 0;
    for (const SheetLine& line : sheet.lines) {
        if (++sinceCheck == CheckEvery) {
            if (thread->isInterruptionRequested())
                return;
            sinceCheck = 0;
        }
        painter->setPen(line.cut ? cut : travel);
        painter->drawPolyline(line.points);
    }
}

bool canLabel(const PreviewSheet& sheet)
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && labelCount(sheet) <= MaxLabels;
}

bool writePng(const PreviewSheet& sheet, const QString& fileName, QString* error)
{
    // Up to 8 pixels per millimetre, the longer side at most 4000 pixels.
    const double scale = std::min(8.0, 4000.0 / std::max(sheet.sizeMm.width(), sheet.sizeMm.height()));
    QImage image(std::max(1, int(std::ceil(sheet.sizeMm.width() * scale))),
                 std::max(1, int(std::ceil(sheet.sizeMm.height() * scale))), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    paintBackdrop(&painter, sheet);
    paintLines(&painter, sheet);
    if (canLabel(sheet)) {
        // Numbers of a readable pixel size, whatever the scale.
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

void writeSvgBackdrop(QFile* file, const PreviewSheet& sheet)
{
    if (sheet.backdrop.isNull())
        return;
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    sheet.backdrop.save(&png, "PNG");
    const QTransform& t = sheet.backdropToSheet;
    QByteArray matrix;
    for (double v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()})
        matrix += QByteArray::number(v, 'g', 9) + ' ';
    file->write("<image opacity=\"0.35\" width=\"" + QByteArray::number(sheet.backdrop.width()) + "\" height=\""
                + QByteArray::number(sheet.backdrop.height()) + "\" transform=\"matrix(" + matrix.trimmed()
                + ")\" xlink:href=\"data:image/png;base64," + png.data().toBase64() + "\"/>\n");
}

QByteArray svgPoints(const QPolygonF& points)
{
    QByteArray text;
    for (const QPointF& p : points) {
        text += QByteArray::number(p.x(), 'f', 3) + ',' + QByteArray::number(p.y(), 'f', 3) + ' ';
    }
    return text.trimmed();
}

bool writeSvg(const PreviewSheet& sheet, const QString& fileName, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    const QByteArray w = QByteArray::number(sheet.sizeMm.width(), 'f', 3);
    const QByteArray h = QByteArray::number(sheet.sizeMm.height(), 'f', 3);
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
               "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
               + w + "mm\" height=\"" + h + "mm\" viewBox=\"0 0 " + w + ' ' + h
               + "\">\n"
                 "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n");
    writeSvgBackdrop(&file, sheet);
    file.write("<g fill=\"none\" stroke-width=\"0.25\" stroke-linejoin=\"round\">\n");
    for (const QPolygonF& edge : sheet.materialEdges)
        file.write("<polyline class=\"material\" stroke=\"" + MaterialColour.name().toLatin1()
                   + "\" stroke-dasharray=\"4 1 1 1\" points=\"" + svgPoints(edge) + "\"/>\n");
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

PreviewSheet layOutPreview(const CutPages& pages, const PreviewLayout& layout)
{
    PreviewSheet sheet;
    SheetLayout places;
    for (int copy = 0; copy < std::max(1, layout.copies); ++copy) {
        places.newCopy(layout.copyGapMm);
        for (const CutPaths& page : pages) {
            const SheetLayout::Place place = places.nextPage(boundsOf(page));
            if (copy == 0 && sheet.pageAreas.isEmpty() && !layout.backdrop.isNull()) {
                sheet.backdrop = layout.backdrop.image;
                sheet.backdropToSheet = layout.backdrop.toPlotter * sheetTransform(place);
            }
            layOutPage(&sheet, page, place);
            sheet.pageAreas << place.area();
        }
    }
    sheet.sizeMm = places.sizeMm();
    // A page's band spans the sheet, so that a frame around it reads as the page.
    for (QRectF& area : sheet.pageAreas)
        area.setWidth(sheet.sizeMm.width() - 2 * SheetLayout::BorderMm);
    addMaterial(&sheet, layout.materialMm);
    return sheet;
}

void paintPreview(QPainter* painter, const PreviewSheet& sheet)
{
    painter->fillRect(QRectF(QPointF(0, 0), sheet.sizeMm), Qt::white);
    paintBackdrop(painter, sheet);
    paintLines(painter, sheet);
    if (!canLabel(sheet))
        return;
    // The order numbers 2 mm high, as in the SVG preview.
    QFont font;
    font.setPixelSize(2);
    painter->setFont(font);
    painter->setPen(Qt::black);
    for (const SheetLine& line : sheet.lines) {
        if (line.cut)
            painter->drawText(line.points.first() + QPointF(0.4, -0.4), QString::number(line.order));
    }
}

bool writePreview(const CutPages& pages, const PreviewLayout& layout, const QString& fileName, QString* error)
{
    const PreviewSheet sheet = layOutPreview(pages, layout);
    if (fileName.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return writeSvg(sheet, fileName, error);
    if (fileName.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return writePng(sheet, fileName, error);
    *error = QStringLiteral("the preview's file name must end in .png or .svg: %1").arg(fileName);
    return false;
}

} // namespace ktconv
