// What the cloud answers to registration: any HTTP status and any body, to each of the three
// reply handlers, in an order chosen by the input.
#include "fuzzsupport.h"
#include "ktcommoninterface_p.h"
#include "ktrv8.h"

#include <QJsonObject>

#include <memory>

namespace {

KTRV8* factory = nullptr;

int statusOf(uint8_t selector, uint8_t extra)
{
    static const int statuses[] = {0, 200, 404, 500, 201, 204, 301, 400, 401, 403, 502, 503, -1};
    constexpr int known = sizeof(statuses) / sizeof(statuses[0]);
    return selector % 16 < known ? statuses[selector % 16] : (selector << 8 | extra);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ktfuzz::initApplication();
    factory = new KTRV8(nullptr);
    return 0;
}

// Input: status selector, status low byte, handler order, then the body.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const int status = statusOf(data[0], data[1]);
    const uint8_t order = data[2];
    const QByteArray body(reinterpret_cast<const char*>(data + 3), int(size - 3));

    std::unique_ptr<KTRV8> device(static_cast<KTRV8*>(factory->initInstance()));
    // Registration without a client builds the record and sends nothing.
    device->setNimbraCloud(nullptr, QStringLiteral("KT3M7Z0001"));
    const QJsonObject before = KTCommonInterfacePrivate::cloudRecord(*device);
    for (int step = 0; step < 3; ++step) {
        switch ((order >> (2 * step)) % 3) {
        case 0: KTCommonInterfacePrivate::handle_device_model_reply(*device, status, body); break;
        case 1: KTCommonInterfacePrivate::handle_device_lookup_reply(*device, status, body); break;
        default: KTCommonInterfacePrivate::handle_device_new_reply(*device, status, body, order & 0x80); break;
        }
    }
    // Whatever came back, the record keeps what the device put in it; only "id" and
    // "device_model" may be added, as integers, and the copy in DEVICE_CLOUD matches.
    const QJsonObject after = KTCommonInterfacePrivate::cloudRecord(*device);
    for (auto it = before.begin(); it != before.end(); ++it)
        KT_FUZZ_CHECK(after.value(it.key()) == it.value());
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (!before.contains(it.key()))
            KT_FUZZ_CHECK((it.key() == "id" || it.key() == "device_model") && it.value().isDouble());
    }
    KT_FUZZ_CHECK(device->property_ptr("DEVICE_CLOUD")->value().toJsonObject() == after);
    return 0;
}
