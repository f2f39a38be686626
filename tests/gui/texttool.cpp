// Lettering typed into the window's text tool and cut on the simulator process.
#include "simprocess.h"

#include "cutpanel.h"
#include "hpglreader.h"
#include "jobpanel.h"
#include "mainwindow.h"
#include "texttool.h"

#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace ktconv;

void cutTypedText(const QString& pluginPath, const QString& record)
{
    SimProcess sim({"--out", record});
    QVERIFY(sim.start());
    MainWindow window(pluginPath);
    window.show();
    QVERIFY(window.loadPlugin());
    Address address;
    address.host = QStringLiteral("127.0.0.1");
    address.port = sim.port;
    QCOMPARE(window.connectTo(address), int(ExitOk));
    auto* tool = window.findChild<TextTool*>();
    QVERIFY(tool);
    auto* text = tool->findChild<QPlainTextEdit*>(QStringLiteral("letteringText"));
    tool->findChild<QFontComboBox*>()->setCurrentFont(QFont(QStringLiteral("DejaVu Sans")));
    tool->findChild<QDoubleSpinBox*>(QStringLiteral("letteringHeight"))->setValue(20);

    // A character no installed font has is refused by name, and never becomes the job.
    text->setPlainText(QString::fromUtf8("H\xee\x80\x80"));
    QVERIFY(!tool->apply());
    QVERIFY2(tool->problem().contains(QStringLiteral("U+E000")), qPrintable(tool->problem()));
    QVERIFY(!window.jobPanel()->isReady());

    text->setPlainText(QStringLiteral("HI"));
    QSignalSpy finished(window.cutPanel(), &CutPanel::finished);
    tool->findChild<QPushButton*>(QStringLiteral("cutText"))->click();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().at(0).toInt(), int(ExitOk));
    QCOMPARE(window.jobPanel()->preparedJob()->path(), QStringLiteral("\"HI\""));

    // What the cutter received: an H and an I, as tall as the capital height asked.
    CutPaths received;
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const CutPaths& page : readPltPages(file.readAll()))
        received += page;
    QCOMPARE(received.size(), 2);
    const double heightMm = boundsOf(received).height() / UnitsPerMm;
    QVERIFY2(std::abs(heightMm - 20) < 0.1, qPrintable(QString::number(heightMm)));
}
