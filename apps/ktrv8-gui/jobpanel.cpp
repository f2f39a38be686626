#include "jobpanel.h"

#include "cutoptionspanel.h"
#include "drawingpartspanel.h"
#include "jobconversion.h"
#include "latestwork.h"
#include "offthreadfree.h"
#include "previewview.h"
#include "sheetoverlay.h"
#include "sheetpanel.h"

#include "preview.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

JobPanel::JobPanel(PreviewView* previewView, QWidget* parent) : QWidget(parent), preview(previewView)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildFileRows());
    refusalLabel = new QLabel;
    refusalLabel->setObjectName(QStringLiteral("jobRefusal"));
    refusalLabel->setWordWrap(true);
    refusalLabel->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold"));
    refusalLabel->hide();
    layout->addWidget(refusalLabel);
    conversionBar = new QProgressBar;
    conversionBar->setObjectName(QStringLiteral("conversionProgress"));
    conversionBar->setRange(0, 100);
    conversionBar->hide();
    layout->addWidget(conversionBar);
    conversion = new JobConversion(this);
    connect(conversion, &JobConversion::progress, this, &JobPanel::onProgress);
    connect(conversion, &JobConversion::finished, this, &JobPanel::onConverted);

    layout->addLayout(buildForm());

    // The window gives the options a section of their own.
    optionsBox = new QWidget(this);
    optionsBox->hide();
    optionsBox->setObjectName(QStringLiteral("cutOptions"));
    cutOptions = new CutOptionsPanel;
    auto* optionsLayout = new QVBoxLayout(optionsBox);
    optionsLayout->addWidget(cutOptions);
    parts = new DrawingPartsPanel;
    optionsLayout->addWidget(parts);
    optionsLayout->addStretch(1);
    optionsBox->setEnabled(false);
    layout->addStretch(1);
    sheet = new SheetPanel(this);
    sheet->setObjectName(QStringLiteral("sheetOptions"));

    connect(qrFolderButton, &QPushButton::clicked, this, &JobPanel::chooseQrFolder);
    connect(qrBox, &QCheckBox::toggled, this, [this](bool on) {
        qrFolderEdit->setEnabled(on);
        qrFolderButton->setEnabled(on);
        emit jobChanged();
    });
    connect(qrFolderEdit, &QLineEdit::textChanged, this, &JobPanel::jobChanged);
    connect(copiesBox, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] {
        showPreview();
        emit jobChanged();
    });
    const auto convertAgain = [this] {
        if (isDrawing())
            load(false);
    };
    connect(cutOptions, &CutOptionsPanel::changed, this, convertAgain);
    connect(parts, &DrawingPartsPanel::changed, this, convertAgain);
    // A PLT job is measured against the material when it is read: read again.
    connect(sheet, &SheetPanel::changed, this, [this] {
        if (!files.isEmpty())
            load(!isDrawing());
    });
    connect(sheet, &SheetPanel::report, this, &JobPanel::report);
    connect(this, &JobPanel::jobChanged, optionsBox, [this] { optionsBox->setEnabled(isDrawing()); });
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

void JobPanel::chooseFile()
{
    pickFiles(false);
}

void JobPanel::addFiles()
{
    pickFiles(true);
}

// Dialogs open without a nested event loop, so the cutter's replies keep flowing.
void JobPanel::pickFiles(bool adding)
{
    auto* dialog = new QFileDialog(
        this, adding ? tr("Add designs to the material") : tr("Open a job"), QFileInfo(filePath()).absolutePath(),
        tr("Jobs (*.plt *.hpgl *.svg *.svgz *.pdf *.dxf *.png *.jpg *.jpeg *.bmp *.tif *.tiff);;All files (*)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    connect(dialog, &QFileDialog::filesSelected, this,
            [this, adding](const QStringList& chosen) { openFilesLater(adding ? files + chosen : chosen); });
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

void JobPanel::openLater(const QString& file, const QString& shown)
{
    files = QStringList{file};
    shownName = shown;
    showFiles();
    load(true);
}

bool JobPanel::open(const QString& file, const QString& shown)
{
    QEventLoop wait;
    bool ok = false;
    connect(this, &JobPanel::loaded, &wait, [&wait, &ok](bool done) {
        ok = done;
        wait.quit();
    });
    openLater(file, shown);
    wait.exec();
    return ok;
}

// Reads the job once (fresh): a drawing converted with the current cutter options, a PLT job
// checked as the cut would check it, before the cut. Otherwise the drawing in hand is
// converted again with the options as they are now. Either runs off this thread; the job
// is not ready until it is over.
void JobPanel::load(bool again)
{
    fresh = again || !job || !job->isDrawing();
    converting = true;
    layouts->cancel();
    layingOut = announce = false;
    preview->setOutOfDate(true);
    if (fresh) {
        PreparedJob::Options options;
        options.cut = cutOptions->options();
        options.geometry = true;
        options.sheet = sheet->options();
        parts->clear();
        partLists->cancel();
        options.input = parts->input(cutOptions->input({})); // a threshold set by hand stays for the next picture
        if (files.size() > 1)
            conversion->readSeveral(files, options);
        else
            conversion->read(filePath(), options);
    } else {
        conversion->convertAgain(job, cutOptions->options(), parts->input(cutOptions->input({})), sheet->options());
    }
    emit jobChanged();
}

void JobPanel::onProgress(const QString& stage, int percent)
{
    const QString names[] = {tr("reading"), tr("ordering"), tr("writing")};
    const int index =
        QStringList{QStringLiteral("reading"), QStringLiteral("ordering"), QStringLiteral("writing")}.indexOf(stage);
    conversionBar->setFormat(tr("Converting: %1 %p%").arg(index >= 0 ? names[index] : stage));
    conversionBar->setValue(percent);
    conversionBar->show();
}

void JobPanel::onConverted(const std::shared_ptr<PreparedJob>& next, bool ok)
{
    converting = false;
    conversionBar->hide();
    refused.clear();
    job = next;
    if (!shownName.isEmpty())
        job->setName(shownName);
    if (ok && job->pages().isEmpty()) {
        refuse(tr("%1 holds no page to cut").arg(jobName()));
        ok = false;
    } else if (!ok) {
        refuse(CutOptionsPanel::explained(job->error()));
    } else {
        refusalLabel->hide();
        announce = true;
        showPreview();
        if (fresh)
            showParts();
        if (fresh)
            emit report(tr("Opened %1: %2 page(s)%3")
                            .arg(jobName())
                            .arg(job->pages().size())
                            .arg(job->isDrawing() ? tr(", converted from a drawing") : QString()),
                        false);
        emit jobChanged();
    }
    // A job with a sheet to lay out is loaded once it is laid out.
    if (!ok || !layingOut) {
        announce = false;
        emit loaded(ok);
    }
}

// The layers and colours of a drawing just opened, or a picture's threshold, to choose from:
// listing them reads the drawing once more, which for a big one takes as long, so it is
// done off this thread while the job is ready to cut as it is.
void JobPanel::showParts()
{
    const std::shared_ptr<const PreparedJob> listed = job;
    partLists->start([this, listed]() -> LatestWork::Delivery {
        ktconv::DrawingParts found;
        QString unlisted;
        const bool picture = listed->format() == ktconv::JobFormat::Bitmap;
        if (!picture && !listed->listParts(&found, &unlisted))
            return nullptr;
        return [this, found, picture] { parts->showParts(found, picture); };
    });
}

// A refused drawing is kept: other cutter options may convert it.
void JobPanel::refuse(const QString& reason)
{
    refused = reason;
    dropPreview();
    refusalLabel->setText(tr("Refused: %1").arg(reason));
    refusalLabel->show();
    emit report(tr("Refused %1: %2").arg(jobName(), reason), true);
    emit jobChanged();
}

// Painted from the job's strokes as they are: nothing is drawn to a file first. Every stroke
// of every copy is placed on the sheet, which for a big job takes a while: off this thread.
// Meanwhile the picture shown is veiled as out of date and the job is not ready: the frame
// of the page being cut needs the pages of the sheet that is cut.
void JobPanel::showPreview()
{
    if (converting || !refused.isEmpty() || !job || job->geometry().isEmpty())
        return;
    ktconv::PreviewLayout layout;
    layout.copies = copies();
    layout.copyGapMm = copyGapMm;
    layout.backdrop = job->backdrop();
    const ktconv::Material& material = job->material();
    if (material.known())
        layout.materialMm = QSizeF(material.widthMm, material.lengthMm);
    const std::shared_ptr<const PreparedJob> shown = job;
    const int pages = job->pages().size();
    layingOut = true;
    preview->setOutOfDate(true);
    layouts->start([this, shown, layout, pages]() -> LatestWork::Delivery {
        auto drawn = makeFreedOffThread<const SheetOverlay>(ktconv::layOutPreview(shown->geometry(), layout),
                                                            layout.backdrop, shown->backdrops(), pages);
        return [this, drawn, pages] { showLaidOut(drawn, pages); };
    });
    emit jobChanged();
}

void JobPanel::showLaidOut(const std::shared_ptr<const SheetOverlay>& drawn, int pages)
{
    layingOut = false;
    preview->setPicture(
        QRectF(QPointF(0, 0), drawn->sheet.sizeMm), [drawn](QPainter* painter) { drawn->paint(painter); },
        drawn->sheet.pageAreas, pages);
    emit jobChanged();
    if (announce) {
        announce = false;
        emit loaded(true);
    }
}

// The job's picture goes, and the one being laid out for it.
void JobPanel::dropPreview()
{
    layouts->cancel();
    layingOut = announce = false;
    preview->clearPicture();
}

bool JobPanel::isReady() const
{
    if (qrMode())
        return QFileInfo(qrFolder()).isDir();
    return !converting && !layingOut && refused.isEmpty() && job && !job->pages().isEmpty();
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
