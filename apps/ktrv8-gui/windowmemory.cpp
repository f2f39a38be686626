#include "windowmemory.h"

#include "connectionbar.h"
#include "cutoptionspanel.h"
#include "cutpanel.h"
#include "jobpanel.h"
#include "mainwindow.h"
#include "sheetpanel.h"

#include <qt5keychain/keychain.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString keyringService = QStringLiteral("ktrv8-gui");
const QString keyringKey = QStringLiteral("fleet-token");

// A keyring that does not answer (no session bus, a locked wallet nobody unlocks) must not
// hold the window: after this the file takes the token.
constexpr int keyringWaitMs = 3000;

bool finish(QKeychain::Job* job)
{
    QEventLoop loop;
    bool done = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&done, &loop] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(keyringWaitMs, &loop, &QEventLoop::quit);
    job->setAutoDelete(false);
    job->start();
    if (!done)
        loop.exec();
    return done && job->error() == QKeychain::NoError;
}

// Every option row by its object name, so options added later are remembered too: the
// cutter options, and the material with how the designs share it.
template <typename Visit>
void eachOption(const MainWindow& window, Visit visit)
{
    const QPair<QWidget*, QString> panels[] = {{window.findChild<CutOptionsPanel*>(), QStringLiteral("cutter/")},
                                               {window.jobPanel()->sheetPanel(), QStringLiteral("sheet/")}};
    for (const QPair<QWidget*, QString>& panel : panels) {
        for (QWidget* w : panel.first ? panel.first->findChildren<QWidget*>() : QList<QWidget*>()) {
            if (!w->objectName().isEmpty())
                visit(panel.second + w->objectName(), w);
        }
    }
}

} // namespace

WindowMemory::WindowMemory(QSettings& settings, const QString& folder) : settings(settings), folder(folder) {}

QString WindowMemory::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kt-rv8");
}

QString WindowMemory::tokenFile() const
{
    return folder + QStringLiteral("/fleet-token");
}

void WindowMemory::restore(MainWindow& window)
{
    window.restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
    Address address;
    QString ignored;
    const QString where = settings.value(QStringLiteral("cutter/address")).toString();
    if (auto* bar = window.findChild<ConnectionBar*>();
        bar && !where.isEmpty() && parseAddress(where, &address, &ignored))
        bar->setAddress(address);
    CloudOptions cloud;
    cloud.url = settings.value(QStringLiteral("fleet/url")).toUrl();
    cloud.code = settings.value(QStringLiteral("fleet/code")).toString();
    if (cloud.isSet()) {
        cloud.token = readToken();
        window.cutPanel()->setCloudOptions(cloud);
    }
    window.jobPanel()->setCopies(settings.value(QStringLiteral("job/copies"), 1).toInt());
    eachOption(window, [this](const QString& key, QWidget* w) {
        const QVariant value = settings.value(key);
        if (!value.isValid())
            return;
        if (auto* box = qobject_cast<QDoubleSpinBox*>(w))
            box->setValue(value.toDouble());
        else if (auto* spin = qobject_cast<QSpinBox*>(w))
            spin->setValue(value.toInt());
        else if (auto* check = qobject_cast<QCheckBox*>(w))
            check->setChecked(value.toBool());
        else if (auto* combo = qobject_cast<QComboBox*>(w))
            combo->setCurrentIndex(qBound(0, value.toInt(), combo->count() - 1));
    });
    // The cutter's material as the settings file has it now, not as it was at the last close.
    SheetPanel* sheet = window.jobPanel()->sheetPanel();
    sheet->setCutter(sheet->cutter());
}

void WindowMemory::save(const MainWindow& window)
{
    settings.setValue(QStringLiteral("window/geometry"), window.saveGeometry());
    Address address;
    QString ignored;
    if (auto* bar = window.findChild<ConnectionBar*>(); bar && bar->address(&address, &ignored))
        settings.setValue(QStringLiteral("cutter/address"), address.describe());
    const CloudOptions cloud = window.cutPanel()->cloudOptions();
    settings.setValue(QStringLiteral("fleet/url"), cloud.url);
    settings.setValue(QStringLiteral("fleet/code"), cloud.code);
    writeToken(cloud.token);
    settings.setValue(QStringLiteral("job/copies"), window.jobPanel()->copies());
    eachOption(window, [this](const QString& key, QWidget* w) {
        if (auto* box = qobject_cast<QDoubleSpinBox*>(w))
            settings.setValue(key, box->value());
        else if (auto* spin = qobject_cast<QSpinBox*>(w))
            settings.setValue(key, spin->value());
        else if (auto* check = qobject_cast<QCheckBox*>(w))
            settings.setValue(key, check->isChecked());
        else if (auto* combo = qobject_cast<QComboBox*>(w))
            settings.setValue(key, combo->currentIndex());
    });
    settings.sync();
}

QByteArray WindowMemory::readToken()
{
    QKeychain::ReadPasswordJob job(keyringService);
    job.setKey(keyringKey);
    if (finish(&job) && !job.binaryData().isEmpty())
        return job.binaryData();
    QFile file(tokenFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

void WindowMemory::writeToken(const QByteArray& token)
{
    QFile::remove(tokenFile());
    if (token.isEmpty()) {
        QKeychain::DeletePasswordJob forget(keyringService);
        forget.setKey(keyringKey);
        finish(&forget);
        place.clear();
        return;
    }
    QKeychain::WritePasswordJob job(keyringService);
    job.setKey(keyringKey);
    job.setBinaryData(token);
    if (finish(&job)) {
        place = QStringLiteral("keyring");
        return;
    }
    place = tokenFile();
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Made unreadable to others before the token is in it.
    QFile file(tokenFile());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        file.write(token + '\n');
    }
}
