#include "hidreport.h"
#include "usblink.h"

#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(HidReportLayout)

namespace {

const QString Node = QStringLiteral("/dev/hidraw0");

// Vendor page, one application collection around the given fields.
QByteArray descriptor(const QByteArray& fields)
{
    return QByteArray::fromHex("0600ff0901a101") + fields + QByteArray::fromHex("c0");
}

// Report ID, then a length byte (usage 1) and size-1 data bytes (usage 2), as Input or Output.
QByteArray countedReport(int id, int size, bool output)
{
    const char main = output ? char(0x91) : char(0x81);
    return QByteArray::fromHex("85") + char(id) + QByteArray::fromHex("750895010901") + main + char(2)
           + QByteArray::fromHex("95") + char(size - 1) + QByteArray::fromHex("0902") + main + char(2);
}

QByteArray plainReport(int size, bool output)
{
    return QByteArray::fromHex("750895") + char(size) + QByteArray::fromHex("0903") + char(output ? 0x91 : 0x81)
           + char(2);
}

QByteArray joined(const QSignalSpy& spy)
{
    QByteArray out;
    for (const QList<QVariant>& args : spy)
        out += args.at(0).toByteArray();
    return out;
}

} // namespace

class tst_HidLink : public QObject
{
    Q_OBJECT
private slots:
    void reportLayout_data();
    void reportLayout();
    void streamThroughReports_data();
    void streamThroughReports();
    void framesOverHidNode();
    void deviceWithoutOutputReportFails();
};

void tst_HidLink::reportLayout_data()
{
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<HidReportLayout>("input");
    QTest::addColumn<HidReportLayout>("output");
    QTest::newRow("unnumbered, padded with zeros") << descriptor(plainReport(64, false) + plainReport(64, true))
                                                   << HidReportLayout{0, 64, false} << HidReportLayout{0, 64, false};
    QTest::newRow("numbered, with a length byte")
        << descriptor(countedReport(2, 32, false) + countedReport(3, 32, true)) << HidReportLayout{2, 32, true}
        << HidReportLayout{3, 32, true};
    QTest::newRow("push and pop keep the outer sizes")
        << descriptor(QByteArray::fromHex("a4750195088102b4") + plainReport(16, false) + plainReport(8, true))
        << HidReportLayout{0, 1 + 16, false} << HidReportLayout{0, 8, false};
    QTest::newRow("a long item is stepped over")
        << descriptor(QByteArray::fromHex("fe0201aabb") + plainReport(8, false) + plainReport(8, true))
        << HidReportLayout{0, 8, false} << HidReportLayout{0, 8, false};
    QTest::newRow("a truncated item ends the descriptor")
        << QByteArray::fromHex("0600ff0901a101") + plainReport(8, false) + QByteArray::fromHex("9502750891")
        << HidReportLayout{0, 8, false} << HidReportLayout{0, 0, false};
}

void tst_HidLink::reportLayout()
{
    QFETCH(QByteArray, descriptor);
    QFETCH(HidReportLayout, input);
    QFETCH(HidReportLayout, output);
    const HidReports got = parseHidReportDescriptor(descriptor);
    QCOMPARE(QList<int>({got.input.id, got.input.size, got.input.lengthByte}),
             QList<int>({input.id, input.size, input.lengthByte}));
    QCOMPARE(QList<int>({got.output.id, got.output.size, got.output.lengthByte}),
             QList<int>({output.id, output.size, output.lengthByte}));
}

void tst_HidLink::streamThroughReports_data()
{
    QTest::addColumn<HidReportLayout>("layout");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("reports");
    const HidReportLayout padded{0, 8, false}, counted{5, 8, true};
    QTest::newRow("padded, one byte") << padded << 1 << 1;
    QTest::newRow("padded, exactly full") << padded << 8 << 1;
    QTest::newRow("padded, one over") << padded << 9 << 2;
    QTest::newRow("counted, exactly full") << counted << 7 << 1;
    QTest::newRow("counted, three and a bit") << counted << 22 << 4;
}

void tst_HidLink::streamThroughReports()
{
    QFETCH(HidReportLayout, layout);
    QFETCH(int, bytes);
    QFETCH(int, reports);
    QByteArray data;
    for (int i = 0; i < bytes; ++i)
        data.append(char('A' + i % 26));
    const QList<QByteArray> out = hidOutputReports(layout, data);
    QCOMPARE(out.size(), reports);
    QByteArray back;
    for (const QByteArray& report : out) {
        QCOMPARE(report.size(), 1 + layout.size);
        QCOMPARE(int(quint8(report[0])), layout.id);
        // The same bytes read back from a device's input report of this layout.
        back += hidInputPayload(layout, layout.id != 0 ? report : report.mid(1));
    }
    QCOMPARE(back, data);
}

// The node and its recorded exchange come from umockdev-run (hidlink.umockdev,
// hidraw0.ioctl, hidraw0.script): a settings read out in output reports of ID 3, the reply
// in input reports of ID 2, each with a count byte and zero padding.
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
    // The recording answers only once all three reports arrived as recorded.
    QTRY_COMPARE(joined(read), reply);
    QCOMPARE(joined(written), frame);
    QCOMPARE(link.pendingBytes(), 0);
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
