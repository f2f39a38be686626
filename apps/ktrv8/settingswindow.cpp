#include "commands.h"
#include "cutterconnection.h"
#include "settingsaccess.h"
#include "settingsedits.h"
#include "settingswriter.h"

#include "ktdeviceproperty.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QWidget* titledSection(QVBoxLayout* layout, const QString& title)
{
    auto* caption = new QLabel(QStringLiteral("<b>%1</b>").arg(title));
    layout->addWidget(caption);
    auto* section = new QWidget;
    section->setLayout(new QVBoxLayout);
    layout->addWidget(section);
    return section;
}

// The driver's own setting rows with Read and Apply. Apply writes the rows the user changed
// and says what the cutter did not take.
class SettingsWindow : public QWidget
{
public:
    SettingsWindow(CutterConnection& connection, const CommonOptions& options)
        : link(connection), settings(connection), edits(new SettingsEdits(this))
    {
        setWindowTitle(QStringLiteral("KT-RV8 settings"));
        auto* layout = new QVBoxLayout(this);
        userRows = buildRows(titledSection(layout, QStringLiteral("Settings")), link.device()->userProperty(), true);
        sysRows = buildRows(titledSection(layout, QStringLiteral("Device")), link.device()->sysProperty(), false);
        status =
            new QLabel(link.isConnected() ? QStringLiteral("Connected to %1").arg(options.address.describe())
                                          : QStringLiteral("Not connected: give --tcp or --usb to read and apply"));
        layout->addWidget(status);
        auto* buttons = new QHBoxLayout;
        auto* read = new QPushButton(QStringLiteral("Read"));
        auto* apply = new QPushButton(QStringLiteral("Apply"));
        read->setEnabled(link.isConnected());
        apply->setEnabled(link.isConnected());
        buttons->addStretch(1);
        buttons->addWidget(read);
        buttons->addWidget(apply);
        layout->addLayout(buttons);
        connect(read, &QPushButton::clicked, this, &SettingsWindow::refresh);
        connect(apply, &QPushButton::clicked, this, &SettingsWindow::apply);
    }

    QStringList rows() const { return userRows + sysRows; }
    QStringList skippedRows() const { return skipped; }

    void refresh()
    {
        QStringList unanswered;
        const bool ok = link.readBack(settings.readKeys(rows()), CutterConnection::ReplyTimeoutMs, &unanswered);
        edits->fill(link, rows());
        status->setText(!ok ? QStringLiteral("The cutter did not answer")
                        : unanswered.isEmpty()
                            ? QStringLiteral("Read from the cutter")
                            : QStringLiteral("No value for %1").arg(unanswered.join(QLatin1String(", "))));
    }

private:
    // One section of rows built by the properties themselves.
    QStringList buildRows(QWidget* section, const QStringList& keys, bool editable)
    {
        QStringList built;
        for (const QString& key : keys) {
            KTDeviceProperty* p = link.property(key);
            if (!p || !p->property("WIDGET").isValid()) {
                skipped.append(key);
                continue;
            }
            // A holder of its own, so that the edits of this row are told from the others.
            auto* holder = new QWidget;
            holder->setLayout(new QVBoxLayout);
            holder->layout()->setContentsMargins(0, 0, 0, 0);
            section->layout()->addWidget(holder);
            p->create_ui_ctrl(holder, key, true);
            p->to_ui_ctrl();
            if (editable)
                edits->watch(holder, key);
            built << key;
        }
        return built;
    }

    void apply()
    {
        const QStringList changed = edits->take(link, settings, userRows);
        if (changed.isEmpty()) {
            status->setText(QStringLiteral("Nothing changed to apply"));
            return;
        }
        const SettingsReport report = SettingsWriter(link, settings).write(changed);
        edits->fill(link, rows());
        QStringList problems;
        for (const SettingOutcome& outcome : report.outcomes) {
            if (outcome.result != SettingOutcome::Applied)
                problems << QStringLiteral("%1 holds %2 (asked %3)").arg(outcome.key, outcome.held, outcome.asked);
        }
        status->setText(problems.isEmpty() ? QStringLiteral("Applied: %1").arg(changed.join(QLatin1String(", ")))
                                           : QStringLiteral("Not taken: %1").arg(problems.join(QLatin1String("; "))));
    }

    CutterConnection& link;
    SettingsAccess settings;
    SettingsEdits* edits;
    QLabel* status = nullptr;
    QStringList userRows;
    QStringList sysRows;
    QStringList skipped;
};

} // namespace

int commandSettings(CutterConnection& link, const CommonOptions& options, const QString& screenshot)
{
    const Output out(options.json);
    SettingsWindow window(link, options);
    if (link.isConnected())
        window.refresh();
    for (const QString& key : window.rows()) {
        const QString editor =
            link.property(key)->property("WIDGET").toJsonObject().value(QStringLiteral("widget")).toString();
        out.line(QStringLiteral("row %1 %2").arg(key, editor));
    }
    for (const QString& key : window.skippedRows())
        out.line(QStringLiteral("skipped %1 (not on this device or no editor)").arg(key));
    out.result(QJsonObject{{QStringLiteral("rows"), QJsonArray::fromStringList(window.rows())},
                           {QStringLiteral("skipped"), QJsonArray::fromStringList(window.skippedRows())}});

    window.resize(560, window.sizeHint().height());
    window.show();
    if (screenshot.isEmpty())
        return QApplication::exec();
    QApplication::processEvents();
    if (!window.grab().save(screenshot)) {
        out.error(QStringLiteral("cannot save the screenshot to %1").arg(screenshot));
        return ExitFailed;
    }
    out.line(QStringLiteral("screenshot saved to %1").arg(screenshot));
    return ExitOk;
}
