#include "driverstatus.h"

#include <QCoreApplication>

namespace {

// Every status text the driver sends, for the translations.
[[maybe_unused]] const char* const statusTexts[] = {
    QT_TRANSLATE_NOOP("DriverStatus", "USB CONNECTED."),
    QT_TRANSLATE_NOOP("DriverStatus", "USB ERROR."),
    QT_TRANSLATE_NOOP("DriverStatus", "USB DISCONNECTED."),
    QT_TRANSLATE_NOOP("DriverStatus", "TCP CONNECTED."),
    QT_TRANSLATE_NOOP("DriverStatus", "TCP DISCONNECTED."),
    QT_TRANSLATE_NOOP("DriverStatus", "HEARTBEAT TIMEOUT 30S."),
    QT_TRANSLATE_NOOP("DriverStatus", "WEB SOCKET CONNECTED."),
    QT_TRANSLATE_NOOP("DriverStatus", "WEB SOCKET DISCONNECTED."),
    QT_TRANSLATE_NOOP("DriverStatus", "WEB SOCKET ERROR."),
};

} // namespace

QString DriverStatus::said(const QString& text)
{
    return QCoreApplication::translate("DriverStatus", text.toUtf8().constData());
}

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
