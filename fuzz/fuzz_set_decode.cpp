// Reply fields into a property of every value type and command kind (set_decode), then the
// property's own frames built from whatever value the reply left behind.
#include "fuzzsupport.h"

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>

#include <memory>

namespace {

QVariant initialValue(uint8_t selector, const QStringList& childKeys)
{
    switch (selector % 10) {
    case 0: return QString("text");
    case 1: return QVariant(7u);
    case 2: return QVariant(-7);
    case 3: return QVariant(2.5);
    case 4: return childKeys;
    case 5: return QVariant(true);
    case 6: return QJsonObject{{"k", 1}};
    case 7: return QVariant();
    case 8: return QByteArray("bytes");
    default: return QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
    }
}

// A frame is STX, its own total length in decimal, ";", the payload, ETX.
void checkFrame(const QByteArray& frame)
{
    if (frame.isEmpty())
        return;
    KT_FUZZ_CHECK(frame.front() == '\x02' && frame.back() == '\x03');
    const int semi = frame.indexOf(';');
    KT_FUZZ_CHECK(semi > 1);
    bool ok = false;
    KT_FUZZ_CHECK(frame.mid(1, semi - 1).toInt(&ok) == frame.size() && ok);
}

void checkDecoded(const KTDeviceProperty& p, int typeBefore, int fieldCount)
{
    // Only a multi-register CMD reply changes the type (the words form one 32-bit int).
    if (p.cmd_type() == KTDeviceInterface::CMD && fieldCount >= 2)
        KT_FUZZ_CHECK(p.value().userType() == QMetaType::Int);
    else
        KT_FUZZ_CHECK(p.value().userType() == typeBefore);
    checkFrame(p.get_cmd_bytes());
    checkFrame(p.set_cmd_bytes());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ktfuzz::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const auto kind = static_cast<KTDeviceInterface::KTDeviceCMDType>(data[1] % 7);
    const int paramCount = data[2] & 3;
    const int length = (data[2] >> 2) & 7;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 3), int(size - 3));
    const QStringList fields = text.split(QLatin1Char(','));
    const QStringList params = QStringList{"1", "0", "9"}.mid(0, paramCount);
    // A compound value names its children; one name comes from the input, so lookups of
    // arbitrary keys (empty, non-ASCII, absent) are tried too.
    const QStringList childKeys{"CHILD_A", fields.first(), "CHILD_B"};

    KTDeviceProperty whole;
    whole.init(initialValue(data[0], childKeys), "label", "mm", 40, 41, length, kind, params);
    KTDeviceProperty childA;
    childA.init(QVariant(1), "a", "", 0, 0, 0, KTDeviceInterface::UnCMD, {});
    KTDeviceProperty childB;
    childB.init(QString(), "b", "", 0, 0, 0, KTDeviceInterface::UnCMD, {});
    whole.setProperty("CHILD_A", QVariant::fromValue(static_cast<void*>(&childA)));
    whole.setProperty("CHILD_B", QVariant::fromValue(static_cast<void*>(&childB)));

    const int typeBefore = whole.value().userType();
    whole.set_decode(fields);
    checkDecoded(whole, typeBefore, fields.size());
    KT_FUZZ_CHECK(childA.value().userType() == QMetaType::Int);
    KT_FUZZ_CHECK(childB.value().userType() == QMetaType::QString);

    KTDeviceProperty single;
    single.init(initialValue(data[0], childKeys), "label", "", 40, 41, length, kind, params);
    single.set_decode(text);
    checkDecoded(single, typeBefore, 1);
    return 0;
}
