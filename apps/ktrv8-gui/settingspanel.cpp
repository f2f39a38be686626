#include "settingspanel.h"

#include "cutterconnection.h"
#include "settingsaccess.h"
#include "settingsedits.h"
#include "settingswriter.h"

#include "ktdeviceproperty.h"
#include "ktpropertyrules_p.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

SettingsPanel::SettingsPanel(QWidget* parent) : QWidget(parent), edits(new SettingsEdits(this))
{
    auto* layout = new QVBoxLayout(this);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    layout->addWidget(scroll, 1);
    content = new QWidget;
    contentLayout = new QVBoxLayout(content);
    scroll->setWidget(content);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    readButton = new QPushButton(tr("Read"));
    readButton->setObjectName(QStringLiteral("readSettings"));
    readButton->setToolTip(tr("Read every setting from the cutter"));
    applyButton = new QPushButton(tr("Apply"));
    applyButton->setObjectName(QStringLiteral("applySettings"));
    applyButton->setToolTip(tr("Write the changed settings, then read them back from the cutter"));
    buttons->addWidget(readButton);
    buttons->addWidget(applyButton);
    layout->addLayout(buttons);
    connect(readButton, &QPushButton::clicked, this, &SettingsPanel::read);
    connect(applyButton, &QPushButton::clicked, this, &SettingsPanel::apply);
    setConnected(false);
}

QWidget* SettingsPanel::section(const QString& title)
{
    auto* caption = new QLabel(QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()));
    contentLayout->addWidget(caption);
    auto* rows = new QWidget;
    rows->setLayout(new QVBoxLayout);
    rows->layout()->setContentsMargins(0, 0, 0, 0);
    contentLayout->addWidget(rows);
    return rows;
}

namespace {

// What the cutter only reports (firmware version, numbers) reads as text, not as a box to type in.
void showOnly(QWidget* row)
{
    for (auto* edit : row->findChildren<QLineEdit*>()) {
        edit->setReadOnly(true);
        edit->setFrame(false);
    }
    for (auto* spin : row->findChildren<QAbstractSpinBox*>())
        spin->setReadOnly(true);
    for (auto* combo : row->findChildren<QComboBox*>())
        combo->setEnabled(false);
}

} // namespace

// Each property builds its row into a holder of its own, so a note can stand beside it.
void SettingsPanel::buildRows(QWidget* rows, const QStringList& keys, bool editable)
{
    for (const QString& key : keys) {
        KTDeviceProperty* p = link->property(key);
        if (!p || !p->property("WIDGET").isValid())
            continue;
        auto* line = new QWidget;
        auto* lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(0, 0, 0, 0);
        auto* holder = new QWidget;
        holder->setLayout(new QVBoxLayout);
        holder->layout()->setContentsMargins(0, 0, 0, 0);
        lineLayout->addWidget(holder, 4);
        p->create_ui_ctrl(holder, key, true);
        p->to_ui_ctrl();
        if (editable)
            watchRanges(holder, key);
        else
            showOnly(holder);
        auto* note = new QLabel;
        note->setObjectName(QStringLiteral("note_") + key);
        note->setWordWrap(true);
        note->setStyleSheet(QStringLiteral("color: #b00020"));
        lineLayout->addWidget(note, 2);
        notes.insert(key, note);
        rows->layout()->addWidget(line);
        (editable ? userRows : systemRows) << key;
    }
}

void SettingsPanel::build(CutterConnection* deviceLink)
{
    link = deviceLink;
    notes.clear();
    holders.clear();
    outOfRange.clear();
    edits->clear();
    userRows.clear();
    systemRows.clear();
    while (QLayoutItem* item = contentLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (!link || !link->device())
        return;
    buildRows(section(tr("Settings")), link->device()->userProperty(), true);
    buildRows(section(tr("Device")), link->device()->sysProperty(), false);
    contentLayout->addStretch(1);
}

void SettingsPanel::setConnected(bool on)
{
    connected = on;
    updateButtons();
}

void SettingsPanel::updateButtons()
{
    readButton->setEnabled(connected && !busy);
    applyButton->setEnabled(connected && !busy && outOfRange.isEmpty());
    applyButton->setToolTip(outOfRange.isEmpty()
                                ? tr("Write the changed settings, then read them back from the cutter")
                                : tr("Not while a number is out of range: %1")
                                      .arg(QStringList(outOfRange.values()).join(QLatin1String(", "))));
}

void SettingsPanel::watchRanges(QWidget* holder, const QString& key)
{
    edits->watch(holder, key);
    holders.insert(key, holder);
    for (auto* spin : holder->findChildren<QAbstractSpinBox*>())
        connect(spin->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, &SettingsPanel::checkRanges);
}

// A row whose number lies outside its range says so beside it, with the range; Apply
// waits until it is put right.
void SettingsPanel::checkRanges()
{
    for (auto it = holders.cbegin(); it != holders.cend(); ++it) {
        QString range;
        bool refused = false;
        for (const auto* spin : it.value()->findChildren<QAbstractSpinBox*>())
            refused = refused || kt_editor_refuses(spin, &range);
        if (refused) {
            outOfRange.insert(it.key());
            setNote(it.key(), tr("out of range: type a number from %1").arg(range));
        } else if (outOfRange.remove(it.key())) {
            setNote(it.key(), QString());
        }
    }
    updateButtons();
}

void SettingsPanel::setBusy(bool on)
{
    busy = on;
    setConnected(connected);
    emit busyChanged(on);
}

QString SettingsPanel::note(const QString& key) const
{
    const QLabel* label = notes.value(key);
    return label ? label->text() : QString();
}

void SettingsPanel::setNote(const QString& key, const QString& text)
{
    if (QLabel* label = notes.value(key))
        label->setText(text);
}

bool SettingsPanel::readKeys(const QStringList& keys, QStringList* unanswered)
{
    SettingsAccess settings(*link);
    QStringList raw;
    const bool answered = link->readBack(settings.readKeys(keys), CutterConnection::ReplyTimeoutMs, &raw);
    // A missing child value counts against the row that shows it.
    for (const QString& key : keys) {
        for (const QString& leaf : settings.leaves(key)) {
            if (raw.contains(leaf) || !answered) {
                unanswered->append(key);
                break;
            }
        }
    }
    return answered;
}

void SettingsPanel::showValues()
{
    edits->fill(*link, userRows + systemRows);
}

void SettingsPanel::read()
{
    if (!link || !connected || busy)
        return;
    setBusy(true);
    QStringList unanswered;
    const bool answered = readKeys(userRows + systemRows, &unanswered);
    showValues();
    for (const QString& key : userRows + systemRows)
        setNote(key, unanswered.contains(key) ? tr("no answer from the cutter") : QString());
    setBusy(false);
    if (!answered)
        emit report(tr("Settings: the cutter did not answer"), true);
    else if (!unanswered.isEmpty())
        emit report(tr("Settings read; no value for %1").arg(unanswered.join(QLatin1String(", "))), true);
    else
        emit report(tr("Settings read from the cutter"), false);
}

// Only what the user changed is written; the cutter's own values for the rest stay as they are.
void SettingsPanel::apply()
{
    if (!link || !connected || busy)
        return;
    if (!outOfRange.isEmpty()) {
        emit report(tr("Settings: nothing applied, a number is out of range"), true);
        return;
    }
    SettingsAccess settings(*link);
    for (const QString& key : userRows) {
        if (edits->isEdited(key))
            setNote(key, QString());
    }
    const QStringList changed = edits->take(*link, settings, userRows);
    if (changed.isEmpty()) {
        emit report(tr("Settings: nothing changed to apply"), false);
        return;
    }
    setBusy(true);
    const SettingsReport written = SettingsWriter(*link, settings).write(changed);
    showValues();
    setBusy(false);
    noteOutcomes(written, changed);
}

// One note per row: the worst of what became of its parts.
void SettingsPanel::noteOutcomes(const SettingsReport& written, const QStringList& keys)
{
    SettingsAccess settings(*link);
    QStringList refused;
    for (const QString& key : keys) {
        const QList<SettingOutcome> parts = written.of(settings.leaves(key));
        auto any = [&parts](SettingOutcome::Result result) {
            return std::any_of(parts.begin(), parts.end(),
                               [result](const SettingOutcome& part) { return part.result == result; });
        };
        QStringList asked;
        for (const SettingOutcome& part : parts)
            asked << part.asked;
        const QString held = settings.shown(key), wanted = asked.join(QLatin1Char(','));
        if (any(SettingOutcome::Unanswered))
            setNote(key, tr("not confirmed: no answer from the cutter"));
        else if (any(SettingOutcome::Refused))
            setNote(key, tr("refused by the cutter, which keeps %1 (asked %2)").arg(held, wanted));
        else if (any(SettingOutcome::NotApplied))
            setNote(key, tr("not applied: the cutter keeps %1 (asked %2)").arg(held, wanted));
        else
            continue;
        refused << key;
    }
    if (refused.isEmpty())
        emit report(tr("Settings applied: %1").arg(keys.join(QLatin1String(", "))), false);
    else
        emit report(tr("Settings not taken by the cutter: %1").arg(refused.join(QLatin1String(", "))), true);
}
