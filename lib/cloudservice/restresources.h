#ifndef RESTRESOURCES_H
#define RESTRESOURCES_H

#include "httpserver.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class CloudStore;
class DeviceChannels;

// The service's resources over HTTP: "device", "device_model", "device_work_records" and the
// fleet page's files. Answers from the store as it is now; a store in trouble is answered for
// by the caller (the answer here would be built on missing data).
class RestResources
{
public:
    RestResources(CloudStore*& store, DeviceChannels& channels) : store(store), channels(channels) {}

    HttpAnswer answer(const HttpRequest& request);

    // Whether the resource is one of the page's files, which anyone may read.
    static bool isPage(const HttpRequest& request);
    static QJsonObject detail(const QString& text);

private:
    HttpAnswer deviceResource(const HttpRequest& request, const QByteArray& verb);
    HttpAnswer deviceUpdate(const HttpRequest& request);
    HttpAnswer deviceModelResource(const HttpRequest& request, const QByteArray& verb);
    HttpAnswer workRecordResource(const HttpRequest& request, const QByteArray& verb);
    HttpAnswer workRecordList(const HttpRequest& request);
    HttpAnswer deviceList();
    HttpAnswer pageResource(const HttpRequest& request, const QByteArray& verb);
    void seen(const QString& code);

    CloudStore*& store;
    DeviceChannels& channels;
};

#endif // RESTRESOURCES_H
