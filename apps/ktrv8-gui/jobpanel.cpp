#include "jobpanel.h"

#include "cutoptionspanel.h"
#include "drawingpartspanel.h"
#include "previewview.h"

#include "preview.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
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
    fileLabel = new QLabel(tr("No job open: open a PLT file or a drawing, or drop one on the window"));
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

    layout->addLayout(buildForm());

    auto* optionsBox = new QGroupBox(tr("Cutter options (drawings)"));
    optionsBox->setObjectName(QStringLiteral("cutOptions"));
    cutOptions = new CutOptionsPanel;
    auto* optionsLayout = new QVBoxLayout(optionsBox);
    optionsLayout->addWidget(cutOptions);
    parts = new DrawingPartsPanel;
    optionsLayout->addWidget(parts);
    optionsBox->setEnabled(false);
    layout->addWidget(optionsBox);
    layout->addStretch(1);

    connect(openButton, &QPushButton::clicked, this, &JobPanel::chooseFile);
    connect(qrFolderButton, &QPushButton::clicked, this, &JobPanel::chooseQrFolder);
    connect(qrBox, &QCheckBox::toggled, this, [this](bool on) {
        qrFolderEdit->setEnabled(on);
        qrFolderButton->setEnabled(on);
        emit jobChanged();
    });
    connect(qrFolderEdit, &QLineEdit::textChanged, this, &JobPanel::jobChanged);
    connect(copiesBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &JobPanel::showPreview);
    const auto convertAgain = [this] {
        if (isDrawing())
            load(false);
    };
    connect(cutOptions, &CutOptionsPanel::changed, this, convertAgain);
    connect(parts, &DrawingPartsPanel::changed, this, convertAgain);
    connect(this, &JobPanel::jobChanged, optionsBox, [this, optionsBox] { optionsBox->setEnabled(isDrawing()); });
    qrFolderEdit->setEnabled(false);
    qrFolderButton->setEnabled(false);
}

// Copies, and the QR-code job with its folder.
QFormLayout* JobPanel::buildForm()
{
    auto* form = new QFormLayout;
    copiesBox = new QSpinBox;
    copiesBox->setObjectName(QStringLiteral("copies"));
    copiesBox->setRange(1, 999);
    form->addRow(tr("Copies"), copiesBox);
    qrBox = new QCheckBox(tr("QR-code job"));
    qrBox->setObjectName(QStringLiteral("qrMode"));
    qrBox->setToolTip(tr("The cutter scans a code before each copy; the job cut is FOLDER/CODE.plt"));
    form->addRow(qrBox);
    auto* folderRow = new QHBoxLayout;
    qrFolderEdit = new QLineEdit;
    qrFolderEdit->setObjectName(QStringLiteral("qrFolder"));
    qrFolderEdit->setPlaceholderText(tr("Folder of jobs by code"));
    qrFolderButton = new QPushButton(tr("Choose…"));
    folderRow->addWidget(qrFolderEdit, 1);
    folderRow->addWidget(qrFolderButton);
    form->addRow(tr("Jobs folder"), folderRow);
    return form;
}

// Dialogs open without a nested event loop, so the cutter's replies keep flowing.
void JobPanel::chooseFile()
{
    auto* dialog = new QFileDialog(
        this, tr("Open a job"), QFileInfo(path).absolutePath(),
        tr("Jobs (*.plt *.hpgl *.svg *.pdf *.dxf *.png *.jpg *.jpeg *.bmp *.tif *.tiff);;All files (*)"));
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
    fileLabel->setText(QFileInfo(file).fileName());
    fileLabel->setToolTip(QFileInfo(file).absoluteFilePath());
    if (!load(true))
        return false;
    emit report(tr("Opened %1: %2 page(s)%3")
                    .arg(QFileInfo(file).fileName())
                    .arg(job->pages().size())
                    .arg(job->isDrawing() ? tr(", converted from a drawing") : QString()),
                false);
    return true;
}

// Reads the job once (fresh): a drawing converted with the current cutter options, a PLT job
// checked as the cut would check it, before the cut. Otherwise the drawing in hand is
// converted again with the options as they are now.
bool JobPanel::load(bool fresh)
{
    refused.clear();
    auto next = std::make_shared<PreparedJob>();
    bool ok = false;
    if (!fresh && job && job->isDrawing()) {
        *next = *job;
        ok = next->convertAgain(cutOptions->options(), parts->input());
    } else {
        PreparedJob::Options options;
        options.cut = cutOptions->options();
        options.geometry = true;
        parts->clear();
        options.input = parts->input(); // a threshold set by hand stays for the next picture
        ok = next->read(path, options);
        ktconv::DrawingParts found;
        QString unlisted;
        const bool picture = next->format() == ktconv::JobFormat::Bitmap;
        if (ok && (picture || next->listParts(&found, &unlisted)))
            parts->showParts(found, picture);
    }
    job = next;
    if (!ok) {
        refuse(job->error());
        return false;
    }
    if (job->pages().isEmpty()) {
        refuse(tr("%1 holds no page to cut").arg(QFileInfo(path).fileName()));
        return false;
    }
    refusalLabel->hide();
    showPreview();
    emit jobChanged();
    return true;
}

// A refused drawing is kept: other cutter options may convert it.
void JobPanel::refuse(const QString& reason)
{
    refused = reason;
    preview->clearPicture();
    refusalLabel->setText(tr("Refused: %1").arg(reason));
    refusalLabel->show();
    emit report(tr("Refused %1: %2").arg(QFileInfo(path).fileName(), reason), true);
    emit jobChanged();
}

// Painted from the job's strokes as they are: nothing is drawn to a file first.
void JobPanel::showPreview()
{
    if (!refused.isEmpty() || !job || job->geometry().isEmpty())
        return;
    ktconv::PreviewLayout layout;
    layout.copies = copies();
    layout.copyGapMm = copyGapMm;
    layout.backdrop = job->backdrop();
    auto sheet = std::make_shared<const ktconv::PreviewSheet>(ktconv::layOutPreview(job->geometry(), layout));
    preview->setPicture(
        QRectF(QPointF(0, 0), sheet->sizeMm), [sheet](QPainter* painter) { ktconv::paintPreview(painter, *sheet); },
        sheet->pageAreas, job->pages().size());
}

bool JobPanel::isReady() const
{
    if (qrMode())
        return QFileInfo(qrFolder()).isDir();
    return refused.isEmpty() && job && !job->pages().isEmpty();
}

int JobPanel::copies() const
{
    return copiesBox->value();
}

void JobPanel::setCopies(int copies)
{
    copiesBox->setValue(copies);
}

void JobPanel::setCopyGap(double mm)
{
    if (mm > 0 && mm <= 1000 && mm != copyGapMm) {
        copyGapMm = mm;
        showPreview();
    }
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
