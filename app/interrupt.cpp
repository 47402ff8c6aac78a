#include "app/interrupt.hpp"

#include <signal.h>
#include <unistd.h>

namespace blocknest {
namespace {

std::atomic<bool> stopAsked{false};
std::atomic<int> interrupts{0};
struct sigaction previous {};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the handler may only touch lock-free atomics");

extern "C" void onInterrupt(int) {
    if (interrupts.fetch_add(1) >= 1) _exit(130);
    stopAsked.store(true);
}

}  // namespace

InterruptToStop::InterruptToStop() {
    stopAsked.store(false);
    interrupts.store(0);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
}

InterruptToStop::~InterruptToStop() { sigaction(SIGINT, &previous, nullptr); }

const std::atomic<bool>& InterruptToStop::stopFlag() const { return stopAsked; }

}  // namespace blocknest
