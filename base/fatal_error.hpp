#pragma once  // base/fatal_error.hpp: the one error that ends a run from deep inside the core
#include <stdexcept>
#include <string>

namespace blocknest {

// Thrown where the run cannot go on; main() turns it into the exit code. An empty message
// ends the run silently, as the assignment of an empty loop does.
class FatalError : public std::runtime_error {
public:
    explicit FatalError(int exitCode, std::string message = {})
        : std::runtime_error(std::move(message)), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

}  // namespace blocknest
