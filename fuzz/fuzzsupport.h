#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

// Shared by the fuzz targets: a quiet application object, a hard check that aborts (so the
// fuzzer records the input), and the reply-stream driver used for both device families.
#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"

#include <QCoreApplication>
#include <QVariant>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define KT_FUZZ_CHECK(condition)                                                                                       \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace ktfuzz {

// Debug lines cost more than the decoding itself; warnings and fatals still show.
inline void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (type == QtFatalMsg)
        std::abort();
}

inline void initApplication()
{
    static int argc = 1;
    static char name[] = "ktfuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    static QCoreApplication app(argc, argv);
}

// Chunk sizes for a stream: byte 0 below 0x80 fixes one size (1..128); from 0x80 on it seeds
// a generator that varies every chunk (1..4096). The rest of the input is the stream itself,
// so a seed is one selector byte followed by real frames.
class Chunker
{
public:
    explicit Chunker(uint8_t selector) : fixed(selector < 0x80 ? selector + 1 : 0), state(selector | 1u) {}
    size_t next()
    {
        if (fixed)
            return fixed;
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return 1 + state % ((state & 0x100) ? 4096 : 16);
    }

private:
    size_t fixed;
    uint32_t state;
};

// Feeds data in chunks through the transport read slot of a connected device, checking after
// every chunk what must hold whatever the bytes: complete frames are consumed, the pending
// bytes stay bounded, and decoding never touches the link state.
inline void feedReplyStream(KTCommonInterface* device, const uint8_t* data, size_t size)
{
    KTDeviceProperty* status = device->property_ptr("STATUS");
    KTDeviceProperty* mode = device->property_ptr("CONNECT_MODE");
    KT_FUZZ_CHECK(status && mode);
    // Working over a transport that is not there: every reply the driver answers is built
    // and handed to send_cmd, which drops it.
    status->setValue(int(KTDeviceInterface::Working));
    mode->setValue(QStringLiteral("USB"));
    if (size == 0)
        return;
    Chunker chunker(data[0]);
    size_t at = 1;
    while (at < size) {
        const size_t n = std::min(chunker.next(), size - at);
        device->slot_usb_read(QByteArray(reinterpret_cast<const char*>(data + at), int(n)));
        at += n;
        const QByteArray& pending = KTCommonInterfacePrivate::receiveBuffer(*device);
        KT_FUZZ_CHECK(pending.size() <= KTCommonInterfacePrivate::MaxPendingReplyBytes);
        KT_FUZZ_CHECK(!pending.contains('\x03'));
        KT_FUZZ_CHECK(status->value().toInt() == KTDeviceInterface::Working);
        KT_FUZZ_CHECK(mode->value().toString() == QLatin1String("USB"));
    }
}

} // namespace ktfuzz

#endif // FUZZSUPPORT_H
