// The window at the sizes people use: every option and every settings row shows without
// scrolling, the job's summary before Start follows what the job is, and the preview shows
// the material with every traced picture under its design.
#include "simprocess.h"

#include "jobpanel.h"
#include "jobsummary.h"
#include "mainwindow.h"
#include "previewview.h"
#include "sheetpanel.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGraphicsScene>
#include <QPainter>
#include <QTemporaryDir>

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
    void initTestCase();
    void everythingShows_data();
    void everythingShows();
    void summaryFollowsTheJob();
    void picturesOnTheMaterial();

private:
    QTemporaryDir dir;
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

void tst_WindowLayout::initTestCase()
{
    // The material a cutter has loaded is read from here, not from the user's settings.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
}

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
    // Two files, a drawing and a PLT job's strokes: the list of designs shows too.
    QVERIFY(window.jobPanel()->openFiles({example("drawing.svg"), example("sample.plt")}));
    auto* sections = window.findChild<QToolBox*>(QStringLiteral("jobSections"));
    QVERIFY(sections);
    for (int i = 0; i < sections->count(); ++i) {
        sections->setCurrentIndex(i);
        QCoreApplication::processEvents();
        if (qEnvironmentVariableIsSet("KT_SHOTS"))
            window.grab().save(QStringLiteral("/tmp/w/sec%1-%2.png").arg(size.width()).arg(i));
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

// A traced picture laid out twice on a roll keeps its picture under each copy, and the
// preview spans the roll's width.
void tst_WindowLayout::picturesOnTheMaterial()
{
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(QRect(40, 10, 120, 80), Qt::black);
    picture.setDotsPerMeterX(3937); // 100 per inch: 50.8 x 25.4 mm
    picture.setDotsPerMeterY(3937);
    const QString file = dir.filePath(QStringLiteral("block.png"));
    QVERIFY(picture.save(file));
    MainWindow window(plugin());
    SheetPanel* sheet = window.jobPanel()->sheetPanel();
    sheet->findChild<QCheckBox*>(QStringLiteral("cutterMaterial"))->setChecked(false);
    sheet->findChild<QDoubleSpinBox*>(QStringLiteral("materialWidth"))->setValue(300);
    sheet->findChild<QSpinBox*>(QStringLiteral("repeat"))->setValue(2);
    QVERIFY2(window.jobPanel()->open(file), qPrintable(window.jobPanel()->refusal()));
    const auto job = window.jobPanel()->preparedJob();
    QCOMPARE(job->backdrops().size(), 2);
    // Each picture is centred on one of the two shapes cut side by side (within 0.5 mm).
    const QRectF all = ktconv::boundsOf(job->geometry().value(0));
    QRectF shapes[2];
    for (const ktconv::CutPath& path : job->geometry().value(0)) {
        const QRectF box = QPolygonF(path.points).boundingRect();
        shapes[box.center().x() < all.center().x() ? 0 : 1] |= box;
    }
    for (int i = 0; i < 2; ++i) {
        const QPointF centre = job->backdrops()[i].toPlotter.mapRect(QRectF(picture.rect())).center();
        QVERIFY2(QLineF(centre, shapes[i].center()).length() < 0.5 * ktconv::UnitsPerMm,
                 qPrintable(QStringLiteral("picture %1 off its shape").arg(i + 1)));
    }
    QVERIFY(window.preview()->scene()->sceneRect().width() >= 300);
}

QTEST_MAIN(tst_WindowLayout)
#include "tst_windowlayout.moc"
