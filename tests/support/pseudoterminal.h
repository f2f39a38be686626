#ifndef PSEUDOTERMINAL_H
#define PSEUDOTERMINAL_H

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// A pseudo-terminal whose master side plays the cutter in tests: the slave path is the
// device node that the USB link opens. Everything read from the master is recorded.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject* parent = nullptr);
    ~PseudoTerminal() override;

    bool isOpen() const { return master >= 0; }
    QString slavePath() const { return path; }

    // Bytes the link wrote, in order.
    const QByteArray& received() const { return input; }
    void clearReceived() { input.clear(); }
    bool waitForBytes(int count, int timeoutMs = 5000);

    // Writes all of data to the link, letting the event loop run while the line is full.
    bool write(const QByteArray& data, int timeoutMs = 5000);
    // A cutter that stops reading lets the line fill up.
    void setReading(bool on);
    // Closes the master: the link sees a hang-up.
    void hangUp();

signals:
    void bytesReceived();

private:
    void onReadable();

    int master = -1;
    int keeper = -1; // our own slave descriptor: keeps the master readable while none is open
    QString path;
    QSocketNotifier* notifier = nullptr;
    QByteArray input;
};

#endif // PSEUDOTERMINAL_H
