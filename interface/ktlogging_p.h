#ifndef KTLOGGING_P_H
#define KTLOGGING_P_H

#include <QLoggingCategory>

// The driver's debug lines, by layer, so that a host can keep or silence each through
// QT_LOGGING_RULES (for example "kt.*.debug=false" or "kt.link.debug=true"). All are on by
// default, as plain qDebug lines were.
Q_DECLARE_LOGGING_CATEGORY(ktLink)     // transports and reply handling
Q_DECLARE_LOGGING_CATEGORY(ktProperty) // properties and their editors
Q_DECLARE_LOGGING_CATEGORY(ktCloud)    // cloud records and the cloud's WebSocket
Q_DECLARE_LOGGING_CATEGORY(ktRv8)      // the RV8's job flow

#endif // KTLOGGING_P_H
