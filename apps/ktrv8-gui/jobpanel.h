#ifndef JOBPANEL_H
#define JOBPANEL_H

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
class QPushButton;
class QSpinBox;

// The job: a PLT file or a drawing (converted with the cutter options), its preview, the
// number of copies, or a QR-code job whose files are found by code in a folder. The file is
// read once; the cut hands the prepared job to the driver as it is.
class JobPanel : public QWidget
{
    Q_OBJECT
public:
    explicit JobPanel(PreviewView* preview, QWidget* parent = nullptr);

    // Reads the file on a worker thread; loaded() tells the end. A file opened, or options
    // changed, meanwhile supersede it.
    void openLater(const QString& path);
    // The same, waiting for the end while the window runs on: false when the file is
    // refused; the reason is shown in the panel and reported.
    bool open(const QString& path);
    bool isReady() const;
    bool isConverting() const { return converting; }
    QString filePath() const { return path; }
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

public slots:
    void chooseFile();
    void chooseQrFolder();

signals:
    void jobChanged();
    // The end of a read or conversion: whether it gave a job to cut.
    void loaded(bool ok);
    void report(const QString& text, bool problem);

private:
    QFormLayout* buildForm();
    void load(bool again);
    void onConverted(const std::shared_ptr<PreparedJob>& next, bool ok);
    void onProgress(const QString& stage, int percent);
    void refuse(const QString& reason);
    void showPreview();
    void showParts();

    PreviewView* preview;
    CutOptionsPanel* cutOptions = nullptr;
    QWidget* optionsBox = nullptr;
    DrawingPartsPanel* parts = nullptr;
    QLabel* fileLabel = nullptr;
    QLabel* refusalLabel = nullptr;
    QProgressBar* conversionBar = nullptr;
    JobConversion* conversion = nullptr;
    QSpinBox* copiesBox = nullptr;
    QCheckBox* qrBox = nullptr;
    QLineEdit* qrFolderEdit = nullptr;
    QPushButton* qrFolderButton = nullptr;
    QString path;
    QString refused;
    // Replaced, never changed, once handed out: a cut in progress keeps its own.
    std::shared_ptr<PreparedJob> job;
    double copyGapMm = 20;
    bool converting = false;
    bool fresh = false; // the conversion running reads a file just opened
};

#endif // JOBPANEL_H
