#include "app/options.hpp"

#include <charconv>
#include <cmath>

namespace blocknest {
namespace {

struct OptionSpec {
    char shortName;  // 0 when there is none
    std::string_view longName;
    bool takesValue;
};

constexpr OptionSpec kSpecs[] = {
    {'o', "output-dir", true}, {'r', "rotations", true},  {0, "svg", true},
    {0, "no-pause", false},    {'q', "quiet", false},     {'h', "help", false},
    {0, "version", false},     {'t', "time-limit", true}, {0, "evaluations", true},
    {0, "seed", true},         {'j', "threads", true},    {0, "sheet", true},
    {0, "copies", true},       {0, "json", true},         {0, "tolerance", true},
    {0, "units", true},        {0, "dxf-cam", true},      {0, "dxf-cam-layers", true},
    {0, "strict", false},
};

// A whole number from min to max, all of the text.
template <class Int>
std::optional<Int> parseWhole(std::string_view text, Int min, Int max) {
    Int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < min || value > max) return std::nullopt;
    return value;
}

// Seconds: a positive decimal of at most a year.
std::optional<double> parseSeconds(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!(value > 0) || value > 366 * 24 * 3600.0) return std::nullopt;
    return value;
}

constexpr std::int64_t kMaxCopies = 1'000'000;

std::optional<std::int64_t> parseCount(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < 1 || value > kMaxCopies) return std::nullopt;
    return value;
}

std::optional<double> parseLength(std::string_view text) {
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value,
                        std::chars_format::fixed | std::chars_format::scientific);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value) || value <= 0) return std::nullopt;
    return value;
}

// LENGTHxWIDTH, two positive numbers.
std::optional<SheetSize> parseSheet(std::string_view text) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return std::nullopt;
    const std::optional<double> length = parseLength(text.substr(0, x));
    const std::optional<double> width = parseLength(text.substr(x + 1));
    if (!length || !width) return std::nullopt;
    return SheetSize{*length, *width};
}

// FILE or FILE:N, N a copy count for the parts of a drawing.
std::variant<InputFile, UsageError> parseFileArgument(std::string_view arg) {
    const std::size_t colon = arg.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == arg.size() ||
        arg.find_first_not_of("0123456789", colon + 1) != std::string_view::npos) {
        return InputFile{std::string(arg), std::nullopt};
    }
    const std::optional<std::int64_t> copies = parseCount(arg.substr(colon + 1));
    if (!copies) {
        return UsageError{"the copy count in '" + std::string(arg) +
                          "' must be a whole number from 1 to " + std::to_string(kMaxCopies)};
    }
    return InputFile{std::string(arg.substr(0, colon)), copies};
}

std::optional<int> parseRotations(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < 1 || value > Options::kMaxRotations) return std::nullopt;
    return value;
}

std::optional<UsageError> apply(const OptionSpec& spec, std::string_view value, Options& options) {
    const std::string name = "--" + std::string(spec.longName);
    if (spec.takesValue && value.empty()) return UsageError{name + " needs a non-empty value"};
    if (spec.longName == "output-dir") {
        options.outputDir = std::string(value);
    } else if (spec.longName == "rotations") {
        const std::optional<int> rotations = parseRotations(value);
        if (!rotations) {
            return UsageError{"--rotations must be a whole number from 1 to " +
                              std::to_string(Options::kMaxRotations) + ", not '" +
                              std::string(value) + "'"};
        }
        options.rotations = *rotations;
    } else if (spec.longName == "svg") {
        options.svgFile = std::string(value);
    } else if (spec.longName == "sheet") {
        options.sheet = parseSheet(value);
        if (!options.sheet) {
            return UsageError{"--sheet must be LENGTHxWIDTH, two positive numbers, not '" +
                              std::string(value) + "'"};
        }
    } else if (spec.longName == "copies") {
        const std::optional<std::int64_t> copies = parseCount(value);
        if (!copies) {
            return UsageError{"--copies must be a whole number from 1 to " +
                              std::to_string(kMaxCopies) + ", not '" + std::string(value) + "'"};
        }
        options.copies = *copies;
    } else if (spec.longName == "json") {
        options.jsonFile = std::string(value);
    } else if (spec.longName == "tolerance") {
        const std::optional<double> tolerance = parseLength(value);
        if (!tolerance) {
            return UsageError{"--tolerance must be a positive number, not '" + std::string(value) +
                              "'"};
        }
        options.tolerance = *tolerance;
    } else if (spec.longName == "units") {
        options.units = insUnitsFromName(value);
        if (!options.units) {
            return UsageError{"--units must be one of mm, cm, dm, m, um, in, ft, yd, mil, not '" +
                              std::string(value) + "'"};
        }
    } else if (spec.longName == "dxf-cam") {
        options.camFile = std::string(value);
    } else if (spec.longName == "dxf-cam-layers") {
        if (value == "by-kind") {
            options.camLayers = CamLayers::byKind;
        } else if (value == "by-name") {
            options.camLayers = CamLayers::byName;
        } else {
            return UsageError{"--dxf-cam-layers must be by-kind or by-name, not '" +
                              std::string(value) + "'"};
        }
    } else if (spec.longName == "no-pause") {
        options.pause = false;
    } else if (spec.longName == "quiet") {
        options.quiet = true;
    } else if (spec.longName == "help") {
        options.showHelp = true;
    } else if (spec.longName == "version") {
        options.showVersion = true;
    } else if (spec.longName == "time-limit") {
        options.timeLimit = parseSeconds(value);
        if (!options.timeLimit) {
            return UsageError{"--time-limit must be a positive number of seconds, not '" +
                              std::string(value) + "'"};
        }
    } else if (spec.longName == "evaluations") {
        options.evaluations = parseWhole<std::int64_t>(value, 1, std::int64_t{1} << 40);
        if (!options.evaluations) {
            return UsageError{"--evaluations must be a whole number from 1 to 2^40, not '" +
                              std::string(value) + "'"};
        }
    } else if (spec.longName == "seed") {
        const auto seed = parseWhole<std::uint64_t>(value, 0, UINT64_MAX);
        if (!seed) {
            return UsageError{"--seed must be a whole number from 0 to 2^64 - 1, not '" +
                              std::string(value) + "'"};
        }
        options.seed = *seed;
    } else if (spec.longName == "threads") {
        const auto threads = parseWhole<int>(value, 1, 1024);
        if (!threads) {
            return UsageError{"--threads must be a whole number from 1 to 1024, not '" +
                              std::string(value) + "'"};
        }
        options.threads = *threads;
    } else if (spec.longName == "strict") {
        options.strict = true;
    }
    return std::nullopt;
}

}  // namespace

std::variant<Options, UsageError> parseOptions(const std::vector<std::string_view>& args) {
    Options options;
    bool onlyFilesFollow = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (onlyFilesFollow || arg.size() < 2 || arg[0] != '-') {
            std::variant<InputFile, UsageError> file = parseFileArgument(arg);
            if (auto* error = std::get_if<UsageError>(&file)) return *error;
            options.files.push_back(std::move(std::get<InputFile>(file)));
            continue;
        }
        if (arg == "--") {
            onlyFilesFollow = true;
            continue;
        }
        // --name, --name=value, --name value, -x, -xvalue, -x value
        const bool isLong = arg[1] == '-';
        std::string_view name = isLong ? arg.substr(2) : arg.substr(1, 1);
        std::optional<std::string_view> attached;
        if (isLong) {
            if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
                attached = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
        } else if (arg.size() > 2) {
            attached = arg.substr(2);
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : kSpecs) {
            if (isLong ? s.longName == name : (s.shortName != 0 && s.shortName == name[0])) {
                spec = &s;
            }
        }
        if (spec == nullptr) return UsageError{"unknown option '" + std::string(arg) + "'"};
        std::string_view value;
        if (spec->takesValue) {
            if (attached) {
                value = *attached;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return UsageError{"option '" + std::string(arg) + "' needs a value"};
            }
        } else if (attached) {
            return UsageError{"option '" + std::string(arg) + "' takes no value"};
        }
        if (std::optional<UsageError> error = apply(*spec, value, options)) return *error;
    }
    return options;
}

std::string usageText() {
    return "Usage: blocknest [OPTIONS] [FILE...]\n"
           "Nests the parts of a part data file on a rectangular sheet so that the used\n"
           "length of the sheet stays short, and writes the layout and a short report.\n"
           "\n"
           "Without FILE the program asks for the path on standard input.\n"
           "Each FILE is recognised by its contents: a part data file (at most one; it\n"
           "gives the sheet), a JSON strip-packing instance (its strip height is the sheet\n"
           "width), or a DXF drawing of parts, written FILE:N for N copies of each part.\n"
           "\n"
           "Options:\n"
           "  -o, --output-dir DIR  write Layout.dxf and Results.txt into DIR (created if\n"
           "                        missing; default: the current directory)\n"
           "  -r, --rotations N     trial orientations per part, 1 to 360 (default 2)\n"
           "      --svg FILE        also draw the layout as an SVG picture into FILE\n"
           "      --json FILE       also write the placements as JSON into FILE\n"
           "      --sheet LxW       the sheet, length L along X by width W; replaces the\n"
           "                        sheet a file gives\n"
           "      --copies N        copies of each drawing part without FILE:N (default 1)\n"
           "      --tolerance T     drawings: curves become chords straying at most T from\n"
           "                        them, and ends this close join (default 0.05)\n"
           "      --units U         drawings: convert to mm, cm, dm, m, um, in, ft, yd or\n"
           "                        mil from the units the drawing names (default: none)\n"
           "      --dxf-cam FILE    also write a drawing for cutting into FILE: closed\n"
           "                        polylines, parts on PARTS, holes on HOLES, the sheet\n"
           "                        on SHEET\n"
           "      --dxf-cam-layers by-kind|by-name\n"
           "                        by-name: one layer per part name instead\n"
           "  -t, --time-limit S    search for a denser layout for S seconds (a decimal)\n"
           "      --evaluations N   search for a denser layout over N packing runs; with\n"
           "                        --seed the result is the same on every machine\n"
           "      --seed N          the search's random seed (default 1)\n"
           "  -j, --threads N       search threads (default: one per core)\n"
           "      --no-pause        do not wait for a key at the end\n"
           "  -q, --quiet           no progress lines while packing\n"
           "      --strict          refuse a part data file with lines that the format reads\n"
           "                        against their likely meaning (they are warned of anyway)\n"
           "  -h, --help            show this help and exit\n"
           "      --version         show the version and exit\n"
           "\n"
           "Outputs:\n"
           "  Layout.dxf   the layout as a DXF drawing of lines: sheet outline, every part\n"
           "               (parts that did not fit lie beyond the sheet's far end, below\n"
           "               it), and a line across the sheet at the packed length\n"
           "  Results.txt  packed length, packing density, area of the parts on the sheet,\n"
           "               packing time\n"
           "\n"
           "Exit codes:\n"
           "  0  the run completed (parts that did not fit are named on standard error)\n"
           "  1  an input file or an output file could not be used\n"
           "  2  the command line was wrong\n";
}

}  // namespace blocknest
