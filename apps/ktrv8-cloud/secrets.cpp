#include "secrets.h"

#include "devicetokens.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool othersMayRead(const QString& file)
{
    return QFileInfo(file).permissions()
           & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther);
}

QString privateFileProblem(const QString& file)
{
    return QStringLiteral("%1 may be read by other users; make it private (chmod 600 %1)").arg(file);
}

// O_EXCL: two services started at once must not each write a token the other overwrites.
bool createPrivate(const QString& file, const QByteArray& contents, QString* error)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        *error = QStringLiteral("cannot create the folder of %1").arg(file);
        return false;
    }
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QStringLiteral("cannot create %1: %2").arg(file, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const bool written = ::write(fd, contents.constData(), size_t(contents.size())) == contents.size();
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (!written || !synced)
        *error = QStringLiteral("cannot write %1").arg(file);
    return written && synced;
}

} // namespace

namespace Secrets {

QString stateFolder()
{
    const QString systemd = qEnvironmentVariable("STATE_DIRECTORY").split(QLatin1Char(':')).value(0);
    return systemd.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) : systemd;
}

QString defaultTokenFile()
{
    return QDir(stateFolder()).filePath(QStringLiteral("token"));
}

QString deviceTokensFile(const QString& tokenFile)
{
    return QFileInfo(tokenFile).absoluteDir().filePath(QStringLiteral("device-tokens"));
}

QByteArray tokenFromFile(const QString& file, bool* created, QString* error)
{
    *created = false;
    if (!QFileInfo::exists(file)) {
        const QByteArray token = DeviceTokens::generate();
        *created = createPrivate(file, token + '\n', error);
        if (*created)
            return token;
        if (!QFileInfo::exists(file)) // else another start made it first: read that one
            return {};
        error->clear();
    }
    if (othersMayRead(file)) {
        *error = privateFileProblem(file);
        return {};
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file, in.errorString());
        return {};
    }
    const QByteArray token = in.readLine(4096).trimmed();
    if (token.isEmpty() || token.contains('/') || token.contains(' '))
        *error = QStringLiteral("%1 holds no usable token (one line, no \"/\" nor spaces)").arg(file);
    return error->isEmpty() ? token : QByteArray();
}

bool databasePassword(const QString& file, QString* password, QString* error)
{
    if (file.isEmpty()) {
        *password = qEnvironmentVariable("KTRV8_CLOUD_DB_PASSWORD");
        return true;
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file, in.errorString());
        return false;
    }
    if (othersMayRead(file)) {
        *error = privateFileProblem(file);
        return false;
    }
    *password = QString::fromUtf8(in.readLine(4096)).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return true;
}

QString masked(const QByteArray& secret)
{
    return QString::fromUtf8(secret.left(4)) + QStringLiteral("...");
}

} // namespace Secrets
