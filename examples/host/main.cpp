// Loads the KT-RV8 driver plug-in, creates a device object and prints its settings.
// Usage: kt-rv8-example-host [PLUGIN_FILE]
#include <ktdeviceinterface.h>
#include <ktdeviceproperty.h>

#include <QCoreApplication>
#include <QPluginLoader>
#include <QTextStream>

#include <memory>

namespace {

// A group (SCALE) or compound (CAMERA_OFFSET) setting keeps its parts as child properties.
void printSetting(QTextStream& out, KTDeviceProperty* setting, const QByteArray& key, int depth)
{
    out << QString(depth * 2, QLatin1Char(' ')) << key << "  " << setting->label() << " = "
        << setting->value().toString();
    if (!setting->uint().isEmpty())
        out << ' ' << setting->uint();
    out << '\n';
    for (const QByteArray& name : setting->dynamicPropertyNames()) {
        if (KTDeviceProperty* part = setting->property_ptr(name.constData()))
            printSetting(out, part, name, depth + 1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KTRV8_PLUGIN_FILE);

    QPluginLoader loader(file);
    auto* driver = qobject_cast<KTDeviceInterface*>(loader.instance());
    if (!driver) {
        QTextStream(stderr) << "cannot load the driver " << file << ": " << loader.errorString() << '\n';
        return 1;
    }
    // The plug-in object is only a factory; every device object is the host's to delete.
    std::unique_ptr<KTDeviceInterface> device(driver->initInstance());
    if (!device) {
        QTextStream(stderr) << "the driver gave no device object\n";
        return 1;
    }
    out << "Driver " << file << ", built " << KTDeviceInterface::buildDate() << '\n';
    for (const QString& key : device->userProperty() + device->sysProperty()) {
        if (KTDeviceProperty* setting = device->property_ptr(key.toLatin1().constData()))
            printSetting(out, setting, key.toLatin1(), 0);
    }
    return 0;
}
