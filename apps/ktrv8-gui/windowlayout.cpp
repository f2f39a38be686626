// Where everything sits in the window: the material and its preview fill it; the job, its
// cutter options and the head's arrows are sections of one side panel that show without
// scrolling at 1280 x 800; the cutter's settings have a tab of their own; the fleet fields
// live in the preferences, since they change once per shop, not per job.
#include "mainwindow.h"

#include "connectionbar.h"
#include "cutpanel.h"
#include "headpanel.h"
#include "jobpanel.h"
#include "jobsummary.h"
#include "logpane.h"
#include "previewview.h"
#include "settingspanel.h"
#include "sheetpanel.h"
#include "texttool.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolBox>
#include <QVBoxLayout>

namespace {

// Wide enough for the cutter options' rows with their units, no wider: the rest is preview.
constexpr int sidePanelWidth = 480;

} // namespace

void MainWindow::buildLayout()
{
    auto* bar = new QToolBar(tr("Connection"));
    bar->setObjectName(QStringLiteral("connectionBar"));
    bar->setMovable(false);
    connection = new ConnectionBar;
    bar->addWidget(connection);
    QAction* preferencesAction = bar->addAction(tr("Preferences…"));
    preferencesAction->setObjectName(QStringLiteral("preferences"));
    addToolBar(Qt::TopToolBarArea, bar);

    previewView = new PreviewView;
    job = new JobPanel(previewView);
    settings = new SettingsPanel;
    cut = new CutPanel;
    head = new HeadPanel;
    summary = new JobSummary;
    buildPreferences();
    connect(preferencesAction, &QAction::triggered, preferences, &QDialog::show);

    auto* tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("sideTabs"));
    tabs->addTab(jobSections(), tr("Job"));
    tabs->addTab(settings, tr("Settings"));
    auto* lettering = new TextTool(job, cut);
    tabs->addTab(lettering, tr("Text"));
    setCentralWidget(sideBySide(tabs));
    buildLog();
    connect(lettering, &TextTool::report, logPane, &LogPane::problem);
    wirePanels();
}

QWidget* MainWindow::jobSections()
{
    auto* sections = new QToolBox;
    sections->setObjectName(QStringLiteral("jobSections"));
    sections->addItem(job, tr("File and copies"));
    sections->addItem(job->sheetPanel(), tr("Material and layout"));
    sections->addItem(job->cutterOptions(), tr("Cutter options (drawings)"));
    sections->addItem(head, tr("Tool head"));
    return sections;
}

QWidget* MainWindow::sideBySide(QWidget* tabs)
{
    // Under the preview: what the job is and how its cut goes, beside each other.
    auto* jobColumn = new QWidget;
    auto* jobLayout = new QVBoxLayout(jobColumn);
    jobLayout->setContentsMargins(0, 0, 0, 0);
    jobLayout->addWidget(previewView, 1);
    auto* underPreview = new QHBoxLayout;
    underPreview->addWidget(summary, 2);
    underPreview->addWidget(cut, 3);
    jobLayout->addLayout(underPreview);
    tabs->setMinimumWidth(sidePanelWidth);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(jobColumn);
    split->addWidget(tabs);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({width() - sidePanelWidth, sidePanelWidth});
    return split;
}

void MainWindow::buildPreferences()
{
    preferences = new QDialog(this);
    preferences->setObjectName(QStringLiteral("preferencesDialog"));
    preferences->setWindowTitle(tr("Preferences"));
    auto* layout = new QVBoxLayout(preferences);
    layout->addWidget(cut->fleetFields());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, preferences, &QDialog::hide);
    layout->addWidget(buttons);
}

void MainWindow::buildLog()
{
    logPane = new LogPane;
    auto* dock = new QDockWidget(tr("Log"));
    dock->setObjectName(QStringLiteral("logDock"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(logPane);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    resizeDocks({dock}, {90}, Qt::Vertical);

    linkLabel = new QLabel;
    linkLabel->setObjectName(QStringLiteral("linkState"));
    statusBar()->addPermanentWidget(linkLabel);
}
