#include "cutpanel.h"

#include "devicelink.h"
#include "jobpanel.h"
#include "jobrunner.h"

#include "ktdeviceproperty.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CutPanel::CutPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    startButton = new QPushButton(tr("Start"));
    startButton->setObjectName(QStringLiteral("startCut"));
    pauseButton = new QPushButton(tr("Pause"));
    pauseButton->setObjectName(QStringLiteral("pauseCut"));
    stopButton = new QPushButton(tr("Stop"));
    stopButton->setObjectName(QStringLiteral("stopCut"));
    stopButton->setToolTip(tr("Asks the cutter to stop and waits for its confirmation"));
    buttons->addWidget(startButton);
    buttons->addWidget(pauseButton);
    buttons->addWidget(stopButton);
    layout->addLayout(buttons);
    bar = new QProgressBar;
    bar->setObjectName(QStringLiteral("progress"));
    bar->setRange(0, 100);
    bar->setValue(0);
    layout->addWidget(bar);
    progressLabel = new QLabel(tr("No cut yet"));
    progressLabel->setObjectName(QStringLiteral("progressText"));
    timeLabel = new QLabel;
    timeLabel->setObjectName(QStringLiteral("timeText"));
    resultLabel = new QLabel;
    resultLabel->setObjectName(QStringLiteral("result"));
    resultLabel->setWordWrap(true);
    layout->addWidget(progressLabel);
    layout->addWidget(timeLabel);
    layout->addWidget(resultLabel);
    connect(startButton, &QPushButton::clicked, this, &CutPanel::start);
    connect(pauseButton, &QPushButton::clicked, this, &CutPanel::pauseOrResume);
    connect(stopButton, &QPushButton::clicked, this, &CutPanel::stop);
    updateButtons();
}

void CutPanel::setLink(DeviceLink* deviceLink, JobPanel* jobPanel)
{
    link = deviceLink;
    job = jobPanel;
    updateButtons();
}

void CutPanel::setConnected(bool on)
{
    connected = on;
    updateButtons();
}

void CutPanel::setJobReady(bool on)
{
    ready = on;
    updateButtons();
}

void CutPanel::updateButtons()
{
    startButton->setEnabled(link && job && connected && ready && !running);
    pauseButton->setEnabled(running);
    pauseButton->setText(paused ? tr("Resume") : tr("Pause"));
    stopButton->setEnabled(running);
}

QString CutPanel::resultText() const
{
    return resultLabel->text();
}

QString CutPanel::progressText() const
{
    return progressLabel->text();
}

int CutPanel::progressPercent() const
{
    return bar->value();
}

void CutPanel::showResult(int code, const QString& text)
{
    exitCode = code;
    resultLabel->setStyleSheet(code == 0 ? QStringLiteral("color: #1b5e20; font-weight: bold")
                                         : QStringLiteral("color: #b00020; font-weight: bold"));
    resultLabel->setText(text);
    emit report(text, code != 0);
    emit finished(code, text);
}

void CutPanel::start()
{
}

void CutPanel::pauseOrResume()
{
}

void CutPanel::stop()
{
}
