// Replies in every shape a line can deliver them: split, a byte at a time, amid junk, as an
// endless frame, ten thousand at once.
#include "faultmatrix.h"
#include "faultpeers.h"
#include "ktcommoninterface_p.h"

#include <QDateTime>
#include <QElapsedTimer>

// Every way of cutting one stream in two gives the same result as the stream in one piece.
void tst_FaultMatrix::repliesSplitAtEveryByte()
{
    const QByteArray stream =
        ccmd("51,0,V2.0.1;") + ccmd("66,1,sign.plt,2,1,50.5,0,0,0;") + ccmd("55,0,QR-42;") + ccmd("45,0,RV8-0007;");
    for (int cut = 1; cut < stream.size(); ++cut) {
        Rig rig;
        rig.device->slot_usb_read(stream.left(cut));
        rig.device->slot_usb_read(stream.mid(cut));
        QVERIFY2(rig.pending().isEmpty(), qPrintable(QString::number(cut)));
        QCOMPARE(rig["FIRMWARE"]->value().toString(), QString("V2.0.1"));
        QCOMPARE(rig["DEVICE_ID"]->value().toString(), QString("RV8-0007"));
        QCOMPARE(rig.texts(K::DevTasK), QStringList{"66,1,sign.plt,2,1,50.5,0,0,0"});
        QCOMPARE(rig.texts(K::Qrcode), QStringList{"QR-42"});
        QCOMPARE(rig.task().value("Percent").toInt(), 50);
    }
}

void tst_FaultMatrix::repliesOneByteAtATimeOverTcp()
{
    Rig rig;
    RawPeer peer;
    QVERIFY(connectTcp(rig, peer.port()));
    QVERIFY(waitFor([&] { return peer.isConnected(); }));
    const QByteArray stream = ccmd("51,0,V3.1;") + ccmd("55,0,QR-7;") + ccmd("45,0,RV8-0042;");
    // Each byte is read on its own: the device holds the frame so far, or has decoded it.
    for (int i = 0, frameStart = 0; i < stream.size(); ++i) {
        peer.send(stream.mid(i, 1));
        const bool end = stream.at(i) == '\x03';
        const QByteArray held = end ? QByteArray() : stream.mid(frameStart, i + 1 - frameStart);
        QVERIFY(waitFor([&] { return rig.pending() == held; }));
        frameStart = end ? i + 1 : frameStart;
    }
    QTRY_COMPARE(rig["DEVICE_ID"]->value().toString(), QString("RV8-0042"));
    QCOMPARE(rig["FIRMWARE"]->value().toString(), QString("V3.1"));
    QCOMPARE(rig.texts(K::Qrcode), QStringList{"QR-7"});
}

// clang-format off
void tst_FaultMatrix::junkAroundAndInsideFrames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("deviceId");
    const QByteArray junk("\x00\xff\xfe\x80garbage\x00\xc3\x28", 15);
    const QByteArray id = ccmd("45,0,RV8-1;");
    QTest::newRow("junk between") << junk + ccmd("51,0,V1;") + junk + id + junk << "V1" << "RV8-1";
    QTest::newRow("NUL inside a value") << ccmd(QByteArray("51,0,V\x00" "1;", 9)) + id << QString::fromUtf8("V\0" "1", 3) << "RV8-1";
    QTest::newRow("non-UTF-8 inside a value") << ccmd("51,0,V\xff\xfe;") + id << QString::fromUtf8("V\xff\xfe") << "RV8-1";
    QTest::newRow("start byte in junk") << QByteArray("\x02\x02junk\x02") + ccmd("51,0,V2;") + id << "V2" << "RV8-1";
    QTest::newRow("end byte alone") << QByteArray("\x03\x03") + ccmd("51,0,V3;") + "\x03" + id << "V3" << "RV8-1";
    QTest::newRow("truncated frame before a whole one") << ccmd("51,0,LOST;").left(8) + ccmd("51,0,V4;") + id << "V4" << "RV8-1";
    QTest::newRow("wrong length field") << QByteArray("\x02" "999;CCMD;51,0,V5;\x03") + id << "V5" << "RV8-1";
    QTest::newRow("unknown kind and code") << LoopbackCutter::frame("XYZ;1;2;") + ccmd("9999,0,1;") + id << "" << "RV8-1";
    QTest::newRow("empty fields") << ccmd(";;;") + ccmd(",,,,;") + ccmd("51;") + id << "" << "RV8-1";
}
// clang-format on

// Over a real socket; the device keeps decoding correctly after whatever came first.
void tst_FaultMatrix::junkAroundAndInsideFrames()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, firmware);
    QFETCH(QString, deviceId);
    Rig rig;
    LoopbackCutter cutter;
    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    cutter.send(stream);
    QTRY_COMPARE(rig["DEVICE_ID"]->value().toString(), deviceId);
    QCOMPARE(rig["FIRMWARE"]->value().toString(), firmware);
    QCOMPARE(rig.status(), int(K::Working));
    QCOMPARE(runOnePageJob(rig, cutter), QString());
}

// Megabytes that never end a frame: the device keeps at most MaxPendingReplyBytes of them and
// still decodes the frame that follows.
void tst_FaultMatrix::hugeFrameWithoutEnd()
{
    Rig rig;
    LoopbackCutter cutter;
    QVERIFY(connectTcp(rig, cutter.port()));
    QVERIFY(cutter.waitForConnection());
    const QByteArray chunk(256 * 1024, 'A');
    cutter.send("\x02"
                "99999999;CCMD;51,0,");
    int largest = 0;
    int largestCapacity = 0;
    const auto sample = [&] {
        largest = qMax(largest, rig.pending().size());
        largestCapacity = qMax(largestCapacity, rig.pending().capacity());
    };
    for (int i = 0; i < 24; ++i) {               // 6 MiB
        rig["LAST_TIME"]->setValue(QDateTime()); // stamped anew by the next read
        cutter.send(chunk);
        QVERIFY(waitFor([&] {
            sample();
            return rig["LAST_TIME"]->value().toDateTime().isValid();
        }));
    }
    cutter.send(ccmd("51,0,V6;"));
    QVERIFY(waitFor(
        [&] {
            sample();
            return rig["FIRMWARE"]->value().toString() == QLatin1String("V6");
        },
        30000));
    QVERIFY2(largest > KTCommonInterfacePrivate::MaxPendingReplyBytes / 2, "the flood never reached the device");
    QVERIFY(largest <= KTCommonInterfacePrivate::MaxPendingReplyBytes);
    QVERIFY2(largestCapacity <= 2 * KTCommonInterfacePrivate::MaxPendingReplyBytes + 64 * 1024,
             qPrintable(QString::number(largestCapacity)));
    QVERIFY(rig.pending().isEmpty());
    QCOMPARE(runOnePageJob(rig, cutter), QString());
}

void tst_FaultMatrix::tenThousandFramesInOneRead_data()
{
    QTest::addColumn<bool>("overTcp");
    QTest::newRow("read slot") << false;
    QTest::newRow("tcp") << true;
}

// Each of 10 000 distinct task reports is handled once and in order, in time linear in the input.
void tst_FaultMatrix::tenThousandFramesInOneRead()
{
    QFETCH(bool, overTcp);
    constexpr int Count = 10000;
    QByteArray stream;
    for (int i = 0; i < Count; ++i)
        stream += ccmd(QStringLiteral("66,1,big.plt,%1,%2,0,0,0,0;").arg(Count).arg(i).toLatin1());
    Rig rig;
    LoopbackCutter cutter;
    QElapsedTimer clock;
    clock.start();
    if (overTcp) {
        QVERIFY(connectTcp(rig, cutter.port()));
        QVERIFY(cutter.waitForConnection());
        cutter.send(stream);
        QTRY_COMPARE_WITH_TIMEOUT(rig.texts(K::DevTasK).size(), Count, 60000);
    } else {
        rig.device->slot_usb_read(stream);
    }
    const QStringList reports = rig.texts(K::DevTasK);
    QCOMPARE(reports.size(), Count);
    for (int i : {0, 1, Count / 2, Count - 1})
        QCOMPARE(reports.at(i), QStringLiteral("66,1,big.plt,%1,%2,0,0,0,0").arg(Count).arg(i));
    QCOMPARE(rig.task().value("Finished").toInt(), Count - 1);
    QVERIFY(rig.pending().isEmpty());
    qDebug() << "tst_FaultMatrix::tenThousandFramesInOneRead" << clock.elapsed() << "ms";
}
