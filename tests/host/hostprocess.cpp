// The host as a process: run to its end, or on a terminal of its own.
#include "hostprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

Run runHost(const QStringList& arguments, int timeoutMs)
{
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), arguments);
    Run run;
    if (!host.waitForStarted(10000))
        return run;
    if (!host.waitForFinished(timeoutMs)) {
        host.kill();
        host.waitForFinished(5000);
        run.err = "timed out";
        return run;
    }
    run.code = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    run.out = host.readAllStandardOutput();
    run.err = host.readAllStandardError();
    return run;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray sampleJob()
{
    return readFile(QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/sample.plt"));
}

QStringList addressOf(const SimProcess& sim, bool usb)
{
    return usb ? QStringList{"--usb", sim.ptyPath} : QStringList{"--tcp", QStringLiteral("127.0.0.1:%1").arg(sim.port)};
}

TerminalHost::~TerminalHost()
{
    if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    if (master >= 0)
        ::close(master);
}

bool TerminalHost::start(const QStringList& arguments)
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return false;
    const QByteArray terminal = ::ptsname(master);
    QList<QByteArray> args{QFile::encodeName(ktBinary(QStringLiteral("ktrv8")))};
    for (const QString& a : arguments)
        args << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid = ::fork();
    if (pid == 0) {
        ::setsid();
        const int slave = ::open(terminal.constData(), O_RDWR);
        ::dup2(slave, 0);
        ::dup2(slave, 1);
        ::dup2(slave, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid > 0;
}

bool TerminalHost::waitFor(const QByteArray& text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!out.contains(text) && !deadline.hasExpired()) {
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, int(qMax<qint64>(1, deadline.remainingTime()))) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, int(n));
    }
    return out.contains(text);
}

void TerminalHost::type(char key)
{
    QCOMPARE(::write(master, &key, 1), ssize_t(1));
}

int TerminalHost::exitCode(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (deadline.hasExpired())
            return -1;
        waitFor("\x01never", 50);
    }
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
