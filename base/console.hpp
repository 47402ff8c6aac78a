#pragma once  // base/console.hpp: how the core talks to the user without printing itself
#include <cstdint>
#include <string_view>

namespace blocknest {

// The program's own Chinese messages; the console chooses their encoding.
enum class Message {
    fileOpenFailed,      // the file was not chosen
    partFileReadFailed,  // the part data file cannot be used
    vertexCountWrong,    // a gathered vertex count disagrees with its recount
    packingStarted,      // the first line of the packing run
    layoutWriteFailed,   // the drawing cannot be written
};

// A search's state as its progress lines show it.
struct SearchReport {
    double elapsed = 0;        // seconds since the search began
    double timeLimit = 0;      // seconds; 0 with an evaluation budget
    std::int64_t layouts = 0;  // packing runs
    std::int64_t moves = 0;    // part moves of the overlap phase
    double packedLength = 0;   // the best layout's; its last sheet's over several sheets
    double density = 0;        // percent, of the same
    int sheets = 0;            // over several sheets: the sheets the best layout uses; else 0
    int sheetsAtLeast = 0;     // over several sheets: the least number there can be
    bool improved = false;     // the best layout changed with this report
};

// The user's side of the run: standard output, warnings and the wait for a key. The program
// writes to the terminal; tests record what would have been shown.
class Console {
public:
    virtual ~Console() = default;
    virtual void write(std::string_view text) = 0;  // standard output, as it stands
    virtual void write(Message message) = 0;        // standard output, in its encoding
    virtual void warn(Message message) = 0;         // the warning box: "Warning! <text>"
    virtual void error(std::string_view line) = 0;  // one line on standard error
    virtual void pause() = 0;                       // waits for a key, unless told not to
    // A search's progress as figures, at each improvement and at most five times a second
    // between; the lines say the same in words.
    virtual void searchProgress(const SearchReport&) {}
};

// A console that shows nothing and never waits: for runs whose output nobody reads.
class SilentConsole : public Console {
public:
    void write(std::string_view) override {}
    void write(Message) override {}
    void warn(Message) override {}
    void error(std::string_view) override {}
    void pause() override {}
};

}  // namespace blocknest
