#ifndef CLOUDREPORT_H
#define CLOUDREPORT_H

#include "measure.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QUrl>

class KTDeviceInterface;
class PreparedJob;
class NimbraCloud;
class QCommandLineParser;
class QNetworkReply;

// The fleet service (ktrv8-cloud) a host reports to.
struct CloudOptions
{
    QUrl url;
    QByteArray token;
    QString code; // what this cutter registers as
    bool isSet() const { return !url.isEmpty(); }
    // The channel base the service expects: its address with a WebSocket scheme and the
    // token as the first path segment.
    QString channelBase() const;
};

// False with error for an incomplete or malformed set. needCode: a cut needs the device
// code, a status query does not.
bool checkCloudOptions(const CloudOptions& options, bool needCode, QString* error);
// --cloud URL --token TOKEN [--code CODE], for every host's command line.
bool parseCloudOptions(const QCommandLineParser& parser, bool needCode, CloudOptions* options, QString* error);

// The job's measures for the work record: the extent of its cuts and their length in
// millimetres, under the keys the driver reads ("heigth" is spelled as it wants it).
QJsonObject jobFileInfo(const ktconv::Measure& job);

// Hands a device the cloud client and its code for a job: the driver registers itself,
// opens its channel for the live task state and posts the work record when the job ends.
// The driver tells nobody how the service answered, so this follows the client's answers:
// a refused token ends the registration wait at once, and the work record counts as kept
// only when the service said so (2xx). A record the service could not store for now (503),
// or whose answer never came (refused, closed, timed out), is posted again with a growing
// pause, as often as RetryMs allows: the service stores a repeat only once.
class CloudReport : public QObject
{
    Q_OBJECT
public:
    static constexpr int RegistrationMs = 10000;
    static constexpr int RequestMs = 10000;
    static constexpr int RetryMs = 10000;

    explicit CloudReport(const CloudOptions& options, QObject* parent = nullptr);
    ~CloudReport() override;

    // Before the job: the job's measures (none for a QR-code job, whose files come with
    // the scanned codes), the client and the code, the channel. False when the service
    // has not registered the device within the time, or refused the token (see error());
    // the job may still run.
    bool attach(KTDeviceInterface* device, PreparedJob* job, int timeoutMs);
    // After the job: waits until the work record is kept or given up, and every other
    // request in flight is answered. False when the service did not keep the record.
    bool flush(int timeoutMs);
    QString error() const { return lastError; }

private:
    enum class Record {
        None,
        Posted,
        Kept,
        Lost
    };
    void onAnswered(const QString& resource, const QByteArray& verb, const QJsonObject& data, QNetworkReply* reply);
    void onRecordAnswer(const QJsonObject& data, QNetworkReply* reply);
    bool retryLater(const QJsonObject& data, QNetworkReply* reply, const QString& why);
    QString notRecorded(const QString& why) const;

    CloudOptions options;
    NimbraCloud* cloud = nullptr;
    QString lastError;
    bool tokenRefused = false;
    QString lastRegistrationAnswer;
    Record record = Record::None;
    int attempts = 0;
    qint64 firstRefusalMs = -1; // on the monotonic clock below
    QElapsedTimer clock;
    int retryPending = 0;
};

#endif // CLOUDREPORT_H
