#include "designsheet.h"

#include "knife.h"

#include <algorithm>

namespace ktconv {
namespace {

// Scaling to fit is found again from the finished job, whose origin and margins do not
// scale: each round comes closer, and a few are enough.
constexpr int FitRounds = 8;
constexpr double FitShrink = 0.999;

// What one try at a scale gives besides the job.
struct Laid
{
    Arrangement used = Arrangement::Rows;
    QVector<QTransform> placements;
};

bool layOutOnce(const QVector<CutPaths>& designs, const CutOptions& cut, const SheetOptions& sheet, double factor,
                CutPaths* job, Laid* laid, QString* error, ConversionProgress* progress)
{
    QVector<CutPaths> scaled = designs;
    for (CutPaths& design : scaled)
        transformPaths(&design, QTransform::fromScale(factor, factor));
    ArrangeOptions arrange = sheet.arrange;
    arrange.widthMm = sheet.material.widthMm;
    // What the cutter options add around the designs takes material width too.
    const double around = weedMarginMm(cut, sheet.arrange.gapMm);
    if (arrange.widthMm > 0)
        arrange.widthMm -=
            cut.originMm.x() + 2 * around
            + (cut.toolOffsetMm > 0 ? bladeTurnsExtraWidth(cut.toolOffsetMm * UnitsPerMm) / UnitsPerMm : 0);
    Arranged arranged;
    if (scaled.size() == 1) {
        arranged.paths = scaled.first();
        arranged.boxes = {boundsOf(arranged.paths)};
        arranged.placements = {QTransform()};
    } else if (!arrangeDesigns(scaled, arrange, &arranged, error)) {
        return false;
    }
    laid->used = arranged.used;
    *job = arranged.paths;
    const QTransform place = finishPaths(job, arranged.boxes, cut, sheet.arrange.gapMm, progress);
    laid->placements.clear();
    for (const QTransform& placement : qAsConst(arranged.placements))
        laid->placements << QTransform::fromScale(factor, factor) * placement * place;
    return true;
}

} // namespace

bool layOutSheet(const QVector<CutPaths>& designs, const CutOptions& cut, const SheetOptions& sheet, CutPaths* job,
                 QString* error, QStringList* notes, ConversionProgress* progress, QVector<QTransform>* placements)
{
    QVector<CutPaths> all;
    for (const CutPaths& design : designs) {
        for (int i = 0; i < sheet.repeat; ++i)
            all << design;
    }
    double factor = 1;
    Laid laid;
    for (int round = 0;; ++round) {
        QString tooWide;
        const bool placed = layOutOnce(all, cut, sheet, factor, job, &laid, &tooWide, progress);
        const QString refusal = placed ? materialRefusal(jobExtentMm(boundsOf(*job)), sheet.material) : tooWide;
        if (refusal.isEmpty())
            break;
        if (!sheet.fit || round == FitRounds) {
            *error = sheet.fit ? QStringLiteral("%1, even scaled down to %2%").arg(refusal).arg(factor * 100, 0, 'f', 1)
                               : refusal;
            return false;
        }
        const QSizeF extent = placed ? jobExtentMm(boundsOf(*job)) : QSizeF(2 * sheet.material.widthMm, 0);
        factor *= std::min(fitFactor(extent, sheet.material), 1.0) * FitShrink;
    }
    if (placements)
        *placements = laid.placements;
    const Arrangement used = laid.used;
    if (factor < 1)
        *notes << QStringLiteral("scaled to %1% to fit the %2")
                      .arg(factor * 100, 0, 'f', 1)
                      .arg(materialText(sheet.material));
    if (all.size() > 1 && sheet.arrange.how == Arrangement::Nest)
        *notes
            << (used == Arrangement::Nest
                    ? QStringLiteral("nested: %1 mm of material").arg(boundsOf(*job).bottom() / UnitsPerMm, 0, 'f', 1)
                : sheet.material.known()
                    ? QStringLiteral("nesting saved no material over rows; laid out in rows")
                    : QStringLiteral("nesting packs across the material's width (--media); laid out in rows"));
    return true;
}

} // namespace ktconv
