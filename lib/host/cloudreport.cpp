#include "cloudreport.h"

#include "cutterconnection.h"
#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "nimbracloud.h"
#include "preparedjob.h"

#include <QCommandLineParser>
#include <QNetworkReply>

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
        *error = QStringLiteral("--cloud needs --token, the one ktrv8-cloud printed at start");
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
    common->setNimbraCloud(cloud, options.code);
    common->connect_websocket();
    KTDeviceProperty* record = common->property_ptr("DEVICE_CLOUD");
    const bool registered =
        record
        && CutterConnection::waitUntil(
            [record] { return record->value().toJsonObject().value(QStringLiteral("id")).toInt(-1) > 0; }, timeoutMs);
    if (!registered)
        lastError =
            QStringLiteral("the fleet service at %1 did not register %2 within %3 s; the job is cut but not recorded")
                .arg(options.url.toString(), options.code)
                .arg(timeoutMs / 1000);
    return registered;
}

bool CloudReport::flush(int timeoutMs)
{
    const bool answered = CutterConnection::waitUntil(
        [this] {
            for (const QNetworkReply* reply : cloud->findChildren<QNetworkReply*>()) {
                if (reply->isRunning())
                    return false;
            }
            return true;
        },
        timeoutMs);
    if (!answered)
        lastError =
            QStringLiteral("the fleet service did not confirm the work record within %1 s").arg(timeoutMs / 1000);
    return answered;
}
