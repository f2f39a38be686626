#ifndef SIMLINE_H
#define SIMLINE_H

#include "simprotocol.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace ktsim {

class SimCutter;
class Transport;

// Faults a test can ask for, all on the cutter's side of the line.
struct LineFaults
{
    int dropAfterFrames = -1; // break the connection once this many requests were handled
    int delayMs = 0;          // every reply this much later
    bool withhold = false;    // never answer
    bool junk = false;        // noise and broken frames between replies
    bool byteAtATime = false; // replies leave one byte per write
};

// The simulator's end of the line: joins the transports to the cutter, cuts requests out of
// what each transport receives, hands them to the cutter, and sends the cutter's replies to
// the host that spoke last.
class SimLine : public QObject
{
    Q_OBJECT
public:
    SimLine(SimCutter* cutter, const LineFaults& faults, QObject* parent = nullptr);
    void addTransport(Transport* transport);
    int framesHandled() const { return handled; }
    int malformedFrames() const;

signals:
    void log(const QString& line);

private:
    void onReceived(Transport* transport, const QByteArray& bytes);
    void onReply(const QByteArray& frame);
    void deliver(const QByteArray& frame, quint64 connection);
    void writeOneByte();
    QByteArray nextJunk();

    SimCutter* cutter;
    LineFaults faults;
    QHash<Transport*, RequestParser*> parsers;
    QPointer<Transport> active;
    quint64 connection = 0; // changes whenever a host comes or goes
    int handled = 0;
    bool dropped = false;
    QByteArray trickle;
    QTimer trickleTimer;
    int junkIndex = 0;
};

} // namespace ktsim

#endif // SIMLINE_H
