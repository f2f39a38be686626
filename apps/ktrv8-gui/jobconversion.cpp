#include "jobconversion.h"

#include "offthreadfree.h"

#include <QtConcurrent>

struct JobConversion::Run
{
    explicit Run(ktconv::ConversionProgress::Report report) : progress(std::move(report)) {}
    ktconv::ConversionProgress progress;
};

JobConversion::JobConversion(QObject* parent) : QObject(parent) {}

JobConversion::~JobConversion()
{
    cancel();
    // The workers post to this object: none may outlive it.
    for (QFutureWatcher<bool>* watcher : qAsConst(watchers))
        watcher->waitForFinished();
}

void JobConversion::read(const QString& path, const PreparedJob::Options& options)
{
    launch(makeFreedOffThread<PreparedJob>(), [path, options](PreparedJob* job) { return job->read(path, options); });
}

void JobConversion::readSeveral(const QStringList& paths, const PreparedJob::Options& options)
{
    launch(makeFreedOffThread<PreparedJob>(),
           [paths, options](PreparedJob* job) { return job->readSeveral(paths, options); });
}

void JobConversion::convertAgain(const std::shared_ptr<const PreparedJob>& base, const ktconv::CutOptions& cut,
                                 const ktconv::InputOptions& input, const ktconv::SheetOptions& sheet)
{
    launch(makeFreedOffThread<PreparedJob>(*base), [cut, input, sheet](PreparedJob* job) {
        job->setSheet(sheet);
        return job->convertAgain(cut, input);
    });
}

void JobConversion::cancel()
{
    if (current)
        current->progress.cancel();
    current.reset();
}

void JobConversion::launch(const std::shared_ptr<PreparedJob>& job, std::function<bool(PreparedJob*)> work)
{
    cancel();
    const quint64 runNumber = ++runs;
    // Reports go to this thread, and only while the run is the current one.
    auto run = std::make_shared<Run>([this, runNumber](ktconv::ConversionStage stage, int percent) {
        QMetaObject::invokeMethod(
            this,
            [this, runNumber, stage, percent] {
                if (current && runNumber == runs)
                    emit progress(ktconv::stageName(stage), percent);
            },
            Qt::QueuedConnection);
    });
    current = run;
    job->setProgress(&run->progress);
    auto* watcher = new QFutureWatcher<bool>(this);
    watchers << watcher;
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, run, job] {
        watchers.removeOne(watcher);
        watcher->deleteLater();
        job->setProgress(nullptr);
        if (run != current)
            return; // superseded
        current.reset();
        emit finished(job, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([job, work] { return work(job.get()); }));
}
