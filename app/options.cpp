#include "app/options.hpp"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

#include "input/dxf_part_reader.hpp"

namespace blocknest {
namespace {

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

// FILE:+N, N copies of each part of a drawing as filler parts, or nothing when arg is not so
// written.
std::optional<std::variant<InputFile, UsageError>> parseFillerArgument(std::string_view arg) {
    const std::size_t colon = arg.rfind(":+");
    if (colon == std::string_view::npos || colon == 0 || colon + 2 == arg.size() ||
        arg.find_first_not_of("0123456789", colon + 2) != std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> copies = parseCount(arg.substr(colon + 2));
    if (!copies) {
        return UsageError{"the filler count in '" + std::string(arg) +
                          "' must be a whole number from 1 to " + std::to_string(kMaxCopies)};
    }
    InputFile file{std::string(arg.substr(0, colon)), std::nullopt};
    file.fill = FillerCount{*copies, false};
    return file;
}

// FILE or FILE:N, N a copy count for the parts of a drawing; FILE:+N for filler parts.
std::variant<InputFile, UsageError> parseFileArgument(std::string_view arg) {
    if (auto filler = parseFillerArgument(arg)) return *filler;
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

std::optional<CamLayers> parseCamLayers(std::string_view text) {
    if (text == "by-kind") return CamLayers::byKind;
    if (text == "by-name") return CamLayers::byName;
    return std::nullopt;
}

// A finite decimal >= 0, the whole text.
std::optional<double> parseGap(std::string_view text) {
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

// Layer names separated by commas, blanks around each dropped; none may be empty.
std::optional<std::vector<std::string>> parseLayerList(std::string_view text) {
    std::vector<std::string> names;
    for (;;) {
        const std::size_t comma = text.find(',');
        std::string_view name = text.substr(0, comma);
        while (!name.empty() && (name.front() == ' ' || name.front() == '\t'))
            name.remove_prefix(1);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
        if (name.empty()) return std::nullopt;
        names.emplace_back(name);
        if (comma == std::string_view::npos) return names;
        text.remove_prefix(comma + 1);
    }
}

// A value that an option's rule refuses: ends the parse with this one-line message.
struct BadValue {
    std::string message;
};

// Text for an option that needs nothing but a non-empty value (a path).
std::optional<std::string> parseText(std::string_view text) { return std::string(text); }

// "--output-dir" from "-o,--output-dir".
std::string longName(const std::string& names) { return names.substr(names.find("--")); }

// An option with one value: `parse` turns the text into `target` or refuses it, and the
// refusal reads "--NAME must be RULE, not 'TEXT'". Each value is checked where it stands
// on the command line; of several, the last wins.
template <class Target, class Parse>
void addValue(CLI::App& app, const std::string& group, const std::string& names,
              const std::string& valueName, Target& target, Parse parse, const std::string& rule,
              const std::string& help) {
    const std::string name = longName(names);
    app.add_option_function<std::string>(
           names,
           [&target, parse, rule, name](const std::string& text) {
               if (text.empty()) throw BadValue{name + " needs a non-empty value"};
               auto value = parse(text);
               if (!value) throw BadValue{name + " must be " + rule + ", not '" + text + "'"};
               target = std::move(*value);
           },
           help)
        ->option_text(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->trigger_on_parse()
        ->group(group);
}

// An option without a value: given, it sets `target` to `value`.
void addFlag(CLI::App& app, const std::string& group, const std::string& names, bool& target,
             bool value, const std::string& help) {
    app.add_flag_callback(
           names, [&target, value] { target = value; }, help)
        ->group(group);
}

// Every option, its help line and its rule. A new option is one call here, grouped as in
// --help, plus its field in Options (and a check in validateOptions if it depends on others).
void registerOptions(CLI::App& app, Options& o) {
    const std::string input = "Input";
    addValue(app, input, "--sheet", "LxW", o.sheet, parseSheet,
             "LENGTHxWIDTH, two positive numbers",
             "the sheet, length L along X by width W; replaces the\nsheet a file gives");
    app.add_option_function<std::string>(
           "--fill",
           [&o](const std::string& text) {
               if (text.empty()) throw BadValue{"--fill needs a non-empty value"};
               std::variant<InputFile, UsageError> file = parseFileArgument(text);
               if (auto* error = std::get_if<UsageError>(&file)) throw BadValue{error->message};
               InputFile& filler = std::get<InputFile>(file);
               filler.fill = FillerCount{filler.copies.value_or(0), !filler.copies};
               filler.copies.reset();
               o.fillerFiles.push_back(std::move(filler));
           },
           "a drawing whose parts are fillers: placed only in the room\nthe other parts leave on "
           "their sheets, N copies of each\n(FILE:N) or as many as fit; FILE:+N among the files "
           "does\nthe same")
        ->option_text("FILE[:N]")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->trigger_on_parse()
        ->group(input);
    addValue(app, input, "--copies", "N", o.copies, parseCount,
             "a whole number from 1 to " + std::to_string(kMaxCopies),
             "copies of each drawing part without FILE:N (default 1)");
    addValue(app, input, "--tolerance", "T", o.tolerance, parseLength, "a positive number",
             "drawings: arcs are packed as polygons straying at most T\n"
             "from them (outside outlines, inside holes), and ends this\n"
             "close join unless --join says otherwise (default 0.05 mm\n"
             "in the units a drawing names; 0.05 in a drawing naming none)");
    addValue(app, input, "--join", "D", o.join, parseLength, "a positive number",
             "drawings: ends of lines and arcs this close meet\n"
             "(default: the tolerance)");
    addValue(app, input, "--units", "U", o.units, insUnitsFromName,
             "one of mm, cm, dm, m, um, in, ft, yd, mil",
             "drawings: convert to mm, cm, dm, m, um, in, ft, yd or\n"
             "mil from the units the drawing names (default: none)");
    addValue(app, input, "--sheet-dxf", "FILE", o.sheetDxf, parseText, "",
             "the sheet as a drawing: its largest outer contour is\n"
             "the outline, closed contours in it are defects that no\n"
             "part may cover (a remnant written by --remnant-dxf)");
    addValue(app, input, "--stock", "FILE", o.stockFile, parseText, "",
             "choose the sheets from a stock list, CSV with a header\n"
             "length,width,count,cost (rectangles) or file,count,cost\n"
             "(drawings); remnants first, then the least cost per\n"
             "part area; cost defaults to the area");
    addValue(app, input, "--assume-units", "U", o.assumeUnits, insUnitsFromName,
             "one of mm, cm, dm, m, um, in, ft, yd, mil",
             "drawings: the units of drawings that name none ($INSUNITS\n"
             "missing or 0), so that --units can convert them");
    addValue(app, input, "--layers", "A,B", o.layers, parseLayerList,
             "layer names separated by commas",
             "drawings: read only the outlines on these layers (any\ncase)");
    addValue(app, input, "--skip-layers", "A,B", o.skipLayers, parseLayerList,
             "layer names separated by commas",
             "drawings: leave out the outlines on these layers, a\nframe or dimensions say");
    addFlag(app, input, "--keep-frames", o.keepFrames, true,
            "drawings: read a frame or title block enclosing the parts\n"
            "as a part (it is left out, with a warning, by default)");
    addFlag(app, input, "--strict", o.strict, true,
            "refuse a part data file with lines that the format reads\n"
            "against their likely meaning (they are warned of anyway)");

    const std::string packing = "Packing";
    addValue(app, packing, "-r,--rotations", "N", o.rotations, parseRotations,
             "a whole number from 1 to " + std::to_string(Options::kMaxRotations),
             "trial orientations per part, 1 to 360 (default 2)");
    addValue(app, packing, "--spacing", "D", o.spacing, parseGap,
             "a decimal number of drawing units, 0 or more",
             "keep every two parts at least D apart (default 0)");
    addValue(app, packing, "--margin", "M", o.margin, parseGap,
             "a decimal number of drawing units, 0 or more",
             "keep every part at least M from the sheet's edges\n(default 0)");
    addValue(
        app, packing, "--sheets", "N", o.sheets,
        [](std::string_view text) { return parseWhole(text, 0, std::numeric_limits<int>::max()); },
        "a whole number, 0 (as many as needed) or more",
        "fill up to N sheets one after another, 0 for as many\nas the parts need (default 1)");
    addFlag(app, packing, "--mirror", o.mirror, true,
            "also try every part mirrored about its Y axis");

    const std::string search = "Search";
    addValue(app, search, "-t,--time-limit", "S", o.timeLimit, parseSeconds,
             "a positive number of seconds",
             "search for a denser layout for S seconds (a decimal)");
    addValue(
        app, search, "--evaluations", "N", o.evaluations,
        [](std::string_view text) {
            return parseWhole<std::int64_t>(text, 1, std::int64_t{1} << 40);
        },
        "a whole number from 1 to 2^40",
        "search for a denser layout over N evaluations: N / 500\n"
        "packing runs, then N part moves of the overlap phase (a\n"
        "move: one part to its best sampled pose; half on cells,\n"
        "half on the exact outlines); N runs with\n"
        "--no-overlap-phase; on a sheet too short for all parts\n"
        "N / 5 runs and 4N / 5 moves, after at most 100 N steps\n"
        "laying rectangles (or parts nearly their boxes) edge to\n"
        "edge (other parts: N / 20000 tries of rows, 1 to 8);\n"
        "with --seed the result is the same on every machine");
    addValue(
        app, search, "--seed", "N", o.seed,
        [](std::string_view text) { return parseWhole<std::uint64_t>(text, 0, UINT64_MAX); },
        "a whole number from 0 to 2^64 - 1", "the search's random seed (default 1)");
    addValue(
        app, search, "-j,--threads", "N", o.threads,
        [](std::string_view text) { return parseWhole<int>(text, 1, 1024); },
        "a whole number from 1 to 1024", "search threads (default: one per core)");
    addFlag(app, search, "--no-overlap-phase", o.overlapPhase, false,
            "search by packing order and turns alone, without the\n"
            "phase that lets parts overlap and separates them");

    const std::string output = "Output";
    addValue(app, output, "-o,--output-dir", "DIR", o.outputDir, parseText, "",
             "write Layout.dxf and Results.txt into DIR (created if\n"
             "missing; default: the current directory)");
    addValue(app, output, "--svg", "FILE", o.svgFile, parseText, "",
             "also draw the layout as an SVG picture into FILE");
    addValue(app, output, "--json", "FILE", o.jsonFile, parseText, "",
             "also write the placements as JSON into FILE");
    addValue(app, output, "--dxf-cam", "FILE", o.camFile, parseText, "",
             "also write a drawing for cutting into FILE: closed\n"
             "polylines (a drawing's arcs as arcs), parts on PARTS,\n"
             "holes on HOLES, the sheet on SHEET, each part's holes\n"
             "before its outline; with --sheets other than 1, one per\n"
             "sheet used (cut.dxf: cut-1.dxf, cut-2.dxf, ...; {n} in\n"
             "FILE: the number)");
    addValue(app, output, "--remnant-dxf", "FILE", o.remnantDxf, parseText, "",
             "also write what is left of the last sheet used, cut\n"
             "across beyond its parts, as a drawing for --sheet-dxf");
    addValue(app, output, "--stock-out", "FILE", o.stockOutFile, parseText, "",
             "also write the stock list the job leaves: each kind less\n"
             "the sheets used, and the --remnant-dxf remnant added");
    addValue(app, output, "--job-sheet", "FILE", o.jobSheetFile, parseText, "",
             "also write a job sheet to print (HTML): each distinct sheet\n"
             "with how often to run it, its picture, parts, cut length\n"
             "and pierces, and the job's totals");
    addValue(app, output, "--dxf-cam-layers", "by-kind|by-name", o.camLayers, parseCamLayers,
             "by-kind or by-name", "by-name: one layer per part name instead");
    addFlag(app, output, "--dxf-cam-labels", o.camLabels, true,
            "label each part in the drawing for cutting with its\n"
            "number on the sheet and its name (TEXT on layer LABELS)");
    addFlag(app, output, "--remnant-cut", o.remnantCut, true,
            "draw the cut that takes the remnant off the last sheet in\n"
            "its drawing for cutting (a line on layer REMNANT_CUT, last)");

    const std::string run = "Run";
    addFlag(app, run, "--no-pause", o.pause, false, "do not wait for a key at the end");
    addFlag(app, run, "-q,--quiet", o.quiet, true, "no progress lines while packing");
    addFlag(app, run, "-h,--help", o.showHelp, true, "show this help and exit");
    addFlag(app, run, "--version", o.showVersion, true, "show the version and exit");
}

// Rules between options, checked once every option has been read.
std::optional<UsageError> validateOptions(const Options& options) {
    if (options.camLabels && !options.camFile) {
        return UsageError{"--dxf-cam-labels labels the drawing for cutting: it needs --dxf-cam"};
    }
    if (options.sheetDxf && options.sheet) {
        return UsageError{"--sheet-dxf gives the sheet: it cannot be given --sheet as well"};
    }
    if (options.stockFile && (options.sheet || options.sheetDxf)) {
        return UsageError{"--stock chooses the sheets: it cannot be given --sheet or --sheet-dxf"};
    }
    if (options.remnantCut && !options.camFile) {
        return UsageError{
            "--remnant-cut draws a line in the drawing for cutting: it needs --dxf-cam"};
    }
    if (options.stockOutFile && !options.stockFile && !options.remnantDxf) {
        return UsageError{
            "--stock-out lists the stock the job leaves: it needs --stock or "
            "--remnant-dxf"};
    }
    if (options.stockFile && options.sheets != 1) {
        return UsageError{"--stock chooses the sheets and their number: it takes no --sheets"};
    }
    return std::nullopt;
}

// The help's layout: usage first, then "-o, --output-dir DIR" as the option names.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() { column_width(24); }
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode) const override {
        std::string help = make_usage(app, name) + make_description(app);
        for (const std::string& group : app->get_groups()) {
            const std::vector<const CLI::Option*> options =
                app->get_options([&](const CLI::Option* o) {
                    return o->get_group() == group && o->nonpositional();
                });
            if (!options.empty()) help += make_group(group, false, options);
        }
        return help + "\n" + make_footer(app);
    }
    std::string make_usage(const CLI::App* app, std::string name) const override {
        std::string usage = CLI::Formatter::make_usage(app, std::move(name));
        return usage.insert(usage.size() - 1, " [FILE...]");
    }
    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        if (positional) return option->get_name(true, false);
        const std::string shortName =
            option->get_snames().empty() ? "    " : "-" + option->get_snames().front() + ", ";
        return shortName + "--" + option->get_lnames().front();
    }
};

// The command line parser with every option bound to `options`.
std::unique_ptr<CLI::App> makeApp(Options& options) {
    auto app = std::make_unique<CLI::App>(
        "Nests the parts of a part data file on a sheet (a rectangle, or a drawing\n"
        "with --sheet-dxf; several with --sheets or --stock) so that the used length\n"
        "stays short, and writes the layout and a short report.\n"
        "\n"
        "Without FILE the program asks for the path on standard input.\n"
        "Each FILE is recognised by its contents: a part data file (at most one; it\n"
        "gives the sheet), a JSON strip-packing instance (its strip height is the sheet\n"
        "width), a DXF drawing of parts, written FILE:N for N copies of each part, or\n"
        "a job list (a CSV file whose first line starts with file,).",
        "blocknest");
    app->set_help_flag();  // --help is an option like the others: main prints usageText()
    app->allow_extras();   // files and unknown options are left over for takeFiles
    app->formatter(std::make_shared<HelpFormatter>());
    app->footer(
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
        "  2  the command line was wrong");
    registerOptions(*app, options);
    return app;
}

// Attached values that CLI11 reads otherwise than this program: "--name=" would take the next
// argument as the value, a flag would accept "--flag=true", and "-qr" would be -q and -r.
std::optional<UsageError> checkAttachedValues(const CLI::App& app,
                                              const std::vector<std::string_view>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--") break;
        const bool isShort = arg.size() > 1 && arg[1] != '-';
        const std::size_t eq = isShort ? 2 : arg.find('=');
        const std::string name(arg.substr(0, eq));
        const CLI::Option* option =
            arg.size() > 1 && arg[0] == '-' ? app.get_option_no_throw(name) : nullptr;
        if (option == nullptr) continue;
        const bool takesValue = option->get_expected_max() > 0;
        if (arg.size() <= name.size()) {
            if (takesValue) ++i;  // its value follows, whatever it is
        } else if (!takesValue) {
            return UsageError{"option '" + std::string(arg) + "' takes no value"};
        } else if (!isShort && eq + 1 == arg.size()) {
            return UsageError{name + " needs a non-empty value"};
        }
    }
    return std::nullopt;
}

// What CLI11 left over, in order: the files, any unknown option, and the "--" after which
// every argument is a file.
std::optional<UsageError> takeFiles(const CLI::App& app, Options& options) {
    bool onlyFiles = false;
    for (const std::string& arg : app.remaining()) {
        if (!onlyFiles && arg == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && arg.size() > 1 && arg[0] == '-') {
            return UsageError{"unknown option '" + arg + "'"};
        } else {
            std::variant<InputFile, UsageError> file = parseFileArgument(arg);
            if (auto* error = std::get_if<UsageError>(&file)) return *error;
            options.files.push_back(std::move(std::get<InputFile>(file)));
        }
    }
    return std::nullopt;
}

}  // namespace

std::variant<Options, UsageError> parseOptions(const std::vector<std::string_view>& args) {
    Options options;
    const std::unique_ptr<CLI::App> app = makeApp(options);
    if (std::optional<UsageError> error = checkAttachedValues(*app, args)) return *error;
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app->parse(std::move(reversed));
    } catch (const BadValue& bad) {
        // Values are checked where they stand: a fault in what came before is reported first.
        if (std::optional<UsageError> earlier = takeFiles(*app, options)) return *earlier;
        return UsageError{bad.message};
    } catch (const CLI::ArgumentMismatch&) {
        // A value is taken from the next argument whatever it is: only the last can lack one.
        if (std::optional<UsageError> earlier = takeFiles(*app, options)) return *earlier;
        return UsageError{"option '" + std::string(args.back()) + "' needs a value"};
    } catch (const CLI::ParseError& e) {
        return UsageError{e.what()};
    }
    if (std::optional<UsageError> error = takeFiles(*app, options)) return *error;
    // Filler drawings join the job after the files, in the order given.
    options.files.insert(options.files.end(), options.fillerFiles.begin(),
                         options.fillerFiles.end());
    options.fillerFiles.clear();
    if (std::optional<UsageError> error = validateOptions(options)) return *error;
    return options;
}

std::string usageText() {
    Options unused;
    return makeApp(unused)->help();
}

}  // namespace blocknest
