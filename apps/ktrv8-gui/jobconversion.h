#ifndef JOBCONVERSION_H
#define JOBCONVERSION_H

#include "preparedjob.h"

#include <QFutureWatcher>
#include <QObject>

#include <memory>

// A job file read, or a drawing converted again, on a worker thread so that the window
// keeps answering. How far it got comes back queued; so does the result. A newer
// conversion supersedes the one running: that one is cancelled and its result dropped.
class JobConversion : public QObject
{
    Q_OBJECT
public:
    explicit JobConversion(QObject* parent = nullptr);
    // Cancels the conversion running and waits for its thread to let go.
    ~JobConversion() override;

    // Reads `path` afresh with `options`.
    void read(const QString& path, const PreparedJob::Options& options);
    // Reads several files afresh as designs on one material.
    void readSeveral(const QStringList& paths, const PreparedJob::Options& options);
    // Converts the drawing `base` holds once more with other cutter options (and another
    // choice of its layers and colours, or another threshold for a picture, or another
    // material and layout).
    void convertAgain(const std::shared_ptr<const PreparedJob>& base, const ktconv::CutOptions& cut,
                      const ktconv::InputOptions& input, const ktconv::SheetOptions& sheet);
    bool isRunning() const { return current != nullptr; }

signals:
    // stage: "reading", "ordering", "writing"; only for a conversion that takes a while.
    void progress(const QString& stage, int percent);
    // job: what was read, with its error() when ok is false.
    void finished(const std::shared_ptr<PreparedJob>& job, bool ok);

private:
    struct Run;
    void launch(const std::shared_ptr<PreparedJob>& job, std::function<bool(PreparedJob*)> work);
    void cancel();

    std::shared_ptr<Run> current;
    quint64 runs = 0;                      // the number of the latest run
    QList<QFutureWatcher<bool>*> watchers; // every run not yet over, the superseded ones too
};

#endif // JOBCONVERSION_H
