#pragma once  // app/interrupt.hpp: Ctrl-C during a search asks it to end with what it has
#include <atomic>

namespace blocknest {

// While alive, the first Ctrl-C (SIGINT) sets stopFlag() instead of ending the program, so
// that a search can end and its best layout be written; a second one ends the program at once
// with exit code 130, writing nothing. The handler before is restored at the end.
class InterruptToStop {
public:
    InterruptToStop();
    ~InterruptToStop();
    InterruptToStop(const InterruptToStop&) = delete;
    InterruptToStop& operator=(const InterruptToStop&) = delete;

    [[nodiscard]] const std::atomic<bool>& stopFlag() const;
    [[nodiscard]] bool interrupted() const { return stopFlag().load(); }
};

}  // namespace blocknest
