// The program's wait on Qt's event loop, and Ctrl-C as the break signal.
// SIGTERM and SIGHUP (a logout, a closed terminal) end the program the same
// way, so a render they interrupt is cancelled and cleaned up.
#include "qtview/eventloop.h"

#include "qtview/inputhold.h"
#include "qtview/qtview.h"
#include "os/work.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace qtview {

namespace {

// Set by the SIGINT handler; the self-pipe wakes the event loop.
std::atomic<bool> gBreakArrived{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<int> gWakeWrite{-1};

struct BreakWatch {
    int readEnd = -1;
    int writeEnd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    struct sigaction previous {};
    struct sigaction previousTerm {};
    struct sigaction previousHangUp {};
};

std::unique_ptr<BreakWatch>& Watch()
{
    static std::unique_ptr<BreakWatch> watch;
    return watch;
}

extern "C" void OnInterrupt(int)
{
    RaiseBreak();
}

// How long the wait sleeps at most before it looks again; events and the
// break wake it earlier.
constexpr int kRecheckMilliseconds = 100;

} // namespace

void RaiseBreak()
{
    gBreakArrived.store(true);
    const int fd = gWakeWrite.load();
    if (fd >= 0) {
        const char byte = 1;
        // Nothing to do when the pipe is full: a wake-up is pending anyway.
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
}

ULONG WaitForSignals(ULONG signalSet)
{
    const ULONG deliverable = signalSet & (SIGBREAKF_CTRL_C | MUI_APPLICATION_SIGNAL);
    if (deliverable == 0 || QCoreApplication::instance() == nullptr)
        return 0;
    for (;;) {
        ULONG received = 0;
        if ((deliverable & SIGBREAKF_CTRL_C) != 0 && gBreakArrived.exchange(false))
            received |= SIGBREAKF_CTRL_C;
        if ((deliverable & MUI_APPLICATION_SIGNAL) != 0) {
            const mui::Object* application = mui::CurrentApplication();
            if (application != nullptr && mui::HasPendingReturnIds(application))
                received |= MUI_APPLICATION_SIGNAL;
        }
        if (received != 0)
            return received;
        // What the user did while a tool ran goes first, one input at a
        // time, so that each is handled before the next arrives.
        if ((deliverable & MUI_APPLICATION_SIGNAL) != 0 && detail::DeliverHeldInput())
            continue;
        QEventLoop loop;
        QTimer::singleShot(kRecheckMilliseconds, &loop, &QEventLoop::quit);
        loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    }
}

namespace detail {

void InstallBreakHandler()
{
    if (Watch())
        return;
    auto watch = std::make_unique<BreakWatch>();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    watch->readEnd = fds[0];
    watch->writeEnd = fds[1];
    watch->notifier = std::make_unique<QSocketNotifier>(watch->readEnd, QSocketNotifier::Read);
    const int readEnd = watch->readEnd;
    QObject::connect(watch->notifier.get(), &QSocketNotifier::activated, watch->notifier.get(), [readEnd] {
        char buffer[64];
        while (read(readEnd, buffer, sizeof buffer) > 0) {
        }
        // Ctrl-C while a tool runs: the work stops at once, and the program
        // quits when it next waits.
        if (gBreakArrived.load())
            CancelWork();
    });
    gWakeWrite.store(watch->writeEnd);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &watch->previous);
    sigaction(SIGTERM, &action, &watch->previousTerm);
    // Started under nohup, the program keeps ignoring hang-ups.
    sigaction(SIGHUP, nullptr, &watch->previousHangUp);
    if (watch->previousHangUp.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);
    Watch() = std::move(watch);
}

void RemoveBreakHandler()
{
    auto& watch = Watch();
    if (!watch)
        return;
    sigaction(SIGINT, &watch->previous, nullptr);
    sigaction(SIGTERM, &watch->previousTerm, nullptr);
    sigaction(SIGHUP, &watch->previousHangUp, nullptr);
    gWakeWrite.store(-1);
    watch->notifier.reset();
    close(watch->readEnd);
    close(watch->writeEnd);
    watch.reset();
    gBreakArrived.store(false);
}

} // namespace detail

} // namespace qtview
