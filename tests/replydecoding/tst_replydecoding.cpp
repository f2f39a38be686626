#include "tst_replydecoding.h"

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

QTEST_GUILESS_MAIN(tst_ReplyDecoding)
