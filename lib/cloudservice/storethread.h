#ifndef STORETHREAD_H
#define STORETHREAD_H

#include <QMutex>
#include <QString>
#include <QThread>

#include <deque>
#include <functional>
#include <memory>

class CloudStore;

// A database on a thread of its own: the network thread hands it work and goes on serving
// (the page, other connections) while a write waits for the disk or the server. Work runs
// in the order it was handed over, one piece at a time. Work handed over with submit() is
// grouped: whatever arrived while the last commit ran is written in one transaction, with
// one sync for all of it.
class StoreThread
{
public:
    // What a submitted job does once its batch is over: committed says whether its writes
    // are kept. Called on the store's thread.
    using Settle = std::function<void(bool committed)>;
    using Job = std::function<Settle(CloudStore&)>;
    // The most jobs in one transaction, so that a long queue is still answered in steps.
    static constexpr int MaxBatch = 256;

    StoreThread(); // starts with the records in memory
    ~StoreThread();

    // Replaces the store by a database (see SqlStore::open), opened on the store's thread.
    bool open(const QString& location, QString* error, bool createFolder);

    // Runs job on the store's thread and waits for it (setting up, tests reading back).
    void run(const std::function<void(CloudStore&)>& job);
    // Runs job on the store's thread; the caller does not wait.
    void post(std::function<void(CloudStore&)> job);
    // Runs job in the next batch; its settle follows that batch's commit.
    void submit(Job job);

private:
    void drain();

    QThread thread;
    QObject* context = nullptr; // lives on the thread once a database is open; work is queued to it
    std::unique_ptr<CloudStore> store;
    QMutex queueLock;
    std::deque<Job> queue; // submitted, not yet in a batch
};

#endif // STORETHREAD_H
