#include "driverstatus.h"

DriverStatus DriverStatus::of(const QString& text)
{
    DriverStatus status;
    status.cloud = text.startsWith(QLatin1String("WEB SOCKET"));
    status.connected = !status.cloud && text.endsWith(QLatin1String(" CONNECTED."));
    status.problem = !status.connected
                     && (text.contains(QLatin1String("DISCONNECTED")) || text.contains(QLatin1String("ERROR"))
                         || text.contains(QLatin1String("TIMEOUT")));
    return status;
}
