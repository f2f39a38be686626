// The input rows a property builds for itself from its "WIDGET" descriptor, and the copies
// between its value and the editor. Nothing is wired: the host decides when to copy.
#include "ktdeviceproperty.h"
#include "ktlogging_p.h"
#include "ktpropertyrules_p.h"
#include "ktsurvives_p.h"

#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPair>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QVector>
#include <QWidget>

#include <cmath>
#include <limits>

namespace {

const char* const WidgetKey = "WIDGET";
constexpr int EditorHeight = 28;

QJsonObject descriptorOf(const QObject* property)
{
    return property->property(WidgetKey).toJsonObject();
}

using NamedChild = QPair<QByteArray, KTDeviceProperty*>;

// A number typed outside the range stays as typed, to be refused where it is seen, instead
// of being cut to the digits that fit (350 typed into a 10 to 300 box would become 35) or
// put back to the number before when the box loses the focus.
template <typename Spin>
class RangeSpin : public Spin
{
public:
    // The range shown as the tool tip, in the box's own number form.
    void showRange()
    {
        this->setToolTip(
            QStringLiteral("%1 – %2").arg(this->textFromValue(this->minimum()), this->textFromValue(this->maximum())));
    }

protected:
    QValidator::State validate(QString& text, int& pos) const override
    {
        const QValidator::State state = Spin::validate(text, pos);
        if (state != QValidator::Invalid)
            return state;
        // A sign alone begins a number below a range that starts at 0 or above.
        const QString trimmed = text.trimmed();
        if (trimmed == this->locale().negativeSign())
            return QValidator::Intermediate;
        bool number = false;
        const double typed = this->locale().toDouble(trimmed, &number);
        return number && (typed < this->minimum() || typed > this->maximum()) ? QValidator::Intermediate : state;
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        keepTyped([this, event] { Spin::focusOutEvent(event); });
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            keepTyped([this, event] { Spin::keyPressEvent(event); });
        else
            Spin::keyPressEvent(event);
    }

private:
    template <typename Handle>
    void keepTyped(Handle handle)
    {
        const QString typed = this->lineEdit()->text();
        const bool refused = kt_editor_refuses(this);
        handle();
        if (refused && this->lineEdit()->text() != typed)
            this->lineEdit()->setText(typed);
    }
};

// Both kinds of spin box look alike: no buttons, centred, as tall as every editor.
template <typename Spin>
RangeSpin<Spin>* newSpin(const KTEditorRules& rules)
{
    auto* spin = new RangeSpin<Spin>;
    using Value = decltype(spin->value());
    spin->setRange(Value(rules.min), Value(rules.max));
    spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
    spin->setAlignment(Qt::AlignCenter);
    spin->setMinimumHeight(EditorHeight);
    return spin;
}

QWidget* newSpinBox(const KTEditorRules& rules)
{
    auto* spin = newSpin<QSpinBox>(rules);
    spin->showRange();
    return spin;
}

QWidget* newDoubleSpinBox(const KTEditorRules& rules)
{
    auto* spin = newSpin<QDoubleSpinBox>(rules);
    spin->setDecimals(3);
    spin->showRange();
    return spin;
}

QWidget* newComboBox(const KTEditorRules& rules)
{
    auto* combo = new QComboBox;
    combo->addItems(rules.options);
    combo->setMinimumHeight(EditorHeight);
    combo->setView(new QListView); // a plain list the host can style
    return combo;
}

QWidget* newLineEdit()
{
    auto* edit = new QLineEdit;
    edit->setAlignment(Qt::AlignCenter);
    edit->setMinimumHeight(EditorHeight);
    return edit;
}

QWidget* newLabel()
{
    auto* label = new QLabel;
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumHeight(EditorHeight);
    return label;
}

// The editor of a single-value kind, or null for a kind that has none.
QWidget* newValueEditor(const KTEditorRules& rules)
{
    const QString& kind = rules.kind;
    if (kind == QLatin1String("QSpinBox"))
        return newSpinBox(rules);
    if (kind == QLatin1String("QDoubleSpinBox"))
        return newDoubleSpinBox(rules);
    if (kind == QLatin1String("QComboBox"))
        return newComboBox(rules);
    if (kind == QLatin1String("QLineEdit"))
        return newLineEdit();
    if (kind == QLatin1String("QLabel"))
        return newLabel();
    return nullptr;
}

QWidget* newGroupContainer(const QVector<NamedChild>& children)
{
    auto* container = new QWidget;
    new QHBoxLayout(container);
    for (const NamedChild& child : children)
        child.second->create_ui_ctrl(container, QString::fromUtf8(child.first), false);
    return container;
}

QTabWidget* sharedTabWidget(QWidget* parent)
{
    if (auto* tabs = parent->findChild<QTabWidget*>())
        return tabs;
    auto* tabs = new QTabWidget;
    parent->layout()->addWidget(tabs);
    return tabs;
}

QWidget* newTabPage(const QVector<NamedChild>& children)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(30, 10, 10, 30);
    layout->setSpacing(12);
    for (const NamedChild& child : children)
        child.second->create_ui_ctrl(page, QString::fromUtf8(child.first), true);
    return page;
}

// The host owns the widgets and may destroy them before the property: forget the editor
// then, so a later copy does not touch a deleted widget.
void rememberEditor(KTDeviceProperty* property, QWidget* editor)
{
    property->setProperty(KTEditorKey, QVariant::fromValue(static_cast<void*>(editor)));
    QObject::connect(editor, &QObject::destroyed, property, [property, editor] {
        if (property->property(KTEditorKey).value<void*>() == static_cast<void*>(editor))
            property->setProperty(KTEditorKey, QVariant());
    });
}

QWidget* editorOf(const QObject* property)
{
    const QVariant v = property->property(KTEditorKey);
    if (v.userType() != QMetaType::VoidStar)
        return nullptr;
    return static_cast<QWidget*>(v.value<void*>());
}

bool isContainer(const QString& kind)
{
    return kind == QLatin1String("QGroupBox") || kind == QLatin1String("QTabWidget");
}

QLabel* newCaption(const QString& text)
{
    auto* caption = new QLabel(text);
    caption->setAlignment(Qt::AlignCenter);
    caption->setMinimumHeight(EditorHeight);
    return caption;
}

} // namespace

void KTDeviceProperty::create_ui_ctrl(QWidget* parent, QString key, bool withUnit)
{
    const QVariant descriptorVariant = property(WidgetKey);
    if (!descriptorVariant.isValid() || !parent)
        return;
    if (!parent->layout()) {
        qCDebug(ktProperty) << "KTDeviceProperty::create_ui_ctrl" << key << "parent has no layout";
        return;
    }
    const KTEditorRules rules = kt_editor_rules(descriptorVariant.toJsonObject());
    const QString& kind = rules.kind;

    QWidget* editor = nullptr;
    if (kind == QLatin1String("QTabWidget")) {
        QTabWidget* tabs = sharedTabWidget(parent);
        editor = newTabPage(children());
        rememberEditor(this, editor);
        tabs->addTab(editor, label());
        return;
    }

    auto* row = new QWidget;
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setSpacing(5);
    rowLayout->addWidget(newCaption(label()), 1);
    editor = kind == QLatin1String("QGroupBox") ? newGroupContainer(children()) : newValueEditor(rules);
    if (editor) {
        editor->setObjectName(key);
        rowLayout->addWidget(editor, 3);
        rememberEditor(this, editor);
    }
    if (withUnit)
        rowLayout->addWidget(new QLabel(uint()), 1);
    parent->layout()->addWidget(row);
}

namespace {

// The editor a value moves to or from, with its factor. None for a property without an
// editor, nor for a group, which hands the call on to each child instead: an editor's own
// signal, or a child's valueChanged, may make the host delete the device and every property
// with it, this group included.
QWidget* leafEditor(KTDeviceProperty* p, const QVector<NamedChild>& children, void (KTDeviceProperty::*handOn)(),
                    KTEditorRules& rules)
{
    QWidget* editor = editorOf(p);
    if (!editor || !p->property(WidgetKey).isValid())
        return nullptr;
    rules = kt_editor_rules(descriptorOf(p));
    if (!isContainer(rules.kind))
        return editor;
    for (const NamedChild& child : children) {
        if (!kt_survives(p, [&child, handOn] { (child.second->*handOn)(); }))
            break;
    }
    return nullptr;
}

} // namespace

void KTDeviceProperty::to_ui_ctrl()
{
    KTEditorRules rules;
    QWidget* editor = leafEditor(this, children(), &KTDeviceProperty::to_ui_ctrl, rules);
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        spin->setValue(kt_editor_value(rules, value()).toInt());
    } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
        spin->setValue(kt_editor_value(rules, value()).toDouble());
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(kt_editor_value(rules, value()).toString());
    } else if (auto* label = qobject_cast<QLabel*>(editor)) {
        label->setText(value().toString());
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(kt_editor_value(rules, value()).toInt());
    }
}

void KTDeviceProperty::from_ui_ctrl()
{
    KTEditorRules rules;
    QWidget* editor = leafEditor(this, children(), &KTDeviceProperty::from_ui_ctrl, rules);
    if (kt_editor_refuses(editor)) {
        qCDebug(ktProperty) << "KTDeviceProperty::from_ui_ctrl" << label() << "typed value out of range, not taken";
        return;
    }
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        setValue(kt_stored_value(rules, spin->value()));
    } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
        setValue(kt_stored_value(rules, spin->value()));
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        setValue(kt_stored_value(rules, edit->text()));
    } else if (auto* label = qobject_cast<QLabel*>(editor)) {
        setValue(label->text());
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        setValue(kt_stored_value(rules, combo->currentIndex()));
    }
}

bool kt_editor_refuses(const QWidget* editor, QString* range)
{
    const auto* spin = qobject_cast<const QAbstractSpinBox*>(editor);
    if (!spin)
        return false;
    double low = 0, high = 0;
    if (const auto* whole = qobject_cast<const QSpinBox*>(spin)) {
        low = whole->minimum();
        high = whole->maximum();
    } else if (const auto* real = qobject_cast<const QDoubleSpinBox*>(spin)) {
        low = real->minimum();
        high = real->maximum();
    }
    bool number = false;
    const double typed = spin->locale().toDouble(spin->text().trimmed(), &number);
    if (!number || (typed >= low && typed <= high))
        return false;
    if (range)
        *range = spin->toolTip();
    return true;
}
