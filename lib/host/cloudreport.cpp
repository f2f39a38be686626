#include "cloudreport.h"

#include "cutterconnection.h"
#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "nimbracloud.h"
#include "preparedjob.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QTimer>

#include <utility>

namespace {

const QString RecordResource = QStringLiteral("device_work_records");

int statusOf(const QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// What the service said, for a person: the status and its "detail", without control
// characters (it is printed to a terminal) and not longer than a line.
QString answerText(QNetworkReply* reply)
{
    const int status = statusOf(reply);
    if (status == 0)
        return QStringLiteral("no answer: %1").arg(reply->errorString());
    QString detail = QJsonDocument::fromJson(reply->peek(reply->bytesAvailable()))
                         .object()
                         .value(QStringLiteral("detail"))
                         .toString()
                         .left(200);
    for (QChar& c : detail) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return detail.isEmpty() ? QStringLiteral("answered %1").arg(status)
                            : QStringLiteral("answered %1: %2").arg(status).arg(detail);
}

// How long to wait before posting again: what Retry-After asks (seconds or a date),
// otherwise 0.5 s doubling per attempt up to 4 s.
qint64 retryDelayMs(const QNetworkReply* reply, int attempt)
{
    const QByteArray asked = reply->rawHeader("Retry-After").trimmed();
    bool number = false;
    const qint64 seconds = asked.toLongLong(&number);
    if (number && seconds >= 0)
        return seconds * 1000;
    const QDateTime at = QDateTime::fromString(QString::fromLatin1(asked), Qt::RFC2822Date);
    if (at.isValid())
        return qMax<qint64>(0, QDateTime::currentDateTimeUtc().msecsTo(at));
    return qint64(500) << qBound(0, attempt - 1, 3);
}

} // namespace

QString CloudOptions::channelBase() const
{
    QUrl ws = url;
    ws.setScheme(url.scheme() == QLatin1String("https") ? QStringLiteral("wss") : QStringLiteral("ws"));
    QString path = ws.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    ws.setPath(path + QString::fromUtf8(token) + QLatin1Char('/'));
    return ws.toString();
}

QJsonObject jobFileInfo(const ktconv::Measure& job)
{
    const auto mm = [](double units) { return qRound64(units / ktconv::UnitsPerMm); };
    return QJsonObject{{QStringLiteral("heigth"), mm(job.bounds.height())},
                       {QStringLiteral("width"), mm(job.bounds.width())},
                       {QStringLiteral("path_length"), mm(job.cut)}};
}

CloudReport::CloudReport(const CloudOptions& cloudOptions, QObject* parent)
    : QObject(parent), options(cloudOptions),
      cloud(new NimbraCloud(cloudOptions.url, cloudOptions.channelBase(), cloudOptions.token, this))
{
    clock.start();
    cloud->setTimeout(RequestMs);
    connect(cloud, &NimbraCloud::answered, this, &CloudReport::onAnswered);
}

CloudReport::~CloudReport() = default;

bool checkCloudOptions(const CloudOptions& options, bool needCode, QString* error)
{
    const QUrl& url = options.url;
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        *error = QStringLiteral("--cloud takes the fleet service's address, e.g. http://127.0.0.1:8080/");
        return false;
    }
    if (options.token.isEmpty() || options.token.contains('/')) {
        *error = QStringLiteral("--cloud needs --token, the one in ktrv8-cloud's token file");
        return false;
    }
    if (needCode && (options.code.isEmpty() || options.code.contains(QLatin1Char('/')))) {
        *error = QStringLiteral("--cloud needs --code CODE, what this cutter registers as (no \"/\")");
        return false;
    }
    return true;
}

bool parseCloudOptions(const QCommandLineParser& parser, bool needCode, CloudOptions* options, QString* error)
{
    const bool any = parser.isSet(QStringLiteral("cloud")) || parser.isSet(QStringLiteral("token"))
                     || parser.isSet(QStringLiteral("code"));
    if (!any)
        return true;
    options->url = QUrl(parser.value(QStringLiteral("cloud")), QUrl::StrictMode);
    options->token = parser.value(QStringLiteral("token")).toUtf8();
    options->code = parser.value(QStringLiteral("code"));
    return checkCloudOptions(*options, needCode, error);
}

bool CloudReport::attach(KTDeviceInterface* device, PreparedJob* job, int timeoutMs)
{
    auto* common = qobject_cast<KTCommonInterface*>(device);
    if (!common) {
        lastError = QStringLiteral("this driver cannot report to a fleet service");
        return false;
    }
    KTDeviceProperty* file = common->property_ptr("TASK_FILE_INFO");
    // The measures come with the whole job: a PLT job is read on from here, once.
    if (file && job && job->finishReading())
        file->setValue(jobFileInfo(job->total()));
    // The job's name goes beside the driver's record, which has no field for it.
    if (job && !job->path().isEmpty())
        cloud->setHostFields(RecordResource,
                             {{QStringLiteral("file_name"), QFileInfo(job->path()).fileName().left(200)}});
    common->setNimbraCloud(cloud, options.code);
    common->connect_websocket();
    KTDeviceProperty* deviceCloud = common->property_ptr("DEVICE_CLOUD");
    const auto registered = [deviceCloud] {
        return deviceCloud && deviceCloud->value().toJsonObject().value(QStringLiteral("id")).toInt(-1) > 0;
    };
    // A refused token will not be accepted on the next try either: no reason to wait.
    CutterConnection::waitUntil([&] { return registered() || tokenRefused || !deviceCloud; }, timeoutMs);
    if (registered())
        return true;
    if (tokenRefused)
        lastError =
            notRecorded(QStringLiteral("the fleet service at %1 refused the token").arg(options.url.toString()));
    else
        lastError = notRecorded(QStringLiteral("the fleet service at %1 did not register %2 within %3 s%4")
                                    .arg(options.url.toString(), options.code)
                                    .arg(timeoutMs / 1000)
                                    .arg(lastRegistrationAnswer.isEmpty()
                                             ? QString()
                                             : QStringLiteral(" (last %1)").arg(lastRegistrationAnswer)));
    return false;
}

bool CloudReport::flush(int timeoutMs)
{
    const auto idle = [this] {
        if (retryPending > 0)
            return false;
        for (const QNetworkReply* reply : cloud->findChildren<QNetworkReply*>()) {
            if (reply->isRunning())
                return false;
        }
        return true;
    };
    const bool settled = CutterConnection::waitUntil(
        [&] { return record == Record::Kept || record == Record::Lost || idle(); }, timeoutMs);
    // Each record is told once: a later flush speaks of later records only.
    const Record told = std::exchange(record, Record::None);
    if (told == Record::Lost)
        return false; // the reason is in lastError
    if (told == Record::Kept || settled)
        return true; // kept, or the driver had no record to post (nothing was finished)
    lastError = notRecorded(
        QStringLiteral("the fleet service did not confirm the work record within %1 s").arg(timeoutMs / 1000));
    return false;
}

QString CloudReport::notRecorded(const QString& why) const
{
    return why + QStringLiteral("; the job is cut but not recorded");
}

void CloudReport::onAnswered(const QString& resource, const QByteArray& verb, const QJsonObject& data,
                             QNetworkReply* reply)
{
    const int status = statusOf(reply);
    if (status == 401)
        tokenRefused = true;
    if (resource == RecordResource && verb == "POST")
        onRecordAnswer(data, reply);
    else if (status < 200 || status >= 300)
        lastRegistrationAnswer = answerText(reply);
}

void CloudReport::onRecordAnswer(const QJsonObject& data, QNetworkReply* reply)
{
    ++attempts;
    const int status = statusOf(reply);
    if (status >= 200 && status < 300) {
        record = Record::Kept;
        return;
    }
    const QString why = answerText(reply);
    // The service keeps a record once however often it is posted (it knows the task by the
    // cutter's code and its start time), so a record whose answer was lost, or that the
    // service could not take for now, is posted again: no answer at all (refused, closed,
    // timed out), or a gateway or the service saying it is unavailable.
    const bool transient = status == 0 || status == 502 || status == 503 || status == 504;
    if (transient && retryLater(data, reply, why))
        return;
    record = Record::Lost;
    const QString who = QStringLiteral("the fleet service at %1").arg(options.url.toString());
    if (status == 401)
        lastError = notRecorded(who + QStringLiteral(" refused the token"));
    else if (attempts > 1)
        lastError = notRecorded(who
                                + QStringLiteral(" did not keep the work record after %1 attempts in %2 s (%3)")
                                      .arg(attempts)
                                      .arg((clock.elapsed() - firstRefusalMs + 500) / 1000)
                                      .arg(why));
    else
        lastError = notRecorded(who + QStringLiteral(" did not keep the work record (%1)").arg(why));
}

// Posts the record again after the delay the service asked for, if that still falls within
// RetryMs of its first refusal; false when it would not.
bool CloudReport::retryLater(const QJsonObject& data, QNetworkReply* reply, const QString& why)
{
    if (firstRefusalMs < 0)
        firstRefusalMs = clock.elapsed();
    const qint64 delay = retryDelayMs(reply, attempts);
    if (clock.elapsed() + delay - firstRefusalMs > RetryMs)
        return false;
    qDebug() << "CloudReport::retryLater" << why << "again in" << delay << "ms";
    ++retryPending;
    record = Record::Posted;
    QTimer::singleShot(int(delay), this, [this, data] {
        --retryPending;
        cloud->customRequest(RecordResource, "POST", data, {});
    });
    return true;
}
