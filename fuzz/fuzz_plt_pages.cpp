// Job text from the host: cutting it into pages (splitPages) and loading it (setPlt).
#include "fuzzsupport.h"
#include "ktrv8.h"
#include "ktrv8_p.h"

#include <memory>

namespace {

KTRV8* factory = nullptr;

// The plain reading of the page rule, kept deliberately naive as the reference.
QStringList referencePages(const QString& plt)
{
    QStringList pages;
    for (const QString& part : plt.split(QStringLiteral("PG;"))) {
        if (!part.isEmpty())
            pages.append(part + QStringLiteral("PG;"));
    }
    return pages;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ktfuzz::initApplication();
    factory = new KTRV8(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString plt = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QStringList pages = KTRV8Private::splitPages(plt);
    KT_FUZZ_CHECK(pages == referencePages(plt));

    std::unique_ptr<KTRV8> device(static_cast<KTRV8*>(factory->initInstance()));
    device->setPlt(plt);
    KT_FUZZ_CHECK(KTRV8Private::pages(*device) == pages);
    KT_FUZZ_CHECK(KTRV8Private::pageIndex(*device) == 0);
    KTDeviceProperty* job = device->property_ptr("TASK_PPLT");
    KT_FUZZ_CHECK(job);
    KT_FUZZ_CHECK(job->value().toString() == (pages.isEmpty() ? QString() : pages.first()));
    // The page goes out whole in one frame whose length field counts it.
    const QByteArray frame = job->set_cmd_bytes();
    KT_FUZZ_CHECK(frame.startsWith('\x02') && frame.endsWith('\x03'));
    KT_FUZZ_CHECK(frame.mid(1, frame.indexOf(';') - 1).toInt() == frame.size());
    return 0;
}
