#ifndef JOBPANEL_H
#define JOBPANEL_H

#include "latestwork.h"
#include "preparedjob.h"

#include <QWidget>

#include <memory>

class CutOptionsPanel;
class DrawingPartsPanel;
class JobConversion;
class PreviewView;
class QProgressBar;
class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class SheetOverlay;
class SheetPanel;

// The job: a PLT file or a drawing (converted with the cutter options), or several files
// laid out together on the material, its preview, the number of copies, or a QR-code job
// whose files are found by code in a folder. The files are read once; the cut hands the
// prepared job to the driver as it is.
class JobPanel : public QWidget
{
    Q_OBJECT
public:
    explicit JobPanel(PreviewView* preview, QWidget* parent = nullptr);

    // Reads the file on a worker thread; loaded() tells the end. A file opened, or options
    // changed, meanwhile supersede it.
    // shown: what the job is called in the window and the cutter's record instead of the
    // file's name (text typed in is handed over in a file the person never saw).
    void openLater(const QString& path, const QString& shown = QString());
    // Several files as designs on one material (one file: as openLater).
    void openFilesLater(const QStringList& paths);
    // The same, waiting for the end (the job read, its preview laid out) while the window
    // runs on: false when the file is refused; the reason is shown in the panel and reported.
    bool open(const QString& path, const QString& shown = QString());
    bool openFiles(const QStringList& paths);
    QStringList filePaths() const { return files; }
    bool isReady() const;
    bool isConverting() const { return converting; }
    // Whether the preview's sheet is being laid out; the job is not ready meanwhile.
    bool isLayingOut() const { return layingOut; }
    QString filePath() const { return files.value(0); }
    // What the cut hands to the driver; null while no job is open.
    std::shared_ptr<PreparedJob> preparedJob() const { return refused.isEmpty() ? job : nullptr; }
    bool isDrawing() const { return job && job->isDrawing(); }
    int pageCount() const { return job ? job->pages().size() : 0; }
    int copies() const;
    void setCopies(int copies);
    // The cutter's spacing between copies, for the preview's layout (mm).
    void setCopyGap(double mm);
    bool qrMode() const;
    QString qrFolder() const;
    void setQrFolder(const QString& folder);
    QString refusal() const { return refused; }
    // The cutter options of a drawing (enabled while a drawing is open).
    QWidget* cutterOptions() const { return optionsBox; }
    // The material and how the designs share it.
    SheetPanel* sheetPanel() const { return sheet; }

public slots:
    void chooseFile();
    // Adds files to the job's designs, or takes the chosen one out.
    void addFiles();
    void removeChosenFile();
    void chooseQrFolder();

signals:
    void jobChanged();
    // The end of a read or conversion, its sheet laid out: whether it gave a job to cut.
    void loaded(bool ok);
    void report(const QString& text, bool problem);

private:
    QFormLayout* buildForm();
    QWidget* buildFileRows();
    void pickFiles(bool adding);
    QString jobName() const;
    void showFiles();
    void load(bool again);
    void onConverted(const std::shared_ptr<PreparedJob>& next, bool ok);
    void onProgress(const QString& stage, int percent);
    void refuse(const QString& reason);
    void showPreview();
    void showLaidOut(const std::shared_ptr<const SheetOverlay>& drawn, int pages);
    void dropPreview();
    void showParts();

    PreviewView* preview;
    CutOptionsPanel* cutOptions = nullptr;
    QWidget* optionsBox = nullptr;
    DrawingPartsPanel* parts = nullptr;
    SheetPanel* sheet = nullptr;
    QLabel* fileLabel = nullptr;
    QListWidget* fileList = nullptr;
    QPushButton* removeButton = nullptr;
    QLabel* refusalLabel = nullptr;
    QProgressBar* conversionBar = nullptr;
    JobConversion* conversion = nullptr;
    LatestWork* layouts = new LatestWork(this); // the preview's sheet
    LatestWork* partLists = new LatestWork(this);
    QSpinBox* copiesBox = nullptr;
    QCheckBox* qrBox = nullptr;
    QLineEdit* qrFolderEdit = nullptr;
    QPushButton* qrFolderButton = nullptr;
    QStringList files;
    QString shownName; // empty: the files' names
    QString refused;
    // Replaced, never changed, once handed out: a cut in progress keeps its own.
    std::shared_ptr<PreparedJob> job;
    double copyGapMm = 20;
    bool converting = false;
    bool layingOut = false;
    bool announce = false; // loaded() is due when the sheet is laid out
    bool fresh = false;    // the conversion running reads a file just opened
};

#endif // JOBPANEL_H
