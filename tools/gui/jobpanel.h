#ifndef JOBPANEL_H
#define JOBPANEL_H

#include <QWidget>

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
    QString plotterText() const { return plt; }
    int pageCount() const { return pages; }
    int copies() const;
    void setCopies(int copies);
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
    void refuse(const QString& reason);
    void showPreview();

    PreviewView* preview;
    QLabel* fileLabel = nullptr;
    QLabel* refusalLabel = nullptr;
    QSpinBox* copiesBox = nullptr;
    QCheckBox* qrBox = nullptr;
    QLineEdit* qrFolderEdit = nullptr;
    QPushButton* qrFolderButton = nullptr;
    QString path;
    QString plt;
    QString refused;
    int pages = 0;
};

#endif // JOBPANEL_H
