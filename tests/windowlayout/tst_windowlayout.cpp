// The window at the sizes people use: every option and every settings row shows without
// scrolling, and the job's summary before Start follows what the job is.
#include "simprocess.h"

#include "jobpanel.h"
#include "jobsummary.h"
#include "mainwindow.h"
#include "previewview.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolBox>
#include <QtTest>

class tst_WindowLayout : public QObject
{
    Q_OBJECT
private slots:
    void everythingShows_data();
    void everythingShows();
    void summaryFollowsTheJob();
};

namespace {

QString plugin()
{
    return ktBinary(QStringLiteral("libKT-RV8.so"));
}

QString example(const char* name)
{
    return qEnvironmentVariable("KT_SOURCE_DIR") + QStringLiteral("/examples/") + QLatin1String(name);
}

bool scrolls(QWidget* page, QWidget* upTo)
{
    for (QWidget* w = page->parentWidget(); w && w != upTo; w = w->parentWidget()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(w);
        if (area && (area->verticalScrollBar()->isVisible() || area->horizontalScrollBar()->isVisible()))
            return true;
    }
    return false;
}

} // namespace

void tst_WindowLayout::everythingShows_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("1280 x 800") << QSize(1280, 800);
    QTest::newRow("1920 x 1080") << QSize(1920, 1080);
}

void tst_WindowLayout::everythingShows()
{
    QFETCH(QSize, size);
    MainWindow window(plugin());
    window.resize(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.jobPanel()->open(example("drawing.svg")));
    auto* sections = window.findChild<QToolBox*>(QStringLiteral("jobSections"));
    QVERIFY(sections);
    for (int i = 0; i < sections->count(); ++i) {
        sections->setCurrentIndex(i);
        QCoreApplication::processEvents();
        QVERIFY2(!scrolls(sections->widget(i), sections),
                 qPrintable(sections->itemText(i) + QStringLiteral(" scrolls")));
    }
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("sideTabs"));
    tabs->setCurrentIndex(1);
    QCoreApplication::processEvents();
    for (auto* area : tabs->widget(1)->findChildren<QAbstractScrollArea*>())
        QVERIFY2(!area->verticalScrollBar()->isVisible(), "the settings rows scroll");
    // The preview keeps most of the window.
    QVERIFY(window.preview()->width() > size.width() / 2);
}

void tst_WindowLayout::summaryFollowsTheJob()
{
    MainWindow window(plugin());
    auto* summary = window.findChild<JobSummary*>();
    QVERIFY(summary);
    QVERIFY(window.jobPanel()->open(example("drawing.svg")));
    const QRegularExpression cut(QStringLiteral("Cut ([0-9.]+) m"));
    const double one = cut.match(summary->text()).captured(1).toDouble();
    QVERIFY2(one > 0, qPrintable(summary->text()));
    window.jobPanel()->setCopies(3);
    const double three = cut.match(summary->text()).captured(1).toDouble();
    QVERIFY2(qAbs(three - 3 * one) <= 0.015, qPrintable(summary->text()));
    QVERIFY2(summary->text().contains(QStringLiteral("3 copy")), qPrintable(summary->text()));
}

QTEST_MAIN(tst_WindowLayout)
#include "tst_windowlayout.moc"
