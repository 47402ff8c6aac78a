#include "app/terminal_console.hpp"

#include <langinfo.h>
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <string>

namespace blocknest {
namespace {

void writeTo(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// One key from a terminal, without waiting for Enter and without echo; from anything else,
// one byte (end of input goes on at once).
void waitForKey() {
    unsigned char key = 0;
    termios saved{};
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        [[maybe_unused]] const ssize_t n = read(STDIN_FILENO, &key, 1);
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        return;
    }
    [[maybe_unused]] const ssize_t n = read(STDIN_FILENO, &key, 1);
}

}  // namespace

void TerminalConsole::write(std::string_view text) { writeTo(stdout, text); }

void TerminalConsole::write(Message message) { writeTo(stdout, messageText(message, encoding_)); }

void TerminalConsole::warn(Message message) {
    std::string line = "Warning! ";
    line += messageText(message, encoding_);
    line += '\n';
    writeTo(stderr, line);
}

void TerminalConsole::error(std::string_view line) {
    std::string text(line);
    text += '\n';
    writeTo(stderr, text);
}

void TerminalConsole::pause() {
    if (!pauseEnabled_) return;
    writeTo(stdout, "Press any key to continue . . .");
    waitForKey();
    writeTo(stdout, "\n");
}

ConsoleEncoding detectConsoleEncoding() {
    if (std::setlocale(LC_CTYPE, "") == nullptr) return ConsoleEncoding::utf8;
    const char* codeset = nl_langinfo(CODESET);
    return encodingForCodeset(codeset != nullptr ? codeset : "");
}

}  // namespace blocknest
