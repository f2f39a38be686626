#include "drawingpartspanel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QSlider>
#include <QVBoxLayout>
#include <QVariant>

DrawingPartsPanel::DrawingPartsPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    trace = new QWidget;
    auto* row = new QHBoxLayout(trace);
    row->setContentsMargins(0, 0, 0, 0);
    automatic = new QCheckBox(tr("Automatic"));
    automatic->setObjectName(QStringLiteral("thresholdAutomatic"));
    automatic->setChecked(true);
    threshold = new QSlider(Qt::Horizontal);
    threshold->setObjectName(QStringLiteral("threshold"));
    threshold->setRange(0, 255);
    threshold->setValue(128);
    threshold->setEnabled(false);
    // Traced again when the slider is let go, not at every step of a drag.
    threshold->setTracking(false);
    threshold->setToolTip(tr("Outlines go round what is darker than this"));
    thresholdValue = new QLabel;
    row->addWidget(new QLabel(tr("Threshold")));
    row->addWidget(automatic);
    row->addWidget(threshold, 1);
    row->addWidget(thresholdValue);
    layout->addWidget(trace);
    layerGroup = new QGroupBox(tr("Layers"));
    layerGroup->setObjectName(QStringLiteral("layers"));
    new QVBoxLayout(layerGroup);
    colourGroup = new QGroupBox(tr("Colours"));
    colourGroup->setObjectName(QStringLiteral("colours"));
    new QVBoxLayout(colourGroup);
    layout->addWidget(layerGroup);
    layout->addWidget(colourGroup);
    clear();

    connect(automatic, &QCheckBox::toggled, this, [this](bool on) {
        threshold->setEnabled(!on);
        emit changed();
    });
    connect(threshold, &QSlider::valueChanged, this, &DrawingPartsPanel::changed);
    connect(threshold, &QSlider::sliderMoved, thresholdValue, QOverload<int>::of(&QLabel::setNum));
    connect(threshold, &QSlider::valueChanged, thresholdValue, QOverload<int>::of(&QLabel::setNum));
    thresholdValue->setNum(threshold->value());
}

void DrawingPartsPanel::clear()
{
    qDeleteAll(layers);
    qDeleteAll(colours);
    layers.clear();
    colours.clear();
    trace->hide();
    layerGroup->hide();
    colourGroup->hide();
}

void DrawingPartsPanel::showParts(const ktconv::DrawingParts& parts, bool picture)
{
    clear();
    trace->setVisible(picture);
    auto* layerLayout = static_cast<QVBoxLayout*>(layerGroup->layout());
    for (const auto& layer : parts.layers)
        layers << addBox(layerLayout, tr("%1 (%n path(s))", nullptr, layer.second).arg(layer.first), layer.first);
    auto* colourLayout = static_cast<QVBoxLayout*>(colourGroup->layout());
    for (const auto& colour : parts.colours) {
        const QString name = ktconv::colourName(colour.first);
        QPixmap swatch(12, 12);
        swatch.fill(QColor(colour.first));
        colours << addBox(colourLayout, tr("%1 (%n path(s))", nullptr, colour.second).arg(name), name);
        colours.last()->setIcon(swatch);
    }
    layerGroup->setVisible(!layers.isEmpty());
    colourGroup->setVisible(colours.size() > 1);
}

// The last box left checked cannot be unchecked: a choice of nothing cuts nothing.
QCheckBox* DrawingPartsPanel::addBox(QVBoxLayout* layout, const QString& text, const QString& key)
{
    auto* box = new QCheckBox(text);
    box->setProperty("key", key);
    box->setChecked(true);
    layout->addWidget(box);
    connect(box, &QCheckBox::toggled, this, [this, box] {
        const QList<QCheckBox*>& group = layers.contains(box) ? layers : colours;
        const QStringList on = checked(group);
        for (QCheckBox* other : group)
            other->setEnabled(on.size() > 1 || !other->isChecked());
        emit changed();
    });
    return box;
}

QStringList DrawingPartsPanel::checked(const QList<QCheckBox*>& boxes) const
{
    QStringList keys;
    for (const QCheckBox* box : boxes) {
        if (box->isChecked())
            keys << box->property("key").toString();
    }
    return keys;
}

ktconv::InputOptions DrawingPartsPanel::input(ktconv::InputOptions base) const
{
    base.trace.threshold = automatic->isChecked() ? -1 : threshold->value();
    base.choice = ktconv::DrawingChoice();
    const QStringList layerKeys = checked(layers), colourKeys = checked(colours);
    if (layerKeys.size() < layers.size())
        base.choice.layers = layerKeys;
    if (colourKeys.size() < colours.size()) {
        for (const QString& name : colourKeys)
            base.choice.colours << QColor(name).rgb();
    }
    return base;
}
