#include "storethread.h"

#include "cloudstore.h"
#include "sqlstore.h"

StoreThread::StoreThread() : store(new MemoryStore)
{
    thread.setObjectName(QStringLiteral("store"));
    context = new QObject;
    context->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, context, &QObject::deleteLater);
    thread.start();
}

StoreThread::~StoreThread()
{
    // A database connection is closed on the thread that opened it.
    run([this](CloudStore&) { store.reset(); });
    thread.quit();
    thread.wait();
}

bool StoreThread::open(const QString& location, QString* error, bool createFolder)
{
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
    QMetaObject::invokeMethod(
        context,
        [this, job = std::move(job)] {
            if (store)
                job(*store);
        },
        Qt::QueuedConnection);
}
