// ktrv8-cloud: the local cutter-cloud stand-in, for demos and manual tests.
#include "localcloudservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

// "resource:number" as given to --fail and --delay.
bool splitOption(const QString& text, QString& resource, int& number)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    resource = text.left(colon);
    number = text.mid(colon + 1).toInt(&ok);
    return colon > 0 && ok && number >= 0;
}

bool applyFaults(LocalCloudService& service, const QCommandLineParser& parser, QTextStream& err)
{
    for (const QString& text : parser.values(QStringLiteral("fail"))) {
        LocalCloudService::Fault fault;
        QString resource;
        if (!splitOption(text, resource, fault.status) || fault.status < 100 || fault.status > 599) {
            err << "ktrv8-cloud: --fail wants RESOURCE:STATUS, got " << text << "\n";
            return false;
        }
        service.setFault(resource, fault);
    }
    for (const QString& text : parser.values(QStringLiteral("delay"))) {
        LocalCloudService::Fault fault;
        QString resource;
        if (!splitOption(text, resource, fault.delayMs)) {
            err << "ktrv8-cloud: --delay wants RESOURCE:MS, got " << text << "\n";
            return false;
        }
        service.setFault(resource, fault);
    }
    for (const QString& resource : parser.values(QStringLiteral("silent"))) {
        LocalCloudService::Fault fault;
        fault.silent = true;
        service.setFault(resource, fault);
    }
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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ktrv8-cloud"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local stand-in for the cutter cloud on 127.0.0.1: HTTP resources device, device_model and\n"
        "device_work_records, and the device channel <ws base><code>/Device/ on the same port.\n"
        "Records are kept in memory until the program ends."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free port, the default)."),
                      QStringLiteral("port"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("model"),
                      QStringLiteral("A device model number the cloud knows (repeatable)."), QStringLiteral("number")});
    parser.addOption({QStringLiteral("fail"),
                      QStringLiteral("Answer every request on RESOURCE with STATUS (repeatable)."),
                      QStringLiteral("resource:status")});
    parser.addOption({QStringLiteral("delay"), QStringLiteral("Answer RESOURCE only after MS milliseconds."),
                      QStringLiteral("resource:ms")});
    parser.addOption({QStringLiteral("silent"), QStringLiteral("Never answer requests on RESOURCE."),
                      QStringLiteral("resource")});
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(QStringLiteral("port")).toUInt(&portOk);
    if (!portOk || port > 65535) {
        err << "ktrv8-cloud: invalid port " << parser.value(QStringLiteral("port")) << "\n";
        return 2;
    }
    LocalCloudService service;
    if (!applyFaults(service, parser, err))
        return 2;
    if (!service.listen(quint16(port))) {
        err << "ktrv8-cloud: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    QObject::connect(&service, &LocalCloudService::requestReceived, [&service, &out](int index) {
        const LocalCloudService::Request r = service.requests().at(index);
        out << r.verb << ' ' << r.path;
        if (!r.query.isEmpty())
            out << '?' << r.query.toString(QUrl::FullyDecoded);
        out << ' ' << r.body << "\n";
        out.flush();
    });
    QObject::connect(&service, &LocalCloudService::deviceChannelOpened, [&out](const QString& code) {
        out << "channel opened " << code << "\n";
        out.flush();
    });
    QObject::connect(&service, &LocalCloudService::deviceTextReceived, [&out](const QString& code, const QString& text) {
        out << "channel " << code << ' ' << text << "\n";
        out.flush();
    });
    out << "port " << service.port() << "\n"
        << "http " << service.httpBase().toString() << "\n"
        << "ws " << service.wsBase() << "\n";
    out.flush();
    return app.exec();
}
