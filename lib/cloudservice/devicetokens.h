#ifndef DEVICETOKENS_H
#define DEVICETOKENS_H

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

// Tokens that each let one cutter act as itself only: post its own work records and open
// its own channel. The file keeps "CODE SHA-256-OF-TOKEN" lines, never the tokens, and is
// read again whenever it changes, so that a cutter added while the service runs is known at
// once.
class DeviceTokens
{
public:
    DeviceTokens() = default;
    explicit DeviceTokens(const QString& file) : path(file) {}

    bool isSet() const { return !path.isEmpty(); }
    // The device code the token belongs to; empty when it is none of them.
    QString codeFor(const QByteArray& token);

    // Gives code a new token (an older one stops working) and returns it; empty with error
    // when the file cannot be written. The file is created private to its owner.
    static QByteArray add(const QString& file, const QString& code, QString* error);
    // Takes code's token away; false with error when it has none or the file cannot be written.
    static bool remove(const QString& file, const QString& code, QString* error);
    // The codes that have a token, in the file's order.
    static QStringList codes(const QString& file);
    // A new random token: 32 bytes, URL-safe Base64.
    static QByteArray generate();

private:
    void reload();
    static QByteArray linesWithout(const QString& file, const QString& code, bool* found);
    static bool write(const QString& file, const QByteArray& lines, QString* error);

    QString path;
    QDateTime loadedStamp;
    qint64 loadedSize = -1;
    QHash<QByteArray, QString> codeByHash;
};

#endif // DEVICETOKENS_H
