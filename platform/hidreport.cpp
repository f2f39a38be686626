#include "hidreport.h"

#include <QMap>
#include <QVector>

namespace {

// Short item tags (prefix byte with the size bits cleared).
constexpr quint8 TagInput = 0x80;
constexpr quint8 TagOutput = 0x90;
constexpr quint8 TagReportSize = 0x74;
constexpr quint8 TagReportId = 0x84;
constexpr quint8 TagReportCount = 0x94;
constexpr quint8 TagPush = 0xa4;
constexpr quint8 TagPop = 0xb4;
constexpr quint8 LongItem = 0xfe;

struct Globals
{
    quint32 size = 0;
    quint32 count = 0;
    int id = 0;
};

// The fields of one report, in bits, in the order the descriptor lists them.
using Fields = QVector<quint32>;

struct Collected
{
    QList<int> order;       // report IDs in order of first appearance
    QMap<int, Fields> bits; // per report ID
    QMap<int, bool> firstIsCount;

    void add(const Globals& g)
    {
        if (!bits.contains(g.id)) {
            order.append(g.id);
            // A lone byte first, more fields after it: a count ahead of the data.
            firstIsCount[g.id] = g.size == 8 && g.count == 1;
        }
        bits[g.id].append(g.size * g.count);
    }

    HidReportLayout first() const
    {
        HidReportLayout layout;
        for (int id : order) {
            quint32 total = 0;
            for (quint32 b : bits[id])
                total += b;
            if (total < 8)
                continue;
            layout.id = id;
            layout.size = int(total / 8);
            layout.lengthByte = firstIsCount[id] && bits[id].size() > 1;
            break;
        }
        return layout;
    }
};

quint32 itemValue(const QByteArray& d, int at, int n)
{
    quint32 v = 0;
    for (int i = 0; i < n; ++i)
        v |= quint32(quint8(d[at + i])) << (8 * i);
    return v;
}

} // namespace

HidReports parseHidReportDescriptor(const QByteArray& d)
{
    Globals g;
    QVector<Globals> stack;
    Collected in, out;
    int at = 0;
    while (at < d.size()) {
        const quint8 prefix = quint8(d[at]);
        if (prefix == LongItem) {
            if (at + 1 >= d.size())
                break;
            at += 3 + quint8(d[at + 1]);
            continue;
        }
        const int n = (prefix & 3) == 3 ? 4 : prefix & 3;
        if (at + 1 + n > d.size())
            break; // a truncated item ends the descriptor
        const quint32 value = itemValue(d, at + 1, n);
        switch (prefix & 0xfc) {
        case TagReportSize: g.size = value; break;
        case TagReportCount: g.count = value; break;
        case TagReportId: g.id = int(value & 0xff); break;
        case TagPush: stack.append(g); break;
        case TagPop:
            if (!stack.isEmpty())
                g = stack.takeLast();
            break;
        case TagInput: in.add(g); break;
        case TagOutput: out.add(g); break;
        default: break;
        }
        at += 1 + n;
    }
    return {in.first(), out.first()};
}

QList<QByteArray> hidOutputReports(const HidReportLayout& layout, const QByteArray& data)
{
    QList<QByteArray> reports;
    const int room = layout.capacity();
    if (room <= 0)
        return reports;
    for (int at = 0; at < data.size(); at += room) {
        const QByteArray piece = data.mid(at, room);
        QByteArray report(1 + layout.size, '\0');
        report[0] = char(layout.id);
        int put = 1;
        if (layout.lengthByte)
            report[put++] = char(piece.size());
        report.replace(put, piece.size(), piece);
        reports.append(report);
    }
    return reports;
}

QByteArray hidInputPayload(const HidReportLayout& layout, const QByteArray& report)
{
    QByteArray data = layout.id != 0 ? report.mid(1) : report;
    if (layout.lengthByte) {
        if (data.isEmpty())
            return {};
        const int n = qMin(int(quint8(data[0])), data.size() - 1);
        return data.mid(1, n);
    }
    int end = data.size();
    while (end > 0 && data[end - 1] == '\0')
        --end;
    return data.left(end);
}
