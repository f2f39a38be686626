#include "texttool.h"

#include "cutpanel.h"
#include "jobpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TextTool::TextTool(JobPanel* jobPanel, CutPanel* cutPanel, QWidget* parent)
    : QWidget(parent), job(jobPanel), cut(cutPanel)
{
    auto* layout = new QVBoxLayout(this);
    textEdit = new QPlainTextEdit;
    textEdit->setObjectName(QStringLiteral("letteringText"));
    textEdit->setPlaceholderText(tr("Type the text to cut; each line is cut as a line"));
    layout->addWidget(textEdit, 1);
    layout->addWidget(buildForm());
    statusLabel = new QLabel;
    statusLabel->setObjectName(QStringLiteral("letteringStatus"));
    statusLabel->setWordWrap(true);
    layout->addWidget(statusLabel);
    cutButton = new QPushButton(tr("Cut text"));
    cutButton->setObjectName(QStringLiteral("cutText"));
    layout->addWidget(cutButton);

    settle.setSingleShot(true);
    settle.setInterval(300);
    connect(&settle, &QTimer::timeout, this, &TextTool::apply);
    const auto changed = [this] { settle.start(); };
    connect(textEdit, &QPlainTextEdit::textChanged, this, changed);
    connect(fontBox, &QFontComboBox::currentFontChanged, this, changed);
    connect(heightBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, changed);
    connect(alignBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, changed);
    for (QCheckBox* box : {boldBox, italicBox, weldBox})
        connect(box, &QCheckBox::toggled, this, changed);
    connect(cutButton, &QPushButton::clicked, this, &TextTool::cutText);
}

QWidget* TextTool::buildForm()
{
    auto* form = new QWidget;
    auto* rows = new QFormLayout(form);
    rows->setContentsMargins(0, 0, 0, 0);
    fontBox = new QFontComboBox;
    fontBox->setObjectName(QStringLiteral("letteringFont"));
    fontBox->setFontFilters(QFontComboBox::ScalableFonts);
    rows->addRow(tr("Font"), fontBox);
    auto* style = new QHBoxLayout;
    boldBox = new QCheckBox(tr("Bold"));
    italicBox = new QCheckBox(tr("Italic"));
    style->addWidget(boldBox);
    style->addWidget(italicBox);
    style->addStretch(1);
    rows->addRow(QString(), style);
    heightBox = new QDoubleSpinBox;
    heightBox->setObjectName(QStringLiteral("letteringHeight"));
    heightBox->setRange(0.5, 2000);
    heightBox->setDecimals(1);
    heightBox->setValue(ktconv::LetteringOptions().capHeightMm);
    heightBox->setSuffix(tr(" mm"));
    rows->addRow(tr("Capital height"), heightBox);
    alignBox = new QComboBox;
    alignBox->setObjectName(QStringLiteral("letteringAlign"));
    alignBox->addItem(tr("Left"), int(Qt::AlignLeft));
    alignBox->addItem(tr("Centre"), int(Qt::AlignHCenter));
    alignBox->addItem(tr("Right"), int(Qt::AlignRight));
    rows->addRow(tr("Alignment"), alignBox);
    weldBox = new QCheckBox(tr("Weld touching letters into one outline"));
    weldBox->setObjectName(QStringLiteral("letteringWeld"));
    rows->addRow(QString(), weldBox);
    return form;
}

ktconv::LetteringOptions TextTool::options() const
{
    ktconv::LetteringOptions options;
    options.family = fontBox->currentFont().family();
    options.bold = boldBox->isChecked();
    options.italic = italicBox->isChecked();
    options.capHeightMm = heightBox->value();
    options.align = Qt::Alignment(alignBox->currentData().toInt());
    options.weld = weldBox->isChecked();
    return options;
}

void TextTool::refuse(const QString& reason)
{
    why = reason;
    statusLabel->setText(reason);
    statusLabel->setStyleSheet(QStringLiteral("color: #b00020"));
}

bool TextTool::apply()
{
    settle.stop();
    if (cut->isRunning()) { // the job in hand is being cut; it stays
        refuse(tr("A cut is running: the text becomes the job when it ends"));
        return false;
    }
    ktconv::Lettering lettering;
    QString error;
    const QStringList lines = textEdit->toPlainText().split(QLatin1Char('\n'));
    const bool laidOut = ktconv::layOutLettering(lines, options(), &lettering, &error);
    if (!lettering.missing.isEmpty()) { // never cut as boxes, nor silently without them
        refuse(tr("Not cut: %1").arg(ktconv::missingGlyphsRefusal(lettering.missing)));
        return false;
    }
    if (!laidOut) {
        refuse(error);
        return false;
    }
    const QString file = folder.filePath(QStringLiteral("lettering.svg"));
    QFile out(file);
    if (!folder.isValid() || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || out.write(ktconv::letteringDrawing(lettering)) < 0 || !out.flush()) {
        refuse(tr("Cannot write the lettering for the job: %1").arg(out.errorString()));
        return false;
    }
    out.close();
    // Shown and reported as the text typed, not as the file it was handed over in.
    constexpr int Longest = 40;
    QString shown = lines.join(QLatin1Char(' ')).simplified();
    if (shown.size() > Longest)
        shown = shown.left(Longest - 1) + QChar(0x2026);
    if (!job->open(file, QStringLiteral("\"%1\"").arg(shown))) {
        refuse(job->refusal());
        return false;
    }
    why.clear();
    statusLabel->setStyleSheet(QString());
    statusLabel->setText(tr("%1 x %2 mm in %3")
                             .arg(lettering.widthMm, 0, 'f', 1)
                             .arg(lettering.heightMm, 0, 'f', 1)
                             .arg(lettering.familyUsed));
    return true;
}

bool TextTool::cutText()
{
    if (!apply()) {
        emit report(why, true);
        return false;
    }
    return cut->start();
}
