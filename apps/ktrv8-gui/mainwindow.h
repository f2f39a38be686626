#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "hostcommon.h"

#include <QMainWindow>

#include <memory>

class ConnectionBar;
class CutPanel;
class CutterConnection;
class HeadPanel;
class JobPanel;
class JobSummary;
class QDialog;
class LogPane;
class PreviewView;
class QLabel;
class SettingsPanel;

// The plug-in in a desktop window: one cutter, its settings, one job and its cut.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(const QString& pluginPath = QString(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // Takes a device object from the plug-in; false with the reason shown and in error.
    bool loadPlugin(QString* error = nullptr);
    // Returns an ExitCode; waits for the link while the window keeps running.
    int connectTo(const Address& address);
    bool isConnected() const;

    JobPanel* jobPanel() const { return job; }
    CutPanel* cutPanel() const { return cut; }
    SettingsPanel* settingsPanel() const { return settings; }
    PreviewView* preview() const { return previewView; }
    LogPane* log() const { return logPane; }
    QString linkState() const;

    bool saveScreenshot(const QString& path, QString* error);

public slots:
    void disconnectFromCutter();
    void findUsbNodes();

signals:
    void linkChanged(bool connected);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildLayout();
    QWidget* jobSections();
    QWidget* sideBySide(QWidget* tabs);
    void buildPreferences();
    void buildLog();
    void showSummary();
    void wirePanels();
    void attachDevice();
    void onStatusText(const QString& text);
    void onTaskText(const QString& text);
    void showLinkState();
    void setLinkBusy(bool busy);

    QString pluginPath;
    std::unique_ptr<CutterConnection> link;
    Address address;
    ConnectionBar* connection = nullptr;
    SettingsPanel* settings = nullptr;
    JobPanel* job = nullptr;
    CutPanel* cut = nullptr;
    HeadPanel* head = nullptr;
    JobSummary* summary = nullptr;
    QDialog* preferences = nullptr;
    PreviewView* previewView = nullptr;
    LogPane* logPane = nullptr;
    QLabel* linkLabel = nullptr;
    bool connecting = false;
    bool linkUsed = false; // the device object has been asked to connect
    bool closeAfterStop = false;
};

#endif // MAINWINDOW_H
