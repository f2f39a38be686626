#ifndef RESTRESOURCES_H
#define RESTRESOURCES_H

#include "httpserver.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "devicechannels.h"

#include <QStringList>

class CloudStore;

// The service's resources over HTTP: "device", "device_model", "device_work_records" and the
// fleet page's files. Runs on the store's thread with what the channels knew when the
// request came (live); a store in trouble is answered for by the caller (the answer here
// would be built on missing data).
class RestResources
{
public:
    RestResources(CloudStore& store, const LiveView& live) : store(store), live(live) {}

    HttpAnswer answer(const HttpRequest& request);
    // The devices the request showed to be alive, for the live feed.
    QStringList seenDevices() const { return seenCodes; }

    // Whether the resource is one of the page's files, which anyone may read.
    static bool isPage(const HttpRequest& request);
    static HttpAnswer page(const HttpRequest& request);
    // Whether the answer shows the channels' state (see LiveView).
    static bool wantsLive(const HttpRequest& request);
    static QJsonObject detail(const QString& text);

private:
    HttpAnswer deviceResource(const HttpRequest& request, const QByteArray& verb);
    HttpAnswer deviceUpdate(const HttpRequest& request);
    HttpAnswer deviceModelResource(const HttpRequest& request, const QByteArray& verb);
    HttpAnswer workRecordResource(const HttpRequest& request, const QByteArray& verb);
    HttpAnswer workRecordList(const HttpRequest& request);
    HttpAnswer deviceList();
    void seen(const QString& code);

    CloudStore& store;
    const LiveView& live;
    QStringList seenCodes;
};

#endif // RESTRESOURCES_H
