#include "svgreader.h"

#include "gzipdata.h"
#include "recordingdevice.h"
#include "svgnormalizer.h"
#include "svgviewport.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <cmath>

namespace ktconv {
namespace {

constexpr double MmPerPx = 25.4 / 96.0; // CSS pixels, the unit of unitless lengths

// A length attribute in millimetres; unitless means CSS pixels. Percentages and junk give -1.
double lengthInMm(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?)\\s*(px|mm|cm|in|pt|pc)?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return -1;
    const double value = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    if (unit == QLatin1String("mm"))
        return value;
    if (unit == QLatin1String("cm"))
        return value * 10;
    if (unit == QLatin1String("in"))
        return value * 25.4;
    if (unit == QLatin1String("pt"))
        return value * 25.4 / 72;
    if (unit == QLatin1String("pc"))
        return value * 25.4 / 6;
    return value * MmPerPx;
}

struct RootGeometry
{
    QRectF viewBox; // user units
    QSizeF pageMm;
    QString preserveAspectRatio;
};

// The root element's page size and viewBox, read here because Qt's own conversion of
// absolute units assumes 90 dots per inch where SVG says 96.
bool readRootGeometry(const QByteArray& content, RootGeometry* root, QString* error)
{
    QXmlStreamReader xml(content);
    while (!xml.atEnd() && !xml.isStartElement())
        xml.readNext();
    if (!xml.isStartElement() || xml.name() != QLatin1String("svg")) {
        *error = xml.hasError() ? QStringLiteral("not a readable SVG document: %1 (line %2)")
                                      .arg(xml.errorString())
                                      .arg(xml.lineNumber())
                                : QStringLiteral("not an SVG document: the first element is not <svg>");
        return false;
    }
    const QXmlStreamAttributes attributes = xml.attributes();
    double widthMm = lengthInMm(attributes.value(QLatin1String("width")).toString());
    double heightMm = lengthInMm(attributes.value(QLatin1String("height")).toString());
    const QStringList box = attributes.value(QLatin1String("viewBox"))
                                .toString()
                                .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    QRectF viewBox;
    if (box.size() == 4)
        viewBox = QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(), box[3].toDouble());
    if (!viewBox.isValid()) {
        if (widthMm <= 0 || heightMm <= 0) {
            *error = QStringLiteral("the drawing has neither a viewBox nor a width and height in absolute units");
            return false;
        }
        viewBox = QRectF(0, 0, widthMm / MmPerPx, heightMm / MmPerPx);
    }
    if (widthMm <= 0)
        widthMm = viewBox.width() * MmPerPx;
    if (heightMm <= 0)
        heightMm = viewBox.height() * MmPerPx;
    root->viewBox = viewBox;
    root->pageMm = QSizeF(widthMm, heightMm);
    root->preserveAspectRatio = attributes.value(QLatin1String("preserveAspectRatio")).toString();
    return true;
}

} // namespace

bool looksLikeSvg(const QByteArray& content)
{
    if (looksGzipped(content))
        return looksLikeSvg(gunzip(content).left(64 * 1024));
    QXmlStreamReader xml(content.left(64 * 1024));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            return xml.name() == QLatin1String("svg");
    }
    return false;
}

// Plotter coordinates are 32-bit integers: a drawing reaching past them cannot be cut
// where it is drawn, and is refused rather than squeezed onto the edge.
bool withinPlotterRange(const CutPaths& paths, QString* error)
{
    constexpr double Limit = 2147483647.0;
    const QRectF box = boundsOf(paths);
    if (std::isfinite(box.left()) && std::isfinite(box.right()) && std::isfinite(box.top())
        && std::isfinite(box.bottom()) && std::abs(box.left()) <= Limit && std::abs(box.right()) <= Limit
        && std::abs(box.top()) <= Limit && std::abs(box.bottom()) <= Limit)
        return true;
    *error = QStringLiteral("the drawing spans %1 x %2 mm from %3,%4 mm, beyond the plotter's coordinate range "
                            "(%5 m either way from the origin)")
                 .arg(box.width() / UnitsPerMm, 0, 'g', 6)
                 .arg(box.height() / UnitsPerMm, 0, 'g', 6)
                 .arg(box.left() / UnitsPerMm, 0, 'g', 6)
                 .arg(box.top() / UnitsPerMm, 0, 'g', 6)
                 .arg(Limit / UnitsPerMm / 1000, 0, 'f', 0);
    return false;
}

bool readSvg(const QByteArray& stored, SvgDrawing* drawing, QString* error)
{
    *drawing = SvgDrawing();
    const QByteArray content = looksGzipped(stored) ? gunzip(stored) : stored;
    RootGeometry root;
    if (!readRootGeometry(content, &root, error))
        return false;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && content.contains("<text")) {
        *error = QStringLiteral("the drawing holds text, whose outlines need the fonts of a GUI application");
        return false;
    }
    QByteArray normalized;
    if (!normalizeSvg(content, &normalized, &drawing->warnings, error))
        return false;
    QSvgRenderer renderer;
    if (!renderer.load(normalized)) {
        *error = QStringLiteral("the SVG document could not be read");
        return false;
    }
    renderer.setViewBox(root.viewBox);

    // User units onto the page in mm as preserveAspectRatio places them, then to plotter
    // units with y upwards: the page's bottom-left corner is 0,0.
    RecordingEngine engine;
    engine.drawing = drawing;
    engine.toPlotter = viewportTransform(QRectF(QPointF(0, 0), root.pageMm), root.viewBox, root.preserveAspectRatio)
                       * QTransform(UnitsPerMm, 0, 0, -UnitsPerMm, 0, root.pageMm.height() * UnitsPerMm);
    RecordingDevice device(&engine);
    QPainter painter(&device);
    renderer.render(&painter, root.viewBox);
    painter.end();
    drawing->pageMm = root.pageMm;
    qDebug() << "ktconv::readSvg" << drawing->shapes << "shapes," << drawing->paths.size() << "paths";
    return withinPlotterRange(drawing->paths, error);
}

} // namespace ktconv
