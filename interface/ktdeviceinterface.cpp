#include "ktdeviceinterface.h"
#include "ktdeviceinterface_p.h"
#include "ktdeviceproperty.h"
#include "ktdeviceproperty_p.h"

#include <QDate>
#include <QLocale>

KTDeviceInterface::KTDeviceInterface(QObject* parent) : QObject(parent) {}

// The device owns every record stored on it. A child stored both here and on its group is
// deleted once, through this object's own entry; the group only references it.
KTDeviceInterface::~KTDeviceInterface()
{
    const QList<QByteArray> names = dynamicPropertyNames();
    for (const QByteArray& name : names) {
        delete kt_property_of(this, name.constData());
        setProperty(name.constData(), QVariant());
    }
}

KTDeviceInterface* KTDeviceInterface::initInstance()
{
    return nullptr;
}

void KTDeviceInterface::setUSBPath(QString path)
{
    kt_store_bare_property(this, "USB", tr("USB"), path);
}

void KTDeviceInterface::setIPAddress(QString address)
{
    kt_store_bare_property(this, "TCP", tr("TCP"), address);
}

void KTDeviceInterface::storeProperty(const char* key, KTDeviceProperty* property)
{
    KTDeviceProperty* replaced = kt_property_of(this, key);
    if (replaced && replaced != property)
        replaced->setParent(this); // the host may still hold it: free it with the device
    setProperty(key, QVariant::fromValue(static_cast<void*>(property)));
}

bool KTDeviceInterface::connectDevice()
{
    return false;
}

KTDeviceProperty* KTDeviceInterface::property_ptr(const char*)
{
    return nullptr;
}

QStringList KTDeviceInterface::userProperty()
{
    return {};
}

QStringList KTDeviceInterface::sysProperty()
{
    return {};
}

void KTDeviceInterface::sendCMD(QByteArray) {}

void KTDeviceInterface::setNimbraCloud(NimbraCloud*, QString) {}

void KTDeviceInterface::startTask() {}

void KTDeviceInterface::stopTask() {}

void KTDeviceInterface::move(int, int) {}

int KTDeviceInterface::icon()
{
    return 0;
}

void KTDeviceInterface::setPlt(QString plt)
{
    if (KTDeviceProperty* job = kt_job_property(this))
        job->setValue(QVariant(plt));
}

QString KTDeviceInterface::buildDate()
{
    return kt_format_build_date(QStringLiteral(__DATE__));
}

// The compiler writes "Jun 27 2025", or "Jun  7 2025" for a one-digit day.
QString kt_format_build_date(const QString& compilerDate)
{
    const QLocale english(QLocale::English);
    const QString format = QStringLiteral("yyyy - MM - dd");
    QString text = english.toDate(compilerDate, QStringLiteral("MMM dd yyyy")).toString(format);
    if (text.isEmpty())
        text = english.toDate(compilerDate, QStringLiteral("MMM  d yyyy")).toString(format);
    return text;
}
