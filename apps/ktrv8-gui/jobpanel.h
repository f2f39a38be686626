#ifndef JOBPANEL_H
#define JOBPANEL_H

#include "hpglreader.h"

#include <QTemporaryDir>
#include <QWidget>

class CutOptionsPanel;
class PreviewView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The job: a plotter file or a drawing (converted with the cutter options), its preview,
// the number of copies, or a QR-code job whose files are found by code in a folder.
class JobPanel : public QWidget
{
    Q_OBJECT
public:
    explicit JobPanel(PreviewView* preview, QWidget* parent = nullptr);

    // False when the file is refused; the reason is shown in the panel and reported.
    bool open(const QString& path);
    bool isReady() const;
    QString filePath() const { return path; }
    // The plotter file the cut reads: the file itself, or the drawing's conversion.
    QString cutFile() const { return cutPath; }
    bool isDrawing() const { return drawing; }
    int pageCount() const { return pages.size(); }
    int copies() const;
    void setCopies(int copies);
    // The cutter's spacing between copies, for the preview's layout (mm).
    void setCopyGap(double mm);
    bool qrMode() const;
    QString qrFolder() const;
    void setQrFolder(const QString& folder);
    QString refusal() const { return refused; }

public slots:
    void chooseFile();
    void chooseQrFolder();

signals:
    void jobChanged();
    void report(const QString& text, bool problem);

private:
    bool load();
    bool writeCutFile(QString* error);
    void refuse(const QString& reason);
    void showPreview();

    PreviewView* preview;
    CutOptionsPanel* cutOptions = nullptr;
    QLabel* fileLabel = nullptr;
    QLabel* refusalLabel = nullptr;
    QSpinBox* copiesBox = nullptr;
    QCheckBox* qrBox = nullptr;
    QLineEdit* qrFolderEdit = nullptr;
    QPushButton* qrFolderButton = nullptr;
    QTemporaryDir scratch;
    QString path;
    QString cutPath;
    QString refused;
    QByteArray content;
    ktconv::PlotterPages pages;
    bool drawing = false;
    double copyGapMm = 20;
};

#endif // JOBPANEL_H
