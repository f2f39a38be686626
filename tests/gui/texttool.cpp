// Lettering typed into the window's text tool and cut on the simulator process.
#include "simprocess.h"

#include "cutpanel.h"
#include "hpglreader.h"
#include "jobpanel.h"
#include "mainwindow.h"
#include "texttool.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QLabel>
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
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("jobFile"))->text(), QStringLiteral("\"HI\""));

    // What the cutter received: an H and an I, as tall as the capital height asked.
    CutPaths received;
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const CutPaths& page : readPltPages(file.readAll()))
        received += page;
    QCOMPARE(received.size(), 2);
    const double heightMm = boundsOf(received).height() / UnitsPerMm;
    QVERIFY2(std::abs(heightMm - 20) < 0.1, qPrintable(QString::number(heightMm)));

    // Weld joins a script word in the job the preview draws: fewer, shorter outlines.
    tool->findChild<QFontComboBox*>()->setCurrentFont(QFont(QStringLiteral("Dancing Script")));
    text->setPlainText(QStringLiteral("minimum"));
    QVERIFY(tool->apply());
    const CutPaths apart = window.jobPanel()->preparedJob()->geometry().value(0);
    tool->findChild<QCheckBox*>(QStringLiteral("letteringWeld"))->setChecked(true);
    QVERIFY(tool->apply());
    const CutPaths welded = window.jobPanel()->preparedJob()->geometry().value(0);
    QVERIFY2(welded.size() < apart.size(), qPrintable(QStringLiteral("%1 / %2").arg(welded.size()).arg(apart.size())));
    QVERIFY(penDownLength(welded) < penDownLength(apart));
}
