#pragma once  // app/terminal_console.hpp: the console of a real run
#include <cstdio>

#include "app/messages.hpp"
#include "base/console.hpp"

namespace blocknest {

// Writes to standard output and standard error; the pause waits for one key.
class TerminalConsole : public Console {
public:
    TerminalConsole(ConsoleEncoding encoding, bool pauseEnabled)
        : encoding_(encoding), pauseEnabled_(pauseEnabled) {}

    void write(std::string_view text) override;
    void write(Message message) override;
    void warn(Message message) override;
    void error(std::string_view line) override;
    void pause() override;

private:
    ConsoleEncoding encoding_;
    bool pauseEnabled_;
};

// The encoding of the user's locale (LC_CTYPE from the environment).
[[nodiscard]] ConsoleEncoding detectConsoleEncoding();

}  // namespace blocknest
