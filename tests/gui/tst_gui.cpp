// The desktop window, driven offscreen in-process and as the ktrv8-gui program, against
// the simulator over loopback.
#include "tst_gui.h"

#include <QCheckBox>
#include <QToolBox>

void cutTypedText(const QString& pluginPath, const QString& record); // texttool.cpp

void tst_Gui::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QFileInfo(ktBinary(QStringLiteral("ktrv8-gui"))).isExecutable());
    QVERIFY(QFileInfo(pluginPath()).exists());
    // The material a cutter has loaded is read from here, not from the user's settings.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
}

// One job through the whole control: start, pause, resume, then stop, which waits for the
// cutter's confirmation before the window calls the job ended.
void tst_Gui::cutStartPauseResumeStop()
{
    SimProcess sim({"--cut-ms", "400"});
    QVERIFY(sim.start());
    MainWindow window(pluginPath());
    window.show();
    QVERIFY(window.loadPlugin());
    // The USB nodes are whatever this machine has.
    click(&window, "findNodes");
    QTRY_VERIFY_WITH_TIMEOUT(window.log()->toPlainText().contains(QStringLiteral("USB node")), 20000);
    QCOMPARE(window.connectTo(simAddress(sim)), int(ExitOk));
    QVERIFY(window.linkState().contains(QStringLiteral("Connected")));
    QVERIFY(window.jobPanel()->open(sourceFile(QStringLiteral("examples/sample.plt"))));
    window.jobPanel()->setCopies(2);

    QSignalSpy finished(window.cutPanel(), &CutPanel::finished);
    click(&window, "startCut");
    QTRY_VERIFY_WITH_TIMEOUT(window.cutPanel()->progressText().contains(QStringLiteral("page")), 20000);
    QVERIFY(window.cutPanel()->isRunning());
    // The frame in the preview sits on a page of the first copy (the upper half of the sheet).
    QTRY_VERIFY(!window.preview()->highlighted().isEmpty());
    QVERIFY(window.preview()->highlighted().bottom() < window.preview()->sceneRect().center().y());

    click(&window, "pauseCut");
    QTRY_VERIFY_WITH_TIMEOUT(window.cutPanel()->isPaused(), 20000);
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("pauseCut"))->text(), QStringLiteral("Resume"));
    click(&window, "pauseCut");
    QTRY_VERIFY_WITH_TIMEOUT(!window.cutPanel()->isPaused(), 20000);

    click(&window, "stopCut");
    QVERIFY(window.cutPanel()->isRunning()); // until the cutter confirms
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().at(0).toInt(), int(ExitInterrupted));
    QCOMPARE(window.cutPanel()->lastExitCode(), int(ExitInterrupted));
    QVERIFY(!window.cutPanel()->isRunning());
    QVERIFY2(window.cutPanel()->resultText().contains(QStringLiteral("stopped by the user"), Qt::CaseInsensitive),
             qPrintable(window.cutPanel()->resultText()));
    QVERIFY(window.preview()->highlighted().isEmpty());
    // The window is ready for the next job on the same link.
    QVERIFY(window.isConnected());
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("startCut"))->isEnabled());
}

void tst_Gui::closingDuringACutStopsTheCutterFirst()
{
    const QString record = dir.filePath(QStringLiteral("closed-record.plt"));
    SimProcess sim({"--cut-ms", "2000", "--out", record});
    QVERIFY(sim.start());
    MainWindow window(pluginPath());
    window.show();
    QVERIFY(window.loadPlugin());
    QCOMPARE(window.connectTo(simAddress(sim)), int(ExitOk));
    QVERIFY(window.jobPanel()->open(sourceFile(QStringLiteral("examples/sample.plt"))));
    QSignalSpy finished(window.cutPanel(), &CutPanel::finished);
    click(&window, "startCut");
    QTRY_VERIFY_WITH_TIMEOUT(window.cutPanel()->progressText().contains(QStringLiteral("page 1")), 20000);
    QVERIFY(!window.close()); // not while the cutter works
    QVERIFY(window.isVisible());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().at(0).toInt(), int(ExitInterrupted));
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(readFile(record).size() < readFile(sourceFile(QStringLiteral("examples/sample.plt"))).size());
}

void tst_Gui::textToolCutsTypedText()
{
    cutTypedText(pluginPath(), dir.filePath(QStringLiteral("text-record.plt")));
}

// Each scanned code picks its job from the folder; the window follows copy by copy.
void tst_Gui::qrCodeJob()
{
    const QString jobs = dir.filePath(QStringLiteral("qr"));
    QVERIFY(QDir().mkpath(jobs));
    const QByteArray a1 = "IN;PU0,0;PD400,0;PG;\nPU0,0;PD0,400;PG;", b2 = "IN;PU0,0;PD400,400;PG;";
    for (const auto& [name, text] : {std::pair{"A1", a1}, {"B2", b2}}) {
        QFile file(jobs + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".plt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const QString record = dir.filePath(QStringLiteral("qr-record.plt"));
    SimProcess sim({"--qr", "B2,A1", "--out", record});
    QVERIFY(sim.start());
    MainWindow window(pluginPath());
    window.show();
    QVERIFY(window.loadPlugin());
    QCOMPARE(window.connectTo(simAddress(sim)), int(ExitOk));
    window.jobPanel()->setQrFolder(jobs);
    window.jobPanel()->setCopies(2);
    QSignalSpy finished(window.cutPanel(), &CutPanel::finished);
    click(&window, "startCut");
    QVERIFY(finished.wait(30000));
    QVERIFY2(finished.first().at(0).toInt() == ExitOk, qPrintable(finished.first().at(1).toString()));
    QCOMPARE(readFile(record), b2 + a1);
}

void tst_Gui::settingsReadAndApply_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<QString>("note");
    //                                 simulator                                  key       shown  wanted  note
    QTest::newRow("SPEED taken") << QStringList() << "SPEED" << 100 << 250 << "";
    QTest::newRow("MARGIN taken") << QStringList() << "MARGIN" << 20 << 35 << "";
    QTest::newRow("SPEED refused") << QStringList{"--refuse-keys", "SPEED"} << "SPEED" << 100 << 250
                                   << "refused by the cutter, which keeps 100 (asked 250)";
    QTest::newRow("MARGIN ignored") << QStringList{"--ignore-keys", "MARGIN"} << "MARGIN" << 20 << 35
                                    << "not applied: the cutter keeps 20 (asked 35)";
    // SPEED is never read: its editor shows a clamped value that Apply must not send.
    QTest::newRow("SPEED unread") << QStringList{"--silent-keys", "SPEED"} << "PRESSURE" << 300 << 301 << "";
}

// Read fills the rows the properties built; Apply writes the change, reads it back and
// notes beside the row what the cutter did not take.
void tst_Gui::settingsReadAndApply()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, key);
    QFETCH(int, shown);
    QFETCH(int, wanted);
    QFETCH(QString, note);
    SimProcess sim(simArgs);
    QVERIFY(sim.start());
    MainWindow window(pluginPath());
    window.show();
    QVERIFY(window.loadPlugin());
    QCOMPARE(window.connectTo(simAddress(sim)), int(ExitOk));
    auto* editor = window.settingsPanel()->findChild<QSpinBox*>(key);
    QVERIFY(editor);
    QCOMPARE(editor->value(), shown); // read on connection
    const bool silent = simArgs.contains(QStringLiteral("--silent-keys"));
    QCOMPARE(window.settingsPanel()->note(QStringLiteral("SPEED")),
             silent ? QStringLiteral("no answer from the cutter") : QString());

    editor->setValue(wanted);
    QSignalSpy reports(window.settingsPanel(), &SettingsPanel::report);
    click(&window, "applySettings");
    QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty(), 20000);
    QVERIFY2(window.settingsPanel()->note(key).contains(note), qPrintable(window.settingsPanel()->note(key)));
    QVERIFY2(reports.first().at(1).toBool() == !note.isEmpty(), qPrintable(reports.first().at(0).toString()));
    QCOMPARE(editor->value(), note.isEmpty() ? wanted : shown);

    // What the cutter holds is what a fresh Read shows.
    editor->setValue(shown == 100 ? 111 : 21);
    click(&window, "readSettings");
    QTRY_COMPARE_WITH_TIMEOUT(editor->value(), note.isEmpty() ? wanted : shown, 20000);
}

// clang-format off
void tst_Gui::refusedFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("NUL byte") << QByteArray("IN;PA;PU0,0;\0PD10,10;PG;", 24) << "byte 12 is a NUL byte";
    QTest::newRow("ETX in a label") << QByteArray("IN;PA;LBtext\x03;PG;") << "byte 12 is an ETX byte";
    QTest::newRow("UTF-16") << QByteArray("\xff\xfeI\0N\0;\0", 8) << "UTF-16 text";
    QTest::newRow("executable") << QByteArray("\x7f" "ELF\x02\x01\x01") << "an executable";
    QTest::newRow("HTML") << QByteArray("<html><body>IN;PD1,1;</body></html>") << "not an SVG drawing";
    QTest::newRow("empty") << QByteArray("  \n") << "the file is empty";
    QTest::newRow("drawing without shapes") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"/>") << "no visible shape";
    QTest::newRow("text with a character no font has") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"><text y=\"8\" font-family=\"DejaVu Sans\">A\xcd\xb8</text></svg>") << "\"\u0378\" (U+0378) in the text";
}
// clang-format on

// A file that cannot be cut is refused in the panel, plainly, and nothing can start.
void tst_Gui::refusedFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = dir.filePath(
        QStringLiteral("refused-%1.plt").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    SimProcess sim({"--out", dir.filePath(QStringLiteral("refused-record.plt"))});
    QVERIFY(sim.start());
    MainWindow window(pluginPath());
    window.show();
    QVERIFY(window.loadPlugin());
    QCOMPARE(window.connectTo(simAddress(sim)), int(ExitOk));
    QVERIFY(window.jobPanel()->open(sourceFile(QStringLiteral("examples/sample.plt"))));
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("startCut"))->isEnabled());

    QVERIFY(!window.jobPanel()->open(path));
    auto* shown = window.findChild<QLabel*>(QStringLiteral("jobRefusal"));
    QVERIFY(shown && shown->isVisible());
    QVERIFY2(shown->text().contains(reason), qPrintable(shown->text()));
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("startCut"))->isEnabled());
    QVERIFY(readFile(dir.filePath(QStringLiteral("refused-record.plt"))).isEmpty());
    if (content.contains("<text")) { // the person may have it cut without the character
        window.findChild<QCheckBox*>(QStringLiteral("withoutMissingGlyphs"))->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QPushButton*>(QStringLiteral("startCut"))->isEnabled(), 20000);
        QVERIFY(!shown->isVisible());
    }
}

void tst_Gui::scriptedCutAndScreenshot_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<QStringList>("simArgs"); // "--port 1": nobody listens there
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("copiesRecorded"); // -1: not checked
    QTest::newRow("two copies") << "examples/sample.plt" << QStringList() << int(ExitOk) << 2;
    QTest::newRow("refused file") << "README.md" << QStringList() << int(ExitUsage) << 0;
    QTest::newRow("no cutter") << "examples/sample.plt" << QStringList{"--port", "1"} << int(ExitNoConnection) << 0;
    QTest::newRow("link dropped at once")
        << "examples/sample.plt" << QStringList{"--drop-after", "2"} << int(ExitDisconnected) << 0;
    QTest::newRow("link dropped in the job")
        << "examples/sample.plt" << QStringList{"--drop-after", "16"} << int(ExitDisconnected) << -1;
}

// The command line of demos and CI: both copies cut on the simulator, the exit code of
// "ktrv8 cut", and a picture of the window that shows the job.
void tst_Gui::scriptedCutAndScreenshot()
{
    QFETCH(QString, job);
    QFETCH(QStringList, simArgs);
    QFETCH(int, exitCode);
    QFETCH(int, copiesRecorded);
    const QString record = dir.filePath(
        QStringLiteral("scripted-%1.plt").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
    const bool nobody = simArgs.contains(QStringLiteral("--port"));
    SimProcess sim(QStringList{"--out", record} + (nobody ? QStringList() : simArgs));
    QVERIFY(sim.start());
    const quint16 port = nobody ? 1 : sim.port;
    const QString shot = dir.filePath(
        QStringLiteral("shot-%1.png").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
    QProcess gui;
    gui.start(ktBinary(QStringLiteral("ktrv8-gui")),
              {"--tcp", QStringLiteral("127.0.0.1:%1").arg(port), "--open", sourceFile(job), "--copies", "2", "--start",
               "--quit-when-done", "--screenshot", shot});
    QVERIFY(gui.waitForFinished(60000));
    QVERIFY2(gui.exitStatus() == QProcess::NormalExit && gui.exitCode() == exitCode,
             gui.readAllStandardError().constData());
    if (copiesRecorded >= 0)
        QCOMPARE(readFile(record),
                 readFile(sourceFile(QStringLiteral("examples/sample.plt"))).repeated(copiesRecorded));

    // The picture is the whole window, whatever the end.
    const QImage image(shot);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() >= 800 && image.height() >= 500);
    // Not blank: frame, texts and the preview give many colours; the preview's cut colour
    // (blue) is in the left half exactly when a job was opened.
    QSet<QRgb> colours;
    int cutPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width() / 2; ++x) {
            const QColor c = image.pixelColor(x, y);
            colours.insert(c.rgb());
            cutPixels += c.blue() - c.red() > 60;
        }
    }
    QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
    QVERIFY2((cutPixels > 50) == (exitCode != ExitUsage), qPrintable(QString::number(cutPixels)));
}

// clang-format off
void tst_Gui::windowLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("settingsTab");
    QTest::addColumn<QString>("sheetSection");
    QTest::newRow("ja_JP") << "ja_JP" << "開始" << "設定" << "素材と配置";
    QTest::newRow("zh_CN") << "zh_CN" << "开始" << "设置" << "材料和排布";
}
// clang-format on

// The window's own texts come from its compiled translations beside the program.
void tst_Gui::windowLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, start);
    QFETCH(QString, settingsTab);
    QFETCH(QString, sheetSection);
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral("ktrv8-gui_") + locale, ktBinary(QStringLiteral("translations"))));
    QCoreApplication::installTranslator(&translator);
    MainWindow window(pluginPath());
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("startCut"))->text(), start);
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("sideTabs"));
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(1), settingsTab);
    auto* sections = window.findChild<QToolBox*>(QStringLiteral("jobSections"));
    QVERIFY(sections);
    QCOMPARE(sections->itemText(1), sheetSection);
}

QTEST_MAIN(tst_Gui)
#include "tst_gui.moc"
