// The reply stream of a full RV8 device in the middle of a three-page, two-copy job: any
// bytes, in any chunks, through the USB read slot.
#include "fuzzsupport.h"
#include "ktrv8.h"
#include "ktrv8_p.h"

#include <QJsonObject>

#include <memory>

namespace {

KTRV8* factory = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ktfuzz::initApplication();
    factory = new KTRV8(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<KTRV8> device(static_cast<KTRV8*>(factory->initInstance()));
    KT_FUZZ_CHECK(device);
    device->setPlt(QStringLiteral("IN;PU0,0;PD400,0;PG;PD400,400;PG;PD0,400;PU0,0;PG;"));
    if (KTDeviceProperty* task = device->property_ptr("TASK"))
        task->setValue(QJsonObject{{"TaskCopies", 2}, {"Finished", 0}, {"Status", 1}, {"Percent", 0}});
    device->property_ptr("STATUS")->setValue(int(KTDeviceInterface::Working));
    device->property_ptr("CONNECT_MODE")->setValue(QStringLiteral("USB"));
    device->startTask();
    ktfuzz::feedReplyStream(device.get(), data, size);
    KT_FUZZ_CHECK(KTRV8Private::pages(*device).size() == 3);
    return 0;
}
