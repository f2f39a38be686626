#include "pdfreader.h"

#include "recordingdevice.h"

#include <QDebug>
#include <QPainter>
#include <poppler-qt5.h>

#include <QHash>

#include <algorithm>
#include <memory>

namespace ktconv {

bool looksLikePdf(const QByteArray& content)
{
    return content.left(1024).contains("%PDF-");
}

namespace {

bool pageOnly(Poppler::Document* document, int number, std::unique_ptr<Poppler::Page>* page, SvgDrawing* drawing,
              QString* error)
{
    const int count = document->numPages();
    if (number < 1 || number > count) {
        *error = QStringLiteral("the PDF has %1 page(s), there is no page %2").arg(count).arg(number);
        return false;
    }
    if (count > 1)
        drawing->warnings
            << QStringLiteral("the PDF has %1 pages; page %2 is cut (another with --page N)").arg(count).arg(number);
    page->reset(document->page(number - 1));
    if (!*page) {
        *error = QStringLiteral("page %1 of the PDF cannot be read").arg(number);
        return false;
    }
    return true;
}

// Drawing programs write a filled and stroked shape as a fill, then the same outline again
// as a stroke, and a filled line as a closed sliver along it. The knife follows each
// outline once: of paths through the same points, the shortest stays where the first was.
void dropRetraced(CutPaths* paths)
{
    QHash<QByteArray, int> seen;
    CutPaths kept;
    for (const CutPath& path : *paths) {
        QVector<QPoint> corners;
        for (const QPointF& p : path.points)
            corners << QPoint(qRound(p.x() * 4), qRound(p.y() * 4));
        std::sort(corners.begin(), corners.end(),
                  [](QPoint a, QPoint b) { return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y(); });
        corners.erase(std::unique(corners.begin(), corners.end()), corners.end());
        const QByteArray key(reinterpret_cast<const char*>(corners.constData()), corners.size() * int(sizeof(QPoint)));
        const auto it = seen.constFind(key);
        if (it == seen.constEnd()) {
            seen.insert(key, kept.size());
            kept << path;
        } else {
            // The outline once, in all the colours it was drawn in.
            CutPath& first = kept[*it];
            const QRgb fill = first.fill ? first.fill : path.fill, stroke = first.stroke ? first.stroke : path.stroke;
            if (pathLength(path) < pathLength(first))
                first = path;
            first.fill = fill;
            first.stroke = stroke;
        }
    }
    *paths = kept;
}

} // namespace

bool readPdf(const QByteArray& content, int number, SvgDrawing* drawing, QString* error)
{
    *drawing = SvgDrawing();
    std::unique_ptr<Poppler::Document> document(Poppler::Document::loadFromData(content));
    if (!document) {
        *error = QStringLiteral("the PDF cannot be read (damaged or not a PDF)");
        return false;
    }
    if (document->isLocked()) {
        *error = QStringLiteral("the PDF is protected by a password");
        return false;
    }
    std::unique_ptr<Poppler::Page> page;
    if (!pageOnly(document.get(), number, &page, drawing, error))
        return false;
    // The painter backend paints vector shapes as paths; at 72 dots per inch one painter
    // unit is one point. Points to plotter units, y upwards from the page's bottom edge.
    document->setRenderBackend(Poppler::Document::QPainterBackend);
    document->setRenderHint(Poppler::Document::Antialiasing, false);
    const QSizeF points = page->pageSizeF();
    constexpr double UnitsPerPoint = UnitsPerMm * 25.4 / 72;
    RecordingEngine engine;
    engine.drawing = drawing;
    engine.toPlotter = QTransform(UnitsPerPoint, 0, 0, -UnitsPerPoint, 0, points.height() * UnitsPerPoint);
    RecordingDevice device(&engine);
    QPainter painter(&device);
    const bool rendered = page->renderToPainter(&painter, 72, 72);
    painter.end();
    drawing->pageMm = points * 25.4 / 72;
    qDebug() << "ktconv::readPdf" << drawing->shapes << "shapes," << engine.images << "images";
    if (!rendered) {
        *error = QStringLiteral("page %1 of the PDF cannot be drawn").arg(number);
        return false;
    }
    if (!notePictures(engine.images, QStringLiteral("page %1 of the PDF").arg(number), drawing, error))
        return false;
    dropRetraced(&drawing->paths);
    return true;
}

} // namespace ktconv
