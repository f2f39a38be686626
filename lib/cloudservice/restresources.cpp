#include "restresources.h"

#include "cloudstore.h"
#include "recordrules.h"

#include <QFile>

using namespace RecordRules;

// Resources of a static library are registered by hand, and only outside a namespace.
static void initFleetPage()
{
    Q_INIT_RESOURCE(fleetpage);
}

namespace {

// The fleet page's files, by resource name; empty for anything else.
QString pageFile(const QString& resource)
{
    if (resource.isEmpty() || resource == QLatin1String("index.html"))
        return QStringLiteral(":/fleet/index.html");
    if (resource == QLatin1String("page.js") || resource == QLatin1String("page.css"))
        return QStringLiteral(":/fleet/") + resource;
    return QString();
}

// A cutter's own token acts as that cutter only.
bool mayActOn(const HttpRequest& request, const QString& code)
{
    return request.actingAs.isEmpty() || request.actingAs == code;
}

HttpAnswer forbidden()
{
    return {403, RestResources::detail(QStringLiteral("this device token acts only for its own device"))};
}

HttpAnswer notAllowed(const QByteArray& allowed)
{
    HttpAnswer answer{405, RestResources::detail(QStringLiteral("method not allowed"))};
    answer.with("Allow", allowed);
    return answer;
}

} // namespace

QJsonObject RestResources::detail(const QString& text)
{
    return QJsonObject{{QStringLiteral("detail"), text}};
}

bool RestResources::isPage(const HttpRequest& request)
{
    return (request.verb == "GET" || request.verb == "HEAD") && !pageFile(request.resource).isEmpty();
}

HttpAnswer RestResources::answer(const HttpRequest& request)
{
    // HEAD is GET without the body, which the server leaves out.
    const QByteArray verb = request.verb == "HEAD" ? QByteArray("GET") : request.verb;
    if (request.resource == QLatin1String("device"))
        return deviceResource(request, verb);
    if (request.resource == QLatin1String("device_model"))
        return deviceModelResource(request, verb);
    if (request.resource == QLatin1String("device_work_records"))
        return workRecordResource(request, verb);
    if (!pageFile(request.resource).isEmpty())
        return page(request);
    return {404, detail(QStringLiteral("unknown resource"))};
}

// Kept in the store here; the live feed hears of it once the answer is back on the network
// thread (seenDevices()).
void RestResources::seen(const QString& code)
{
    const int id = store.deviceByCode(code).value(QStringLiteral("id")).toInt(-1);
    if (id >= 0)
        store.touchDevice(id, QDateTime::currentDateTimeUtc());
    seenCodes.append(code);
}

// GET ?code=... looks a device up by its code, GET alone lists them all; PUT updates the
// entry named by "id".
HttpAnswer RestResources::deviceResource(const HttpRequest& request, const QByteArray& verb)
{
    if (verb == "PUT")
        return deviceUpdate(request);
    if (verb != "GET")
        return notAllowed("GET, HEAD, PUT");
    if (!request.query.hasQueryItem(QStringLiteral("code")))
        return request.actingAs.isEmpty() ? deviceList() : forbidden();
    const QString code = request.query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    if (code.isEmpty())
        return {400, detail(QStringLiteral("code required"))};
    if (!mayActOn(request, code))
        return forbidden();
    const QJsonObject found = store.deviceByCode(code);
    if (found.isEmpty())
        return {404, detail(QStringLiteral("Not found."))};
    seen(code);
    return {200, found};
}

HttpAnswer RestResources::deviceUpdate(const HttpRequest& request)
{
    QJsonObject body;
    QString problem = parseObject(request.body, body);
    if (problem.isEmpty())
        problem = checkDevice(body);
    if (!problem.isEmpty())
        return {400, detail(problem)};
    const int id = body.value(QStringLiteral("id")).toInt(-1);
    if (id < 0)
        return {400, detail(QStringLiteral("id required"))};
    QJsonObject stored = store.device(id);
    if (stored.isEmpty())
        return {404, detail(QStringLiteral("Not found."))};
    if (!mayActOn(request, stored.value(QStringLiteral("code")).toString()))
        return forbidden();
    for (auto it = body.begin(); it != body.end(); ++it)
        stored.insert(it.key(), it.value());
    const QString code = stored.value(QStringLiteral("code")).toString();
    if (!mayActOn(request, code))
        return forbidden();
    const QJsonObject holder = store.deviceByCode(code);
    if (!holder.isEmpty() && holder.value(QStringLiteral("id")).toInt() != id)
        return {400, detail(QStringLiteral("code belongs to another device"))};
    if (!store.updateDevice(id, stored))
        return {500, detail(store.lastError())};
    seen(code);
    return {200, stored};
}

// PATCH {"code": model number} finds a device model; POST creates a device entry.
HttpAnswer RestResources::deviceModelResource(const HttpRequest& request, const QByteArray& verb)
{
    if (verb != "PATCH" && verb != "POST")
        return notAllowed("PATCH, POST");
    QJsonObject body;
    const QString problem = parseObject(request.body, body);
    if (!problem.isEmpty())
        return {400, detail(problem)};
    if (verb == "PATCH") {
        const QJsonValue code = body.value(QStringLiteral("code"));
        if (!code.isDouble())
            return {400, detail(QStringLiteral("code required"))};
        const QJsonObject model = store.deviceModelByCode(qint64(code.toDouble()));
        if (model.isEmpty())
            return {404, detail(QStringLiteral("Not found."))};
        return {200, model};
    }
    const QString wrong = checkDevice(body);
    if (!wrong.isEmpty())
        return {400, detail(wrong)};
    const QString code = body.value(QStringLiteral("code")).toString();
    if (code.isEmpty())
        return {400, detail(QStringLiteral("code required"))};
    if (!mayActOn(request, code))
        return forbidden();
    if (!store.deviceByCode(code).isEmpty())
        return {400, detail(QStringLiteral("device exists"))};
    const int id = store.addDevice(body);
    if (id < 0)
        return {500, detail(store.lastError())};
    seen(code);
    return {200, store.device(id)};
}

HttpAnswer RestResources::workRecordResource(const HttpRequest& request, const QByteArray& verb)
{
    if (verb == "GET")
        return request.actingAs.isEmpty() ? workRecordList(request) : forbidden();
    if (verb != "POST")
        return notAllowed("GET, HEAD, POST");
    QJsonObject record;
    QString problem = parseObject(request.body, record);
    if (problem.isEmpty())
        problem = checkWorkRecord(record);
    if (!problem.isEmpty())
        return {400, detail(problem)};
    const QJsonObject owner = store.device(record.value(QStringLiteral("device")).toInt(-1));
    if (owner.isEmpty())
        return {400, detail(QStringLiteral("unknown device"))};
    if (!mayActOn(request, owner.value(QStringLiteral("code")).toString()))
        return forbidden();
    record.remove(QStringLiteral("id"));
    QJsonObject stored; // a repeat is answered with what its first post stored
    if (store.addWorkRecord(record, stored) < 0)
        return {500, detail(store.lastError())};
    seen(owner.value(QStringLiteral("code")).toString());
    return {200, stored};
}

// ?device=ID or ?code=CODE, ?from= and ?to= (ISO 8601, UTC unless a zone is given; "to" is
// exclusive), ?format=csv for a spreadsheet instead of a JSON list.
HttpAnswer RestResources::workRecordList(const HttpRequest& request)
{
    WorkRecordFilter filter;
    const QString deviceText = request.query.queryItemValue(QStringLiteral("device"), QUrl::FullyDecoded);
    const QString code = request.query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    const bool csv =
        request.query.queryItemValue(QStringLiteral("format")).compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    bool ok = true;
    if (!deviceText.isEmpty())
        filter.device = deviceText.toInt(&ok);
    if (!ok || filter.device < -1)
        return {400, detail(QStringLiteral("device must be a device id"))};
    if (!code.isEmpty()) {
        const QJsonObject found = store.deviceByCode(code);
        if (found.isEmpty())
            return csv ? HttpAnswer{200, workRecordsCsv({}), "text/csv; charset=utf-8"} : HttpAnswer{200, QJsonArray()};
        filter.device = found.value(QStringLiteral("id")).toInt();
    }
    for (const char* end : {"from", "to"}) {
        const QString text = request.query.queryItemValue(QLatin1String(end), QUrl::FullyDecoded);
        const QDateTime when = parseTime(text);
        if (!text.isEmpty() && !when.isValid())
            return {400, detail(QStringLiteral("%1 must be an ISO 8601 date or time").arg(QLatin1String(end)))};
        (qstrcmp(end, "from") == 0 ? filter.from : filter.to) = when;
    }
    const QList<QJsonObject> records = store.workRecords(filter);
    // Opened straight from an address, it is saved as a file, never shown as a page.
    if (csv)
        return HttpAnswer{200, workRecordsCsv(records), "text/csv; charset=utf-8"}.with(
            "Content-Disposition", "attachment; filename=\"work-records.csv\"");
    QJsonArray list;
    for (const QJsonObject& r : records)
        list.append(r);
    return {200, list};
}

// Every device with what the service knows of it now: "online" is whether its channel is
// open, "last_seen" its latest request or message, "task" its latest task state.
HttpAnswer RestResources::deviceList()
{
    QJsonArray list;
    for (const QJsonObject& d : store.devices()) {
        const QString code = d.value(QStringLiteral("code")).toString();
        QJsonObject entry = d;
        const QJsonObject state = live.states.value(code);
        entry.insert(QStringLiteral("online"), state.value(QStringLiteral("online")).toBool());
        QDateTime when = store.lastSeen(d.value(QStringLiteral("id")).toInt());
        if (live.seen.value(code) > when)
            when = live.seen.value(code);
        entry.insert(QStringLiteral("last_seen"),
                     when.isValid() ? QJsonValue(when.toString(Qt::ISODateWithMs)) : QJsonValue());
        entry.insert(QStringLiteral("task"),
                     state.contains(QStringLiteral("task")) ? state.value(QStringLiteral("task")) : QJsonValue());
        list.append(entry);
    }
    return {200, list};
}

bool RestResources::wantsLive(const HttpRequest& request)
{
    return request.resource == QLatin1String("device") && !request.query.hasQueryItem(QStringLiteral("code"));
}

// The page's files come from the program itself: no store, no thread.
HttpAnswer RestResources::page(const HttpRequest& request)
{
    const QByteArray verb = request.verb == "HEAD" ? QByteArray("GET") : request.verb;
    if (verb != "GET")
        return notAllowed("GET, HEAD");
    initFleetPage();
    const QString name = pageFile(request.resource);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {404, detail(QStringLiteral("unknown resource"))};
    const QByteArray type = name.endsWith(QLatin1String(".js"))    ? "text/javascript; charset=utf-8"
                            : name.endsWith(QLatin1String(".css")) ? "text/css; charset=utf-8"
                                                                   : "text/html; charset=utf-8";
    return {200, file.readAll(), type}; // the server adds the safety headers
}
