#ifndef OFFTHREADFREE_H
#define OFFTHREADFREE_H

#include <QThreadPool>

#include <memory>

// A shared object holding a big job's geometry is millions of small blocks; freeing them
// where the last hold happens to go (often the window's thread, as a newer job or picture
// takes its place) held the event loop. Its deletion is handed to the thread pool instead.
template <typename T, typename... Args>
std::shared_ptr<T> makeFreedOffThread(Args&&... args)
{
    return std::shared_ptr<T>(new T(std::forward<Args>(args)...), [](T* object) {
        if (QThreadPool* pool = QThreadPool::globalInstance())
            pool->start([object] { delete object; });
        else
            delete object; // the process is ending
    });
}

#endif // OFFTHREADFREE_H
