#ifndef CUTTERREPLIES_H
#define CUTTERREPLIES_H

#include <QHash>
#include <QStringList>
#include <QVariant>

#include <functional>

class KTDeviceInterface;
class KTDeviceProperty;

// Waiting for the cutter's answers. Sees each reply frame the driver decodes (through its
// reply observer) and keeps the result of every CCMD answer, which tells a refusal or a
// value of 0 that the driver does not store; asks for values and waits in a nested event
// loop until the cutter has answered.
class CutterReplies
{
public:
    // linkUp says whether the link is still there: a wait ends when it goes. arriving is
    // called for each reply frame before the driver acts on it.
    CutterReplies(KTDeviceInterface& device, std::function<bool()> linkUp, std::function<void()> arriving = {});
    ~CutterReplies();
    CutterReplies(const CutterReplies&) = delete;
    CutterReplies& operator=(const CutterReplies&) = delete;

    // Lets the event loop run until done() or the time is up.
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs);

    // Whether the device lets the frames be seen; when not, results are never known.
    bool known() const { return observing; }
    // The result field of the last answer to a CCMD request with this code since clear(), or
    // -1 when none was seen.
    int result(int code) const { return results.value(code, -1); }
    void clear() { results.clear(); }

    // Sends the read requests of the given properties and waits until the cutter has
    // answered them all (a firmware read sent last is answered last). Properties the
    // cutter did not answer are listed in unanswered and keep their previous value.
    bool readBack(const QStringList& keys, int timeoutMs, QStringList* unanswered);
    // Waits until everything sent so far has been answered.
    bool barrier(int timeoutMs);
    // Ends a wait in progress at once, as unanswered (the user gave up).
    void cancelWait() { cancelled = true; }
    // The keys whose values a read of key fills in: a compound's children, else the key itself.
    QStringList filledKeys(const QString& key) const;

private:
    struct Marked
    {
        QString key;
        KTDeviceProperty* property;
        QVariant before;
    };
    KTDeviceProperty* property(const QString& key) const;
    void mark(const QString& key, QList<Marked>* marked) const;
    void settle(const QList<Marked>& marked, bool answered, QStringList* unanswered) const;

    KTDeviceInterface& device;
    std::function<bool()> linkUp;
    std::function<void()> arriving;
    bool observing = false;
    bool cancelled = false;
    QHash<int, int> results; // CCMD code -> result
};

#endif // CUTTERREPLIES_H
