#ifndef DRIVERPLUGIN_H
#define DRIVERPLUGIN_H

#include <QPluginLoader>
#include <QString>

#include <memory>

class KTDeviceInterface;

// The driver plug-in, loaded as the desktop host loads it: through QPluginLoader, the device
// object taken from its factory. The plug-in stays loaded as long as this lives, so every
// device it gave must be gone first.
class DriverPlugin
{
public:
    // The plug-in beside the executable unless a path is given ($KTRV8_PLUGIN first).
    std::unique_ptr<KTDeviceInterface> load(const QString& pluginPath, QString* error);

private:
    QPluginLoader loader;
};

#endif // DRIVERPLUGIN_H
