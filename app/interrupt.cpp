#include "app/interrupt.hpp"

#include <signal.h>
#include <unistd.h>

#include <array>

namespace blocknest {
namespace {

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};

std::atomic<bool> stopAsked{false};
std::atomic<int> signalsSeen{0};
std::atomic<int> firstSignal{0};
std::array<struct sigaction, kSignals.size()> previous{};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the handler may only touch lock-free atomics");

extern "C" void onStopSignal(int signal) {
    if (signalsSeen.fetch_add(1) >= 1) _exit(128 + signal);
    firstSignal.store(signal);
    stopAsked.store(true);
}

}  // namespace

InterruptToStop::InterruptToStop() {
    stopAsked.store(false);
    signalsSeen.store(0);
    firstSignal.store(0);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // A signal that arrives while the handler runs for another waits, so that two signals
    // sent together still count as two.
    for (const int signal : kSignals) sigaddset(&action.sa_mask, signal);
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous[i]);
}

InterruptToStop::~InterruptToStop() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous[i], nullptr);
}

const std::atomic<bool>& InterruptToStop::stopFlag() const { return stopAsked; }

std::string InterruptToStop::cause() const {
    switch (firstSignal.load()) {
        case SIGINT:
            return "Ctrl-C";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "";
    }
}

}  // namespace blocknest
