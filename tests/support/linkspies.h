#ifndef LINKSPIES_H
#define LINKSPIES_H

// What a spy on a link's signals recorded, as one value. Header-only.

#include <QByteArray>
#include <QList>
#include <QSignalSpy>

// The byte arrays of every signal, joined in order.
inline QByteArray joined(const QSignalSpy& spy)
{
    QByteArray out;
    for (const QList<QVariant>& args : spy)
        out += args.at(0).toByteArray();
    return out;
}

// The first argument of every signal as an int (status values), in order.
inline QList<int> statuses(const QSignalSpy& spy)
{
    QList<int> out;
    for (const QList<QVariant>& args : spy)
        out << args.at(0).toInt();
    return out;
}

#endif // LINKSPIES_H
