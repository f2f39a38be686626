// The parts of PreparedJob that put designs on the material: several files on one piece,
// and a PLT job measured against the material.
#include "preparedjob.h"

#include <QFile>

bool PreparedJob::readSeveral(const QStringList& paths, const Options& jobOptions)
{
    ktconv::ConversionProgress* const progress = reporter;
    *this = PreparedJob();
    reporter = progress;
    file = paths.value(0);
    files = paths;
    options = jobOptions;
    for (const QString& path : paths) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            return refuse(QStringLiteral("cannot read %1: %2").arg(path, in.errorString()), true);
        sources << in.readAll();
        if (in.error() != QFileDevice::NoError)
            return refuse(QStringLiteral("cannot read %1: %2").arg(path, in.errorString()), true);
    }
    // Only once every file is in hand: a job missing one of them is never converted again.
    kind = ktconv::JobFormat::Drawing;
    const bool converted = convert();
    if (!options.geometry)
        sources.clear();
    return converted;
}

// One file as a design: a drawing shaped by the cutter options, a PLT job's every stroke.
bool PreparedJob::design(int index, ktconv::CutPaths* paths, ktconv::Backdrop* backdrop)
{
    const QByteArray& content = sources[index];
    const ktconv::JobFormat format = ktconv::detectFormat(content.left(64 * 1024));
    const bool several = sources.size() > 1;
    const QString name = several ? files.value(index) + QStringLiteral(": ") : QString();
    QString error;
    QStringList warnings;
    if (format == ktconv::JobFormat::Plt) {
        for (const ktconv::CutPaths& page : ktconv::readPltPages(content))
            *paths += page;
        if (paths->isEmpty())
            error = QStringLiteral("the PLT job has nothing to cut");
    } else if (!ktconv::isDrawingFormat(format)) {
        error = ktconv::refusalReason(content.left(64 * 1024));
    } else {
        ktconv::readDesign(content, options.cut, options.input, paths, &error, &warnings, backdrop);
    }
    for (const QString& warning : warnings)
        notes << name + warning;
    if (!error.isEmpty()) {
        why = name + error;
        return false;
    }
    return true;
}

// The designs read one by one (as the reading stage), laid out and ordered; each placed copy
// of a traced picture keeps the picture under it.
bool PreparedJob::layOutDesigns(ktconv::CutPaths* page)
{
    const int count = sources.size();
    QVector<ktconv::CutPaths> designs(count);
    QVector<ktconv::Backdrop> drawnUnder(count);
    for (int i = 0; i < count; ++i) {
        ktconv::stepProgress(reporter, ktconv::ConversionStage::Reading, i, count);
        if (ktconv::progressCancelled(reporter))
            return refuse(QStringLiteral("the conversion was cancelled"), false);
        if (!design(i, &designs[i], options.geometry ? &drawnUnder[i] : nullptr))
            return false;
    }
    ktconv::stepProgress(reporter, ktconv::ConversionStage::Reading, count, count);
    QVector<QTransform> placed;
    if (!ktconv::layOutSheet(designs, options.cut, options.sheet, page, &why, &notes, reporter, &placed))
        return false;
    const int repeats = count > 0 ? placed.size() / count : 0;
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < repeats && !drawnUnder[i].isNull(); ++k) {
            ktconv::Backdrop copy = drawnUnder[i];
            copy.toPlotter *= placed[i * repeats + k];
            pictures << copy;
        }
    }
    return true;
}

bool PreparedJob::fitsMaterial()
{
    for (int i = 0; i < measures.size(); ++i) {
        const QString refusal =
            ktconv::materialRefusal(ktconv::jobExtentMm(measures[i].bounds), options.sheet.material);
        if (refusal.isEmpty())
            continue;
        const QString page = measures.size() > 1 ? QStringLiteral("page %1: ").arg(i + 1) : QString();
        const QString fit =
            options.sheet.fit ? QStringLiteral(" (a PLT job is cut as it is: --fit scales drawings)") : QString();
        return refuse(page + refusal + fit, false);
    }
    return true;
}
