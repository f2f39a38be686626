#include "preparedpage_p.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <sys/socket.h>

class tst_PreparedPage : public QObject
{
    Q_OBJECT
private slots:
    void builtOnceThePageHasLeft_data();
    void builtOnceThePageHasLeft();
};

void tst_PreparedPage::builtOnceThePageHasLeft_data()
{
    QTest::addColumn<int>("unsent");      // bytes the socket holds when the next page is asked for
    QTest::addColumn<bool>("clearFirst"); // the job ends before they have left
    QTest::addColumn<int>("builds");
    QTest::newRow("nothing unsent: at once") << 0 << false << 1;
    QTest::newRow("a long page going out: once it has left") << (8 << 20) << false << 1;
    QTest::newRow("cleared before it has left: never") << (8 << 20) << true << 0;
}

// Small buffers on both ends keep the kernel from taking the long page whole.
void tst_PreparedPage::builtOnceThePageHasLeft()
{
    QFETCH(int, unsent);
    QFETCH(bool, clearFirst);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket device;
    const int small = 16384;
    device.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(device.waitForConnected(5000) && server.waitForNewConnection(5000));
    QTcpSocket* cutter = server.nextPendingConnection();
    ::setsockopt(int(device.socketDescriptor()), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(int(cutter->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    cutter->setReadBufferSize(small);
    device.write(QByteArray(unsent, 'P'));
    device.flush();
    QCOMPARE(device.bytesToWrite() > 0, unsent > 0);

    int builds = 0;
    KTPreparedPage next;
    next.prepareWhenSent(&device, [&builds] { ++builds; });
    QCOMPARE(builds, unsent > 0 ? 0 : 1);
    if (clearFirst)
        next.clear();
    qint64 received = 0;
    connect(cutter, &QTcpSocket::readyRead, [&] { received += cutter->readAll().size(); });
    QTRY_COMPARE_WITH_TIMEOUT(received, qint64(unsent), 20000);
    QCOMPARE(device.bytesToWrite(), 0);
    // More bytes later (the status read) build nothing more.
    device.write("more");
    QTRY_COMPARE(received, qint64(unsent) + 4);
    QTEST(builds, "builds");
}

QTEST_MAIN(tst_PreparedPage)
#include "tst_preparedpage.moc"
