#ifndef CONVERSIONTEST_H
#define CONVERSIONTEST_H

#include "conversion.h"
#include "knife.h"
#include "pathorder.h"
#include "pltwriter.h"
#include "preview.h"
#include "svgreader.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(ktconv::CutOptions)
Q_DECLARE_METATYPE(ktconv::CutPath)

using namespace ktconv;

namespace convtest {

constexpr double Pi = 3.14159265358979323846;

inline QByteArray svgDocument(const QByteArray& root, const QByteArray& body)
{
    return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
           + root + ">" + body + "</svg>";
}

inline CutPaths readOrFail(const QByteArray& svg)
{
    SvgDrawing drawing;
    QString error;
    if (!readSvg(svg, &drawing, &error))
        qWarning() << "readSvg failed:" << error;
    return drawing.paths;
}

inline CutPath polygon(const QVector<QPointF>& corners)
{
    CutPath path;
    path.points = corners;
    path.points << corners.first();
    path.closed = true;
    return path;
}

inline CutPath square(QPointF corner, double side)
{
    return polygon({corner, corner + QPointF(side, 0), corner + QPointF(side, side), corner + QPointF(0, side)});
}

inline CutPath circle(QPointF centre, double radius)
{
    QVector<QPointF> points;
    for (int i = 0; i < 720; ++i)
        points << centre + radius * QPointF(std::cos(i * Pi / 360), std::sin(i * Pi / 360));
    return polygon(points);
}

// Shape measures that do not depend on how paths are split or ordered.
struct Measures
{
    double length = 0, width = 0, height = 0;
    QPointF centroid; // length-weighted, as a fraction of the bounds: tells a mirror image
};

inline Measures measure(const CutPaths& paths)
{
    Measures m;
    const QRectF box = boundsOf(paths);
    m.width = box.width();
    m.height = box.height();
    for (const CutPath& path : paths) {
        for (int i = 1; i < path.points.size(); ++i) {
            const double l = QLineF(path.points[i - 1], path.points[i]).length();
            const QPointF mid = (path.points[i - 1] + path.points[i]) / 2 - box.topLeft();
            m.length += l;
            m.centroid += l * QPointF(mid.x() / box.width(), mid.y() / box.height());
        }
    }
    m.centroid /= m.length;
    return m;
}

} // namespace convtest

using namespace convtest;

class tst_Conversion : public QObject
{
    Q_OBJECT

private slots:
    void drawingGeometry_data();
    void drawingGeometry();
    void cutterOptions_data();
    void cutterOptions();
    void ordering();
    void knife_data();
    void knife();
    void formatDetection_data();
    void formatDetection();
    void pagesAndPreview();
    void referenceExport_data();
    void referenceExport();
    void progressReports_data();
    void progressReports();
    void readingProgress();
};

#endif // CONVERSIONTEST_H
