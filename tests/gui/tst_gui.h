#ifndef TST_GUI_H
#define TST_GUI_H

// The window test class and its helpers, shared by tst_gui.cpp (the cut, settings, files,
// the program) and windowwork.cpp (conversion off the window's thread, refused settings,
// Resume).
#include "simprocess.h"

#include "cutpanel.h"
#include "jobpanel.h"
#include "logpane.h"
#include "mainwindow.h"
#include "previewview.h"
#include "settingspanel.h"

#include "cutterconnection.h"
#include "hostcommon.h"

#include "ktdeviceproperty.h"

#include <QAbstractSpinBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

inline QString sourceFile(const QString& relative)
{
    return QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QLatin1Char('/') + relative;
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString pluginPath()
{
    return ktBinary(QStringLiteral("libKT-RV8.so"));
}

inline Address simAddress(const SimProcess& sim)
{
    Address address;
    address.host = QStringLiteral("127.0.0.1");
    address.port = sim.port;
    return address;
}

// A button that waits for work off the window's thread (Start for the sheet's layout) is
// given the time to come on.
inline void click(QWidget* window, const char* name)
{
    auto* button = window->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    QTRY_VERIFY2(button->isEnabled(), name);
    button->click();
}

class tst_Gui : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cutStartPauseResumeStop();
    void closingDuringACutStopsTheCutterFirst();
    void qrCodeJob();
    void textToolCutsTypedText();
    void settingsReadAndApply_data();
    void settingsReadAndApply();
    void refusedFile_data();
    void refusedFile();
    void scriptedCutAndScreenshot_data();
    void scriptedCutAndScreenshot();
    void windowLanguage_data();
    void windowLanguage();
    void conversionKeepsTheWindowAnswering();
    void bigPreviewKeepsTheWindowAnswering();
    void settingOutOfRangeIsRefused();
    void resumeAfterALostLink();
    void severalFilesOnTheMaterial_data();
    void severalFilesOnTheMaterial();

private:
    QTemporaryDir dir;
};

#endif // TST_GUI_H
