#pragma once  // app/serve_command.hpp: `blocknest serve`, the page's server from the command line
#include <string_view>
#include <vector>

#include "base/console.hpp"

namespace blocknest {

// Runs `blocknest serve [--port N] [--host ADDR] [--open]` (args after "serve") until Ctrl-C,
// SIGTERM or SIGHUP; returns the exit code (2 for a wrong command line).
[[nodiscard]] int runServeCommand(const std::vector<std::string_view>& args, Console& console);

}  // namespace blocknest
