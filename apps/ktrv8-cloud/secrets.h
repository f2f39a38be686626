#ifndef SECRETS_H
#define SECRETS_H

#include <QByteArray>
#include <QString>

// Where the service keeps what it must not show: its access token, the database password,
// the cutters' own tokens. Files are private to the service's user; secrets are printed only
// masked.
namespace Secrets {

// The state folder: systemd's STATE_DIRECTORY when it runs the service, else the user's data
// folder for this program.
QString stateFolder();
QString defaultTokenFile();
// The per-device token list kept beside the access token file.
QString deviceTokensFile(const QString& tokenFile);

// The token in file, made (0600, with a new random token) when the file does not exist.
// Empty with error when it cannot be read or made, or when others may read it.
QByteArray tokenFromFile(const QString& file, bool* created, QString* error);

// The PostgreSQL password: the first line of file, else KTRV8_CLOUD_DB_PASSWORD; a file that
// others may read is refused.
bool databasePassword(const QString& file, QString* password, QString* error);

// "abcd..." for a person reading the log: enough to tell two tokens apart, never to use one.
QString masked(const QByteArray& secret);

} // namespace Secrets

#endif // SECRETS_H
