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
                .arg(durationText(seconds), pace));
}
