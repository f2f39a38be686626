#include "connectionbar.h"
#include "guioptions.h"
#include "usbnodes.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ConnectionBar::ConnectionBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Cutter:")));
    target = new QComboBox;
    target->setObjectName(QStringLiteral("target"));
    target->setEditable(true);
    target->setInsertPolicy(QComboBox::NoInsert);
    target->setMinimumWidth(220);
    target->lineEdit()->setPlaceholderText(tr("USB node or network address"));
    target->setToolTip(
        tr("A USB device node (/dev/ttyACM0) or a network address (192.168.1.20 or HOST:PORT, port 9100 by default)"));
    layout->addWidget(target, 1);
    refresh = new QPushButton(tr("Find"));
    refresh->setObjectName(QStringLiteral("findNodes"));
    refresh->setToolTip(tr("List the USB nodes a cutter may be on"));
    layout->addWidget(refresh);
    button = new QPushButton(tr("Connect"));
    button->setObjectName(QStringLiteral("connectButton"));
    layout->addWidget(button);
    connect(refresh, &QPushButton::clicked, this, &ConnectionBar::refreshNodes);
    connect(button, &QPushButton::clicked, this, &ConnectionBar::onButton);
    connect(target->lineEdit(), &QLineEdit::returnPressed, this, &ConnectionBar::onButton);
}

void ConnectionBar::refreshNodes()
{
    const QList<UsbCandidate> candidates = listUsbCandidates();
    const QString typed = target->currentText();
    target->clear();
    for (const UsbCandidate& c : candidates) {
        // The path is what connects (usb:VID:PID[:SERIAL] for a vendor-bulk device); the
        // tooltip and the log say what is behind it.
        target->addItem(c.path);
        target->setItemData(target->count() - 1, usbCandidateLine(c), Qt::ToolTipRole);
        const QString what = QStringLiteral("%1 [%2] %3 %4")
                                 .arg(UsbCandidate::kindName(c.kind), usbCandidateIds(c),
                                      c.product.isEmpty() ? tr("unknown device") : c.product, c.serial)
                                 .simplified();
        if (c.mayOpen)
            emit nodesFound(tr("USB node %1: %2").arg(c.path, what), false);
        else
            emit nodesFound(tr("USB node %1 cannot be opened by this user: %2").arg(c.path, c.fix), true);
    }
    if (candidates.isEmpty())
        emit nodesFound(
            tr("No USB node found: is the cutter plugged in and switched on? A network address can be typed in."),
            false);
    target->setEditText(typed);
}

void ConnectionBar::setAddress(const Address& address)
{
    target->setEditText(address.describe());
}

bool ConnectionBar::address(Address* address, QString* error) const
{
    const QString text = target->currentText().trimmed();
    if (text.isEmpty()) {
        *error = tr("Choose a USB node or type the cutter's network address");
        return false;
    }
    return parseAddress(text, address, error);
}

void ConnectionBar::setConnected(bool on)
{
    connected = on;
    button->setText(on ? tr("Disconnect") : tr("Connect"));
    target->setEnabled(!on);
    refresh->setEnabled(!on);
}

void ConnectionBar::setBusy(bool busy)
{
    button->setEnabled(!busy);
}

void ConnectionBar::onButton()
{
    if (connected) {
        emit disconnectRequested();
        return;
    }
    Address where;
    QString error;
    if (address(&where, &error))
        emit connectRequested(where);
    else
        emit invalidAddress(error);
}
