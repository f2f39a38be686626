#ifndef LATESTWORK_H
#define LATESTWORK_H

#include <QFutureWatcher>
#include <QObject>

#include <functional>

// Work of the window done on a worker thread where only the latest request counts: one
// piece runs at a time; a request made meanwhile waits for it, taking the place of any
// that waited before; and only the latest request's result is delivered, on the window's
// thread. Requests that come quickly (a spin box held down) cost one run and one waiting,
// not one each. What runs on the worker must own everything it reads (copies, shared
// pointers): it may outlive this object, which then drops its result.
class LatestWork : public QObject
{
    Q_OBJECT
public:
    // What a finished piece hands back: what to do with its result, on the window's thread.
    using Delivery = std::function<void()>;
    using Work = std::function<Delivery()>;

    explicit LatestWork(QObject* parent = nullptr);

    void start(Work work);
    // Nothing asked so far is delivered.
    void cancel();
    // Whether a result is still to come.
    bool isBusy() const;

private:
    void launch(Work work);

    QFutureWatcher<Delivery>* running = nullptr;
    Work waiting;
    quint64 asked = 0;   // the latest request
    quint64 runsFor = 0; // the request running
};

#endif // LATESTWORK_H
