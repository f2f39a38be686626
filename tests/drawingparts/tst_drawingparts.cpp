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

// All boxes checked choose everything; each box unchecked narrows the choice, and the last
// one left in a group cannot be unchecked.
void tst_DrawingParts::boxesMakeTheChoice()
{
    DrawingPartsPanel panel;
    ktconv::DrawingParts parts;
    parts.layers = {{"Cut", 3}, {"Print", 1}, {"Weed", 2}};
    parts.colours = {{0xffff0000, 2}, {0xff0000ff, 4}};
    panel.showParts(parts, false);
    QSignalSpy changed(&panel, &DrawingPartsPanel::changed);
    QVERIFY(panel.input().choice.layers.isEmpty() && panel.input().choice.colours.isEmpty());
    box(&panel, "Print")->setChecked(false);
    QCOMPARE(panel.input().choice.layers, QStringList({"Cut", "Weed"}));
    box(&panel, "Cut")->setChecked(false);
    QVERIFY(!box(&panel, "Weed")->isEnabled());
    box(&panel, "#ff0000")->setChecked(false);
    QCOMPARE(panel.input().choice.colours, QVector<QRgb>{0xff0000ff});
    QCOMPARE(changed.count(), 3);
    QCOMPARE(panel.input().trace.threshold, -1);
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
        // The picture is traced again off the window's thread.
        QSignalSpy traced(&panel, &JobPanel::loaded);
        slider->setValue(threshold);
        QVERIFY(traced.wait(20000));
        QVERIFY(panel.preparedJob());
        QCOMPARE(panel.preparedJob()->geometry().value(0).size(), outlines);
    }
}

QTEST_MAIN(tst_DrawingParts)
#include "tst_drawingparts.moc"
