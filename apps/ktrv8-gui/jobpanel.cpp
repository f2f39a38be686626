#include "jobpanel.h"

#include "cutoptionspanel.h"
#include "previewview.h"

#include "conversion.h"
#include "jobtext.h"
#include "pltwriter.h"
#include "preview.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include <memory>

namespace {

// Where each page of each copy lies on the preview's sheet, as the preview lays them out:
// from a 5 mm border, pages down the sheet, copies below one another.
QList<QRectF> pageAreas(const ktconv::PlotterPages& pages, const ktconv::PreviewLayout& layout, double sheetWidth)
{
    const double border = 5;
    QList<QRectF> areas;
    double top = border;
    for (int copy = 0; copy < std::max(1, layout.copies); ++copy) {
        if (copy > 0)
            top += layout.copyGapMm - layout.pageGapMm;
        for (const ktconv::CutPaths& page : pages) {
            const double height = std::max(0.0, ktconv::boundsOf(page).bottom() / ktconv::UnitsPerMm);
            areas << QRectF(border, top, std::max(0.0, sheetWidth - 2 * border), height);
            top += height + layout.pageGapMm;
        }
    }
    return areas;
}

} // namespace

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
    layout->addLayout(form);

    auto* optionsBox = new QGroupBox(tr("Cutter options (drawings)"));
    optionsBox->setObjectName(QStringLiteral("cutOptions"));
    cutOptions = new CutOptionsPanel;
    auto* optionsLayout = new QVBoxLayout(optionsBox);
    optionsLayout->addWidget(cutOptions);
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
    connect(cutOptions, &CutOptionsPanel::changed, this, [this] {
        if (drawing)
            load();
    });
    connect(this, &JobPanel::jobChanged, optionsBox, [this, optionsBox] { optionsBox->setEnabled(drawing); });
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
    fileLabel->setText(QFileInfo(file).fileName());
    fileLabel->setToolTip(QFileInfo(file).absoluteFilePath());
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        content.clear();
        refuse(tr("cannot read %1: %2").arg(file, in.errorString()));
        return false;
    }
    content = in.readAll();
    drawing = ktconv::detectFormat(content) == ktconv::JobFormat::Drawing;
    if (!load())
        return false;
    emit report(tr("Opened %1: %2 page(s)%3")
                    .arg(QFileInfo(file).fileName())
                    .arg(pages.size())
                    .arg(drawing ? tr(", converted from a drawing") : QString()),
                false);
    return true;
}

// Reads the pages (a drawing with the current cutter options) and the file the cut reads.
bool JobPanel::load()
{
    refused.clear();
    pages.clear();
    cutPath.clear();
    QString error;
    // What the cut would refuse (a NUL, a frame byte, UTF-16) is refused here, before the cut.
    const qsizetype offset = drawing ? -1 : checkJobText(content, &error);
    if (offset >= 0) {
        refuse(tr("byte %1 is %2; a job is plain text (ASCII or UTF-8)").arg(offset).arg(error));
        return false;
    }
    if (!ktconv::loadJobPages(content, cutOptions->options(), &pages, &error)) {
        refuse(error);
        return false;
    }
    if (pages.isEmpty()) {
        refuse(tr("%1 holds no page to cut").arg(QFileInfo(path).fileName()));
        return false;
    }
    if (!writeCutFile(&error)) {
        refuse(error);
        return false;
    }
    refusalLabel->hide();
    showPreview();
    emit jobChanged();
    return true;
}

// A plotter file is cut as it is; a drawing through its conversion, written beside.
bool JobPanel::writeCutFile(QString* error)
{
    if (!drawing) {
        cutPath = path;
        return true;
    }
    QFile out(scratch.filePath(QStringLiteral("converted.plt")));
    if (!scratch.isValid() || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = tr("cannot write the converted job: %1").arg(out.errorString());
        return false;
    }
    for (const ktconv::CutPaths& page : pages)
        out.write(ktconv::writePltPage(page));
    if (!out.flush()) {
        *error = tr("cannot write the converted job: %1").arg(out.errorString());
        return false;
    }
    cutPath = out.fileName();
    return true;
}

void JobPanel::refuse(const QString& reason)
{
    refused = reason;
    pages.clear();
    cutPath.clear();
    preview->clearPicture();
    refusalLabel->setText(tr("Refused: %1").arg(reason));
    refusalLabel->show();
    emit report(tr("Refused %1: %2").arg(QFileInfo(path).fileName(), reason), true);
    emit jobChanged();
}

void JobPanel::showPreview()
{
    if (pages.isEmpty())
        return;
    ktconv::PreviewLayout layout;
    layout.copies = copies();
    layout.copyGapMm = copyGapMm;
    const QString picture = scratch.filePath(QStringLiteral("preview.svg"));
    QString error;
    auto renderer = std::make_shared<QSvgRenderer>();
    if (!ktconv::writePreview(pages, layout, picture, &error) || !renderer->load(picture)) {
        preview->clearPicture();
        emit report(tr("No preview: %1").arg(error), true);
        return;
    }
    const QRectF sheet = renderer->viewBoxF();
    preview->setPicture(
        sheet, [renderer, sheet](QPainter* painter) { renderer->render(painter, sheet); },
        pageAreas(pages, layout, sheet.width()), pages.size());
}

bool JobPanel::isReady() const
{
    if (qrMode())
        return QFileInfo(qrFolder()).isDir();
    return !pages.isEmpty() && !cutPath.isEmpty();
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
