#include "settingsedits.h"

#include "cutterconnection.h"
#include "settingsaccess.h"

#include "ktdeviceproperty.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QSpinBox>

void SettingsEdits::watch(QWidget* row, const QString& key)
{
    auto mark = [this, key] {
        if (!filling)
            edited.insert(key);
    };
    for (auto* box : row->findChildren<QSpinBox*>())
        connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, mark);
    for (auto* box : row->findChildren<QDoubleSpinBox*>())
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, mark);
    for (auto* box : row->findChildren<QComboBox*>())
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, mark);
    for (auto* edit : row->findChildren<QLineEdit*>()) {
        if (!qobject_cast<QAbstractSpinBox*>(edit->parent()))
            connect(edit, &QLineEdit::textEdited, this, mark);
    }
}

void SettingsEdits::fill(CutterConnection& link, const QStringList& keys)
{
    {
        const QScopedValueRollback<bool> quiet(filling, true);
        for (const QString& key : keys) {
            if (KTDeviceProperty* p = link.property(key))
                p->to_ui_ctrl();
        }
    }
    edited.clear();
}

QStringList SettingsEdits::take(CutterConnection& link, const SettingsAccess& settings, const QStringList& keys)
{
    QStringList changed;
    for (const QString& key : keys) {
        KTDeviceProperty* p = link.property(key);
        if (!edited.contains(key) || !p)
            continue;
        const QString was = settings.shown(key);
        p->from_ui_ctrl();
        if (settings.shown(key) == was)
            continue;
        changed << key;
    }
    return changed;
}
