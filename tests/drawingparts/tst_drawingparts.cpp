// The window's choice of what of a drawing is cut: layer and colour boxes, and the trace
// threshold slider that traces a picture again.
#include "drawingpartspanel.h"
#include "jobpanel.h"
#include "previewview.h"

#include "preparedjob.h"

#include <QCheckBox>
#include <QPainter>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

class tst_DrawingParts : public QObject
{
    Q_OBJECT

private slots:
    void boxesMakeTheChoice_data();
    void boxesMakeTheChoice();
    void thresholdSliderTracesAgain();
};

namespace {

QCheckBox* box(QWidget* panel, const QString& key)
{
    for (QCheckBox* b : panel->findChildren<QCheckBox*>()) {
        if (b->property("key").toString() == key)
            return b;
    }
    return nullptr;
}

} // namespace

// Each row: the boxes unchecked in turn, the layers and colours then chosen (empty: all),
// and the box left that can no longer be unchecked.
void tst_DrawingParts::boxesMakeTheChoice_data()
{
    QTest::addColumn<QStringList>("uncheck");
    QTest::addColumn<QStringList>("layers");
    QTest::addColumn<QStringList>("colours");
    QTest::addColumn<QString>("locked");
    QTest::newRow("all checked") << QStringList() << QStringList() << QStringList() << QString();
    QTest::newRow("one layer off") << QStringList{"Print"} << QStringList{"Cut", "Weed"} << QStringList() << QString();
    QTest::newRow("down to one layer") << QStringList{"Print", "Cut"} << QStringList{"Weed"} << QStringList()
                                       << QStringLiteral("Weed");
    QTest::newRow("one colour off") << QStringList{"#ff0000"} << QStringList() << QStringList{"#0000ff"}
                                    << QStringLiteral("#0000ff");
}

void tst_DrawingParts::boxesMakeTheChoice()
{
    QFETCH(QStringList, uncheck);
    QFETCH(QStringList, layers);
    QFETCH(QStringList, colours);
    QFETCH(QString, locked);
    DrawingPartsPanel panel;
    ktconv::DrawingParts parts;
    parts.layers = {{"Cut", 3}, {"Print", 1}, {"Weed", 2}};
    parts.colours = {{0xffff0000, 2}, {0xff0000ff, 4}};
    panel.showParts(parts, false);
    QSignalSpy changed(&panel, &DrawingPartsPanel::changed);
    for (const QString& key : uncheck)
        box(&panel, key)->setChecked(false);
    QCOMPARE(changed.count(), uncheck.size());
    const ktconv::InputOptions input = panel.input();
    QCOMPARE(input.choice.layers, layers);
    QStringList chosen;
    for (QRgb colour : input.choice.colours)
        chosen << ktconv::colourName(colour);
    QCOMPARE(chosen, colours);
    QCOMPARE(input.trace.threshold, -1);
    if (!locked.isEmpty())
        QVERIFY(!box(&panel, locked)->isEnabled());
}

// A dark disc and a light grey square: the slider decides which of them is traced.
void tst_DrawingParts::thresholdSliderTracesAgain()
{
    QImage picture(400, 200, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setDotsPerMeterX(11811); // 300 dpi
    picture.setDotsPerMeterY(11811);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40));
    painter.drawEllipse(QRectF(20, 20, 150, 150));
    painter.setBrush(QColor(170, 170, 170));
    painter.drawRect(QRectF(220, 40, 150, 120));
    painter.end();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(picture.save(file));
    PreviewView preview;
    JobPanel panel(&preview);
    QVERIFY(panel.open(file));
    auto* automatic = panel.findChild<QCheckBox*>(QStringLiteral("thresholdAutomatic"));
    auto* slider = panel.findChild<QSlider*>(QStringLiteral("threshold"));
    QVERIFY(automatic && slider && !slider->isEnabled());
    automatic->setChecked(false);
    for (const auto& [threshold, outlines] : {std::pair<int, int>{100, 1}, {200, 2}}) {
        slider->setValue(threshold);
        QVERIFY(panel.preparedJob());
        QCOMPARE(panel.preparedJob()->geometry().value(0).size(), outlines);
    }
}

QTEST_MAIN(tst_DrawingParts)
#include "tst_drawingparts.moc"
