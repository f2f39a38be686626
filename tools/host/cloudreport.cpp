#include "cloudreport.h"

#include "devicelink.h"
#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"
#include "nimbracloud.h"

#include <QCommandLineParser>
#include <QFile>
#include <QNetworkReply>

#include <cmath>

namespace {

constexpr double PlotterUnitsPerMm = 40.0;

struct Extent
{
    bool drawn = false;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    void include(double x, double y)
    {
        if (!drawn) {
            minX = maxX = x;
            minY = maxY = y;
            drawn = true;
        }
        minX = qMin(minX, x), maxX = qMax(maxX, x), minY = qMin(minY, y), maxY = qMax(maxY, y);
    }
};

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

// HP-GL: PU and PD move through coordinate pairs, absolute after PA (the default) or
// relative after PR; only pen-down strokes count.
QJsonObject jobFileInfo(const QString& plt)
{
    double x = 0, y = 0, length = 0;
    bool relative = false;
    Extent extent;
    for (const QString& raw : plt.split(QLatin1Char(';'))) {
        const QString instruction = raw.trimmed();
        const QString op = instruction.left(2).toUpper();
        if (op == QLatin1String("PA") || op == QLatin1String("PR"))
            relative = op == QLatin1String("PR");
        else if (op != QLatin1String("PU") && op != QLatin1String("PD"))
            continue;
        const bool down = op == QLatin1String("PD");
        const QStringList numbers = instruction.mid(2).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (int i = 0; i + 1 < numbers.size(); i += 2) {
            const double nx = numbers.at(i).toDouble() + (relative ? x : 0);
            const double ny = numbers.at(i + 1).toDouble() + (relative ? y : 0);
            if (down) {
                extent.include(x, y);
                extent.include(nx, ny);
                length += std::hypot(nx - x, ny - y);
            }
            x = nx, y = ny;
        }
    }
    const auto mm = [](double units) { return qRound64(units / PlotterUnitsPerMm); };
    return QJsonObject{{QStringLiteral("heigth"), mm(extent.maxY - extent.minY)},
                       {QStringLiteral("width"), mm(extent.maxX - extent.minX)},
                       {QStringLiteral("path_length"), mm(length)}};
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
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
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
    const bool any = parser.isSet(QStringLiteral("cloud")) || parser.isSet(QStringLiteral("token")) ||
                     parser.isSet(QStringLiteral("code"));
    if (!any)
        return true;
    options->url = QUrl(parser.value(QStringLiteral("cloud")), QUrl::StrictMode);
    options->token = parser.value(QStringLiteral("token")).toUtf8();
    options->code = parser.value(QStringLiteral("code"));
    return checkCloudOptions(*options, needCode, error);
}

bool CloudReport::attach(KTDeviceInterface* device, const QString& jobFile, int timeoutMs)
{
    auto* common = qobject_cast<KTCommonInterface*>(device);
    if (!common) {
        lastError = QStringLiteral("this driver cannot report to a fleet service");
        return false;
    }
    QFile job(jobFile);
    KTDeviceProperty* file = common->property_ptr("TASK_FILE_INFO");
    if (file && !jobFile.isEmpty() && job.open(QIODevice::ReadOnly))
        file->setValue(jobFileInfo(QString::fromUtf8(job.readAll())));
    common->setNimbraCloud(cloud, options.code);
    common->connect_websocket();
    KTDeviceProperty* record = common->property_ptr("DEVICE_CLOUD");
    const bool registered = record && DeviceLink::waitUntil([record] {
        return record->value().toJsonObject().value(QStringLiteral("id")).toInt(-1) > 0;
    }, timeoutMs);
    if (!registered)
        lastError = QStringLiteral("the fleet service at %1 did not register %2 within %3 s; the job is cut but not recorded")
                        .arg(options.url.toString(), options.code)
                        .arg(timeoutMs / 1000);
    return registered;
}

bool CloudReport::flush(int timeoutMs)
{
    const bool answered = DeviceLink::waitUntil([this] {
        for (const QNetworkReply* reply : cloud->findChildren<QNetworkReply*>()) {
            if (reply->isRunning())
                return false;
        }
        return true;
    }, timeoutMs);
    if (!answered)
        lastError = QStringLiteral("the fleet service did not confirm the work record within %1 s").arg(timeoutMs / 1000);
    return answered;
}
