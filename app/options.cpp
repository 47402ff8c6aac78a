#include "app/options.hpp"

namespace blocknest {

std::variant<Options, UsageError> parseOptions(const std::vector<std::string_view>& args) {
    Options options;
    bool onlyFilesFollow = false;
    for (std::string_view arg : args) {
        if (!onlyFilesFollow && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                onlyFilesFollow = true;
            } else if (arg == "--help" || arg == "-h") {
                options.showHelp = true;
            } else if (arg == "--version") {
                options.showVersion = true;
            } else if (arg == "--no-pause") {
                options.pause = false;
            } else {
                return UsageError{"unknown option '" + std::string(arg) + "'"};
            }
            continue;
        }
        if (options.partFile) {
            return UsageError{"more than one part data file given ('" + *options.partFile +
                              "' and '" + std::string(arg) + "')"};
        }
        options.partFile = std::string(arg);
    }
    return options;
}

std::string usageText() {
    return "Usage: blocknest [OPTIONS] [FILE]\n"
           "Nests the parts of a part data file on a rectangular sheet.\n"
           "\n"
           "Without FILE the program asks for the path on standard input.\n"
           "\n"
           "Options:\n"
           "      --no-pause  do not wait for a key at the end\n"
           "  -h, --help      show this help and exit\n"
           "      --version   show the version and exit\n"
           "\n"
           "Outputs (in the current directory):\n"
           "  Layout.dxf      the layout drawing\n"
           "  Results.txt     packed length, packing density, area of the parts, time\n"
           "\n"
           "Exit codes:\n"
           "  0  the run completed\n"
           "  1  the part data file or an output file could not be used\n"
           "  2  the command line was wrong\n";
}

}  // namespace blocknest
