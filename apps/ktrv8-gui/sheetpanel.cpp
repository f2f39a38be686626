#include "sheetpanel.h"

#include "materialdefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>

namespace {

QDoubleSpinBox* millimetres(const char* name, double most, const QString& atZero)
{
    auto* box = new QDoubleSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(0, most);
    box->setDecimals(1);
    box->setSuffix(SheetPanel::tr(" mm"));
    box->setSpecialValueText(atZero);
    return box;
}

} // namespace

SheetPanel::SheetPanel(QWidget* parent) : QWidget(parent)
{
    auto* form = new QFormLayout(this);
    cutterBox = new QCheckBox(tr("The cutter's loaded material"));
    cutterBox->setObjectName(QStringLiteral("cutterMaterial"));
    cutterBox->setToolTip(tr("The material kept for this cutter in the settings file, as ktrv8 uses it"));
    cutterBox->setChecked(true);
    auto* keep = new QPushButton(tr("Keep for this cutter"));
    keep->setObjectName(QStringLiteral("keepMaterial"));
    auto* cutterRow = new QHBoxLayout;
    cutterRow->addWidget(cutterBox, 1);
    cutterRow->addWidget(keep);
    form->addRow(cutterRow);
    widthBox = millimetres("materialWidth", 5000, tr("any"));
    form->addRow(tr("Material width"), widthBox);
    lengthBox = millimetres("materialLength", 100000, tr("a roll"));
    form->addRow(tr("Material length"), lengthBox);
    fitBox = new QCheckBox(tr("Scale down to fit"));
    fitBox->setObjectName(QStringLiteral("fit"));
    fitBox->setToolTip(tr("A job too big for the material is scaled down to fit rather than refused"));
    form->addRow(fitBox);
    repeatBox = new QSpinBox;
    repeatBox->setObjectName(QStringLiteral("repeat"));
    repeatBox->setRange(1, 999);
    repeatBox->setToolTip(tr("How many of each design go on the material"));
    form->addRow(tr("Of each design"), repeatBox);
    arrangeBox = new QComboBox;
    arrangeBox->setObjectName(QStringLiteral("arrange"));
    arrangeBox->addItem(tr("In rows"));
    arrangeBox->addItem(tr("Nested"));
    arrangeBox->setToolTip(tr("Nested: outlines packed against each other, turned by quarter turns where "
                              "that takes less material"));
    form->addRow(tr("Arrangement"), arrangeBox);
    gapBox = millimetres("gap", 1000, QString());
    gapBox->setValue(ktconv::ArrangeOptions().gapMm);
    form->addRow(tr("Gap between designs"), gapBox);

    const auto edited = [this] { emit changed(); };
    connect(cutterBox, &QCheckBox::toggled, this, [this] {
        showCutterMaterial();
        emit changed();
    });
    for (QDoubleSpinBox* box : {widthBox, lengthBox, gapBox})
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, edited);
    connect(repeatBox, QOverload<int>::of(&QSpinBox::valueChanged), this, edited);
    connect(arrangeBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, edited);
    connect(fitBox, &QCheckBox::toggled, this, edited);
    connect(keep, &QPushButton::clicked, this, &SheetPanel::keepForCutter);
    showCutterMaterial();
}

ktconv::SheetOptions SheetPanel::options() const
{
    ktconv::SheetOptions sheet;
    sheet.material.widthMm = widthBox->value();
    sheet.material.lengthMm = sheet.material.known() ? lengthBox->value() : 0;
    sheet.fit = fitBox->isChecked();
    sheet.repeat = repeatBox->value();
    sheet.arrange.how = arrangeBox->currentIndex() == 1 ? ktconv::Arrangement::Nest : ktconv::Arrangement::Rows;
    sheet.arrange.gapMm = gapBox->value();
    return sheet;
}

void SheetPanel::setCutter(const QString& name)
{
    cutterName = name;
    showCutterMaterial();
}

// While the cutter's material is used, the fields show it and are not typed in.
void SheetPanel::showCutterMaterial()
{
    const bool loaded = cutterBox->isChecked();
    widthBox->setEnabled(!loaded);
    lengthBox->setEnabled(!loaded);
    if (!loaded)
        return;
    const ktconv::Material material = MaterialDefaults::load(cutterName);
    const ktconv::SheetOptions before = options();
    const QSignalBlocker quietWidth(widthBox), quietLength(lengthBox);
    widthBox->setValue(material.widthMm);
    lengthBox->setValue(material.lengthMm);
    if (options().material.widthMm != before.material.widthMm
        || options().material.lengthMm != before.material.lengthMm)
        emit changed();
}

void SheetPanel::keepForCutter()
{
    QString error;
    const ktconv::Material material = options().material;
    if (!MaterialDefaults::save(cutterName, material, &error)) {
        emit report(error, true);
        return;
    }
    const QString which = cutterName.isEmpty() ? tr("any cutter") : cutterName;
    emit report(material.known() ? tr("Kept for %1: %2").arg(which, ktconv::materialText(material))
                                 : tr("No material kept for %1").arg(which),
                false);
}
