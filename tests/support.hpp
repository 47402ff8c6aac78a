#pragma once  // tests/support.hpp: small builders shared by the tests
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "geometry/part.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest::testing_support {

Loop makeLoop(std::vector<Vertex> vertices);
Loop rectangle(double x0, double y0, double x1, double y1);

// A part from an outer contour and holes (holes in the given list order).
Part makePart(const std::string& name, std::vector<Vertex> outer,
              std::vector<std::vector<Vertex>> holes = {});

// A random part: an outline of 3 to 2 + vertexChoices vertices and, one time in three, a
// triangular hole, every coordinate drawn from coordinate().
Part randomPart(std::mt19937& random, const std::function<double()>& coordinate, int vertexChoices);

// A star-shaped outline of `points` vertices around (cx, cy), radii between 0.45 and 1 times
// radius: simple, and concave for most draws.
std::vector<Vertex> star(std::mt19937& random, double cx, double cy, double radius, int points);

// The sheet length x width cut into count guillotine pieces, as parts in their cut's pose: the
// largest piece is cut across its longer side at a whole number between a quarter and three
// quarters of it, until there are count.
std::vector<Part> guillotinePieces(std::mt19937& random, double length, double width, int count);

// The text of a part data file: the header, then the given part blocks.
std::string partFileHeader(double length, double width);
std::string partBlock(const std::string& name, int copies, const std::vector<Vertex>& outer,
                      const std::vector<std::vector<Vertex>>& holes = {});

// The grid as a picture: one text row per grid row (X), one character per column (Y), '#'
// taken and '.' free.
std::string picture(const SheetBitmap& bitmap);

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& name, const std::string& contents) const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);

// Loops compared as outlines: each coordinate rounded to the given significant digits as an
// output stream writes it, every loop counter-clockwise from its least corner, the loops in
// sorted order.
std::vector<std::vector<std::pair<double, double>>> canonicalLoops(const std::vector<Loop>& loops,
                                                                   int significantDigits);

// How often needle occurs in text.
int countOf(const std::string& text, const std::string& needle);

// The characters after the first label in text, up to one of stops or the end; empty when
// the label does not occur.
std::string textAfter(const std::string& text, const std::string& label,
                      const std::string& stops = " \n\"");

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the blocknest executable in workingDir with args, feeding input on standard input.
// Each of environment is NAME=VALUE; by default the locale is C.UTF-8.
RunResult runBlocknestBinary(const std::vector<std::string>& args,
                             const std::filesystem::path& workingDir, const std::string& input = "",
                             const std::vector<std::string>& environment = {"LC_ALL=C.UTF-8"});

}  // namespace blocknest::testing_support

#include "base/console.hpp"

namespace blocknest::testing_support {

// A console that records what a run would show.
class RecordingConsole : public Console {
public:
    void write(std::string_view text) override { out += text; }
    void write(Message message) override { out += "<" + std::to_string(int(message)) + ">"; }
    void warn(Message message) override { warnings.push_back(message); }
    void error(std::string_view line) override { errors.emplace_back(line); }
    void pause() override { ++pauses; }

    std::string out;
    std::vector<Message> warnings;
    std::vector<std::string> errors;
    int pauses = 0;
};

}  // namespace blocknest::testing_support
