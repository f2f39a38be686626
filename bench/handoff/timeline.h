#ifndef TIMELINE_H
#define TIMELINE_H

#include "pagehandoff.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

// One job taken apart from its timeline (milliseconds): what the plug-in's run and the raw
// replay of the same round spent where. With KTBENCH_TRACE set, ktbench-handoff prints the
// medians over the rounds beside its figures.
struct JobPhases
{
    double first = 0;      // startTask to the first page's send() entered
    double sending = 0;    // inside send() for pages: the kernel's copy
    double waiting = 0;    // a page's send() returned to the wake on its reply
    double handoff = 0;    // the wake on a reply to the next page's send() entered
    double tail = 0;       // the wake on the last reply to the copy being counted
    double other = 0;      // inside send() for everything but pages
    int partial = 0;       // pages the kernel did not take whole in one send()
    double rawWriting = 0; // the raw client inside write()
    double rawWaiting = 0; // the raw client waiting for the reply
};

JobPhases phasesOf(const QVector<PageHandoff::Event>& events);

// With KTBENCH_TRACE set, each round's timeline taken apart, and their medians printed as one
// line; KTBENCH_TRACE_DUMP also prints every event (kind, ms into the round, bytes, seconds of
// CLOCK_MONOTONIC, to set beside `perf sched record -k mono`).
class RoundTrace
{
public:
    void begin();
    void end();
    void print() const;

private:
    const bool on = qEnvironmentVariableIsSet("KTBENCH_TRACE");
    const bool dump = qEnvironmentVariableIsSet("KTBENCH_TRACE_DUMP");
    QVector<JobPhases> rounds;
};

#endif // TIMELINE_H
