#include "tst_replydecoding.h"

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
