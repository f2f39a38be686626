#include "ktdeviceinterface.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPluginLoader>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

// Loads the built library the way the host does: by path, through QPluginLoader.
class tst_PluginLoader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void metaData();
    void singletonInstance();
    void interfaceCast_data();
    void interfaceCast();
    void qtplugininfoReadsMetaData_data();
    void qtplugininfoReadsMetaData();

private:
    QString libraryPath;
};

void tst_PluginLoader::initTestCase()
{
    const QString bin = qEnvironmentVariable("KT_BUILD_BIN", QCoreApplication::applicationDirPath());
    libraryPath = QDir(bin).absoluteFilePath("libKT-RV8.so");
    QVERIFY2(QFile::exists(libraryPath), qPrintable(libraryPath));
}

void tst_PluginLoader::metaData()
{
    QPluginLoader loader(libraryPath);
    const QJsonObject meta = loader.metaData();
    QCOMPARE(meta.value("IID").toString(), QString("org.qt-project.Qt.QGenericPluginFactoryInterface"));
    QCOMPARE(meta.value("className").toString(), QString("KTRV8"));
    QCOMPARE(meta.value("MetaData").toObject(), (QJsonObject{{"Keys", QJsonArray()}}));
    QCOMPARE(meta.value("debug").toBool(true), false);
}

void tst_PluginLoader::singletonInstance()
{
    QPluginLoader loader(libraryPath);
    QObject* first = loader.instance();
    QVERIFY2(first, qPrintable(loader.errorString()));
    QCOMPARE(loader.instance(), first);
    QPluginLoader other(libraryPath);
    QCOMPARE(other.instance(), first);
    QCOMPARE(first->metaObject()->className(), "KTRV8");
    QVERIFY(!first->parent());
}

void tst_PluginLoader::interfaceCast_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("known");
    QTest::newRow("interface identifier") << QByteArray(KTDeviceInterface_iid) << true;
    QTest::newRow("own class") << QByteArray("KTRV8") << true;
    QTest::newRow("driver core") << QByteArray("KTCommonInterface") << true;
    QTest::newRow("interface class") << QByteArray("KTDeviceInterface") << true;
    QTest::newRow("QObject") << QByteArray("QObject") << true;
    QTest::newRow("other identifier") << QByteArray("Veska.nimbra.otherinterface") << false;
    QTest::newRow("factory interface") << QByteArray("org.qt-project.Qt.QGenericPluginFactoryInterface") << false;
}

void tst_PluginLoader::interfaceCast()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, known);
    QPluginLoader loader(libraryPath);
    QObject* instance = loader.instance();
    QVERIFY(instance);
    void* cast = instance->qt_metacast(name.constData());
    QCOMPARE(cast != nullptr, known);
    if (known)
        QCOMPARE(cast, static_cast<void*>(instance)); // single inheritance: same address
    if (name == KTDeviceInterface_iid)
        QCOMPARE(static_cast<QObject*>(qobject_cast<KTDeviceInterface*>(instance)), instance);
}

// clang-format off
void tst_PluginLoader::qtplugininfoReadsMetaData_data()
{
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("expected");
    QTest::newRow("iid") << "iid" << "org.qt-project.Qt.QGenericPluginFactoryInterface";
    QTest::newRow("classname") << "classname" << "KTRV8";
    QTest::newRow("qtinfo") << "qtinfo" << "Qt 5.15";
}
// clang-format on

void tst_PluginLoader::qtplugininfoReadsMetaData()
{
    QFETCH(QString, detail);
    QFETCH(QString, expected);
    QString tool = QStandardPaths::findExecutable("qtplugininfo");
    if (tool.isEmpty())
        tool = QStandardPaths::findExecutable("qtplugininfo", {"/usr/lib/qt5/bin"});
    if (tool.isEmpty())
        QSKIP("qtplugininfo is not installed");
    QProcess p;
    p.start(tool, {"-p", detail, libraryPath});
    QVERIFY(p.waitForFinished(20000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(out.contains(expected), qPrintable(out));
}

QTEST_GUILESS_MAIN(tst_PluginLoader)
#include "tst_pluginloader.moc"
