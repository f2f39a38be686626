// Faults found by the sanitizer runs and the fuzzers, each kept as the case that showed it.
#include "ktdeviceproperty.h"
#include "ktrv8.h"

#include <QDoubleSpinBox>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include "loopbackcutter.h"

#include <QPointer>

#include <climits>
#include <memory>

class tst_Regressions : public QObject
{
    Q_OBJECT
private slots:
    void groupEditorIsNotAChild_data();
    void groupEditorIsNotAChild();
    void moveWrapsLikeA32BitProduct_data();
    void moveWrapsLikeA32BitProduct();
    void deviceDeletedFromPropertySignal_data();
    void deviceDeletedFromPropertySignal();
};

// A group remembers its own editor as a pointer beside the pointers to its children; copying
// values to or from the editors took that widget for a child property and called property
// code on it (caught by UBSan as a member call on a QWidget). Values must still travel both
// ways, once and again after the panel is rebuilt.
void tst_Regressions::groupEditorIsNotAChild_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QByteArray>("x");
    QTest::addColumn<QByteArray>("y");
    QTest::newRow("scale") << QByteArray("SCALE") << QByteArray("SCALE_X") << QByteArray("SCALE_Y");
    QTest::newRow("camera offset") << QByteArray("CAMERA_OFFSET") << QByteArray("CAMERA_OFFSET_X")
                                   << QByteArray("CAMERA_OFFSET_Y");
}

void tst_Regressions::groupEditorIsNotAChild()
{
    QFETCH(QByteArray, group);
    QFETCH(QByteArray, x);
    QFETCH(QByteArray, y);
    KTRV8 factory;
    std::unique_ptr<KTDeviceInterface> device(factory.initInstance());
    KTDeviceProperty* g = device->property_ptr(group.constData());
    KTDeviceProperty* px = device->property_ptr(x.constData());
    KTDeviceProperty* py = device->property_ptr(y.constData());
    QVERIFY(g && px && py);
    for (int build = 0; build < 2; ++build) {
        QWidget panel;
        new QVBoxLayout(&panel);
        g->create_ui_ctrl(&panel, QString::fromLatin1(group), true);
        auto* ex = panel.findChild<QDoubleSpinBox*>(QString::fromLatin1(x));
        auto* ey = panel.findChild<QDoubleSpinBox*>(QString::fromLatin1(y));
        QVERIFY(ex && ey);
        // Through the group: edits reach the children, and the children's values come back.
        ex->setValue(ex->minimum() + (ex->maximum() - ex->minimum()) / (3 + build));
        ey->setValue(ey->maximum());
        const double vx = ex->value();
        const double vy = ey->value();
        g->from_ui_ctrl();
        const QVariant heldX = px->value();
        const QVariant heldY = py->value();
        ex->setValue(ex->minimum());
        ey->setValue(ey->minimum());
        g->to_ui_ctrl();
        QCOMPARE(ex->value(), vx);
        QCOMPARE(ey->value(), vy);
        QCOMPARE(px->value(), heldX);
        QCOMPARE(py->value(), heldY);
    }
}

// Steps from the host times 80 overflowed a signed int for large steps (undefined behaviour,
// fatal under UBSan). The product is the 32-bit two's-complement one.
void tst_Regressions::moveWrapsLikeA32BitProduct_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QString>("move");
    QTest::newRow("small") << 10 << -5 << "0,0,800,-400";
    QTest::newRow("largest without wrap") << INT_MAX / 80 << INT_MIN / 80 << "0,0,2147483600,-2147483600";
    QTest::newRow("int max and min") << INT_MAX << INT_MIN << "0,0,-80,0";
    QTest::newRow("just past the range") << INT_MAX / 80 + 1 << -(INT_MAX / 80) - 2 << "0,0,-2147483616,2147483536";
}

void tst_Regressions::moveWrapsLikeA32BitProduct()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QString, move);
    KTRV8 factory;
    std::unique_ptr<KTDeviceInterface> device(factory.initInstance());
    device->move(x, y);
    QCOMPARE(device->property_ptr("MOVE")->value().toString(), move);
}

// A host watching "STATUS", "CONNECT_MODE" or "LAST_TIME" may delete the device from that property's
// valueChanged; the transport event went on to emit its message from the deleted device.
void tst_Regressions::deviceDeletedFromPropertySignal_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::newRow("STATUS") << QByteArray("STATUS");
    QTest::newRow("CONNECT_MODE") << QByteArray("CONNECT_MODE");
    QTest::newRow("LAST_TIME") << QByteArray("LAST_TIME");
}

void tst_Regressions::deviceDeletedFromPropertySignal()
{
    QFETCH(QByteArray, key);
    LoopbackCutter cutter;
    KTRV8 factory;
    QPointer<KTDeviceInterface> device(factory.initInstance());
    device->setIPAddress(QStringLiteral("127.0.0.1"));
    device->property_ptr("TCP_PORT")->setValue(int(cutter.port()));
    // The connection may come within the millisecond the set was built in; a stamp equal to
    // the previous value would be set silently. Move both value and previous value away.
    device->property_ptr("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-60));
    device->property_ptr("LAST_TIME")->setValue(QDateTime::currentDateTime().addSecs(-30));
    KTDeviceProperty* watched = device->property_ptr(key.constData());
    connect(watched, &KTDeviceProperty::valueChanged, this, [&device] { delete device.data(); });
    QVERIFY(device->connectDevice());
    // Without the guard the event emitted from freed memory (reported by the sanitizer run).
    QTRY_VERIFY_WITH_TIMEOUT(device.isNull(), 5000);
    // The cutter can serve a new device afterwards.
    std::unique_ptr<KTDeviceInterface> next(factory.initInstance());
    next->setIPAddress(QStringLiteral("127.0.0.1"));
    next->property_ptr("TCP_PORT")->setValue(int(cutter.port()));
    QVERIFY(next->connectDevice());
    QTRY_COMPARE(next->property_ptr("STATUS")->value().toInt(), int(KTDeviceInterface::Working));
}

QTEST_MAIN(tst_Regressions)
#include "tst_regressions.moc"
