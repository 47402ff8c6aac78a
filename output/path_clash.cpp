#include "output/path_clash.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "output/cut_files.hpp"

namespace blocknest {
namespace {

// A per-sheet output goes on for ever: the first sheets' files, which may already exist under
// other names (hard links), are looked up one by one, the rest only where a path's digits
// name them.
constexpr int kSheetsLookedUp = 100;

std::filesystem::path resolved(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) absolute = path;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// The numbers a path's digits spell, in the path as given and as resolved: the sheet numbers
// a per-sheet output could have given it.
std::set<int> numbersIn(const std::filesystem::path& path) {
    std::set<int> numbers;
    for (const std::string& text : {path.string(), resolved(path).string()}) {
        for (std::size_t i = 0; i < text.size();) {
            if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
                ++i;
                continue;
            }
            long long value = 0;
            for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
                if (value <= 1'000'000'000) value = value * 10 + (text[i] - '0');
            }
            if (value >= 1 && value <= 1'000'000'000) numbers.insert(static_cast<int>(value));
        }
    }
    return numbers;
}

// The files of an output: one, or those of the sheets it may be written for.
std::vector<std::pair<int, std::filesystem::path>> filesOf(const OutputPath& output,
                                                           const std::set<int>& hinted) {
    if (!output.perSheet) return {{0, output.path}};
    // A per-sheet output also removes the files of the other form an earlier run left: the
    // unnumbered file beside numbered ones, and the other way round.
    const bool braced = output.path.string().find("{n}") != std::string::npos;
    std::vector<std::pair<int, std::filesystem::path>> files;
    if (!braced) files.emplace_back(0, output.path);
    if (!braced && !output.numbered &&
        !std::filesystem::exists(cutFileName(output.path, 1, true))) {
        return files;
    }
    std::set<int> sheets = hinted;
    for (int n = 1; n <= kSheetsLookedUp; ++n) sheets.insert(n);
    for (const int n : sheets) files.emplace_back(n, cutFileName(output.path, n, true));
    return files;
}

// The sheet whose file of output is path, or nothing; 0 for an output of one file.
std::optional<std::pair<int, std::filesystem::path>> fileAt(const OutputPath& output,
                                                            const std::filesystem::path& path) {
    for (const auto& [n, file] : filesOf(output, numbersIn(path))) {
        if (sameFile(file, path)) return std::make_pair(n, file);
    }
    return std::nullopt;
}

std::string describe(const OutputPath& output, int sheet, const std::filesystem::path& file) {
    if (sheet == 0) return "the " + output.role + " " + quoted(file);
    return "the " + output.role + " of sheet " + std::to_string(sheet) + " " + quoted(file);
}

}  // namespace

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat first {};
    struct stat second {};
    const bool aExists = ::stat(a.c_str(), &first) == 0;
    const bool bExists = ::stat(b.c_str(), &second) == 0;
    if (aExists && bExists) return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    if (aExists || bExists) return false;
    return resolved(a) == resolved(b);
}

std::optional<std::string> findPathClash(const std::vector<InputPath>& inputs,
                                         const std::vector<OutputPath>& outputs) {
    for (const OutputPath& output : outputs) {
        for (const InputPath& input : inputs) {
            if (const auto at = fileAt(output, input.path)) {
                return describe(output, at->first, at->second) + " would replace the " +
                       input.role + " " + quoted(input.path);
            }
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = 0; j < outputs.size(); ++j) {
            if (i == j) continue;
            for (const auto& [n, file] : filesOf(outputs[i], {})) {
                if (const auto at = fileAt(outputs[j], file)) {
                    // The later output, an extra one, is the one that would replace.
                    const std::string mine = describe(outputs[i], n, file);
                    const std::string theirs = describe(outputs[j], at->first, at->second);
                    return i > j ? mine + " would replace " + theirs
                                 : theirs + " would replace " + mine;
                }
            }
        }
    }
    return std::nullopt;
}

}  // namespace blocknest
