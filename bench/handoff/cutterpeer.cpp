// ktbench-handoff-cutter: the cutter as a process of its own for ktbench-handoff. Two
// simulated cutters that cut in no time, one for the plug-in and one for the raw client, on
// loopback. Prints "PORTS <plug-in's> <raw client's>"; on a line "TAP <file>" on stdin it
// writes the bytes the plug-in's cutter received since the last one to file and says "TAPPED".
// Both cutters keep what they receive, alike, so that the plug-in's cutter does no work the raw
// client's does not (the raw client's record is thrown away).
#include "simcutter.h"
#include "simline.h"
#include "simtransport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

ktsim::TcpTransport* cutter(QObject* parent)
{
    ktsim::CutterOptions options;
    options.cutMs = 0;
    auto* model = new ktsim::SimCutter(options, nullptr, parent);
    auto* line = new ktsim::SimLine(model, ktsim::LineFaults{}, parent);
    auto* transport = new ktsim::TcpTransport(parent);
    QString error;
    if (!transport->listen(QHostAddress::LocalHost, 0, &error))
        qFatal("ktbench-handoff-cutter: %s", qPrintable(error));
    line->addTransport(transport);
    return transport;
}

// Room for the largest job the bench sends (10 pages of 1 MiB) with some to spare: no cutter
// grows its record while a job runs.
constexpr int TapBytes = 16 << 20;

void keep(ktsim::TcpTransport* cutter, QByteArray* tap)
{
    tap->reserve(TapBytes);
    QObject::connect(cutter, &ktsim::Transport::received, [tap](const QByteArray& bytes) { tap->append(bytes); });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QObject cutters;
    ktsim::TcpTransport* forPlugin = cutter(&cutters);
    ktsim::TcpTransport* forRaw = cutter(&cutters);
    QByteArray tap, twinTap;
    keep(forPlugin, &tap);
    keep(forRaw, &twinTap);
    std::printf("PORTS %d %d\n", forPlugin->port(), forRaw->port());
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray commands;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            app.quit(); // the bench has gone
            return;
        }
        commands.append(chunk, int(n));
        for (int end = commands.indexOf('\n'); end >= 0; end = commands.indexOf('\n')) {
            const QByteArray command = commands.left(end);
            commands.remove(0, end + 1);
            if (!command.startsWith("TAP "))
                continue;
            QFile file(QString::fromLocal8Bit(command.mid(4)));
            const bool ok = file.open(QIODevice::WriteOnly) && file.write(tap) == tap.size();
            tap.resize(0); // keeps the reserved room
            twinTap.resize(0);
            std::printf(ok ? "TAPPED\n" : "FAILED\n");
            std::fflush(stdout);
        }
    });
    return app.exec();
}
