#include "platform.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

// A signal handler may call almost nothing: it writes the signal's number into one end of a socket pair, and a
// QSocketNotifier on the other end hands the request to the event loop, where Qt may be called.

namespace
{
constexpr int kSignals[] = { SIGTERM, SIGINT, SIGHUP };

struct TerminationRequests
{
    int fds[2] = { -1, -1 }; // [0] read by the event loop, [1] written by the signal handler
    QPointer<QSocketNotifier> notifier;
    std::function<void()> handler;
    bool checkedStart = false;
    bool ignoredAtStart[std::size(kSignals)] = {};
    bool caught = false;
};

TerminationRequests& requests()
{
    static TerminationRequests r;
    return r;
}

// Set before the handler is installed and never changed afterwards, so the handler reads a settled value.
int g_writeEnd = -1;

void onSignal(int signo)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signo);
    // Non-blocking: when the pair is full, requests are already waiting and one more adds nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
    errno = savedErrno;
}

void setCaught(TerminationRequests& r, bool catchThem)
{
    if (!r.checkedStart) {
        // What the program was started with: a signal ignored then (nohup, a background job of a shell) is left
        // ignored, as the starter asked.
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            struct sigaction old = {};
            ::sigaction(kSignals[i], nullptr, &old);
            r.ignoredAtStart[i] = old.sa_handler == SIG_IGN;
        }
        r.checkedStart = true;
    }
    struct sigaction action = {};
    action.sa_handler = catchThem ? onSignal : SIG_DFL;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (!r.ignoredAtStart[i]) {
            ::sigaction(kSignals[i], &action, nullptr);
        }
    }
    r.caught = catchThem;
}

void deliver()
{
    TerminationRequests& r = requests();
    char buffer[64];
    while (::read(r.fds[0], buffer, sizeof buffer) > 0) { }
    // A copy: the handler may replace itself.
    const std::function<void()> handler = r.handler;
    if (handler) {
        handler();
    }
}
} // namespace

namespace Platform
{
bool onTerminationRequest(std::function<void()> handler)
{
    TerminationRequests& r = requests();
    r.handler = std::move(handler);
    if (!r.handler) {
        if (r.caught) {
            setCaught(r, false);
        }
        return true;
    }
    if (!QCoreApplication::instance()) {
        return false;
    }
    if (r.fds[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, r.fds) != 0) {
            r.fds[0] = r.fds[1] = -1;
            return false;
        }
        g_writeEnd = r.fds[1];
    }
    if (!r.notifier) {
        r.notifier = new QSocketNotifier(r.fds[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(r.notifier, &QSocketNotifier::activated, r.notifier, &deliver);
        // Without the application object no event loop carries a request: the signals act as by default again.
        QObject::connect(r.notifier, &QObject::destroyed, [] {
            TerminationRequests& gone = requests();
            if (gone.caught) {
                setCaught(gone, false);
            }
        });
    }
    if (!r.caught) {
        setCaught(r, true);
    }
    return true;
}
} // namespace Platform
