#ifndef CONNECTIONBAR_H
#define CONNECTIONBAR_H

#include "hostcommon.h"

#include <QWidget>

class QComboBox;
class QPushButton;

// Where the cutter is: a USB node from the host library's list, or a network address
// typed in (port 9100 unless given). One button connects and disconnects.
class ConnectionBar : public QWidget
{
    Q_OBJECT
public:
    explicit ConnectionBar(QWidget* parent = nullptr);

    void setAddress(const Address& address);
    // False with a reason when the text is no address.
    bool address(Address* address, QString* error) const;
    void setConnected(bool connected);
    void setBusy(bool busy);

public slots:
    void refreshNodes();

signals:
    void connectRequested(const Address& address);
    void disconnectRequested();
    void invalidAddress(const QString& reason);
    // What the search for USB nodes found, for the log.
    void nodesFound(const QString& text, bool problem);

private:
    void onButton();

    QComboBox* target = nullptr;
    QPushButton* refresh = nullptr;
    QPushButton* button = nullptr;
    bool connected = false;
};

#endif // CONNECTIONBAR_H
