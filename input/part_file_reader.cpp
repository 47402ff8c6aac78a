#include "input/part_file_reader.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/number_format.hpp"
#include "input/number_parser.hpp"

namespace blocknest {
namespace {

constexpr std::size_t kSheetLengthOffset = 13;  // the number starts at the 14th character
constexpr std::size_t kSheetWidthOffset = 12;   // and at the 13th on line 2

// Lines of the file without their line end. A CR before the LF belongs to the line end, so
// files written on Windows read the same; a last line without a line end reads as if it had
// one. Lines are read whole up to a bound that no part data file comes near, so that a file
// without line ends cannot take all memory.
class LineReader {
public:
    LineReader(std::istream& in, const ReadLimits& limits)
        : buffer_(*in.rdbuf()),
          maxLineLength_(limits.maxLineLength),
          bytesLeft_(limits.maxFileBytes) {
        // Windows editors often start a UTF-8 file with a byte-order mark; it is no text.
        constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
        for (char c : kByteOrderMark) {
            if (buffer_.sgetc() != static_cast<unsigned char>(c)) break;
            carried_.push_back(static_cast<char>(buffer_.sbumpc()));
        }
        if (carried_ == kByteOrderMark) {
            carried_.clear();
            bytesLeft_ -= 3;
        }
    }

    bool next(std::string& line) {
        line.clear();
        if (stop_ != Stop::none) return false;
        // The start of an incomplete mark is text of the first line.
        bool any = false;
        for (char c : carried_) {
            any = true;
            --bytesLeft_;
            line.push_back(c);
        }
        carried_.clear();
        for (int c = buffer_.sbumpc(); c != std::char_traits<char>::eof(); c = buffer_.sbumpc()) {
            any = true;
            if (--bytesLeft_ < 0) {
                stop_ = Stop::fileTooLong;
                return false;
            }
            if (c == '\n') break;
            if (line.size() == maxLineLength_) {
                stop_ = Stop::lineTooLong;
                return false;
            }
            line.push_back(static_cast<char>(c));
        }
        if (!any) return false;
        ++lineNumber_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }
    std::int64_t lineNumber() const { return lineNumber_; }
    bool stoppedEarly() const { return stop_ != Stop::none; }
    bool stoppedAtALongLine() const { return stop_ == Stop::lineTooLong; }

private:
    enum class Stop { none, lineTooLong, fileTooLong };
    std::streambuf& buffer_;
    std::size_t maxLineLength_;
    std::int64_t bytesLeft_;
    std::int64_t lineNumber_ = 0;
    Stop stop_ = Stop::none;
    std::string carried_;
};

double headerNumber(std::string_view line, std::size_t offset) {
    // A line shorter than its label has no number.
    return offset < line.size() ? parseDecimal(line, offset).value : 0.0;
}

bool isBlankText(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r') return false;
    }
    return true;
}

std::string shown(std::string_view text) {
    constexpr std::size_t kShown = 40;
    return "\"" + std::string(text.substr(0, kShown)) + (text.size() > kShown ? "...\"" : "\"");
}

struct ParsedVertex {
    std::optional<Vertex> vertex;  // nothing when a coordinate is not finite
    std::string doubt;             // how a line that is hardly a vertex was read
};

bool isKeyword(std::string_view line) {
    for (std::string_view k : {"Part", "Name", "PartNumOfSameType", "OutLoop", "EndOutLoop",
                               "InnerLoop", "EndInnerLoop", "EndPart"}) {
        if (line == k) return true;
    }
    return false;
}

// x from the start of the line, then exactly one character skipped, whatever it is, then y.
ParsedVertex parseVertex(std::string_view line) {
    const ParsedNumber x = parseDecimal(line, 0);
    const std::size_t yStart = x.end + 1;
    const ParsedNumber y =
        yStart <= line.size() ? parseDecimal(line, yStart) : ParsedNumber{0, line.size()};
    ParsedVertex parsed;
    if (std::isfinite(x.value) && std::isfinite(y.value)) parsed.vertex = Vertex{};
    if (parsed.vertex) {
        parsed.vertex->x = x.value;
        parsed.vertex->y = y.value;
    }
    enum class Doubt { none, blank, keyword, noX, separator, noY, trailing };
    Doubt doubt = Doubt::none;
    if (isBlankText(line, 0)) {
        doubt = Doubt::blank;
    } else if (isKeyword(line)) {
        doubt = Doubt::keyword;
    } else if (x.end == 0) {
        doubt = Doubt::noX;
    } else if (x.end < line.size() && line[x.end] != ',' && line[x.end] != ' ' &&
               line[x.end] != '\t') {
        doubt = Doubt::separator;
    } else if (y.end == std::min(yStart, line.size())) {
        doubt = Doubt::noY;
    } else if (!isBlankText(line, y.end)) {
        doubt = Doubt::trailing;
    }
    if (doubt == Doubt::none) return parsed;  // the common case builds no text
    const std::string as =
        " is read as the vertex (" + formatNumber(x.value) + ", " + formatNumber(y.value) + ")";
    const std::string theLine = "the line " + shown(line) + as + ": ";
    switch (doubt) {
        case Doubt::blank:
            parsed.doubt = "a blank line inside a loop" + as;
            break;
        case Doubt::keyword:
            parsed.doubt = "the keyword line " + shown(line) + as + " (a section end is missing?)";
            break;
        case Doubt::noX:
            parsed.doubt = theLine + "it starts with no number";
            break;
        case Doubt::separator:
            parsed.doubt = theLine + "\"" + line[x.end] + "\" after x is skipped as a separator";
            break;
        case Doubt::noY:
            parsed.doubt = theLine + "it holds no number for y";
            break;
        case Doubt::trailing:
            parsed.doubt =
                theLine + "the text " + shown(line.substr(y.end)) + " after y is ignored";
            break;
        case Doubt::none:
            break;
    }
    return parsed;
}

class PartFileParser {
public:
    PartFileParser(std::istream& in, std::string sourceName, const ReadLimits& limits)
        : lines_(in, limits), source_(std::move(sourceName)), limits_(limits) {}

    std::variant<PartFileContents, InputError> parse() {
        std::string line;
        for (std::size_t offset : {kSheetLengthOffset, kSheetWidthOffset}) {
            const bool read = lines_.next(line);
            const double value = read ? headerNumber(line, offset) : 0.0;
            (offset == kSheetLengthOffset ? contents_.sheetLength : contents_.sheetWidth) = value;
            if (read) checkHeaderLine(line, offset, value);
        }
        // the third header line is not used
        if (lines_.next(line) && isKeyword(line)) {
            warn("the third line, which is not used, is the keyword " + shown(line) +
                 " (a header line is missing?)");
        }
        while (lines_.next(line)) {
            if (line != "Part") continue;
            if (std::optional<InputError> error = readPartBlock()) return std::move(*error);
        }
        if (lines_.stoppedEarly()) return stoppedEarly();
        return std::move(contents_);
    }

private:
    InputError stoppedEarly() const {
        if (!lines_.stoppedAtALongLine()) {
            return {false, at(lines_.lineNumber() + 1) + "the file is longer than " +
                               std::to_string(limits_.maxFileBytes) +
                               " bytes, more than a part data file ever needs"};
        }
        return {false, at(lines_.lineNumber() + 1) + "the line is longer than " +
                           std::to_string(limits_.maxLineLength) +
                           " characters, more than a part data file ever needs"};
    }
    InputError endOfFileIn(std::string_view what, std::int64_t openedOn,
                           std::string_view closer) const {
        if (lines_.stoppedEarly()) return stoppedEarly();
        return {true, at(lines_.lineNumber()) + "the file ends inside the " + std::string(what) +
                          " opened on line " + std::to_string(openedOn) + " (no \"" +
                          std::string(closer) + "\")"};
    }
    InputError invalid(std::int64_t line, const std::string& problem) const {
        return {false, at(line) + problem};
    }
    void warn(const std::string& doubt) {
        if (contents_.warnings.size() < PartFileContents::kMaxListedWarnings) {
            contents_.warnings.push_back(at(lines_.lineNumber()) + doubt);
        }
        ++contents_.warningCount;
    }

    void checkHeaderLine(std::string_view line, std::size_t offset, double value) {
        const std::string what = offset == kSheetLengthOffset ? "sheet length" : "sheet width";
        const std::string as = "; the " + what + " is read as " + formatNumber(value);
        const std::string_view label = line.substr(0, std::min(offset, line.size()));
        if (label.find_first_of("0123456789") != std::string_view::npos) {
            warn("the first " + std::to_string(offset) + " characters " + shown(label) +
                 " are not read and hold a digit" + as);
            return;
        }
        const ParsedNumber number =
            offset < line.size() ? parseDecimal(line, offset) : ParsedNumber{0, offset};
        if (number.end == offset) {
            warn("no number starts at character " + std::to_string(offset + 1) + as);
        } else if (!isBlankText(line, number.end)) {
            warn("the text " + shown(line.substr(number.end)) + " after the number is ignored" +
                 as);
        }
    }

    void checkCopyCount(std::string_view line) {
        std::size_t pos = 0;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos < line.size() && (line[pos] == '+' || line[pos] == '-')) ++pos;
        const std::size_t digits = pos;
        while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') ++pos;
        if (pos == digits || !isBlankText(line, pos)) {
            warn("the copy count " + shown(line) + " is read as " + std::to_string(copyCount_));
        }
    }

    std::string at(std::int64_t line) const { return source_ + ":" + std::to_string(line) + ": "; }

    // From the line after "Part" up to and including "EndPart". One pass reads a line and
    // tests it against the keywords in a fixed order; a handler that reads the next line
    // makes it the current line for the later tests, so a name line "EndPart" ends the block.
    std::optional<InputError> readPartBlock() {
        const std::int64_t openedOn = lines_.lineNumber();
        std::string name = "NoName";
        Loop outer;
        LoopList holes;
        std::vector<Orientation> turns;
        std::string line;
        for (;;) {
            if (!lines_.next(line)) return endOfFileIn("part block", openedOn, "EndPart");
            // Tested first, so that a name or count line reading "Orientations" stays one.
            if (line == "Orientations") {
                if (!lines_.next(line)) return endOfFileIn("part block", openedOn, "EndPart");
                std::optional<std::vector<double>> degrees = parseDegrees(line);
                if (!degrees) {
                    return invalid(lines_.lineNumber(),
                                   "the line after \"Orientations\" must list angles in degrees "
                                   "(such as 0,90), finite numbers separated by commas");
                }
                turns = turnsFromDegrees(*degrees);
                continue;
            }
            if (line == "Name") {
                if (!lines_.next(line)) return endOfFileIn("part block", openedOn, "EndPart");
                name = line.substr(0, Part::kMaxNameLength);
            }
            if (line == "PartNumOfSameType") {
                if (!lines_.next(line)) return endOfFileIn("part block", openedOn, "EndPart");
                copyCount_ = parseInteger(line);
                checkCopyCount(line);
            }
            if (line == "OutLoop") {
                std::variant<Loop, InputError> loop = readLoop("OutLoop", "EndOutLoop");
                if (auto* error = std::get_if<InputError>(&loop)) return std::move(*error);
                outer = std::move(std::get<Loop>(loop));
            }
            if (line == "InnerLoop") {
                std::variant<Loop, InputError> loop = readLoop("InnerLoop", "EndInnerLoop");
                if (auto* error = std::get_if<InputError>(&loop)) return std::move(*error);
                holes.pushFront(std::move(std::get<Loop>(loop)));
            }
            if (line == "EndPart") break;
        }
        if (outer.vertexCount() == 0) {
            return invalid(lines_.lineNumber(), "the part block opened on line " +
                                                    std::to_string(openedOn) +
                                                    " has no \"OutLoop\" section");
        }
        return addCopies(name, holes, outer, std::move(turns));
    }

    std::variant<Loop, InputError> readLoop(std::string_view opener, std::string_view closer) {
        const std::int64_t openedOn = lines_.lineNumber();
        const std::string section = "\"" + std::string(opener) + "\" section";
        std::string line;
        if (!lines_.next(line)) return endOfFileIn(section, openedOn, closer);
        if (line == closer) return invalid(openedOn, "the " + section + " has no vertex line");
        std::vector<Vertex> vertices;
        do {
            const ParsedVertex parsed = parseVertex(line);
            const std::optional<Vertex>& v = parsed.vertex;
            if (!v)
                return invalid(lines_.lineNumber(), "a vertex coordinate is not a finite number");
            if (!parsed.doubt.empty()) warn(parsed.doubt);
            if (static_cast<std::int64_t>(vertices.size()) == limits_.maxStoredVertices) {
                return invalid(lines_.lineNumber(), "the " + section + " has more than " +
                                                        std::to_string(limits_.maxStoredVertices) +
                                                        " vertices, more than fit in memory");
            }
            vertices.push_back(*v);
            if (!lines_.next(line)) return endOfFileIn(section, openedOn, closer);
        } while (line != closer);
        Loop loop;
        loop.setVertices(std::move(vertices));
        return loop;
    }

    // One or more finite decimals separated by commas or blanks, nothing else.
    static std::optional<std::vector<double>> parseDegrees(std::string_view text) {
        std::vector<double> degrees;
        std::size_t pos = 0;
        for (;;) {
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
            if (pos == text.size()) break;
            const ParsedNumber number = parseDecimal(text, pos);
            if (number.end == pos || !std::isfinite(number.value)) return std::nullopt;
            degrees.push_back(number.value);
            pos = number.end;
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
            if (pos < text.size() && text[pos] == ',')
                ++pos;
            else if (pos < text.size())
                return std::nullopt;
        }
        if (degrees.empty()) return std::nullopt;
        return degrees;
    }

    std::optional<InputError> addCopies(const std::string& name, const LoopList& holes,
                                        const Loop& outer, std::vector<Orientation> turns) {
        Part part;
        part.setShape(name, holes, outer);
        part.setOrientations(std::move(turns));
        part.setItemIndex(blockNumber_++);
        if (copyCount_ <= 0) return std::nullopt;
        const std::int64_t vertices = part.totalVertexCount();
        if (copyCount_ > limits_.maxParts - partTotal_ ||
            copyCount_ > (limits_.maxStoredVertices - vertexTotal_) / vertices) {
            return invalid(lines_.lineNumber(),
                           "the part \"" + part.name() + "\" asks for " +
                               std::to_string(copyCount_) + " copies; more than " +
                               std::to_string(limits_.maxParts) + " parts or " +
                               std::to_string(limits_.maxStoredVertices) +
                               " vertices in all do not fit in memory");
        }
        partTotal_ += copyCount_;
        vertexTotal_ += copyCount_ * vertices;
        for (std::int64_t i = 0; i < copyCount_; ++i) contents_.parts.pushFront(part);
        return std::nullopt;
    }

    LineReader lines_;
    std::string source_;
    ReadLimits limits_;
    PartFileContents contents_;
    // Held for the whole file: a block without "PartNumOfSameType" repeats the count of the
    // block before it; the first such block makes one copy.
    std::int64_t copyCount_ = 1;
    int blockNumber_ = 0;
    std::int64_t partTotal_ = 0;
    std::int64_t vertexTotal_ = 0;
};

}  // namespace

std::variant<PartFileContents, InputError> readPartData(std::istream& in,
                                                        const std::string& sourceName,
                                                        const ReadLimits& limits) {
    return PartFileParser(in, sourceName, limits).parse();
}

std::variant<PartFileContents, InputError> readPartFile(const std::string& path,
                                                        const ReadLimits& limits) {
    if (path.empty()) return InputError{true, "blocknest: no part data file was chosen"};
    const auto unreadable = [&](const std::string& why) {
        return InputError{true, "blocknest: " + path + ": " + why};
    };
    // Only a regular file has an end: a directory fails on the first read, and a FIFO or a
    // device such as /dev/urandom may never end.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) return unreadable(error.message());
    if (std::filesystem::is_directory(status)) return unreadable("it is a directory");
    if (!std::filesystem::is_regular_file(status)) return unreadable("it is not a regular file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return unreadable(errno != 0 ? std::strerror(errno) : "it cannot be opened");
    try {
        return readPartData(in, path, limits);
    } catch (const std::ios_base::failure& e) {
        return unreadable(std::string("reading failed: ") + e.what());
    }
}

}  // namespace blocknest
