// ktrv8-cloud: the cutter cloud as a small self-hosted fleet service, and the stand-in that
// tests and demos start.
#include "devicetokens.h"
#include "localcloudservice.h"
#include "secrets.h"
#include "sqlstore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdio>

#include <sys/stat.h>

namespace {

// Cutters, windows and bookmarks keep the address: it stays the same from start to start.
constexpr quint16 DefaultPort = 8437;

// The device models named with --model.
bool addModels(LocalCloudService& service, const QCommandLineParser& parser, QTextStream& err)
{
    for (const QString& codeText : parser.values(QStringLiteral("model"))) {
        bool ok = false;
        const int code = codeText.toInt(&ok);
        if (!ok) {
            err << "ktrv8-cloud: --model wants a numeric model number, got " << codeText << "\n";
            return false;
        }
        service.addDeviceModel(code);
    }
    return true;
}

// Client text in the log, quoted and with control characters escaped, so that it can neither
// forge a line nor drive a terminal.
QString quotedForLog(const QString& text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c < QLatin1Char(' ') || c == QChar(0x7f) || c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// The password of a PostgreSQL address comes from a file or the environment, so that it is
// never on a command line other users can read.
bool withPassword(QString& location, const QCommandLineParser& parser, QTextStream& err)
{
    QString password;
    QString error;
    if (!Secrets::databasePassword(parser.value(QStringLiteral("db-password-file")), &password, &error)) {
        err << "ktrv8-cloud: " << error << "\n";
        return false;
    }
    QUrl url(location);
    if (!url.password().isEmpty())
        err << "ktrv8-cloud: a password in --db can be read by every local user; use --db-password-file\n";
    if (password.isEmpty())
        return true;
    url.setPassword(password);
    location = url.toString();
    return true;
}

// A database made before the service kept it private may still be readable by others: it is
// made private now, and a folder others may write in is named.
void makePrivate(const QString& location, QTextStream& err)
{
    constexpr QFileDevice::Permissions others = QFileDevice::Permissions(0x0077);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString file = location + QLatin1String(suffix);
        if (!QFileInfo::exists(file) || !(QFileInfo(file).permissions() & others))
            continue;
        if (QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            err << "ktrv8-cloud: made " << file << " private to its owner (it was readable by others)\n";
        else
            err << "ktrv8-cloud: cannot make " << file << " private; others may read the records\n";
    }
    const QFileInfo folder(QFileInfo(location).absolutePath());
    if (folder.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther))
        err << "ktrv8-cloud: others may write in " << folder.filePath() << "; give the database a private folder\n";
}

// Where the records live: --memory, --db, or a file in the state folder.
bool openStorage(LocalCloudService& service, const QCommandLineParser& parser, QString& described, QTextStream& err)
{
    if (parser.isSet(QStringLiteral("memory"))) {
        if (parser.isSet(QStringLiteral("db"))) {
            err << "ktrv8-cloud: --memory and --db exclude each other\n";
            return false;
        }
        described = QStringLiteral("memory");
        return true;
    }
    QString location = parser.value(QStringLiteral("db"));
    if (location.isEmpty())
        location = QDir(Secrets::stateFolder()).filePath(QStringLiteral("fleet.sqlite"));
    const bool postgresLocation = location.contains(QLatin1String("://"));
    const bool init = parser.isSet(QStringLiteral("init"));
    // A database that is not there is a first start only when the user says so: otherwise it
    // is a wrong path, a removed state folder or another server, and a new empty one would
    // hide every record kept so far.
    if (!init && SqlStore::isNew(location)) {
        err << "ktrv8-cloud: the database "
            << (postgresLocation ? QUrl(location).toString(QUrl::RemovePassword) : location)
            << " does not exist; give --init to create it (on the first start only)\n";
        return false;
    }
    if (!postgresLocation && !QFileInfo::exists(location))
        err << "ktrv8-cloud: creating a new database " << location << "\n";
    QString error;
    if (postgresLocation && !withPassword(location, parser, err))
        return false;
    if (!service.useDatabase(location, &error, init)) {
        const QString shown = postgresLocation ? QUrl(location).toString(QUrl::RemovePassword) : location;
        err << "ktrv8-cloud: cannot open the database " << shown << ": " << error << "\n";
        return false;
    }
    if (!postgresLocation)
        makePrivate(location, err);
    described = postgresLocation ? QUrl(location).toString(QUrl::RemovePassword) : QDir::toNativeSeparators(location);
    return true;
}

void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("The cutter cloud for a shop's own machines. One port serves the HTTP resources device,\n"
                       "device_model and device_work_records, the device channel <ws base><code>/Device/, and the\n"
                       "fleet page at / (devices, their running task live, work records with totals and CSV).\n"
                       "Every request needs \"Authorization: Bearer TOKEN\"; the page asks for the token once.\n"
                       "The token is kept in the token file (made with a random token on first start).\n"
                       "Records are kept in SQLite (a file) or PostgreSQL; --memory keeps them until the end.\n"
                       "\n"
                       "ktrv8-cloud device add CODE  gives the cutter CODE a token of its own (printed once):\n"
                       "it may register, post work records and open the channel as that cutter only.\n"
                       "ktrv8-cloud device remove CODE  takes it away; ktrv8-cloud device list  names them."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("device add|remove CODE | device list"),
                                 QStringLiteral("A cutter's own token: make, take away, list."));
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Port to listen on (default %1; 0: any free port, printed).").arg(DefaultPort),
                      QStringLiteral("port"), QString::number(DefaultPort)});
    parser.addOption({QStringLiteral("listen"),
                      QStringLiteral("Address to listen on (default 127.0.0.1; 0.0.0.0 for every network)."),
                      QStringLiteral("address"), QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("db"),
                      QStringLiteral("SQLite file, or postgresql://USER@HOST[:PORT]/DATABASE (default: fleet.sqlite "
                                     "in the state folder, $STATE_DIRECTORY or the user's data folder)."),
                      QStringLiteral("file|url")});
    parser.addOption({QStringLiteral("db-password-file"),
                      QStringLiteral("File whose first line is the PostgreSQL password (private to its owner); "
                                     "without it, $KTRV8_CLOUD_DB_PASSWORD."),
                      QStringLiteral("file")});
    parser.addOption(
        {QStringLiteral("init"),
         QStringLiteral("Create the database (and its folder) if it does not exist: the first start only.")});
    parser.addOption(
        {QStringLiteral("memory"), QStringLiteral("Keep the records in memory only (for tests and demos).")});
    parser.addOption({QStringLiteral("token-file"),
                      QStringLiteral("File holding the access token, made (0600) with a random one if missing "
                                     "(default: token in the state folder); device tokens are kept beside it."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("token"),
                      QStringLiteral("Access token given here instead of the token file (other local users can "
                                     "read a command line: for tests)."),
                      QStringLiteral("token")});
    parser.addOption({QStringLiteral("model"), QStringLiteral("A device model number the cloud knows (repeatable)."),
                      QStringLiteral("number")});
}

// One line per answered request and per channel event, client text quoted.
void printActivity(LocalCloudService& service, QTextStream& out)
{
    QObject::connect(&service, &LocalCloudService::requestAnswered,
                     [&out](const QByteArray& verb, const QString& path, int status) {
                         out << status << ' ' << verb << ' ' << quotedForLog(path) << "\n";
                         out.flush();
                     });
    QObject::connect(&service, &LocalCloudService::deviceChannelOpened, [&out](const QString& code) {
        out << "channel opened " << quotedForLog(code) << "\n";
        out.flush();
    });
    QObject::connect(&service, &LocalCloudService::deviceTextReceived,
                     [&out](const QString& code, const QString& text) {
                         out << "channel " << quotedForLog(code) << ' ' << quotedForLog(text.left(200)) << "\n";
                         out.flush();
                     });
}

QString tokenFileOf(const QCommandLineParser& parser)
{
    const QString given = parser.value(QStringLiteral("token-file"));
    return given.isEmpty() ? Secrets::defaultTokenFile() : given;
}

// "device add CODE": the cutter's token is printed this once; only its hash is kept.
int addDevice(const QString& file, const QString& code, QTextStream& out, QTextStream& err)
{
    QString error;
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        err << "ktrv8-cloud: cannot create the folder of " << file << "\n";
        return 1;
    }
    const QByteArray token = DeviceTokens::add(file, code, &error);
    if (token.isEmpty()) {
        err << "ktrv8-cloud: " << error << "\n";
        return 1;
    }
    out << token << "\n";
    err << "ktrv8-cloud: the token above lets cutter " << code
        << " act as itself only; it is not shown again (kept hashed in " << file << ")\n";
    return 0;
}

// "device add CODE", "device remove CODE" (its token stops working at once), "device list".
int deviceCommand(const QCommandLineParser& parser, QTextStream& out, QTextStream& err)
{
    const QStringList words = parser.positionalArguments();
    const QString verb = words.value(1);
    const QString file = Secrets::deviceTokensFile(tokenFileOf(parser));
    if (verb == QLatin1String("list") && words.size() == 2) {
        for (const QString& code : DeviceTokens::codes(file))
            out << code << "\n";
        return 0;
    }
    if (words.size() != 3 || (verb != QLatin1String("add") && verb != QLatin1String("remove"))) {
        err << "ktrv8-cloud: usage: ktrv8-cloud device add|remove CODE, or device list [--token-file FILE]\n";
        return 2;
    }
    if (verb == QLatin1String("add"))
        return addDevice(file, words.at(2), out, err);
    QString error;
    if (!DeviceTokens::remove(file, words.at(2), &error)) {
        err << "ktrv8-cloud: " << error << "\n";
        return 1;
    }
    return 0;
}

// --token, else the token file; what to print about it goes into told.
QByteArray accessToken(const QCommandLineParser& parser, QString& told, QTextStream& err)
{
    if (parser.isSet(QStringLiteral("token"))) {
        const QByteArray token = parser.value(QStringLiteral("token")).toUtf8();
        if (token.isEmpty() || token.contains('/') || token.contains(' '))
            err << "ktrv8-cloud: --token must not be empty nor contain \"/\" or spaces\n";
        else
            told = Secrets::masked(token) + QStringLiteral(" (from --token)");
        return told.isEmpty() ? QByteArray() : token;
    }
    const QString file = tokenFileOf(parser);
    bool created = false;
    QString error;
    const QByteArray token = Secrets::tokenFromFile(file, &created, &error);
    if (token.isEmpty())
        err << "ktrv8-cloud: " << error << "\n";
    else
        told = Secrets::masked(token) + (created ? QStringLiteral(" (new, in ") : QStringLiteral(" (in ")) + file
               + QLatin1Char(')');
    return token;
}

} // namespace

int main(int argc, char* argv[])
{
    umask(077); // the database, its journal and every secret file are the service user's alone
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ktrv8-cloud"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);
    if (parser.positionalArguments().value(0) == QLatin1String("device"))
        return deviceCommand(parser, out, err);
    if (!parser.positionalArguments().isEmpty()) {
        err << "ktrv8-cloud: unknown command " << parser.positionalArguments().first() << "\n";
        return 2;
    }

    bool portOk = false;
    const uint port = parser.value(QStringLiteral("port")).toUInt(&portOk);
    if (!portOk || port > 65535) {
        err << "ktrv8-cloud: invalid port " << parser.value(QStringLiteral("port")) << "\n";
        return 2;
    }
    const QHostAddress address(parser.value(QStringLiteral("listen")));
    if (address.isNull()) {
        err << "ktrv8-cloud: --listen wants an IP address, got " << parser.value(QStringLiteral("listen")) << "\n";
        return 2;
    }
    QString tokenTold;
    const QByteArray token = accessToken(parser, tokenTold, err);
    if (token.isEmpty())
        return parser.isSet(QStringLiteral("token")) ? 2 : 1;
    LocalCloudService service;
    service.setToken(token);
    if (!parser.isSet(QStringLiteral("token")) || parser.isSet(QStringLiteral("token-file")))
        service.setDeviceTokens(Secrets::deviceTokensFile(tokenFileOf(parser)));
    QString storage;
    if (!openStorage(service, parser, storage, err))
        return 1;
    if (!addModels(service, parser, err))
        return 2;
    if (!service.listen(address, quint16(port))) {
        err << "ktrv8-cloud: cannot listen on " << address.toString() << ':' << port << "\n";
        return 1;
    }
    service.setRecording(false); // a long-running service keeps nothing per request
    printActivity(service, out);
    // The port comes first: scripts and tests read it from the first line. The token only
    // masked: the log may be read by more people than the token file.
    const QString http = service.httpBase().toString();
    out << "port " << service.port() << "\n"
        << "http " << http << "\n"
        << "ws " << service.wsBase().replace(QString::fromUtf8(token), QStringLiteral("TOKEN")) << "\n"
        << "token " << tokenTold << "\n"
        << "storage " << storage << "\n"
        << "page " << http << "\n";
    out.flush();
    return app.exec();
}
