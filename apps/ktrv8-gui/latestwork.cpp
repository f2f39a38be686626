#include "latestwork.h"

#include <QtConcurrent>

LatestWork::LatestWork(QObject* parent) : QObject(parent) {}

void LatestWork::start(Work work)
{
    ++asked;
    if (running)
        waiting = std::move(work);
    else
        launch(std::move(work));
}

void LatestWork::cancel()
{
    ++asked;
    waiting = nullptr;
}

bool LatestWork::isBusy() const
{
    return (running && runsFor == asked) || waiting;
}

void LatestWork::launch(Work work)
{
    runsFor = asked;
    running = new QFutureWatcher<Delivery>(this);
    connect(running, &QFutureWatcher<Delivery>::finished, this, [this, watcher = running, request = runsFor] {
        running = nullptr;
        watcher->deleteLater();
        // The one waiting goes first: what is delivered may ask again.
        if (waiting) {
            Work next = std::move(waiting);
            waiting = nullptr;
            launch(std::move(next));
        }
        const Delivery deliver = watcher->result();
        if (request == asked && deliver)
            deliver();
    });
    running->setFuture(QtConcurrent::run(std::move(work)));
}
