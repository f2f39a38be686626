#include "emulatedbulkcutter.h"
#include "linkspies.h"
#include "loopbackcutter.h"
#include "usblink.h"
#include "usbtestbed.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Node = QStringLiteral("/dev/bus/usb/001/007");
constexpr int Packet = 64;

// A short session: the settings read, one page (long enough to span two transfers and end on
// a packet boundary), the readiness reply.
QList<EmulatedBulkCutter::Step> session()
{
    const QByteArray settings = LoopbackCutter::frame("RSET;0;");
    QByteArray page = LoopbackCutter::frame("PAGE;1;");
    page.insert(page.size() - 1, QByteArray(64 * Packet + 2 * Packet - page.size(), 'U'));
    return {{settings, LoopbackCutter::frame("RSET;0;437,1,30,200;")}, {page, LoopbackCutter::frame("READY;1;")}};
}

} // namespace

class tst_BulkLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sessionOverBulkEndpoints_data();
    void sessionOverBulkEndpoints();
};

void tst_BulkLink::initTestCase()
{
    if (!UsbTestbed::active())
        QFAIL("run under umockdev-wrapper: the emulated device is not visible otherwise");
}

void tst_BulkLink::sessionOverBulkEndpoints_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("end");
    QTest::addColumn<QList<int>>("status");
    QTest::newRow("by node, unplug reads as disconnected")
        << Node << int(EmulatedBulkCutter::Unplug) << QList<int>{1, 0};
    QTest::newRow("by ids, a failed transfer reads as error")
        << "usb:fffe:0004:KT0001" << int(EmulatedBulkCutter::TransferError) << QList<int>{1, 2};
}

void tst_BulkLink::sessionOverBulkEndpoints()
{
    QFETCH(QString, path);
    QFETCH(int, end);
    QFETCH(QList<int>, status);
    UsbTestbed bed;
    QVERIFY(bed.add(usbBulkCutterRecord(Packet)));
    EmulatedBulkCutter cutter(session(), EmulatedBulkCutter::End(end));
    QVERIFY(bed.attachIoctl(Node, cutter.handler()));

    UsbLink link;
    QSignalSpy read(&link, &UsbLink::readData), written(&link, &UsbLink::writeData);
    QSignalSpy state(&link, &UsbLink::statusChanged);
    link.usbConnect(path, UsbLink::ReadWrite, false);
    QTRY_COMPARE(statuses(state), QList<int>{1});
    const QList<EmulatedBulkCutter::Step> steps = session();
    link.send(QString::fromLatin1(steps[0].expect));
    QTRY_COMPARE(joined(read), steps[0].reply);
    link.send(QString::fromLatin1(steps[1].expect));
    QTRY_COMPARE(statuses(state), status);

    QCOMPARE(joined(read), steps[0].reply + steps[1].reply);
    QCOMPARE(joined(written), steps[0].expect + steps[1].expect);
    QVERIFY(cutter.followedRecording());
    // The page goes as a full transfer, the rest, then a zero-length packet that ends it.
    QCOMPARE(cutter.outTransfers(), (QList<int>{steps[0].expect.size(), 64 * Packet, 2 * Packet, 0}));
    QVERIFY(!link.isOpen());
}

QTEST_MAIN(tst_BulkLink)
#include "tst_bulklink.moc"
