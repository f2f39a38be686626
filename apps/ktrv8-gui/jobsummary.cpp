#include "jobsummary.h"

#include "jobestimate.h"
#include "preparedjob.h"

JobSummary::JobSummary(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("jobSummary"));
    setWordWrap(true);
    describe(nullptr, 1, 0);
}

void JobSummary::describe(const PreparedJob* job, int copies, int speed)
{
    setStyleSheet(QString());
    if (!job) {
        setText(tr("No job"));
        return;
    }
    const ktconv::Measure one = job->total();
    const QSizeF size = one.bounds.size() / ktconv::UnitsPerMm;
    const double seconds = estimateSeconds(one, speed) * copies;
    const QString pace = speed > 0 ? tr("at %1 mm/s").arg(speed) : tr("at 100 mm/s until the cutter's speed is read");
    setText(tr("%1 × %2 mm, %3 page(s), %4 copy(ies)\n"
               "Cut %5 m, pen up %6 m\n"
               "About %7 %8")
                .arg(size.width(), 0, 'f', 1)
                .arg(size.height(), 0, 'f', 1)
                .arg(job->pages().size())
                .arg(copies)
                .arg(one.cutMm() * copies / 1000.0, 0, 'f', 2)
                .arg(one.travelMm() * copies / 1000.0, 0, 'f', 2)
                .arg(durationText(seconds), pace)
            + materialLine(*job, copies));
}

// The length is where the cuts reach from the origin, as the material is checked; a PLT
// job's copies are laid on by the cutter and not counted here.
QString JobSummary::materialLine(const PreparedJob& job, int copies) const
{
    const ktconv::Material& material = job.material();
    if (!material.known())
        return QString();
    const QSizeF reach = ktconv::jobExtentMm(job.total().bounds);
    const QString used = copies > 1 ? tr("%1 mm of its length used by one copy") : tr("%1 mm of its length used");
    const QString on =
        material.lengthMm > 0
            ? tr("On a %1 × %2 mm sheet").arg(material.widthMm, 0, 'f', 1).arg(material.lengthMm, 0, 'f', 1)
            : tr("On a %1 mm wide roll").arg(material.widthMm, 0, 'f', 1);
    return QStringLiteral("\n%1: %2").arg(on, used.arg(reach.height(), 0, 'f', 1));
}

void JobSummary::refuse(const QString& reason)
{
    setStyleSheet(QStringLiteral("color: #b00020"));
    setText(tr("Refused, Start is off: %1").arg(reason));
}
