#include "cutoptionspanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>

CutOptionsPanel::CutOptionsPanel(QWidget* parent) : QWidget(parent)
{
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    scale = number("scale", 100, QString(), 0.1);
    scale->setMinimum(0.01);
    scale->setValue(1);
    scale->setToolTip(tr("Size factor; a width or height below takes its place"));
    form->addRow(tr("Scale"), scale);
    width = number("width", 10000, tr(" mm"));
    width->setSpecialValueText(tr("as drawn"));
    height = number("height", 10000, tr(" mm"));
    height->setSpecialValueText(tr("as drawn"));
    auto* size = new QHBoxLayout;
    size->addWidget(width);
    size->addWidget(height);
    form->addRow(tr("Width × height"), size);
    rotate = new QComboBox;
    rotate->setObjectName(QStringLiteral("rotate"));
    for (int degrees : {0, 90, 180, 270})
        rotate->addItem(tr("%1°").arg(degrees), degrees);
    form->addRow(tr("Rotate"), rotate);
    mirror = new QCheckBox(tr("Mirror (cut from the back)"));
    mirror->setObjectName(QStringLiteral("mirror"));
    form->addRow(mirror);
    originX = number("originX", 10000, tr(" mm"));
    originY = number("originY", 10000, tr(" mm"));
    auto* origin = new QHBoxLayout;
    origin->addWidget(originX);
    origin->addWidget(originY);
    form->addRow(tr("Origin x, y"), origin);
    weedBox = number("weedBox", 100, tr(" mm"));
    weedBox->setSpecialValueText(tr("none"));
    weedBox->setToolTip(tr("A rectangle around the design at this margin, cut last"));
    form->addRow(tr("Weed box"), weedBox);
    overcut = number("overcut", 10, tr(" mm"), 0.1);
    overcut->setSpecialValueText(tr("none"));
    overcut->setToolTip(tr("Closed shapes are cut on past their start by this much"));
    form->addRow(tr("Overcut"), overcut);
    toolOffset = number("toolOffset", 5, tr(" mm"), 0.05);
    toolOffset->setSpecialValueText(tr("none"));
    toolOffset->setToolTip(tr("Drag knife: how far the blade tip trails its axis"));
    form->addRow(tr("Tool offset"), toolOffset);
    keepOrder = new QCheckBox(tr("Keep the drawing's order"));
    keepOrder->setToolTip(tr("Cut as drawn: no inner shapes first, no nearest next"));
    keepOrder->setObjectName(QStringLiteral("keepOrder"));
    form->addRow(keepOrder);
    withoutMissing = new QCheckBox(tr("Cut without missing characters"));
    withoutMissing->setToolTip(tr("Text with characters no installed font has is cut without them, "
                                  "each named, instead of being refused"));
    withoutMissing->setObjectName(QStringLiteral("withoutMissingGlyphs"));
    form->addRow(withoutMissing);
    connect(rotate, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CutOptionsPanel::changed);
    connect(mirror, &QCheckBox::toggled, this, &CutOptionsPanel::changed);
    connect(keepOrder, &QCheckBox::toggled, this, &CutOptionsPanel::changed);
    connect(withoutMissing, &QCheckBox::toggled, this, &CutOptionsPanel::changed);
}

QDoubleSpinBox* CutOptionsPanel::number(const char* name, double max, const QString& suffix, double step)
{
    auto* box = new QDoubleSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(0, max);
    box->setDecimals(2);
    box->setSingleStep(step);
    box->setSuffix(suffix);
    box->setKeyboardTracking(false); // one new preview per finished entry, not per key
    connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &CutOptionsPanel::changed);
    return box;
}

ktconv::CutOptions CutOptionsPanel::options() const
{
    ktconv::CutOptions o;
    o.scale = scale->value();
    o.widthMm = width->value();
    o.heightMm = height->value();
    o.rotate = rotate->currentData().toInt();
    o.mirror = mirror->isChecked();
    o.originMm = QPointF(originX->value(), originY->value());
    o.weedBoxMm = weedBox->value();
    o.overcutMm = overcut->value();
    o.toolOffsetMm = toolOffset->value();
    o.keepOrder = keepOrder->isChecked();
    return o;
}

ktconv::InputOptions CutOptionsPanel::input(ktconv::InputOptions base) const
{
    base.allowMissingGlyphs = withoutMissing->isChecked();
    return base;
}

QString CutOptionsPanel::explained(const QString& refusal)
{
    if (!ktconv::refusedForMissingGlyphs(refusal))
        return refusal;
    return tr("%1\n\"Cut without missing characters\" cuts the rest.").arg(refusal);
}
