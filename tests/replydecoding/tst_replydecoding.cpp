#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "localclock_p.h"
#include "loopbackcutter.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

using T = KTDeviceInterface;

namespace {

QByteArray f(const QByteArray& payload)
{
    return LoopbackCutter::frame(payload);
}

// A device holding a small parameter set whose replies the tests send.
class DecodeDevice : public KTCommonInterface
{
public:
    DecodeDevice()
    {
        // key, initial value, kind, get code, set code, length, parameters
        const struct
        {
            const char* key;
            QVariant value;
            T::KTDeviceCMDType kind;
            int get, set, len;
            QStringList params;
        } rows[] = {
            {"LAST_TIME", QDateTime::currentDateTime().addDays(-1), UnCMD, 0, 0, 0, {}},
            {"SPEED", 100, CMD, 1, 1, 1, {}},
            {"AREA", 0, CMD, 11, 11, 3, {}},
            {"PRESSURE", 50, CCMD, 30, 31, 1, {}},
            {"OFFSET", 3, CCMD, 40, 40, 1, {"1"}},
            {"DUP_A", 1, CCMD, 50, 50, 1, {"2"}},
            {"DUP_B", 1, CCMD, 50, 50, 1, {}},
            {"STOP", 2, CCMD, 27, 27, 1, {}},
            {"RESUME", 1, CMD, 125, 125, 1, {}},
            {"NAME", QString("none"), CCMD, 60, 0, 1, {}},
        };
        for (const auto& r : rows) {
            auto* p = new KTDeviceProperty(nullptr);
            p->init(r.value, QString(), QString(), r.get, r.set, r.len, r.kind, r.params);
            storeProperty(r.key, p);
            if (r.kind != UnCMD)
                initial.insert(r.key, r.value.toString());
        }
    }
    // "KEY=value" for every property whose value differs from its initial one, and the task.
    QStringList changes()
    {
        QStringList out;
        for (auto it = initial.cbegin(); it != initial.cend(); ++it) {
            const QString now = property_ptr(it.key().toLatin1())->value().toString();
            if (now != it.value())
                out << it.key() + "=" + now;
        }
        if (KTDeviceProperty* task = property_ptr("TASK"))
            out << "TASK="
                       + QString::fromUtf8(QJsonDocument(task->value().toJsonObject()).toJson(QJsonDocument::Compact));
        return out;
    }
    int pending() const { return recvBuffer.size(); }
    void decode_cmd(QString frame) override
    {
        frames << frame;
        if (onFrame)
            onFrame(frame);
        KTCommonInterface::decode_cmd(frame);
    }
    QStringList frames;
    std::function<void(const QString&)> onFrame;

private:
    QMap<QString, QString> initial;
};

QString printable(const QByteArray& bytes)
{
    QString out = QString::fromUtf8(bytes);
    out.replace(QChar(2), "<STX>").replace(QChar(3), "<ETX>");
    return out;
}

QList<QByteArray> bytewise(const QByteArray& bytes)
{
    QList<QByteArray> out;
    for (char c : bytes)
        out << QByteArray(1, c);
    return out;
}

void feed(DecodeDevice& device, const QList<QByteArray>& reads)
{
    for (const QByteArray& r : reads)
        device.slot_usb_read(r);
}

QStringList messageList(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << QString("%1 %2").arg(args.at(0).toInt()).arg(args.at(1).toString());
    return out;
}

} // namespace

class tst_ReplyDecoding : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void streams_data();
    void streams();
    void cmdItem_data();
    void cmdItem();
    void stampsLastTime();
    void lastTimeFollowsDaylightSaving_data();
    void lastTimeFollowsDaylightSaving();
    void taskReportSeenOnceAcrossReads();
    void nestedArrivalConsumesEachByteOnce();
    void pendingBytesAreCapped_data();
    void pendingBytesAreCapped();
    void cuttingIsLinear();
};

void tst_ReplyDecoding::initTestCase()
{
    qRegisterMetaType<T::KTDeviceMessage>("KTDeviceMessage");
}

// clang-format off
void tst_ReplyDecoding::streams_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("messages");
    const auto row = [](const QList<QByteArray>& reads, const QStringList& changes,
                        const QStringList& messages = {}) {
        QString name = printable(reads.isEmpty() ? QByteArray() : [&] {
            QByteArray all;
            for (const QByteArray& r : reads)
                all += r;
            return all;
        }());
        if (reads.size() > 1)
            name += QString(" [%1 reads]").arg(reads.size());
        QTest::newRow(qPrintable(name)) << reads << changes << messages;
    };
    const QByteArray speed = f("CMD;GET1:250;");
    const QByteArray task = f("CCMD;66,1,job.plt,3,1,45.5,0,0,0;");
    const QString taskJson = R"(TASK={"FileName":"job.plt","Finished":1,"Percent":45,"Status":1,"TaskCopies":3})";

    // Cutting
    row({speed}, {"SPEED=250"});
    row(bytewise(speed), {"SPEED=250"});
    row({speed.left(7), speed.mid(7)}, {"SPEED=250"});
    row({speed + f("CCMD;30,0,77;")}, {"PRESSURE=77", "SPEED=250"});
    row({speed + f("CMD;GET1:300;")}, {"SPEED=300"});
    row({"junk\x02stale" + speed}, {"SPEED=250"});
    row({"GET1:9;\x03" + speed}, {"SPEED=250"});
    row({"\x03\x03" + speed + "\x03"}, {"SPEED=250"});
    row({speed.left(10)}, {});
    row({"\x02" "abc\x03"}, {});
    // CMD replies
    row({f("CMD;SET1:5;")}, {"SPEED=5"});
    row({f("CMD;GET11:65336;12:65535;13:0;")}, {"AREA=-200"});
    row({f("CMD;GET1:250")}, {});
    row({f("CMD;SET125:0;")}, {});
    row({f("CMD;GET99:1;")}, {});
    // CCMD replies
    row({f("CCMD;30,0,77;")}, {"PRESSURE=77"});
    row({f("CCMD;31,0,78;")}, {"PRESSURE=78"});
    row({f("CCMD;30,1,77;")}, {});
    row({f("CCMD;30;")}, {});
    row({f("CCMD;60,0,hello world;")}, {"NAME=hello world"});
    row({f("CCMD;27,0,1;")}, {});
    row({f("CCMD;99,0,1;")}, {});
    row({f("PLT;30,0,77;")}, {});
    // Parameter checks and the first match
    row({f("CCMD;40,0,1,5;")}, {"OFFSET=5"});
    row({f("CCMD;40,0,1,0;")}, {});
    row({f("CCMD;40,0,1;")}, {});
    row({f("CCMD;40,0,1,5,6;")}, {});
    row({f("CCMD;40,0,2,5;")}, {});
    row({f("CCMD;50,0,7;")}, {});
    row({f("CCMD;50,0,2,7;")}, {"DUP_A=7"});
    // QR codes
    row({f("CCMD;55,0,ABC123;")}, {}, {"2 ABC123"});
    row({f("CCMD;11,XYZ;")}, {}, {"2 XYZ"});
    // Task reports
    row({task}, {taskJson}, {"1 66,1,job.plt,3,1,45.5,0,0,0"});
    row({task + task}, {taskJson}, {"1 66,1,job.plt,3,1,45.5,0,0,0"});
    row({task + f("CCMD;66,2,job.plt,3,2,99.9,0,0,0;")},
        {R"(TASK={"FileName":"job.plt","Finished":2,"Percent":99,"Status":2,"TaskCopies":3})"},
        {"1 66,1,job.plt,3,1,45.5,0,0,0", "1 66,2,job.plt,3,2,99.9,0,0,0"});
    row({f("CCMD;66,1,job.plt,3,1,45,0,0;")}, {"TASK={}"});
    row({f("CCMD;66,1,a,x,1,nan,0,0,0;")}, {R"(TASK={"FileName":"a","Finished":1,"Percent":0,"Status":1,"TaskCopies":0})"},
        {"1 66,1,a,x,1,nan,0,0,0"});
}
// clang-format on

void tst_ReplyDecoding::streams()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QStringList, changes);
    QFETCH(QStringList, messages);
    DecodeDevice device;
    QSignalSpy spy(&device, &T::message);
    feed(device, reads);
    QStringList actual = device.changes();
    actual.sort();
    changes.sort();
    QCOMPARE(actual, changes);
    QCOMPARE(messageList(spy), messages);
}

// clang-format off
void tst_ReplyDecoding::cmdItem_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("value");
    QTest::newRow("GET10:250") << "GET10:250" << "GET" << 10 << "250";
    QTest::newRow("11:0") << "11:0" << "" << 11 << "0";
    QTest::newRow("SET1:-5") << "SET1:-5" << "SET" << 1 << "-5";
    QTest::newRow("GET_X5:1") << "GET_X5:1" << "GET" << 0 << "1";
    QTest::newRow("Get7:1") << "Get7:1" << "G" << 0 << "1";
    QTest::newRow("A1:B:C") << "A1:B:C" << "A" << 0 << "C";
    QTest::newRow("ABC") << "ABC" << "ABC" << 0 << "ABC";
    QTest::newRow("12") << "12" << "" << 12 << "12";
    QTest::newRow("empty") << "" << "" << 0 << "";
    QTest::newRow("NAME3:刻字") << QString::fromUtf8("NAME3:刻字") << "NAME" << 3 << QString::fromUtf8("刻字");
}
// clang-format on

void tst_ReplyDecoding::cmdItem()
{
    QFETCH(QString, item);
    QString key = "stale";
    int number = -1;
    QString value = "stale";
    KTCommonInterface::decode_cmd(item, key, number, value);
    QTEST(key, "key");
    QTEST(number, "number");
    QTEST(value, "value");
}

void tst_ReplyDecoding::stampsLastTime()
{
    DecodeDevice device;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    device.slot_usb_read("no frame yet");
    QVERIFY(device.property_ptr("LAST_TIME")->value().toDateTime() >= before);
    QCOMPARE(device.pending(), 12);
}

// The stamp is local time, and the offset changes on the very millisecond the clocks do.
// clang-format off
void tst_ReplyDecoding::lastTimeFollowsDaylightSaving_data()
{
    QTest::addColumn<QString>("utc");
    QTest::addColumn<QString>("local");
    QTest::addColumn<int>("offsetSecs");
    QTest::newRow("before spring forward") << "2026-03-29T00:59:59.999Z" << "2026-03-29 01:59:59.999" << 3600;
    QTest::newRow("after spring forward") << "2026-03-29T01:00:00.000Z" << "2026-03-29 03:00:00.000" << 7200;
    QTest::newRow("before fall back") << "2026-10-25T00:59:59.999Z" << "2026-10-25 02:59:59.999" << 7200;
    QTest::newRow("after fall back") << "2026-10-25T01:00:00.000Z" << "2026-10-25 02:00:00.000" << 3600;
}
// clang-format on

void tst_ReplyDecoding::lastTimeFollowsDaylightSaving()
{
    QFETCH(QString, utc);
    QFETCH(QString, local);
    QFETCH(int, offsetSecs);
    const QByteArray savedZone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    const qint64 instant = QDateTime::fromString(utc, Qt::ISODateWithMs).toMSecsSinceEpoch();
    // The millisecond before is stamped first, as a stream of reads would.
    kt_local_time(instant - 1);
    const QDateTime stamp = kt_local_time(instant);
    // Read while the zone is still set: a local time is converted with the zone of the moment.
    const Qt::TimeSpec spec = stamp.timeSpec();
    const qint64 msecs = stamp.toMSecsSinceEpoch();
    const QString text = stamp.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    const int offset = stamp.offsetFromUtc();
    if (hadZone)
        qputenv("TZ", savedZone);
    else
        qunsetenv("TZ");
    QCOMPARE(spec, Qt::LocalTime);
    QCOMPARE(msecs, instant);
    QCOMPARE(text, local);
    QCOMPARE(offset, offsetSecs);
}

// The last report is remembered for the device's lifetime, however the bytes arrive.
void tst_ReplyDecoding::taskReportSeenOnceAcrossReads()
{
    DecodeDevice device;
    QSignalSpy spy(&device, &T::message);
    const QByteArray task = f("CCMD;66,1,job.plt,3,1,45,0,0,0;");
    feed(device, bytewise(task));
    feed(device, {task.left(9), task.mid(9) + f("CMD;GET1:1;")});
    QCOMPARE(spy.count(), 1);
    QCOMPARE(device.frames.size(), 3);
}

// A handler that makes bytes arrive while the buffer is being cut (a reply answered at
// once by a synchronous transport) must not have them handled twice or out of order.
void tst_ReplyDecoding::nestedArrivalConsumesEachByteOnce()
{
    DecodeDevice device;
    const QByteArray f1 = f("CMD;GET1:1;"), f2 = f("CMD;GET1:2;"), f3 = f("CMD;GET1:3;");
    device.onFrame = [&](const QString& frame) {
        if (device.frames.size() > 3)
            return; // a broken cutter would loop: fail instead of hanging
        if (frame == QString::fromUtf8(f1))
            device.slot_usb_read(f2 + f3.left(5));
        else if (frame == QString::fromUtf8(f2))
            device.slot_usb_read(f3.mid(5));
    };
    device.slot_usb_read(f1);
    QCOMPARE(device.frames, (QStringList{QString::fromUtf8(f1), QString::fromUtf8(f2), QString::fromUtf8(f3)}));
    QCOMPARE(device.property_ptr("SPEED")->value().toInt(), 3);
    QCOMPARE(device.pending(), 0);
}

void tst_ReplyDecoding::pendingBytesAreCapped_data()
{
    const int cap = KTCommonInterfacePrivate::MaxPendingReplyBytes;
    const QByteArray speed = f("CMD;GET1:250;");
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<int>("pending");
    QTest::addColumn<QByteArray>("rest");
    QTest::addColumn<int>("speed");
    QList<QByteArray> chunks;
    for (int i = 0; i < 48; ++i)
        chunks << QByteArray(64 * 1024, 'x');
    QTest::newRow("under the limit: kept") << QList<QByteArray>{QByteArray(1000, 'x')} << 1000 << speed << 250;
    QTest::newRow("3 MiB without STX in pieces") << chunks << cap << speed << 250;
    QTest::newRow("2 MiB junk, then a frame begins")
        << QList<QByteArray>{QByteArray(2 * cap, 'x') + speed.left(8)} << 8 << speed.mid(8) << 250;
    QTest::newRow("a frame larger than the limit")
        << QList<QByteArray>{"\x02" + QByteArray(2 * cap, 'x')} << cap << QByteArray("\x03") << 100;
}

void tst_ReplyDecoding::pendingBytesAreCapped()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(int, pending);
    QFETCH(QByteArray, rest);
    QFETCH(int, speed);
    DecodeDevice device;
    feed(device, reads);
    QCOMPARE(device.pending(), pending);
    device.slot_usb_read(rest);
    QCOMPARE(device.property_ptr("SPEED")->value().toInt(), speed);
    QCOMPARE(device.pending(), 0);
}

// Time per frame must not grow with the number of frames in one read.
void tst_ReplyDecoding::cuttingIsLinear()
{
    const auto stream = [](int count) {
        QByteArray all;
        for (int i = 1; i <= count; ++i)
            all += f("CMD;GET1:" + QByteArray::number(i) + ";");
        return all;
    };
    const auto nsPerFrame = [](const QByteArray& bytes, int count) {
        qint64 best = std::numeric_limits<qint64>::max();
        for (int run = 0; run < 3; ++run) {
            DecodeDevice device;
            device.frames.reserve(count);
            QElapsedTimer clock;
            clock.start();
            device.slot_usb_read(bytes);
            best = qMin(best, clock.nsecsElapsed());
            if (device.frames.size() != count || device.property_ptr("SPEED")->value().toInt() != count)
                return -1.0;
        }
        return double(best) / count;
    };
    const QByteArray small = stream(10000), large = stream(100000);
    QVERIFY(large.size() > KTCommonInterfacePrivate::MaxPendingReplyBytes);
    const double perSmall = nsPerFrame(small, 10000);
    const double perLarge = nsPerFrame(large, 100000);
    QVERIFY2(perSmall > 0 && perLarge > 0, "frames were lost");
    qInfo("ns per frame: %.0f for 10 000 frames, %.0f for 100 000", perSmall, perLarge);
    QVERIFY2(perLarge < 3 * perSmall, "cutting time grows faster than the buffer");
}

QTEST_GUILESS_MAIN(tst_ReplyDecoding)
#include "tst_replydecoding.moc"
