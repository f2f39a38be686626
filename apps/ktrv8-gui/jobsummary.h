#ifndef JOBSUMMARY_H
#define JOBSUMMARY_H

#include <QLabel>

class PreparedJob;

// What a job will be before it is started: its size, cut length, pen-up travel and the
// time it should take at the cutter's speed, for all its copies; on a known material, the
// material and how much of its length the job takes. A refused job says why instead.
class JobSummary : public QLabel
{
    Q_OBJECT
public:
    explicit JobSummary(QWidget* parent = nullptr);

    // speed 0: the cutter's speed is not known yet (the estimate says which it assumed).
    void describe(const PreparedJob* job, int copies, int speedMmPerS);
    void refuse(const QString& reason);

private:
    QString materialLine(const PreparedJob& job, int copies) const;
};

#endif // JOBSUMMARY_H
