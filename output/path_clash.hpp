#pragma once  // output/path_clash.hpp: no file a run writes is one it reads or another it writes
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace blocknest {

// A file the run reads, and how messages call it ("the drawing", "the stock list").
struct InputPath {
    std::string role;
    std::filesystem::path path;
};

// A file the run would write or remove. A per-sheet output stands for every file
// cutFileName(path, n, numbered) gives, for any sheet number n.
struct OutputPath {
    std::string role;
    std::filesystem::path path;
    bool perSheet = false;
    bool numbered = false;
};

// True when the two paths name one file: the same inode for files that exist (links and hard
// links included), the same resolved path for those that do not yet.
[[nodiscard]] bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The first clash of an output with an input or with another output, as one line naming both
// ("the drawing for cutting 'cut.dxf' would replace the drawing 'cut.dxf'"); nothing when
// every output is a file of its own.
[[nodiscard]] std::optional<std::string> findPathClash(const std::vector<InputPath>& inputs,
                                                       const std::vector<OutputPath>& outputs);

}  // namespace blocknest
