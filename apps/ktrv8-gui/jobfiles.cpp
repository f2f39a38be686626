// The job's files: one job file, or several designs laid out on one material.
#include "jobpanel.h"

#include "previewview.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

QWidget* JobPanel::buildFileRows()
{
    auto* rows = new QWidget;
    auto* layout = new QHBoxLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* names = new QVBoxLayout;
    fileLabel = new QLabel;
    fileLabel->setObjectName(QStringLiteral("jobFile"));
    fileLabel->setWordWrap(true);
    names->addWidget(fileLabel);
    fileList = new QListWidget;
    fileList->setObjectName(QStringLiteral("jobFiles"));
    fileList->setToolTip(tr("The designs laid out together on the material"));
    // A few names at a time: the section shows without scrolling.
    fileList->setMaximumHeight(fileList->fontMetrics().height() * 4 + 8);
    names->addWidget(fileList);
    layout->addLayout(names, 1);
    auto* buttons = new QVBoxLayout;
    auto* openButton = new QPushButton(tr("Open…"));
    openButton->setObjectName(QStringLiteral("openJob"));
    auto* addButton = new QPushButton(tr("Add…"));
    addButton->setObjectName(QStringLiteral("addFiles"));
    addButton->setToolTip(tr("Adds drawings or PLT jobs to cut on the same material"));
    removeButton = new QPushButton(tr("Remove"));
    removeButton->setObjectName(QStringLiteral("removeFile"));
    for (QPushButton* button : {openButton, addButton, removeButton})
        buttons->addWidget(button);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(openButton, &QPushButton::clicked, this, &JobPanel::chooseFile);
    connect(addButton, &QPushButton::clicked, this, &JobPanel::addFiles);
    connect(removeButton, &QPushButton::clicked, this, &JobPanel::removeChosenFile);
    connect(fileList, &QListWidget::currentRowChanged, this, [this] { showFiles(); });
    showFiles();
    return rows;
}

void JobPanel::openFilesLater(const QStringList& paths)
{
    if (paths.size() == 1) {
        openLater(paths.first());
        return;
    }
    files = paths;
    shownName.clear();
    showFiles();
    if (files.isEmpty()) {
        // Nothing left to cut: the job goes with its files.
        job.reset();
        refused.clear();
        dropPreview();
        emit jobChanged();
        return;
    }
    load(true);
}

bool JobPanel::openFiles(const QStringList& paths)
{
    QEventLoop wait;
    bool ok = false;
    connect(this, &JobPanel::loaded, &wait, [&wait, &ok](bool done) {
        ok = done;
        wait.quit();
    });
    openFilesLater(paths);
    if (paths.isEmpty())
        return false;
    wait.exec();
    return ok;
}

void JobPanel::removeChosenFile()
{
    const int row = fileList->currentRow();
    if (row < 0 || row >= files.size())
        return;
    QStringList rest = files;
    rest.removeAt(row);
    openFilesLater(rest);
}

void JobPanel::showFiles()
{
    const QSignalBlocker quiet(fileList);
    const int chosen = fileList->currentRow();
    fileList->clear();
    for (const QString& file : qAsConst(files)) {
        auto* item = new QListWidgetItem(QFileInfo(file).fileName(), fileList);
        item->setToolTip(QFileInfo(file).absoluteFilePath());
    }
    fileList->setCurrentRow(std::min(chosen, int(files.size()) - 1));
    fileList->setVisible(files.size() > 1);
    removeButton->setEnabled(files.size() > 1 && fileList->currentRow() >= 0);
    if (files.isEmpty())
        fileLabel->setText(tr("No job open: open a PLT file or a drawing, or drop one on the window"));
    else if (files.size() > 1)
        fileLabel->setText(tr("%1 files on one material").arg(files.size()));
    else
        fileLabel->setText(jobName());
    fileLabel->setToolTip(files.size() == 1 ? QFileInfo(files.first()).absoluteFilePath() : QString());
}

QString JobPanel::jobName() const
{
    if (!shownName.isEmpty())
        return shownName;
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    return names.join(QStringLiteral(", "));
}
