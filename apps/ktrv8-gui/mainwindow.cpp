#include "mainwindow.h"

#include "connectionbar.h"
#include "cutpanel.h"
#include "cutterconnection.h"
#include "driverstatus.h"
#include "headpanel.h"
#include "jobpanel.h"
#include "jobsummary.h"
#include "logpane.h"
#include "previewview.h"
#include "settingspanel.h"
#include "sheetpanel.h"

#include "ktdeviceproperty.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>

MainWindow::MainWindow(const QString& plugin, QWidget* parent) : QMainWindow(parent), pluginPath(plugin)
{
    setWindowTitle(tr("KT-RV8 cutter"));
    setAcceptDrops(true);
    buildLayout();
    showLinkState();
}

MainWindow::~MainWindow()
{
    // The rows built by the device's properties go with the window; the device after them.
    settings->build(nullptr);
}

void MainWindow::wirePanels()
{
    connect(connection, &ConnectionBar::connectRequested, this, [this](const Address& where) { connectTo(where); });
    connect(connection, &ConnectionBar::disconnectRequested, this, &MainWindow::disconnectFromCutter);
    connect(connection, &ConnectionBar::invalidAddress, logPane, &LogPane::problem);
    connect(connection, &ConnectionBar::nodesFound, this,
            [this](const QString& text, bool bad) { bad ? logPane->problem(text) : logPane->note(text); });
    connect(settings, &SettingsPanel::busyChanged, this, &MainWindow::setLinkBusy);
    connect(settings, &SettingsPanel::report, this, [this](const QString& text, bool bad) {
        bad ? logPane->problem(text) : logPane->note(text);
        statusBar()->showMessage(text, 10000);
        // The preview lays copies out with the cutter's own spacing once it is known.
        if (const KTDeviceProperty* margin = link ? link->property(QStringLiteral("MARGIN")) : nullptr)
            job->setCopyGap(margin->value().toDouble());
        showSummary(); // the estimate follows the speed the cutter holds
    });
    connect(job, &JobPanel::report, this,
            [this](const QString& text, bool bad) { bad ? logPane->problem(text) : logPane->note(text); });
    connect(job, &JobPanel::jobChanged, this, [this] {
        cut->setJobReady(job->isReady(), job->qrMode() ? QString() : job->refusal());
        showSummary();
    });
    connect(head, &HeadPanel::report, this,
            [this](const QString& text, bool bad) { bad ? logPane->problem(text) : logPane->note(text); });
    connect(cut, &CutPanel::report, this,
            [this](const QString& text, bool bad) { bad ? logPane->problem(text) : logPane->note(text); });
    connect(cut, &CutPanel::runningChanged, this, [this](bool running) {
        job->setEnabled(!running);
        head->setCutting(running);
        setLinkBusy(running);
        showLinkState();
        if (!running && closeAfterStop)
            QTimer::singleShot(0, this, &QWidget::close);
    });
    connect(cut, &CutPanel::cutting, previewView, &PreviewView::highlight);
    connect(cut, &CutPanel::activityChanged, this, &MainWindow::showLinkState);
}

void MainWindow::showSummary()
{
    const KTDeviceProperty* speed = link ? link->property(QStringLiteral("SPEED")) : nullptr;
    const bool known = speed && isConnected() && speed->value().isValid();
    if (!job->qrMode() && !job->refusal().isEmpty())
        summary->refuse(job->refusal());
    else
        summary->describe(job->preparedJob().get(), job->copies(), known ? speed->value().toInt() : 0);
}

bool MainWindow::loadPlugin(QString* error)
{
    settings->build(nullptr);
    cut->setLink(nullptr, nullptr);
    linkUsed = false;
    link = std::make_unique<CutterConnection>();
    QString reason;
    if (!link->load(pluginPath, &reason)) {
        logPane->problem(reason);
        statusBar()->showMessage(reason);
        link.reset();
        if (error)
            *error = reason;
        showLinkState();
        return false;
    }
    attachDevice();
    return true;
}

void MainWindow::attachDevice()
{
    connect(link.get(), &CutterConnection::statusText, this, &MainWindow::onStatusText);
    connect(link.get(), &CutterConnection::taskText, this, &MainWindow::onTaskText);
    connect(link.get(), &CutterConnection::qrCode, this,
            [this](const QString& code) { logPane->note(tr("Scanned QR code: %1").arg(code)); });
    if (KTDeviceProperty* status = link->property(QStringLiteral("STATUS")))
        connect(status, &KTDeviceProperty::valueChanged, this, &MainWindow::showLinkState);
    settings->build(link.get());
    cut->setLink(link.get(), job);
    head->setLink(link.get());
    showLinkState();
}

bool MainWindow::isConnected() const
{
    return link && link->isConnected();
}

int MainWindow::connectTo(const Address& where)
{
    if (connecting || isConnected())
        return ExitFailed;
    // A device object whose link went down is not reused: a fresh one starts clean.
    if ((!link || linkUsed) && !loadPlugin())
        return ExitNoPlugin;
    linkUsed = true;
    address = where;
    connection->setAddress(where);
    // The material loaded in this cutter, as "ktrv8" names it in the settings file.
    job->sheetPanel()->setCutter(where.cutterKey());
    connecting = true;
    setLinkBusy(true);
    logPane->note(tr("Connecting to %1").arg(where.describe()));
    showLinkState();
    QString error;
    const int code = link->connectTo(where, CutterConnection::ConnectTimeoutMs, &error);
    connecting = false;
    setLinkBusy(false);
    if (code != ExitOk) {
        logPane->problem(error);
        statusBar()->showMessage(error);
        return code;
    }
    connection->setConnected(true);
    settings->setConnected(true);
    cut->setConnected(true);
    head->setConnected(true);
    showLinkState();
    emit linkChanged(true);
    settings->read();
    return ExitOk;
}

// The driver has no way to close its link; the device object closes it when deleted, so
// the window takes a fresh one from the plug-in.
void MainWindow::disconnectFromCutter()
{
    if (!link || connecting)
        return;
    const bool was = link->isConnected();
    loadPlugin();
    connection->setConnected(false);
    settings->setConnected(false);
    cut->setConnected(false);
    head->setConnected(false);
    if (was)
        logPane->note(tr("Disconnected from %1").arg(address.describe()));
    emit linkChanged(false);
}

void MainWindow::findUsbNodes()
{
    connection->refreshNodes();
}

void MainWindow::onStatusText(const QString& text)
{
    const bool bad = DriverStatus::of(text).problem;
    bad ? logPane->problem(tr("Driver: %1").arg(text)) : logPane->note(tr("Driver: %1").arg(text));
    if (bad && !connecting && link && !link->isConnected()) {
        connection->setConnected(false);
        settings->setConnected(false);
        cut->setConnected(false);
        head->setConnected(false);
        emit linkChanged(false);
    }
    showLinkState();
}

// An empty text only says the task record changed; the cut panel shows where the job is.
void MainWindow::onTaskText(const QString& text)
{
    if (!text.isEmpty())
        logPane->note(tr("Driver: task %1").arg(text));
}

QString MainWindow::linkState() const
{
    return linkLabel->text();
}

void MainWindow::showLinkState()
{
    if (!link) {
        linkLabel->setText(tr("No driver"));
        return;
    }
    if (connecting) {
        linkLabel->setText(tr("Connecting to %1…").arg(address.describe()));
        return;
    }
    if (!link->isConnected()) {
        linkLabel->setText(tr("Not connected"));
        return;
    }
    // While a job runs the cutter's state is the job's: which page, paused, stopping.
    if (cut->isRunning()) {
        linkLabel->setText(cut->isPaused()
                               ? tr("Connected to %1 (paused: %2)").arg(address.describe(), cut->progressText())
                               : tr("Connected to %1 (cutting: %2)").arg(address.describe(), cut->progressText()));
        return;
    }
    const KTDeviceProperty* status = link->property(QStringLiteral("STATUS"));
    const int value = status ? status->value().toInt() : 0;
    const QString states[] = {tr("disconnected"), tr("idle"), tr("ready"), tr("paused"), tr("warning"), tr("error")};
    const QString state = value >= 0 && value < 6 ? states[value] : QString::number(value);
    linkLabel->setText(tr("Connected to %1 (%2)").arg(address.describe(), state));
}

void MainWindow::setLinkBusy(bool busy)
{
    connection->setBusy(busy || cut->isRunning());
}

bool MainWindow::saveScreenshot(const QString& path, QString* error)
{
    previewView->finishPicture();
    if (!grab().save(path, "PNG")) {
        *error = tr("cannot save the screenshot to %1").arg(path);
        return false;
    }
    return true;
}

// Closing during a cut stops the cutter first and closes once it confirmed.
void MainWindow::closeEvent(QCloseEvent* event)
{
    if (cut->isRunning()) {
        closeAfterStop = true;
        cut->stop();
        event->ignore();
        return;
    }
    event->accept();
}

namespace {

// Dropped files: several become designs on one material; anything not a local file refuses the drop.
QStringList localFiles(const QMimeData* data)
{
    QStringList files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return QStringList();
        files << url.toLocalFile();
    }
    return files;
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty() && !cut->isRunning())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    job->openFilesLater(files);
}
