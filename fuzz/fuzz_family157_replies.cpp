// The reply stream of a family-157 device carrying every family-157 group: any bytes, in any
// chunks, through the USB read slot.
#include "fuzzsupport.h"

#include <memory>

namespace {

KTCommonInterface* factory = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ktfuzz::initApplication();
    factory = new KTCommonInterface(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<KTCommonInterface> device(static_cast<KTCommonInterface*>(factory->initInstance()));
    KT_FUZZ_CHECK(device);
    device->info_157(device.get());
    device->feed_157(device.get());
    device->sp1_157(device.get());
    device->sp2_157(device.get());
    device->tool_space_157(device.get());
    device->camera_offset_157(device.get());
    device->scale_157(device.get());
    device->work_area_157(device.get());
    device->move_157(device.get());
    ktfuzz::feedReplyStream(device.get(), data, size);
    return 0;
}
