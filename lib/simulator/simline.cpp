#include "simline.h"

#include "simcutter.h"
#include "simtransport.h"

namespace ktsim {

SimLine::SimLine(SimCutter* simCutter, const LineFaults& lineFaults, QObject* parent)
    : QObject(parent), cutter(simCutter), faults(lineFaults)
{
    connect(cutter, &SimCutter::reply, this, &SimLine::onReply);
    trickleTimer.setInterval(1);
    connect(&trickleTimer, &QTimer::timeout, this, &SimLine::writeOneByte);
}

void SimLine::addTransport(Transport* transport)
{
    auto* parser = new RequestParser;
    parsers.insert(transport, parser);
    connect(transport, &QObject::destroyed, this, [this, transport] { delete parsers.take(transport); });
    connect(transport, &Transport::received, this,
            [this, transport](const QByteArray& bytes) { onReceived(transport, bytes); });
    auto fresh = [this, transport] {
        parsers.value(transport)->reset();
        if (active == transport) {
            ++connection;
            trickle.clear();
        }
    };
    connect(transport, &Transport::clientConnected, this, [this, transport, fresh] {
        fresh();
        emit log(QStringLiteral("SimLine::clientConnected %1").arg(transport->describe()));
    });
    connect(transport, &Transport::clientGone, this, [this, transport, fresh] {
        fresh();
        emit log(QStringLiteral("SimLine::clientGone %1").arg(transport->describe()));
    });
    connect(transport, &Transport::refused, this, &SimLine::log);
}

int SimLine::malformedFrames() const
{
    int total = 0;
    for (const RequestParser* parser : parsers)
        total += parser->malformed();
    return total;
}

void SimLine::onReceived(Transport* transport, const QByteArray& bytes)
{
    RequestParser* parser = parsers.value(transport);
    if (!parser)
        return;
    if (active != transport) {
        active = transport;
        ++connection;
        trickle.clear();
    }
    parser->feed(bytes);
    Request request;
    while (parser->next(&request)) {
        ++handled;
        cutter->handle(request);
        if (!dropped && faults.dropAfterFrames >= 0 && handled >= faults.dropAfterFrames) {
            dropped = true;
            emit log(QStringLiteral("SimLine::onReceived dropping the connection after %1 frame(s)").arg(handled));
            parser->reset();
            transport->drop();
            return;
        }
    }
}

void SimLine::onReply(const QByteArray& frame)
{
    if (faults.withhold) {
        emit log(QStringLiteral("SimLine::onReply withheld %1").arg(QString::fromUtf8(frame.mid(1, frame.size() - 2))));
        return;
    }
    const quint64 current = connection;
    if (faults.delayMs > 0)
        QTimer::singleShot(faults.delayMs, this, [this, frame, current] { deliver(frame, current); });
    else
        deliver(frame, current);
}

// A reply meant for a host that has gone since is not handed to the next one.
void SimLine::deliver(const QByteArray& frame, quint64 forConnection)
{
    if (!active || forConnection != connection)
        return;
    const QByteArray bytes = (faults.junk ? nextJunk() : QByteArray()) + frame;
    if (faults.byteAtATime) {
        trickle.append(bytes);
        if (!trickleTimer.isActive())
            trickleTimer.start();
        return;
    }
    active->write(bytes);
}

void SimLine::writeOneByte()
{
    if (trickle.isEmpty() || !active) {
        trickleTimer.stop();
        return;
    }
    active->write(trickle.left(1));
    trickle.remove(0, 1);
}

// Noise a host must survive: line ends, a frame cut short by the next one, an end byte
// with no start, binary garbage, and a bare payload.
QByteArray SimLine::nextJunk()
{
    static const QByteArray patterns[] = {
        QByteArray("\r\n"),
        QByteArray("\x02"
                   "17;CCMD;4",
                   10),
        QByteArray("zz\x03", 3),
        QByteArray("\xff\xfe\x00\x01", 4),
        QByteArray("CCMD;4,0;"),
    };
    const int count = int(sizeof patterns / sizeof patterns[0]);
    return patterns[junkIndex++ % count];
}

} // namespace ktsim
