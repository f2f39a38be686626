#ifndef STORETHREAD_H
#define STORETHREAD_H

#include <QString>
#include <QThread>

#include <functional>
#include <memory>

class CloudStore;

// A database on a thread of its own: the network thread hands it work and goes on serving
// (the page, other connections) while a write waits for the disk or the server. Work runs
// in the order it was handed over, one piece at a time.
class StoreThread
{
public:
    StoreThread(); // starts with the records in memory
    ~StoreThread();

    // Replaces the store by a database (see SqlStore::open), opened on the store's thread.
    bool open(const QString& location, QString* error, bool createFolder);

    // Runs job on the store's thread and waits for it (setting up, tests reading back).
    void run(const std::function<void(CloudStore&)>& job);
    // Runs job on the store's thread; the caller does not wait.
    void post(std::function<void(CloudStore&)> job);

private:
    QThread thread;
    QObject* context = nullptr; // lives on the thread once a database is open; work is queued to it
    std::unique_ptr<CloudStore> store;
};

#endif // STORETHREAD_H
