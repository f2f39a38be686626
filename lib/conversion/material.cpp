#include "material.h"

#include "cutpath.h"

#include <QRegularExpression>

#include <algorithm>

namespace ktconv {
namespace {

// Rounding in the size said and in the measure of a converted job must not refuse a job
// that was fitted to the material exactly.
constexpr double SlackMm = 0.01;

QString mm(double value)
{
    return QString::number(qRound(value * 10) / 10.0, 'f', 1);
}

} // namespace

bool parseMaterial(const QString& text, Material* material, QString* error)
{
    static const QRegularExpression form(QStringLiteral("^\\s*([0-9.]+)\\s*(?:[xX]\\s*([0-9.]+))?\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    bool okWidth = false, okLength = true;
    const double width = match.captured(1).toDouble(&okWidth);
    const double length = match.captured(2).isEmpty() ? 0 : match.captured(2).toDouble(&okLength);
    if (!match.hasMatch() || !okWidth || !okLength || width < 1 || width > 100000 || (length != 0 && length < 1)
        || length > 1000000) {
        *error = QStringLiteral("--media takes WIDTH or WIDTHxLENGTH in millimetres (1 or more; no length: a "
                                "roll), not \"%1\"")
                     .arg(text);
        return false;
    }
    *material = Material{width, length};
    return true;
}

QString materialText(const Material& material)
{
    if (!material.known())
        return QString();
    if (material.lengthMm <= 0)
        return QStringLiteral("%1 mm wide roll").arg(mm(material.widthMm));
    return QStringLiteral("%1 x %2 mm sheet").arg(mm(material.widthMm), mm(material.lengthMm));
}

QSizeF jobExtentMm(const QRectF& bounds)
{
    if (bounds.isNull() && bounds.topLeft().isNull())
        return QSizeF();
    return QSizeF(std::max(bounds.right(), bounds.width()) / UnitsPerMm,
                  std::max(bounds.bottom(), bounds.height()) / UnitsPerMm);
}

QString materialRefusal(const QSizeF& extentMm, const Material& material)
{
    if (!material.known())
        return QString();
    const bool wide = extentMm.width() > material.widthMm + SlackMm;
    const bool longer = material.lengthMm > 0 && extentMm.height() > material.lengthMm + SlackMm;
    if (!wide && !longer)
        return QString();
    const QString how = wide && longer ? QStringLiteral("wider and longer than")
                        : wide         ? QStringLiteral("wider than")
                                       : QStringLiteral("longer than");
    return QStringLiteral("the job is %1 x %2 mm, %3 the material (%4); --fit scales it down to fit")
        .arg(mm(extentMm.width()), mm(extentMm.height()), how, materialText(material));
}

double fitFactor(const QSizeF& extentMm, const Material& material)
{
    double factor = 1;
    if (material.known() && extentMm.width() > 0)
        factor = std::min(factor, material.widthMm / extentMm.width());
    if (material.lengthMm > 0 && extentMm.height() > 0)
        factor = std::min(factor, material.lengthMm / extentMm.height());
    return factor;
}

} // namespace ktconv
