// The fleet service from the command line: a job reported to it (cut --cloud) and what it
// knows (cloud-status).
#include "cloudcommands.h"

#include "cutterconnection.h"
#include "kttaskrecord_p.h"
#include "nimbracloud.h"
#include "output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>

namespace {

constexpr int RegistrationMs = CloudReport::RegistrationMs;
constexpr int RequestMs = CloudReport::RequestMs;

struct HttpAnswer
{
    int status = 0; // 0: no HTTP answer
    QByteArray body;
    QString error;
};

HttpAnswer fetch(NimbraCloud& cloud, const QString& resource)
{
    HttpAnswer answer;
    bool done = false;
    cloud.setTimeout(RequestMs);
    cloud.customRequest(resource, "GET", QJsonObject(), [&answer, &done](QNetworkReply* reply, bool) {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = reply->readAll();
        answer.error = reply->errorString();
        done = true;
    });
    CutterConnection::waitUntil([&done] { return done; }, RequestMs + 1000);
    return answer;
}

// Says why a request failed; the exit code for it.
int failure(const CloudOptions& options, const HttpAnswer& answer, const Output& out)
{
    if (answer.status == 0) {
        out.error(
            QStringLiteral("no answer from the fleet service at %1: %2").arg(options.url.toString(), answer.error));
        return ExitNoConnection;
    }
    if (answer.status == 401)
        out.error(QStringLiteral("the fleet service at %1 refused the token (--token)").arg(options.url.toString()));
    else
        out.error(QStringLiteral("the fleet service answered %1: %2")
                      .arg(answer.status)
                      .arg(QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("detail")).toString()));
    return ExitFailed;
}

QString taskLine(const QJsonObject& task)
{
    if (KTTaskRecord::copies(task) == 0)
        return QStringLiteral("no job");
    return QStringLiteral("%1 %2/%3 copies %4% %5")
        .arg(task.value(KTTaskRecord::fileNameKey()).toString())
        .arg(KTTaskRecord::finished(task))
        .arg(KTTaskRecord::copies(task))
        .arg(task.value(KTTaskRecord::percentKey()).toInt())
        .arg(KTTaskRecord::statusName(task));
}

// The device with the sums of its work records added.
QJsonObject withTotals(QJsonObject device, const QJsonArray& records)
{
    const int id = device.value(QStringLiteral("id")).toInt();
    qint64 jobs = 0, copies = 0, area = 0, length = 0;
    for (const QJsonValue& value : records) {
        const QJsonObject record = value.toObject();
        if (record.value(QStringLiteral("device")).toInt() != id)
            continue;
        ++jobs;
        copies += record.value(QStringLiteral("finish_copies")).toInt();
        area += qint64(record.value(QStringLiteral("page_area")).toDouble());
        length += qint64(record.value(QStringLiteral("path_length")).toDouble());
    }
    device.insert(QStringLiteral("records"), jobs);
    device.insert(QStringLiteral("copies"), copies);
    device.insert(QStringLiteral("page_area"), area);
    device.insert(QStringLiteral("path_length"), length);
    return device;
}

} // namespace

int runReported(CutterConnection& link, PreparedJob* job, const CloudOptions& options, const Output& out,
                const std::function<int()>& run)
{
    if (!options.isSet())
        return run();
    CloudReport report(options);
    const bool attached = report.attach(link.device(), job, RegistrationMs);
    if (!attached)
        out.error(report.error());
    const int code = run();
    const bool kept = report.flush(CloudReport::RetryMs + RequestMs);
    if (attached && !kept)
        out.error(report.error());
    // The cut's own failure says more; a finished cut that left no record must not pass as done.
    return code == ExitOk && !(attached && kept) ? int(ExitNotRecorded) : code;
}

int commandCloudStatus(const CloudOptions& options, const Output& out)
{
    if (!options.isSet()) {
        out.error(QStringLiteral("cloud-status needs --cloud URL --token TOKEN"));
        return ExitUsage;
    }
    NimbraCloud cloud(options.url, options.channelBase(), options.token);
    const HttpAnswer devices = fetch(cloud, QStringLiteral("device"));
    if (devices.status != 200)
        return failure(options, devices, out);
    const HttpAnswer records = fetch(cloud, QStringLiteral("device_work_records"));
    if (records.status != 200)
        return failure(options, records, out);
    const QJsonArray recordList = QJsonDocument::fromJson(records.body).array();
    QJsonArray listed;
    for (const QJsonValue& value : QJsonDocument::fromJson(devices.body).array()) {
        const QJsonObject device = withTotals(value.toObject(), recordList);
        listed.append(device);
        const QString seen = device.value(QStringLiteral("last_seen")).toString();
        out.line(QStringLiteral("%1  id %2  %3  last seen %4  %5")
                     .arg(device.value(QStringLiteral("code")).toString())
                     .arg(device.value(QStringLiteral("id")).toInt())
                     .arg(device.value(QStringLiteral("online")).toBool() ? QStringLiteral("online")
                                                                          : QStringLiteral("offline"))
                     .arg(seen.isEmpty() ? QStringLiteral("never") : seen)
                     .arg(taskLine(device.value(QStringLiteral("task")).toObject())));
        out.line(QStringLiteral("    %1 work record(s): %2 copies, page area %3 mm², path length %4 mm")
                     .arg(device.value(QStringLiteral("records")).toInt())
                     .arg(device.value(QStringLiteral("copies")).toInt())
                     .arg(device.value(QStringLiteral("page_area")).toInt())
                     .arg(device.value(QStringLiteral("path_length")).toInt()));
    }
    if (listed.isEmpty())
        out.line(QStringLiteral("No device has registered with %1 yet.").arg(options.url.toString()));
    out.result(QJsonObject{{QStringLiteral("service"), options.url.toString()}, {QStringLiteral("devices"), listed}});
    return ExitOk;
}
