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

// The sanitizer build runs many times slower: the big jobs of the tests are a tenth as big.
#if defined(__SANITIZE_ADDRESS__)
#define KT_SLOW_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KT_SLOW_BUILD 1
#endif
#endif

// The longest wait between two turns of the window's event loop (a 10 ms timer) while it
// lives; stop() counts the wait still open, and gives the time taken.
struct EventGaps
{
    QElapsedTimer clock;
    QTimer tick;
    qint64 last = 0, longest = 0;
    EventGaps()
    {
        QObject::connect(&tick, &QTimer::timeout, [this] { stop(false); });
        clock.start();
        tick.start(10);
    }
    qint64 stop(bool ending = true)
    {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
        if (ending)
            tick.stop();
        return last;
    }
    QString text(qint64 took) const { return QStringLiteral("%1 ms without events in %2").arg(longest).arg(took); }
};

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
    void bigSheetKeepsTheWindowAnswering();
    void settingOutOfRangeIsRefused();
    void resumeAfterALostLink();
    void severalFilesOnTheMaterial_data();
    void severalFilesOnTheMaterial();

private:
    QTemporaryDir dir;
};

#endif // TST_GUI_H
