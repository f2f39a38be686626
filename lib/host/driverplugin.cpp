#include "driverplugin.h"

#include "ktdeviceinterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

#ifndef KTRV8_PLUGIN_FROM_BIN
#define KTRV8_PLUGIN_FROM_BIN "../lib/kt-rv8"
#endif

// KTRV8_PLUGIN names another plug-in; the build tree keeps it beside the tools, an installed
// prefix in its own library folder.
QString defaultPluginPath()
{
    const QString chosen = qEnvironmentVariable("KTRV8_PLUGIN");
    if (!chosen.isEmpty())
        return chosen;
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString beside = bin.filePath(QStringLiteral("libKT-RV8.so"));
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(bin.filePath(QStringLiteral(KTRV8_PLUGIN_FROM_BIN "/libKT-RV8.so")));
}

} // namespace

std::unique_ptr<KTDeviceInterface> DriverPlugin::load(const QString& pluginPath, QString* error)
{
    const QString path = pluginPath.isEmpty() ? defaultPluginPath() : pluginPath;
    loader.setFileName(path);
    QObject* instance = loader.instance();
    if (!instance) {
        *error = QStringLiteral("cannot load the plug-in %1: %2").arg(path, loader.errorString());
        return nullptr;
    }
    auto* factory = qobject_cast<KTDeviceInterface*>(instance);
    if (!factory) {
        *error = QStringLiteral("%1 is not a cutter driver (no %2 interface)")
                     .arg(path, QStringLiteral(KTDeviceInterface_iid));
        return nullptr;
    }
    std::unique_ptr<KTDeviceInterface> device(factory->initInstance());
    if (!device)
        *error = QStringLiteral("the plug-in %1 gave no device object").arg(path);
    return device;
}
