#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"
#include "ktpropertyrules_p.h"

#include <atomic>

namespace {
std::atomic<quint64> initCount{0};
} // namespace

quint64 kt_property_inits()
{
    return initCount.load(std::memory_order_relaxed);
}

KTDeviceProperty::KTDeviceProperty(QObject* parent) : QObject(parent) {}

KTDeviceProperty::KTDeviceProperty(const KTDeviceProperty& other)
    : QObject(nullptr), m_value(other.m_value), m_previousValue(other.m_previousValue), m_getCmd(other.m_getCmd),
      m_setCmd(other.m_setCmd), m_cmdLen(other.m_cmdLen), m_label(other.m_label), m_unit(other.m_unit),
      m_cmdType(other.m_cmdType)
{
}

KTDeviceProperty::~KTDeviceProperty() = default;

bool KTDeviceProperty::init(QVariant value, QString label, QString unit, int get_cmd_int, int set_cmd_int, int cmd_len,
                            KTDeviceInterface::KTDeviceCMDType cmd_type, QStringList param)
{
    m_value = value;
    m_previousValue = value;
    m_label = label;
    m_unit = unit;
    m_getCmd = get_cmd_int;
    m_setCmd = set_cmd_int;
    m_cmdLen = cmd_len;
    m_cmdType = cmd_type;
    m_param = param;
    initCount.fetch_add(1, std::memory_order_relaxed);
    return true;
}

// Setting back the value that the last notified change replaced is silent: the host
// restoring a value it has already been told about needs no second notification.
void KTDeviceProperty::setValue(const QVariant& v)
{
    const bool equalsPrevious = v == m_previousValue;
    applyValue(v, equalsPrevious, !equalsPrevious && v == m_value);
}

void KTDeviceProperty::applyValue(const QVariant& v, bool equalsPrevious, bool equalsCurrent)
{
    if (equalsPrevious) {
        m_value = v;
        return;
    }
    if (equalsCurrent)
        return;
    m_previousValue = m_value;
    m_value = v;
    emit valueChanged();
}

namespace {

// The same text, known without reading it: both hold one shared string.
bool sameText(const QVariant& held, const QVariant& seen)
{
    if (held.userType() != QMetaType::QString || seen.userType() != QMetaType::QString)
        return !held.isValid() && !seen.isValid();
    return static_cast<const QString*>(held.constData())->isSharedWith(*static_cast<const QString*>(seen.constData()));
}

} // namespace

void KTValueAhead::compare(const KTDeviceProperty& property, const QString& next)
{
    text = next;
    current = property.m_value;
    previous = property.m_previousValue;
    const QVariant value(text);
    equalsPrevious = value == previous;
    equalsCurrent = !equalsPrevious && value == current;
}

void KTValueAhead::set(KTDeviceProperty& property, const QString& next) const
{
    const QVariant value(next);
    if (next.isSharedWith(text) && sameText(property.m_value, current) && sameText(property.m_previousValue, previous))
        property.applyValue(value, equalsPrevious, equalsCurrent);
    else
        property.setValue(value);
}

bool KTValueAhead::knownEqual(const QVariant& held) const
{
    return sameText(held, QVariant(text)) || (equalsCurrent && sameText(held, current))
           || (equalsPrevious && sameText(held, previous));
}

void KTValueAhead::clear()
{
    *this = KTValueAhead();
}

void KTDeviceProperty::ret_Status(int ret)
{
    emit retStatus(ret);
}

KTDeviceProperty* KTDeviceProperty::property_ptr(const char* key) const
{
    return kt_property_of(this, key);
}

QVector<QPair<QByteArray, KTDeviceProperty*>> KTDeviceProperty::children() const
{
    return kt_child_properties(this);
}

KTDeviceProperty* kt_property_of(const QObject* holder, const char* key)
{
    if (!holder || !key)
        return nullptr;
    QVariant v = holder->property(key);
    if (v.userType() != QMetaType::VoidStar && !v.convert(QMetaType::VoidStar))
        return nullptr;
    return static_cast<KTDeviceProperty*>(v.value<void*>());
}

KTDeviceProperty* kt_store_bare_property(KTDeviceInterface* device, const char* key, const QVariant& value,
                                         const QString& label)
{
    auto* property = new KTDeviceProperty(nullptr);
    property->init(value, label, QString(), 0, 0, 0, KTDeviceInterface::UnCMD, QStringList());
    device->storeProperty(key, property);
    return property;
}

KTDeviceProperty* kt_job_property(KTDeviceInterface* device)
{
    if (KTDeviceProperty* job = device->property_ptr("TASK_PPLT"))
        return job;
    return device->property_ptr("TASK_PLT");
}
