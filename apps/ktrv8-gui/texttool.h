#ifndef TEXTTOOL_H
#define TEXTTOOL_H

#include "lettering.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

class CutPanel;
class JobPanel;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFontComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Lettering typed in: the text, its font, the height of a capital, the alignment and weld.
// Each change becomes the job a moment later, so the preview shows it as it will be cut;
// Cut sends it to the cutter as any drawing is sent.
class TextTool : public QWidget
{
    Q_OBJECT
public:
    TextTool(JobPanel* job, CutPanel* cut, QWidget* parent = nullptr);

    ktconv::LetteringOptions options() const;
    // Why the text cannot be cut as typed; empty when it can.
    QString problem() const { return why; }

public slots:
    // Lays the text out and makes it the job; false, with the reason shown, when it cannot
    // be cut (nothing to cut, a character no installed font has).
    bool apply();
    // The same, then the cut; false when it cannot start.
    bool cutText();

signals:
    void report(const QString& text, bool problem);

private:
    QWidget* buildForm();
    void refuse(const QString& reason);

    JobPanel* job;
    CutPanel* cut;
    QPlainTextEdit* textEdit = nullptr;
    QFontComboBox* fontBox = nullptr;
    QCheckBox* boldBox = nullptr;
    QCheckBox* italicBox = nullptr;
    QDoubleSpinBox* heightBox = nullptr;
    QComboBox* alignBox = nullptr;
    QCheckBox* weldBox = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* cutButton = nullptr;
    QTimer settle; // a change is laid out once typing pauses
    QTemporaryDir folder;
    QString why;
};

#endif // TEXTTOOL_H
