#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <string_view>
#include <variant>
#include <vector>

#include "app/driver.hpp"
#include "app/options.hpp"
#include "app/serve_command.hpp"
#include "app/terminal_console.hpp"
#include "base/fatal_error.hpp"

int main(int argc, char** argv) {
    using namespace blocknest;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "serve") {
        TerminalConsole console(detectConsoleEncoding(), false);
        return runServeCommand({args.begin() + 1, args.end()}, console);
    }
    const std::variant<Options, UsageError> parsed = parseOptions(args);
    if (const auto* usage = std::get_if<UsageError>(&parsed)) {
        std::fprintf(stderr, "blocknest: %s\nTry 'blocknest --help' for more information.\n",
                     usage->message.c_str());
        return 2;
    }
    const Options& options = std::get<Options>(parsed);
    if (options.showHelp) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.showVersion) {
        std::puts("blocknest " BLOCKNEST_VERSION);
        return 0;
    }
    TerminalConsole console(detectConsoleEncoding(), options.pause);
    try {
        return runBlocknest(options, console, std::cin);
    } catch (const FatalError& e) {
        if (*e.what() != '\0') console.error(std::string("blocknest: ") + e.what());
        return e.exitCode();
    } catch (const std::bad_alloc&) {
        console.error("blocknest: out of memory");
        return 1;
    } catch (const std::exception& e) {
        // Nothing is meant to reach here; if something does, it still ends in one line.
        console.error(std::string("blocknest: ") + e.what());
        return 1;
    }
}
