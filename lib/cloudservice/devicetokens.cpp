#include "devicetokens.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

namespace {

// The tokens are random and long: a plain hash is enough to keep a stolen file useless.
QByteArray hashOf(const QByteArray& token)
{
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256).toHex();
}

} // namespace

QByteArray DeviceTokens::generate()
{
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QString DeviceTokens::codeFor(const QByteArray& token)
{
    if (path.isEmpty() || token.isEmpty())
        return QString();
    reload();
    return codeByHash.value(hashOf(token));
}

void DeviceTokens::reload()
{
    const QFileInfo info(path);
    if (info.exists() && info.lastModified() == loadedStamp && info.size() == loadedSize)
        return;
    codeByHash.clear();
    loadedStamp = info.lastModified();
    loadedSize = info.size();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        if (fields.size() == 2)
            codeByHash.insert(fields.at(1), QString::fromUtf8(fields.at(0)));
    }
}

QByteArray DeviceTokens::add(const QString& file, const QString& code, QString* error)
{
    if (code.isEmpty() || code.contains(QLatin1Char('/')) || code.contains(QLatin1Char(' '))
        || code.contains(QLatin1Char('\n'))) {
        *error = QStringLiteral("a device code must not be empty nor contain \"/\", spaces or line breaks");
        return {};
    }
    QByteArray kept;
    QFile old(file);
    if (old.open(QIODevice::ReadOnly)) {
        while (!old.atEnd()) {
            const QByteArray line = old.readLine();
            if (line.simplified().split(' ').value(0) != code.toUtf8())
                kept += line;
        }
    }
    const QByteArray token = generate();
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || out.write(kept + code.toUtf8() + ' ' + hashOf(token) + '\n') < 0 || !out.commit()) {
        *error = out.errorString();
        return {};
    }
    return token;
}
