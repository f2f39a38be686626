#ifndef EMULATEDBULKCUTTER_H
#define EMULATEDBULKCUTTER_H

#include <QByteArray>
#include <QList>
#include <QMutex>

#include <functional>

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

// A vendor-class cutter behind an emulated usbfs node: answers the usbfs ioctls libusb
// sends, takes bulk OUT transfers and completes the bulk IN transfers it holds with the
// recorded replies. The exchange is a recording: each step is what the host sends and what
// the cutter answers once it has all of it; the end is an unplug, a transfer error or silence.
// Transfers are answered from umockdev's thread, so every member is guarded.
class EmulatedBulkCutter
{
public:
    struct Step
    {
        QByteArray expect;
        QByteArray reply;
    };
    enum End {
        StayPlugged,
        Unplug,
        TransferError
    };

    EmulatedBulkCutter(QList<Step> recording, End end);
    ~EmulatedBulkCutter();

    UMockdevIoctlBase* handler() const { return base; }

    QByteArray received() const;     // every byte the host sent, in order
    QList<int> outTransfers() const; // the length of each OUT transfer (0: a zero-length packet)
    bool followedRecording() const;  // the host sent what the recording expects, all of it

    // A live cutter instead of a recording (an empty one, StayPlugged): what the host sends
    // goes to forward, called on umockdev's thread; the answers come through deliver.
    void setForward(std::function<void(const QByteArray&)> forward);
    void deliver(const QByteArray& bytes);
    void unplug(); // from now on the device is gone: held and new transfers fail with ENODEV

private:
    struct Urb
    {
        UMockdevIoctlData* urb;
        UMockdevIoctlData* buffer;
    };
    static int onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self);
    int handle(UMockdevIoctlClient* client);
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void advance();
    void feed();

    mutable QMutex mutex;
    UMockdevIoctlBase* base;
    QList<Step> recording;
    End end;
    int step = 0;
    int consumed = 0; // bytes of fromHost matched against the recording
    bool mismatch = false;
    bool ended = false; // the end of the recording was acted out
    QByteArray fromHost, toHost;
    QList<int> lengths;
    QList<Urb> waitingIn, done;
    std::function<void(const QByteArray&)> forward;
};

#endif // EMULATEDBULKCUTTER_H
