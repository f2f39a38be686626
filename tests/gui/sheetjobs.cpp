// Several files on one material in the window: what the simulator receives, and a job too
// big for the material refused before Start.
#include "tst_gui.h"

#include "hpglreader.h"
#include "sheetpanel.h"

#include <QCheckBox>
#include <QDoubleSpinBox>

namespace {

QString writeRect(const QString& path, int widthMm, int heightMm)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='%1mm' height='%2mm' viewBox='0 0 %1 %2'>"
                              "<rect width='%1' height='%2' fill='none' stroke='black'/></svg>\n")
                   .arg(widthMm)
                   .arg(heightMm)
                   .toUtf8());
    return path;
}

} // namespace

void tst_Gui::severalFilesOnTheMaterial_data()
{
    QTest::addColumn<double>("widthMm");
    QTest::addColumn<double>("lengthMm");
    QTest::addColumn<int>("rows");        // of designs the simulator receives; 0: refused
    QTest::addColumn<QString>("refusal"); // what the refusal names: the job's size and the material's
    // 20 x 10 mm and 10 x 10 mm, two of each, 5 mm apart: 20+5+20+5+10+5+10 = 75 mm in one row.
    QTest::newRow("one row on a 100 mm roll") << 100.0 << 0.0 << 1 << QString();
    QTest::newRow("two rows on a 50 mm roll") << 50.0 << 0.0 << 2 << QString();
    QTest::newRow("two rows on a long enough sheet") << 50.0 << 30.0 << 2 << QString();
    QTest::newRow("two rows: longer than a 20 mm sheet")
        << 50.0 << 20.0 << 0 << "45.0 x 25.0 mm, longer than the material (50.0 x 20.0 mm sheet)";
}

void tst_Gui::severalFilesOnTheMaterial()
{
    QFETCH(double, widthMm);
    QFETCH(double, lengthMm);
    QFETCH(int, rows);
    QFETCH(QString, refusal);
    const QStringList files{writeRect(dir.filePath(QStringLiteral("wide.svg")), 20, 10),
                            writeRect(dir.filePath(QStringLiteral("square.svg")), 10, 10)};
    const QString record = dir.filePath(QStringLiteral("sheet.plt"));
    QFile::remove(record);
    SimProcess sim({"--out", record});
    QVERIFY(sim.start());
    MainWindow window(pluginPath());
    window.show();
    QVERIFY(window.loadPlugin());
    QCOMPARE(window.connectTo(simAddress(sim)), int(ExitOk));
    SheetPanel* sheet = window.jobPanel()->sheetPanel();
    sheet->findChild<QCheckBox*>(QStringLiteral("cutterMaterial"))->setChecked(false);
    sheet->findChild<QDoubleSpinBox*>(QStringLiteral("materialWidth"))->setValue(widthMm);
    sheet->findChild<QDoubleSpinBox*>(QStringLiteral("materialLength"))->setValue(lengthMm);
    sheet->findChild<QSpinBox*>(QStringLiteral("repeat"))->setValue(2);
    QCOMPARE(window.jobPanel()->openFiles(files), rows > 0);
    auto* start = window.findChild<QPushButton*>(QStringLiteral("startCut"));
    const QString summary = window.findChild<QLabel*>(QStringLiteral("jobSummary"))->text();
    if (rows == 0) {
        // Refused with both sizes, in the panel and the summary; Start stays off and says why.
        QVERIFY2(window.jobPanel()->refusal().contains(refusal), qPrintable(window.jobPanel()->refusal()));
        QVERIFY2(summary.contains(refusal), qPrintable(summary));
        QVERIFY(!start->isEnabled());
        QVERIFY2(start->toolTip().contains(refusal), qPrintable(start->toolTip()));
        return;
    }
    QVERIFY2(summary.contains(lengthMm > 0 ? QStringLiteral("On a %1.0 × %2.0 mm sheet").arg(widthMm).arg(lengthMm)
                                           : QStringLiteral("On a %1.0 mm wide roll").arg(widthMm)),
             qPrintable(summary));
    QSignalSpy finished(window.cutPanel(), &CutPanel::finished);
    click(&window, "startCut");
    QVERIFY(finished.wait(30000));
    QVERIFY2(finished.first().at(0).toInt() == ExitOk, qPrintable(finished.first().at(1).toString()));
    // The simulator got the job as laid out: four rectangles, in the rows the width allows,
    // within the material.
    const QByteArray received = readFile(record);
    QCOMPARE(QString::fromLatin1(received), window.jobPanel()->preparedJob()->text());
    ktconv::CutPaths cut;
    for (const ktconv::CutPaths& page : ktconv::readPltPages(received))
        cut += page;
    QCOMPARE(cut.size(), 4);
    // The designs of a row start on one line across the material.
    QSet<int> rowStarts;
    for (const ktconv::CutPath& path : cut)
        rowStarts.insert(qRound(QPolygonF(path.points).boundingRect().top()));
    QCOMPARE(rowStarts.size(), rows);
    QVERIFY(ktconv::boundsOf(cut).right() <= widthMm * ktconv::UnitsPerMm);
}
