#include "headpanel.h"

#include "cutterconnection.h"

#include "ktdeviceinterface.h"
#include "ktdeviceproperty.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The key of the "set origin" command where a cutter's parameter set has one.
const QString originKey = QStringLiteral("FLAG_POINT");

struct Arrow
{
    const char* name;
    const char* text;
    int row, column, dx, dy;
};

// Up is away from the user: the head's y grows along the material.
const Arrow arrowRows[] = {
    {"jogUp", "▲", 0, 1, 0, 1},
    {"jogLeft", "◀", 1, 0, -1, 0},
    {"jogRight", "▶", 1, 2, 1, 0},
    {"jogDown", "▼", 2, 1, 0, -1},
};

} // namespace

HeadPanel::HeadPanel(QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    for (const Arrow& a : arrowRows) {
        auto* button = new QPushButton(QString::fromUtf8(a.text));
        button->setObjectName(QLatin1String(a.name));
        button->setAutoRepeat(true);
        grid->addWidget(button, a.row, a.column);
        connect(button, &QPushButton::clicked, this, [this, a] { jog(a.dx, a.dy); });
        arrows << button;
    }
    step = new QSpinBox;
    step->setObjectName(QStringLiteral("jogStep"));
    step->setRange(1, 100);
    step->setValue(5);
    step->setToolTip(tr("Steps per press, as \"ktrv8 move\" takes them"));
    grid->addWidget(step, 1, 1);
    originButton = new QPushButton(tr("Set origin here"));
    originButton->setObjectName(QStringLiteral("setOrigin"));
    grid->addWidget(originButton, 3, 0, 1, 3);
    grid->setRowStretch(4, 1);
    connect(originButton, &QPushButton::clicked, this, &HeadPanel::setOrigin);
    updateButtons();
}

void HeadPanel::setLink(CutterConnection* newLink)
{
    link = newLink;
    updateButtons();
}

void HeadPanel::setConnected(bool on)
{
    connected = on;
    updateButtons();
}

void HeadPanel::setCutting(bool on)
{
    cutting = on;
    updateButtons();
}

void HeadPanel::updateButtons()
{
    const bool free = link && connected && !cutting;
    for (QPushButton* arrow : arrows)
        arrow->setEnabled(free);
    const bool hasOrigin = link && link->property(originKey);
    originButton->setEnabled(free && hasOrigin);
    originButton->setToolTip(hasOrigin || !link ? tr("Makes the head's place the cutter's origin")
                                                : tr("This cutter has no command to set its origin: "
                                                     "each job starts where the head is"));
}

void HeadPanel::jog(int dx, int dy)
{
    if (!link || !connected || cutting)
        return;
    const int n = step->value();
    link->device()->move(dx * n, dy * n);
    emit report(tr("Moved the head by %1, %2").arg(dx * n).arg(dy * n), false);
}

void HeadPanel::setOrigin()
{
    KTDeviceProperty* origin = link ? link->property(originKey) : nullptr;
    if (!origin || !connected || cutting)
        return;
    origin->setValue(1);
    link->device()->sendCMD(origin->set_cmd_bytes());
    emit report(tr("The head's place is the cutter's origin now"), false);
}
