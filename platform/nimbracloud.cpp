// PLACEHOLDER (cloud work replaces this file).
#include "nimbracloud.h"

#include <QNetworkAccessManager>

NimbraCloud::NimbraCloud(const QUrl& http, const QString& ws, const QByteArray& bearer, QObject* parent)
    : QObject(parent), manager(new QNetworkAccessManager(this)), httpBase(http), wsBase(ws), token(bearer)
{
}
NimbraCloud::~NimbraCloud() {}
void NimbraCloud::customRequest(const QString&, QByteArray, QJsonObject,
                                std::function<void(QNetworkReply*, bool)>) {}
QString NimbraCloud::ws() const { return wsBase; }
void NimbraCloud::setTimeout(int ms) { timeoutMs = ms; }
int NimbraCloud::timeout() const { return timeoutMs; }
