#include "storethread.h"

#include "cloudstore.h"
#include "sqlstore.h"

#include <vector>

// Records in memory never wait: they are served on the caller's thread, as before any
// database is opened. The thread starts with the first database.
StoreThread::StoreThread() : store(new MemoryStore)
{
    thread.setObjectName(QStringLiteral("store"));
}

StoreThread::~StoreThread()
{
    if (!thread.isRunning())
        return;
    // A database connection is closed on the thread that opened it.
    run([this](CloudStore&) { store.reset(); });
    thread.quit();
    thread.wait();
}

bool StoreThread::open(const QString& location, QString* error, bool createFolder)
{
    if (!thread.isRunning()) {
        context = new QObject;
        context->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, context, &QObject::deleteLater);
        thread.start();
    }
    bool opened = false;
    run([&](CloudStore&) {
        std::unique_ptr<SqlStore> database = SqlStore::open(location, error, createFolder);
        if (!database)
            return;
        store = std::move(database);
        opened = true;
    });
    return opened;
}

void StoreThread::run(const std::function<void(CloudStore&)>& job)
{
    if (!context) {
        job(*store);
        return;
    }
    QMetaObject::invokeMethod(
        context,
        [this, &job] {
            if (store)
                job(*store);
        },
        Qt::BlockingQueuedConnection);
}

void StoreThread::post(std::function<void(CloudStore&)> job)
{
    if (!context) {
        job(*store);
        return;
    }
    QMetaObject::invokeMethod(
        context,
        [this, job = std::move(job)] {
            if (store)
                job(*store);
        },
        Qt::QueuedConnection);
}

void StoreThread::submit(Job job)
{
    if (!context) {
        if (Settle settle = job(*store))
            settle(true);
        return;
    }
    bool idle = false;
    {
        QMutexLocker lock(&queueLock);
        idle = queue.empty();
        queue.push_back(std::move(job));
    }
    // A queue that was not empty has a drain on its way already.
    if (idle)
        QMetaObject::invokeMethod(
            context, [this] { drain(); }, Qt::QueuedConnection);
}

void StoreThread::drain()
{
    std::vector<Job> batch;
    bool more = false;
    {
        QMutexLocker lock(&queueLock);
        while (!queue.empty() && int(batch.size()) < MaxBatch) {
            batch.push_back(std::move(queue.front()));
            queue.pop_front();
        }
        more = !queue.empty();
    }
    if (more)
        QMetaObject::invokeMethod(
            context, [this] { drain(); }, Qt::QueuedConnection);
    if (!store || batch.empty())
        return;
    store->beginBatch(); // when it fails the jobs find the store in trouble and say so
    std::vector<Settle> settles;
    settles.reserve(batch.size());
    for (Job& job : batch)
        settles.push_back(job(*store));
    const bool committed = store->commitBatch();
    for (Settle& settle : settles) {
        if (settle)
            settle(committed);
    }
}
