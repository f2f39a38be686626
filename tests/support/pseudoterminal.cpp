#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal(QObject* parent) : QObject(parent)
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        qWarning("PseudoTerminal: cannot open a pseudo-terminal: %s", strerror(errno));
        hangUp();
        return;
    }
    path = QString::fromLocal8Bit(::ptsname(master));
    keeper = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PseudoTerminal::onReadable);
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
}

void PseudoTerminal::onReadable()
{
    char chunk[4096];
    bool got = false;
    for (;;) {
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n > 0) {
            input.append(chunk, int(n));
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (got)
        emit bytesReceived();
}

bool PseudoTerminal::waitForBytes(int count, int timeoutMs)
{
    return QTest::qWaitFor([this, count] { return input.size() >= count; }, timeoutMs);
}

bool PseudoTerminal::write(const QByteArray& data, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    int done = 0;
    while (master >= 0 && done < data.size() && !deadline.hasExpired()) {
        const ssize_t n = ::write(master, data.constData() + done, size_t(data.size() - done));
        if (n > 0)
            done += int(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else
            QTest::qWait(1);
    }
    return done == data.size();
}

void PseudoTerminal::setReading(bool on)
{
    if (notifier)
        notifier->setEnabled(on);
}

void PseudoTerminal::hangUp()
{
    delete notifier;
    notifier = nullptr;
    if (keeper >= 0)
        ::close(keeper);
    if (master >= 0)
        ::close(master);
    keeper = master = -1;
}
