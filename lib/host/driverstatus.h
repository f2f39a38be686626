#ifndef DRIVERSTATUS_H
#define DRIVERSTATUS_H

#include <QString>

// What a status text of the driver says ("TCP CONNECTED.", "USB ERROR.", "WEB SOCKET ...").
struct DriverStatus
{
    bool cloud = false;     // about the cloud channel: it says nothing of the cutter
    bool connected = false; // the link to the cutter came up
    bool problem = false;   // an error, a timeout or a disconnection

    static DriverStatus of(const QString& text);
    // The text in the user's language: the driver says it in English whatever the locale.
    static QString said(const QString& text);
};

#endif // DRIVERSTATUS_H
