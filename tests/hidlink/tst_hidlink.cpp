#include "hidreport.h"
#include "linkspies.h"
#include "usblink.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// A vendor-page report of size bytes: with an ID, a count byte and the data; or padded data.
QByteArray report(int id, int size, bool output)
{
    const char main = output ? char(0x91) : char(0x81);
    if (id == 0)
        return QByteArray::fromHex("750895") + char(size) + QByteArray::fromHex("0903") + main + char(2);
    return QByteArray::fromHex("85") + char(id) + QByteArray::fromHex("750895010901") + main + char(2)
           + QByteArray::fromHex("95") + char(size - 1) + QByteArray::fromHex("0902") + main + char(2);
}

} // namespace

class tst_HidLink : public QObject
{
    Q_OBJECT
private slots:
    void reportLayout_data();
    void reportLayout();
    void framesOverHidNode();
    void deviceWithoutOutputReportFails();
};

void tst_HidLink::reportLayout_data()
{
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<QList<int>>("layout"); // input id, size, count byte; output the same
    const QByteArray head = QByteArray::fromHex("0600ff0901a101");
    QTest::newRow("unnumbered, padded") << head + report(0, 64, false) + report(0, 64, true)
                                        << QList<int>{0, 64, 0, 0, 64, 0};
    QTest::newRow("numbered, counted") << head + report(2, 32, false) + report(3, 32, true)
                                       << QList<int>{2, 32, 1, 3, 32, 1};
    QTest::newRow("push, pop and a long item")
        << head + QByteArray::fromHex("a4750195088102b4fe0201aabb") + report(0, 16, false) + report(0, 8, true)
        << QList<int>{0, 17, 0, 0, 8, 0};
    QTest::newRow("a truncated item ends it")
        << head + report(0, 8, false) + QByteArray::fromHex("9502750891") << QList<int>{0, 8, 0, 0, 0, 0};
}

void tst_HidLink::reportLayout()
{
    QFETCH(QByteArray, descriptor);
    const HidReports r = parseHidReportDescriptor(descriptor);
    QTEST((QList<int>{r.input.id, r.input.size, r.input.lengthByte, r.output.id, r.output.size, r.output.lengthByte}),
          "layout");
}

// umockdev-run provides the node and its recorded exchange (hidlink.umockdev, hidraw0.ioctl,
// hidraw0.script): a settings read out in output reports of ID 3, the reply in input
// reports of ID 2, each with a count byte and zero padding. The recording answers only once
// all three reports came exactly as recorded.
void tst_HidLink::framesOverHidNode()
{
    const QByteArray frame = "\x02RSET;0;" + QByteArray(58, 'x') + "\x03";
    const QByteArray reply = "\x02READY;1;" + QByteArray(30, 'y') + "\x03";
    UsbLink link;
    QSignalSpy read(&link, &UsbLink::readData), written(&link, &UsbLink::writeData);
    QSignalSpy state(&link, &UsbLink::statusChanged);
    link.usbConnect(QStringLiteral("/dev/hidraw0"), UsbLink::ReadWrite, false);
    QTRY_COMPARE(state.count(), 1);
    QCOMPARE(state.at(0).at(0).toInt(), 1);
    link.send(QString::fromLatin1(frame));
    QTRY_COMPARE(joined(read), reply);
    QCOMPARE(joined(written), frame);
}

void tst_HidLink::deviceWithoutOutputReportFails()
{
    UsbLink link;
    QSignalSpy state(&link, &UsbLink::statusChanged);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no output report"));
    link.usbConnect(QStringLiteral("/dev/hidraw1"), UsbLink::ReadWrite, false);
    QTRY_COMPARE(state.count(), 1);
    QCOMPARE(state.at(0).at(0).toInt(), 2);
}

QTEST_MAIN(tst_HidLink)
#include "tst_hidlink.moc"
