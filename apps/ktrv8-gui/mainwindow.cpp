#include "mainwindow.h"

#include "connectionbar.h"
#include "cutpanel.h"
#include "cutterconnection.h"
#include "driverstatus.h"
#include "jobpanel.h"
#include "logpane.h"
#include "previewview.h"
#include "settingspanel.h"
#include "texttool.h"

#include "ktdeviceproperty.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

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

void MainWindow::buildLayout()
{
    auto* bar = new QToolBar(tr("Connection"));
    bar->setObjectName(QStringLiteral("connectionBar"));
    bar->setMovable(false);
    connection = new ConnectionBar;
    bar->addWidget(connection);
    addToolBar(Qt::TopToolBarArea, bar);

    previewView = new PreviewView;
    job = new JobPanel(previewView);
    settings = new SettingsPanel;
    cut = new CutPanel;
    auto* tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("sideTabs"));
    // The job's options scroll rather than make the window taller than the screen.
    auto* jobScroll = new QScrollArea;
    jobScroll->setWidget(job);
    jobScroll->setWidgetResizable(true);
    jobScroll->setFrameShape(QFrame::NoFrame);
    jobScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    jobScroll->setMinimumWidth(job->minimumSizeHint().width() + jobScroll->verticalScrollBar()->sizeHint().width());
    tabs->addTab(jobScroll, tr("Job"));
    tabs->addTab(settings, tr("Settings"));
    auto* lettering = new TextTool(job, cut);
    tabs->addTab(lettering, tr("Text"));
    setCentralWidget(sideBySide(tabs));
    buildLog();
    connect(lettering, &TextTool::report, logPane, &LogPane::problem);
    wirePanels();
}

QWidget* MainWindow::sideBySide(QWidget* tabs)
{
    auto* side = new QWidget;
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(tabs, 1);
    sideLayout->addWidget(cut);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(previewView);
    split->addWidget(side);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({560, 540});
    return split;
}

void MainWindow::buildLog()
{
    logPane = new LogPane;
    auto* dock = new QDockWidget(tr("Log"));
    dock->setObjectName(QStringLiteral("logDock"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(logPane);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    resizeDocks({dock}, {150}, Qt::Vertical);

    linkLabel = new QLabel;
    linkLabel->setObjectName(QStringLiteral("linkState"));
    statusBar()->addPermanentWidget(linkLabel);
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
    });
    connect(job, &JobPanel::report, this,
            [this](const QString& text, bool bad) { bad ? logPane->problem(text) : logPane->note(text); });
    connect(job, &JobPanel::jobChanged, this, [this] { cut->setJobReady(job->isReady()); });
    connect(cut, &CutPanel::report, this,
            [this](const QString& text, bool bad) { bad ? logPane->problem(text) : logPane->note(text); });
    connect(cut, &CutPanel::runningChanged, this, [this](bool running) {
        job->setEnabled(!running);
        setLinkBusy(running);
        if (!running && closeAfterStop)
            QTimer::singleShot(0, this, &QWidget::close);
    });
    connect(cut, &CutPanel::cutting, previewView, &PreviewView::highlight);
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

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile() && !cut->isRunning())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    job->open(urls.first().toLocalFile());
}
