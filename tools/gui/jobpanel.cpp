#include "jobpanel.h"

#include "previewview.h"

#include "ktrv8.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

JobPanel::JobPanel(PreviewView* previewView, QWidget* parent) : QWidget(parent), preview(previewView)
{
    auto* layout = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    fileLabel = new QLabel(tr("No job open: open a plotter file or a drawing, or drop one on the window"));
    fileLabel->setObjectName(QStringLiteral("jobFile"));
    fileLabel->setWordWrap(true);
    auto* openButton = new QPushButton(tr("Open…"));
    openButton->setObjectName(QStringLiteral("openJob"));
    fileRow->addWidget(fileLabel, 1);
    fileRow->addWidget(openButton);
    layout->addLayout(fileRow);
    refusalLabel = new QLabel;
    refusalLabel->setObjectName(QStringLiteral("jobRefusal"));
    refusalLabel->setWordWrap(true);
    refusalLabel->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold"));
    refusalLabel->hide();
    layout->addWidget(refusalLabel);

    auto* form = new QFormLayout;
    copiesBox = new QSpinBox;
    copiesBox->setObjectName(QStringLiteral("copies"));
    copiesBox->setRange(1, 999);
    form->addRow(tr("Copies"), copiesBox);
    qrBox = new QCheckBox(tr("QR-code job: the cutter scans a code, the job is FOLDER/CODE.plt"));
    qrBox->setObjectName(QStringLiteral("qrMode"));
    form->addRow(qrBox);
    auto* folderRow = new QHBoxLayout;
    qrFolderEdit = new QLineEdit;
    qrFolderEdit->setObjectName(QStringLiteral("qrFolder"));
    qrFolderEdit->setPlaceholderText(tr("Folder of jobs by code"));
    qrFolderButton = new QPushButton(tr("Choose…"));
    folderRow->addWidget(qrFolderEdit, 1);
    folderRow->addWidget(qrFolderButton);
    form->addRow(tr("Jobs folder"), folderRow);
    layout->addLayout(form);
    layout->addStretch(1);

    connect(openButton, &QPushButton::clicked, this, &JobPanel::chooseFile);
    connect(qrFolderButton, &QPushButton::clicked, this, &JobPanel::chooseQrFolder);
    connect(qrBox, &QCheckBox::toggled, this, [this](bool on) {
        qrFolderEdit->setEnabled(on);
        qrFolderButton->setEnabled(on);
        emit jobChanged();
    });
    connect(qrFolderEdit, &QLineEdit::textChanged, this, &JobPanel::jobChanged);
    qrFolderEdit->setEnabled(false);
    qrFolderButton->setEnabled(false);
}

// Dialogs open without a nested event loop, so the cutter's replies keep flowing.
void JobPanel::chooseFile()
{
    auto* dialog = new QFileDialog(this, tr("Open a job"), QFileInfo(path).absolutePath(),
                                   tr("Jobs (*.plt *.hpgl *.svg);;All files (*)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) { open(file); });
    dialog->open();
}

void JobPanel::chooseQrFolder()
{
    auto* dialog = new QFileDialog(this, tr("Folder of jobs by code"), qrFolderEdit->text());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    connect(dialog, &QFileDialog::fileSelected, this, &JobPanel::setQrFolder);
    dialog->open();
}

bool JobPanel::open(const QString& file)
{
    path = file;
    plt.clear();
    pages = 0;
    refused.clear();
    fileLabel->setText(QFileInfo(file).fileName());
    fileLabel->setToolTip(QFileInfo(file).absoluteFilePath());
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        refuse(tr("cannot read %1: %2").arg(file, in.errorString()));
        return false;
    }
    plt = QString::fromUtf8(in.readAll());
    pages = KTRV8::splitPages(plt).size();
    if (pages == 0) {
        refuse(tr("%1 holds no page to cut").arg(file));
        return false;
    }
    refusalLabel->hide();
    showPreview();
    emit report(tr("Opened %1: %2 page(s)").arg(QFileInfo(file).fileName()).arg(pages), false);
    emit jobChanged();
    return true;
}

void JobPanel::refuse(const QString& reason)
{
    refused = reason;
    plt.clear();
    pages = 0;
    preview->clearPicture();
    refusalLabel->setText(tr("Refused: %1").arg(reason));
    refusalLabel->show();
    emit report(tr("Refused: %1").arg(reason), true);
    emit jobChanged();
}

void JobPanel::showPreview()
{
    preview->clearPicture();
}

bool JobPanel::isReady() const
{
    if (qrMode())
        return QFileInfo(qrFolder()).isDir();
    return pages > 0;
}

int JobPanel::copies() const
{
    return copiesBox->value();
}

void JobPanel::setCopies(int copies)
{
    copiesBox->setValue(copies);
}

bool JobPanel::qrMode() const
{
    return qrBox->isChecked();
}

QString JobPanel::qrFolder() const
{
    return qrFolderEdit->text();
}

void JobPanel::setQrFolder(const QString& folder)
{
    qrFolderEdit->setText(folder);
    qrBox->setChecked(!folder.isEmpty());
}
