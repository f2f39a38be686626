#include "storethread.h"

#include "cloudstore.h"
#include "sqlstore.h"

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
