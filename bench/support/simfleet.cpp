#include "simfleet.h"

#include "simcutter.h"
#include "simline.h"
#include "simprotocol.h"
#include "simtransport.h"

#include "benchsupport.h"

#include <QHostAddress>
#include <QMetaObject>

namespace ktbench {

template <typename F>
void SimFleet::onThread(QObject* context, F&& work)
{
    QMetaObject::invokeMethod(context, std::forward<F>(work), Qt::BlockingQueuedConnection);
}

SimFleet::SimFleet(int count, const Options& options)
{
    for (int t = 0; t < qBound(1, options.threads, count); ++t) {
        auto* thread = new QThread;
        thread->setObjectName(QStringLiteral("cutters %1").arg(t));
        thread->start();
        auto* context = new QObject;
        context->moveToThread(thread);
        threads.append(thread);
        contexts.append(context);
    }
    for (int i = 0; i < count; ++i) {
        auto* cutter = new Cutter;
        cutter->context = contexts.at(i % contexts.size());
        onThread(cutter->context, [this, cutter, options] {
            QObject* context = cutter->context;
            ktsim::CutterOptions cutterOptions;
            cutterOptions.cutMs = options.cutMs;
            cutter->model = new ktsim::SimCutter(cutterOptions, nullptr, context);
            cutter->line = new ktsim::SimLine(cutter->model, ktsim::LineFaults{}, context);
            cutter->transport = new ktsim::TcpTransport(context);
            QString error;
            if (!cutter->transport->listen(QHostAddress::LocalHost, 0, &error))
                qFatal("SimFleet: %s", qPrintable(error));
            cutter->port = cutter->transport->port();
            if (options.tapBytes) {
                QObject::connect(cutter->transport, &ktsim::Transport::received, context,
                                 [this, cutter](const QByteArray& bytes) {
                                     QMutexLocker lock(&tapMutex);
                                     cutter->tap.append(bytes);
                                 });
            }
            cutter->line->addTransport(cutter->transport);
        });
        cutters.append(cutter);
    }
}

SimFleet::~SimFleet()
{
    for (int t = 0; t < threads.size(); ++t) {
        QObject* context = contexts.at(t);
        // Its children: the model, line and transport of every cutter on this thread.
        onThread(context, [context] { delete context; });
        threads.at(t)->quit();
        threads.at(t)->wait();
        delete threads.at(t);
    }
    qDeleteAll(cutters);
}

quint16 SimFleet::port(int index) const
{
    return cutters.at(index)->port;
}

QByteArray SimFleet::tapped(int index) const
{
    QMutexLocker lock(&tapMutex);
    return cutters.at(index)->tap;
}

void SimFleet::clearTaps()
{
    QMutexLocker lock(&tapMutex);
    for (Cutter* cutter : cutters)
        cutter->tap.clear();
}

int SimFleet::pagesCut(int index) const
{
    int pages = 0;
    ktsim::SimCutter* model = cutters.at(index)->model;
    onThread(cutters.at(index)->context, [&pages, model] { pages = model->pagesCut(); });
    return pages;
}

qint64 SimFleet::threadCpuNs() const
{
    qint64 total = 0;
    for (QObject* context : contexts) {
        qint64 ns = 0;
        onThread(context, [&ns] { ns = threadCpuNow(); });
        total += ns;
    }
    return total;
}

QList<QByteArray> framesIn(const QByteArray& stream)
{
    QList<QByteArray> frames;
    int from = 0;
    for (;;) {
        const int stx = stream.indexOf(ktsim::STX, from);
        if (stx < 0)
            break;
        const int etx = stream.indexOf(ktsim::ETX, stx);
        if (etx < 0)
            break;
        frames.append(stream.mid(stx, etx - stx + 1));
        from = etx + 1;
    }
    return frames;
}

QList<QByteArray> pagesIn(const QByteArray& stream)
{
    QList<QByteArray> pages;
    for (const QByteArray& frame : framesIn(stream)) {
        const int word = frame.indexOf(';') + 1;
        if (word > 0 && frame.mid(word, 5) == "PPLT;")
            pages.append(frame.mid(word + 5, frame.size() - word - 6));
    }
    return pages;
}

} // namespace ktbench
