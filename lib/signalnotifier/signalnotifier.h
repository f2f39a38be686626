#ifndef SIGNALNOTIFIER_H
#define SIGNALNOTIFIER_H

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

// Unix signals as a Qt signal. The handler only writes the signal's number to a socket pair;
// received() follows in the event loop, where anything may be done. One per process.
class SignalNotifier : public QObject
{
    Q_OBJECT
public:
    explicit SignalNotifier(QObject* parent = nullptr);
    // Puts back the default handlers.
    ~SignalNotifier() override;

    // Handles the given signals from now on; false (with the reason) when it cannot.
    bool watch(std::initializer_list<int> numbers, QString* error);

signals:
    void received(int number);

private:
    void readSignal();

    QSocketNotifier* notifier = nullptr;
    QList<int> watched;
};

#endif // SIGNALNOTIFIER_H
