#include "app/terminal_console.hpp"

#include <langinfo.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <iterator>
#include <optional>
#include <string>

#include "base/text.hpp"

namespace blocknest {
namespace {

void writeTo(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// The terminal's settings while a key is awaited, for the signal handler to put back.
termios savedTerminal{};
constexpr int kRestoredSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Puts the terminal back and ends the run as the signal would have (only calls that are safe
// in a signal handler).
extern "C" void restoreTerminalAndDie(int signal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// One byte, or nothing when none comes within timeoutTenths tenths of a second (0: waits).
std::optional<unsigned char> readByte(int timeoutTenths) {
    termios t{};
    tcgetattr(STDIN_FILENO, &t);
    t.c_cc[VMIN] = timeoutTenths == 0 ? 1 : 0;
    t.c_cc[VTIME] = static_cast<cc_t>(timeoutTenths);
    tcsetattr(STDIN_FILENO, TCSANOW, &t);
    unsigned char byte = 0;
    if (read(STDIN_FILENO, &byte, 1) != 1) return std::nullopt;
    return byte;
}

// One key from a terminal, without waiting for Enter and without echo; from anything else,
// one byte (end of input goes on at once). A key that sends an escape sequence (an arrow, a
// function key) is read whole, so that none of it is left for the shell. The terminal is put
// back however the wait ends, a signal included.
void waitForKey() {
    unsigned char key = 0;
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) {
        [[maybe_unused]] const ssize_t n = read(STDIN_FILENO, &key, 1);
        return;
    }
    struct sigaction restore {};
    restore.sa_handler = restoreTerminalAndDie;
    sigemptyset(&restore.sa_mask);
    struct sigaction previous[std::size(kRestoredSignals)] = {};
    for (std::size_t i = 0; i < std::size(kRestoredSignals); ++i) {
        sigaction(kRestoredSignals[i], &restore, &previous[i]);
    }
    termios raw = savedTerminal;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    const std::optional<unsigned char> first = readByte(0);
    if (first == 0x1B) {
        // ESC [ parameters final, or ESC O final; a lone ESC is followed by nothing soon.
        const std::optional<unsigned char> kind = readByte(1);
        if (kind == '[' || kind == 'O') {
            for (int i = 0; i < 16; ++i) {
                const std::optional<unsigned char> b = readByte(1);
                if (!b || kind == 'O' || (*b >= 0x40 && *b <= 0x7E)) break;
            }
        }
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    for (std::size_t i = 0; i < std::size(kRestoredSignals); ++i) {
        sigaction(kRestoredSignals[i], &previous[i], nullptr);
    }
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
    // The lines echo names and text from the input files, which must not act on the terminal.
    std::string text = printableLine(line);
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
