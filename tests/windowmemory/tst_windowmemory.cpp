// The window reopens with what it had: address, fleet fields, copies, cutter options, the
// material and the layout of the designs, size; the fleet token never in the settings file,
// and readable only by its owner when on disk. The cutter's loaded material comes from the
// settings file the host uses.
#include "connectionbar.h"
#include "cutoptionspanel.h"
#include "cutpanel.h"
#include "jobpanel.h"
#include "mainwindow.h"
#include "materialdefaults.h"
#include "sheetpanel.h"
#include "windowmemory.h"

#include "simprocess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

class tst_WindowMemory : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void reopensWithWhatItHad_data();
    void reopensWithWhatItHad();
    void materialOfTheCutterConnected();

private:
    QTemporaryDir config;
};

void tst_WindowMemory::initTestCase()
{
    // No session bus: the keyring cannot answer, so the token must go to the owner-only file.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kt-rv8-test-bus");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
}

namespace {

// The material and the layout of the designs, each away from its default.
void setSheetOptions(QWidget* window)
{
    window->findChild<QCheckBox*>(QStringLiteral("cutterMaterial"))->setChecked(false);
    window->findChild<QDoubleSpinBox*>(QStringLiteral("materialWidth"))->setValue(610);
    window->findChild<QDoubleSpinBox*>(QStringLiteral("materialLength"))->setValue(1200);
    window->findChild<QCheckBox*>(QStringLiteral("fit"))->setChecked(true);
    window->findChild<QSpinBox*>(QStringLiteral("repeat"))->setValue(4);
    window->findChild<QComboBox*>(QStringLiteral("arrange"))->setCurrentIndex(1);
    window->findChild<QDoubleSpinBox*>(QStringLiteral("gap"))->setValue(2.5);
}

QSizeF materialOf(const MainWindow& window)
{
    const ktconv::Material material = window.jobPanel()->sheetPanel()->options().material;
    return QSizeF(material.widthMm, material.lengthMm);
}

} // namespace

void tst_WindowMemory::reopensWithWhatItHad_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("token");
    QTest::newRow("network cutter and a fleet") << QStringLiteral("127.0.0.1:9123") << QByteArray("s3cr3t-token");
    QTest::newRow("IPv6 cutter, no fleet") << QStringLiteral("[::1]:9100") << QByteArray();
    QTest::newRow("USB node") << QStringLiteral("/dev/ttyACM7") << QByteArray();
}

void tst_WindowMemory::reopensWithWhatItHad()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, token);
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("gui.ini")), QSettings::IniFormat);
    Address where;
    QString error;
    QVERIFY2(parseAddress(address, &where, &error), qPrintable(error));
    CloudOptions cloud;
    if (!token.isEmpty()) {
        cloud.url = QUrl(QStringLiteral("http://127.0.0.1:8088"));
        cloud.code = QStringLiteral("SHOP-7");
        cloud.token = token;
    }
    {
        MainWindow first(ktBinary(QStringLiteral("libKT-RV8.so")));
        first.resize(1234, 777);
        first.findChild<ConnectionBar*>()->setAddress(where);
        first.cutPanel()->setCloudOptions(cloud);
        first.jobPanel()->setCopies(3);
        first.findChild<QDoubleSpinBox*>(QStringLiteral("scale"))->setValue(0.5);
        first.findChild<QDoubleSpinBox*>(QStringLiteral("toolOffset"))->setValue(0.25);
        first.findChild<QCheckBox*>(QStringLiteral("mirror"))->setChecked(true);
        first.findChild<QComboBox*>(QStringLiteral("rotate"))->setCurrentIndex(2);
        setSheetOptions(&first);
        WindowMemory(settings, dir.path()).save(first);
    }
    MainWindow again(ktBinary(QStringLiteral("libKT-RV8.so")));
    WindowMemory memory(settings, dir.path());
    memory.restore(again);
    Address back;
    QVERIFY(again.findChild<ConnectionBar*>()->address(&back, &error));
    QCOMPARE(back.usb, where.usb);
    QCOMPARE(back.usb ? back.path : back.host, where.usb ? where.path : where.host);
    QCOMPARE(back.port, where.port);
    QCOMPARE(again.size(), QSize(1234, 777));
    QCOMPARE(again.cutPanel()->cloudOptions().url, cloud.url);
    QCOMPARE(again.cutPanel()->cloudOptions().code, cloud.code);
    QCOMPARE(again.cutPanel()->cloudOptions().token, token);
    QCOMPARE(again.jobPanel()->copies(), 3);
    const ktconv::CutOptions options = again.findChild<CutOptionsPanel*>()->options();
    QCOMPARE(options.scale, 0.5);
    QCOMPARE(options.toolOffsetMm, 0.25);
    QVERIFY(options.mirror);
    QCOMPARE(options.rotate, 180);
    const ktconv::SheetOptions sheet = again.jobPanel()->sheetPanel()->options();
    QCOMPARE(materialOf(again), QSizeF(610, 1200));
    QVERIFY(sheet.fit && sheet.repeat == 4 && sheet.arrange.how == ktconv::Arrangement::Nest);
    QCOMPARE(sheet.arrange.gapMm, 2.5);
    QFile ini(settings.fileName());
    QVERIFY(ini.open(QIODevice::ReadOnly));
    if (!token.isEmpty()) {
        QVERIFY2(!ini.readAll().contains(token), "the token is in the settings file");
        const QFileInfo file(dir.filePath(QStringLiteral("fleet-token")));
        QVERIFY(file.exists());
        QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
    }
}

// The material kept for a cutter (as "ktrv8 --save-media" keeps it) is the one used once the
// window connects to that cutter; before, the one kept for any cutter.
void tst_WindowMemory::materialOfTheCutterConnected()
{
    SimProcess sim({});
    QVERIFY(sim.start());
    QString error;
    QVERIFY2(MaterialDefaults::save(QString(), ktconv::Material{500, 0}, &error), qPrintable(error));
    const QString cutter = QStringLiteral("tcp:127.0.0.1:%1").arg(sim.port);
    QVERIFY2(MaterialDefaults::save(cutter, ktconv::Material{300, 450}, &error), qPrintable(error));
    MainWindow window(ktBinary(QStringLiteral("libKT-RV8.so")));
    QCOMPARE(materialOf(window), QSizeF(500, 0));
    QVERIFY(window.loadPlugin());
    Address address;
    QVERIFY(parseAddress(QStringLiteral("127.0.0.1:%1").arg(sim.port), &address, &error));
    QCOMPARE(window.connectTo(address), int(ExitOk));
    QCOMPARE(materialOf(window), QSizeF(300, 450));
}

QTEST_MAIN(tst_WindowMemory)
#include "tst_windowmemory.moc"
