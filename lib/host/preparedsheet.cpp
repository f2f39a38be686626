// The parts of PreparedJob that put designs on the material: several files on one piece,
// and a PLT job measured against the material.
#include "preparedjob.h"

#include <QFile>

bool PreparedJob::readSeveral(const QStringList& paths, const Options& jobOptions)
{
    *this = PreparedJob();
    file = paths.value(0);
    files = paths;
    options = jobOptions;
    kind = ktconv::JobFormat::Drawing;
    for (const QString& path : paths) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            return refuse(QStringLiteral("cannot read %1: %2").arg(path, in.errorString()), true);
        sources << in.readAll();
        if (in.error() != QFileDevice::NoError)
            return refuse(QStringLiteral("cannot read %1: %2").arg(path, in.errorString()), true);
    }
    const bool converted = convert();
    if (!options.geometry)
        sources.clear();
    return converted;
}

// One file as a design: a drawing shaped by the cutter options, a PLT job's every stroke.
bool PreparedJob::design(int index, ktconv::CutPaths* paths)
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
        ktconv::readDesign(content, options.cut, options.input, paths, &error, &warnings);
    }
    for (const QString& warning : warnings)
        notes << name + warning;
    if (!error.isEmpty()) {
        why = name + error;
        return false;
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
