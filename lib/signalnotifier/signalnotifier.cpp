#include "signalnotifier.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

SignalNotifier::SignalNotifier(QObject* parent) : QObject(parent) {}

SignalNotifier::~SignalNotifier()
{
    for (int number : qAsConst(watched))
        ::signal(number, SIG_DFL);
    if (notifier) {
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

bool SignalNotifier::watch(std::initializer_list<int> numbers, QString* error)
{
    if (!notifier) {
        if (signalPipe[0] >= 0) {
            *error = QStringLiteral("signals are watched already");
            return false;
        }
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
            *error = QStringLiteral("socketpair: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &SignalNotifier::readSignal);
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : numbers) {
        ::sigaction(number, &action, nullptr);
        watched << number;
    }
    return true;
}

void SignalNotifier::readSignal()
{
    char byte = 0;
    if (::read(signalPipe[0], &byte, 1) == 1)
        emit received(byte);
}
