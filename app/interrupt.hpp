#pragma once  // app/interrupt.hpp: Ctrl-C, SIGTERM or SIGHUP during a search ends it with what it
              // has
#include <atomic>
#include <string>

namespace blocknest {

// While alive, the first SIGINT (Ctrl-C), SIGTERM or SIGHUP sets stopFlag() instead of ending
// the program, so that a search can end and its best layout be written; a second one ends the
// program at once with exit code 128 + the signal's number, writing nothing. Service managers,
// job schedulers and `timeout` stop programs with SIGTERM, a closed terminal sends SIGHUP. The
// handlers before are restored at the end.
class InterruptToStop {
public:
    InterruptToStop();
    ~InterruptToStop();
    InterruptToStop(const InterruptToStop&) = delete;
    InterruptToStop& operator=(const InterruptToStop&) = delete;

    [[nodiscard]] const std::atomic<bool>& stopFlag() const;
    [[nodiscard]] bool interrupted() const { return stopFlag().load(); }
    // What stopped the run, for messages: "Ctrl-C", "SIGTERM" or "SIGHUP"; empty before.
    [[nodiscard]] std::string cause() const;
};

}  // namespace blocknest
