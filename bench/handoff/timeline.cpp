#include "timeline.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

void addPlugin(JobPhases& p, const PageHandoff::Event& e, qint64 start)
{
    static qint64 sendIn = 0, sendOut = 0, reply = 0, asked = 0;
    if (e.kind == 'B') {
        sendIn = sendOut = reply = asked = 0;
    } else if (e.kind == 'S') {
        if (sendOut == 0)
            p.first = ms(e.ns - start);
        else if (reply > 0)
            p.handoff += ms(e.ns - reply);
        sendIn = e.ns;
        asked = e.bytes;
    } else if (e.kind == 's' && sendIn > 0) {
        p.sending += ms(e.ns - sendIn);
        p.partial += e.bytes < asked ? 1 : 0;
        sendOut = e.ns;
        sendIn = reply = 0;
    } else if (e.kind == 'R' && sendOut > 0 && reply == 0) {
        p.waiting += ms(e.ns - sendOut);
        reply = e.ns;
    } else if (e.kind == 'E' && reply > 0) {
        p.tail = ms(e.ns - reply);
    }
}

} // namespace

JobPhases phasesOf(const QVector<PageHandoff::Event>& events)
{
    JobPhases p;
    qint64 start = 0, otherIn = 0, write = 0, written = 0;
    for (const PageHandoff::Event& e : events) {
        if (e.kind == 'B')
            start = e.ns;
        if (e.kind == 'o' && otherIn == 0) {
            otherIn = e.ns;
        } else if (e.kind == 'o') {
            p.other += ms(e.ns - otherIn);
            otherIn = 0;
        } else if (e.kind == 'W') {
            write = e.ns;
        } else if (e.kind == 'w') {
            p.rawWriting += ms(e.ns - write);
            written = e.ns;
        } else if (e.kind == 'A') {
            p.rawWaiting += ms(e.ns - written);
        }
        addPlugin(p, e, start);
    }
    return p;
}

void RoundTrace::begin()
{
    if (on)
        PageHandoff::startTrace();
}

void RoundTrace::end()
{
    if (!on)
        return;
    const QVector<PageHandoff::Event> events = PageHandoff::stopTrace();
    rounds.append(phasesOf(events));
    for (int i = 0; dump && i < events.size(); ++i) {
        const PageHandoff::Event& e = events.at(i);
        std::printf("%c %.3f %lld %.6f\n", e.kind, ms(e.ns - events.first().ns), e.bytes, double(e.ns) / 1e9);
    }
}

void RoundTrace::print() const
{
    if (!on)
        return;
    const auto med = [this](const std::function<double(const JobPhases&)>& field) {
        QVector<double> values;
        for (const JobPhases& p : rounds)
            values.append(field(p));
        std::sort(values.begin(), values.end());
        return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
    };
    const QString line =
        QStringLiteral("plug-in: first page %1, sending %2, waiting %3, handoff %4, tail %5, other sends %6 "
                       "(pages not taken whole %7); raw: writing %8, waiting %9 (ms, medians)")
            .arg(med([](const JobPhases& p) { return p.first; }), 0, 'f', 2)
            .arg(med([](const JobPhases& p) { return p.sending; }), 0, 'f', 2)
            .arg(med([](const JobPhases& p) { return p.waiting; }), 0, 'f', 2)
            .arg(med([](const JobPhases& p) { return p.handoff; }), 0, 'f', 2)
            .arg(med([](const JobPhases& p) { return p.tail; }), 0, 'f', 2)
            .arg(med([](const JobPhases& p) { return p.other; }), 0, 'f', 2)
            .arg(med([](const JobPhases& p) { return double(p.partial); }), 0, 'f', 0)
            .arg(med([](const JobPhases& p) { return p.rawWriting; }), 0, 'f', 2)
            .arg(med([](const JobPhases& p) { return p.rawWaiting; }), 0, 'f', 2);
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}
