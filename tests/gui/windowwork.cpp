// The window at work: a big drawing converted while the window answers, a setting typed
// out of its range refused, and Resume after a lost link, against the simulator.
#include "tst_gui.h"

#include "jobconversion.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QThreadPool>

// A tenth of the drawing in the sanitizer build still takes seconds.
#ifdef KT_SLOW_BUILD
constexpr int BigDrawingSquares = 8000;
#else
constexpr int BigDrawingSquares = 80000;
#endif

// The conversion runs off the window's thread: a timer of the window keeps firing while it
// runs, the panel says how far it got, and a file opened meanwhile takes its place.
void tst_Gui::conversionKeepsTheWindowAnswering()
{
    const QString big = dir.filePath(QStringLiteral("big.svg"));
    QFile file(big);
    // 160 000 paths (16 000 in a sanitizer build): squares each with a smaller one inside.
    const QByteArray squares = QByteArray("<rect width='8' height='8'/><rect x='.5' y='.5' width='7' height='7'/>\n");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<svg xmlns='http://www.w3.org/2000/svg' width='10mm' height='10mm' viewBox='0 0 10 10' fill='none' "
               "stroke='black'>\n"
               + squares.repeated(BigDrawingSquares) + "</svg>\n");
    file.close();
    MainWindow window(pluginPath());
    window.show();
    QSignalSpy progress(window.jobPanel()->findChild<JobConversion*>(), &JobConversion::progress);
    QSignalSpy loaded(window.jobPanel(), &JobPanel::loaded);
    EventGaps gaps;
    window.jobPanel()->openLater(big);
    QVERIFY(!window.jobPanel()->isReady());
    QVERIFY(loaded.wait(120000));
    const qint64 took = gaps.stop();
    QVERIFY(loaded.first().at(0).toBool() && progress.isValid());
    QVERIFY2(took > 1500, qPrintable(QStringLiteral("converted in %1 ms: too quick to tell").arg(took)));
    QVERIFY2(gaps.longest < took / 3, qPrintable(gaps.text(took)));
    QVERIFY(!progress.isEmpty() && progress.last().at(0) == QStringLiteral("writing"));

    // Superseded: the drawing's result never lands over the PLT job opened after it.
    loaded.clear();
    window.jobPanel()->openLater(big);
    window.jobPanel()->openLater(sourceFile(QStringLiteral("examples/sample.plt")));
    QVERIFY(loaded.wait(60000));
    QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
    QCoreApplication::processEvents();
    QCOMPARE(loaded.size(), 1);
    QVERIFY(window.jobPanel()->pageCount() == 3 && !window.jobPanel()->isDrawing());
}

// 350 typed into the 10 to 300 speed stays 350, is refused beside the row with the range,
// and Apply waits; the cutter keeps its speed. What the cutter only reports is read-only.
void tst_Gui::settingOutOfRangeIsRefused()
{
    SimProcess sim({});
    QVERIFY(sim.start());
    MainWindow window(pluginPath());
    window.show();
    QVERIFY(window.loadPlugin());
    QCOMPARE(window.connectTo(simAddress(sim)), int(ExitOk));
    QVERIFY(window.settingsPanel()->findChild<QLineEdit*>(QStringLiteral("FIRMWARE"))->isReadOnly());
    auto* speed = window.settingsPanel()->findChild<QSpinBox*>(QStringLiteral("SPEED"));
    QVERIFY(speed);
    speed->selectAll();
    QTest::keyClicks(speed, QStringLiteral("350"));
    QCOMPARE(speed->text(), QStringLiteral("350"));
    QVERIFY2(window.settingsPanel()->note(QStringLiteral("SPEED")).contains(QStringLiteral("10 – 300")),
             qPrintable(window.settingsPanel()->note(QStringLiteral("SPEED"))));
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("applySettings"))->isEnabled());
    QSignalSpy reports(window.settingsPanel(), &SettingsPanel::report);
    window.settingsPanel()->apply();
    QVERIFY(reports.size() == 1 && reports.first().at(1).toBool());

    // Put right, the row may be applied.
    speed->selectAll();
    QTest::keyClicks(speed, QStringLiteral("250"));
    QVERIFY(window.settingsPanel()->note(QStringLiteral("SPEED")).isEmpty());
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("applySettings"))->isEnabled());
}

// A job whose link went down part-way goes on, on the next link, from its first page the
// cutter did not confirm: exactly the rest of the file reaches the cutter. While it cuts,
// the status bar says where the job is and the job's fields are closed.
void tst_Gui::resumeAfterALostLink()
{
    SimProcess lost({"--drop-after", "16", "--cut-ms", "300"});
    QVERIFY(lost.start());
    MainWindow window(pluginPath());
    window.show();
    QVERIFY(window.loadPlugin());
    QCOMPARE(window.connectTo(simAddress(lost)), int(ExitOk));
    const QString sample = sourceFile(QStringLiteral("examples/sample.plt"));
    QVERIFY(window.jobPanel()->open(sample));
    QSignalSpy finished(window.cutPanel(), &CutPanel::finished);
    click(&window, "startCut");
    QTRY_VERIFY_WITH_TIMEOUT(window.linkState().contains(QStringLiteral("(cutting: Copy 1 of 1, page")), 20000);
    QVERIFY(!window.jobPanel()->isEnabled());
    QVERIFY(window.findChild<QLineEdit*>(QStringLiteral("cloudUrl"))->isReadOnly());
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().at(0).toInt(), int(ExitDisconnected));
    const QRegularExpressionMatch from =
        QRegularExpression(QStringLiteral("from page (\\d+) of copy 1")).match(window.cutPanel()->resultText());
    QVERIFY2(from.hasMatch(), qPrintable(window.cutPanel()->resultText()));
    const int page = from.captured(1).toInt();

    const QString record = dir.filePath(QStringLiteral("resumed.plt"));
    SimProcess next({"--out", record});
    QVERIFY(next.start());
    window.disconnectFromCutter();
    QCOMPARE(window.connectTo(simAddress(next)), int(ExitOk));
    finished.clear();
    click(&window, "resumeJob");
    QVERIFY(finished.wait(30000));
    QVERIFY2(finished.first().at(0).toInt() == ExitOk, qPrintable(finished.first().at(1).toString()));
    const QByteArray whole = readFile(sample);
    int rest = 0;
    for (int i = 1; i < page; ++i)
        rest = whole.indexOf("PG;", rest) + 3;
    QCOMPARE(readFile(record), whole.mid(rest));
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("resumeJob"))->isVisible());
}
