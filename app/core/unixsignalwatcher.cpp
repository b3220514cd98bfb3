#include "core/unixsignalwatcher.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "core/log.h"

int UnixSignalWatcher::fds_[2] = {-1, -1};
UnixSignalWatcher* UnixSignalWatcher::instance_ = nullptr;

namespace
{
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
}

UnixSignalWatcher* UnixSignalWatcher::instance()
{
    if (!instance_)
        instance_ = new UnixSignalWatcher();
    return instance_;
}

void UnixSignalWatcher::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

bool UnixSignalWatcher::init()
{
    if (notifier_)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0)
        return false;
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UnixSignalWatcher::onSignal);
    struct sigaction action = {};
    action.sa_handler = &UnixSignalWatcher::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    return true;
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    if (!notifier_)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    delete notifier_;
    ::close(fds_[0]);
    ::close(fds_[1]);
    fds_[0] = fds_[1] = -1;
}

void UnixSignalWatcher::handler(int signal)
{
    // Only async-signal-safe work here; the event loop does the rest.
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t n = ::write(fds_[0], &byte, 1);
}

void UnixSignalWatcher::onSignal()
{
    char byte = 0;
    [[maybe_unused]] ssize_t n = ::read(fds_[1], &byte, 1);
    Log::getLog(Log::Both) << QString("Signal %1 received, shutting down\n").arg(static_cast<int>(byte));
    QCoreApplication::quit();
}
