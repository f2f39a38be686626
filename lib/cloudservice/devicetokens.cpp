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

QByteArray DeviceTokens::linesWithout(const QString& file, const QString& code, bool* found)
{
    QByteArray kept;
    QFile old(file);
    if (old.open(QIODevice::ReadOnly)) {
        while (!old.atEnd()) {
            const QByteArray line = old.readLine();
            const bool match = line.simplified().split(' ').value(0) == code.toUtf8();
            *found = *found || match;
            if (!match)
                kept += line;
        }
    }
    return kept;
}

// Whole or not at all (a service reading it meanwhile sees the old or the new list), and
// private to its owner.
bool DeviceTokens::write(const QString& file, const QByteArray& lines, QString* error)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || out.write(lines) != lines.size() || !out.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

QByteArray DeviceTokens::add(const QString& file, const QString& code, QString* error)
{
    if (code.isEmpty() || code.contains(QLatin1Char('/')) || code.contains(QLatin1Char(' '))
        || code.contains(QLatin1Char('\n'))) {
        *error = QStringLiteral("a device code must not be empty nor contain \"/\", spaces or line breaks");
        return {};
    }
    bool found = false;
    const QByteArray token = generate();
    const QByteArray lines = linesWithout(file, code, &found) + code.toUtf8() + ' ' + hashOf(token) + '\n';
    return write(file, lines, error) ? token : QByteArray();
}

bool DeviceTokens::remove(const QString& file, const QString& code, QString* error)
{
    bool found = false;
    const QByteArray lines = linesWithout(file, code, &found);
    if (!found)
        *error = QStringLiteral("%1 has no token of its own").arg(code);
    return found && write(file, lines, error);
}

QStringList DeviceTokens::codes(const QString& file)
{
    QStringList out;
    QFile in(file);
    if (in.open(QIODevice::ReadOnly)) {
        while (!in.atEnd())
            out << QString::fromUtf8(in.readLine().simplified().split(' ').value(0));
    }
    out.removeAll(QString());
    return out;
}
