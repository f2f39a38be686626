#include "commands.h"
#include "devicelink.h"
#include "settingsaccess.h"

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

// One section of rows built by the properties themselves.
QStringList buildRows(DeviceLink& link, QWidget* section, const QStringList& keys, QStringList* skipped)
{
    QStringList built;
    for (const QString& key : keys) {
        KTDeviceProperty* p = link.property(key);
        if (!p || !p->property("WIDGET").isValid()) {
            skipped->append(key);
            continue;
        }
        p->create_ui_ctrl(section, key, true);
        p->to_ui_ctrl();
        built << key;
    }
    return built;
}

QWidget* titledSection(QVBoxLayout* layout, const QString& title)
{
    auto* caption = new QLabel(QStringLiteral("<b>%1</b>").arg(title));
    layout->addWidget(caption);
    auto* section = new QWidget;
    section->setLayout(new QVBoxLayout);
    layout->addWidget(section);
    return section;
}

} // namespace

int commandSettings(DeviceLink& link, const CommonOptions& options, const QString& screenshot)
{
    const Output out(options.json);
    QWidget window;
    window.setWindowTitle(QStringLiteral("KT-RV8 settings"));
    auto* layout = new QVBoxLayout(&window);
    const QStringList userKeys = link.device()->userProperty();
    const QStringList sysKeys = link.device()->sysProperty();
    QStringList skipped;
    const QStringList userRows = buildRows(link, titledSection(layout, QStringLiteral("Settings")), userKeys, &skipped);
    const QStringList sysRows = buildRows(link, titledSection(layout, QStringLiteral("Device")), sysKeys, &skipped);

    auto* status =
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

    SettingsAccess settings(link);
    auto refresh = [&] {
        QStringList unanswered;
        const bool ok = link.readBack(settings.readKeys(userRows + sysRows), DeviceLink::ReplyTimeoutMs, &unanswered);
        for (const QString& key : userRows + sysRows)
            link.property(key)->to_ui_ctrl();
        status->setText(!ok ? QStringLiteral("The cutter did not answer")
                        : unanswered.isEmpty()
                            ? QStringLiteral("Read from the cutter")
                            : QStringLiteral("No value for %1").arg(unanswered.join(QLatin1String(", "))));
    };
    QObject::connect(read, &QPushButton::clicked, &window, refresh);
    QObject::connect(apply, &QPushButton::clicked, &window, [&] {
        QStringList leaves;
        for (const QString& key : userRows) {
            link.property(key)->from_ui_ctrl();
            leaves += settings.leaves(key);
        }
        for (const QByteArray& frame : settings.writeFrames(leaves))
            link.send(frame);
        refresh();
    });
    if (link.isConnected())
        refresh();

    for (const QString& key : userRows + sysRows) {
        const QString editor = QString::fromLatin1(link.property(key)
                                                       ->property("WIDGET")
                                                       .toJsonObject()
                                                       .value(QStringLiteral("widget"))
                                                       .toString()
                                                       .toLatin1());
        out.line(QStringLiteral("row %1 %2").arg(key, editor));
    }
    for (const QString& key : skipped)
        out.line(QStringLiteral("skipped %1 (not on this device or no editor)").arg(key));
    out.result(QJsonObject{{QStringLiteral("rows"), QJsonArray::fromStringList(userRows + sysRows)},
                           {QStringLiteral("skipped"), QJsonArray::fromStringList(skipped)}});

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
