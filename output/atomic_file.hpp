#pragma once  // output/atomic_file.hpp: replacing files without ever leaving half of them
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace blocknest {

// A set of files replaced together: each is written in full beside its target first, and the
// targets are replaced only once every one is complete, so a failed or killed run leaves the
// old set. Where the file system allows, the files being written have no name until they are
// complete (Linux O_TMPFILE), so a killed run leaves nothing behind; elsewhere they are
// hidden files that the set removes when it is not committed (the environment variable
// BLOCKNEST_NAMED_TEMPORARIES=1 makes them so everywhere, for the tests of that path). The
// commit holds a lock on each folder it writes to, so that the sets of runs that finish
// together never mix.
class OutputSet {
public:
    OutputSet() = default;
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;
    ~OutputSet();  // removes what was staged and not committed

    // Writes contents for target, which is not yet replaced; returns why it failed.
    [[nodiscard]] std::optional<std::string> stage(const std::filesystem::path& target,
                                                   std::string_view contents);
    // An old target that the set removes when it commits, before any file is replaced: an
    // output asked for and not written this time.
    void stageRemoval(const std::filesystem::path& target);
    // Replaces every staged target and removes those staged for removal; returns why it failed.
    [[nodiscard]] std::optional<std::string> commit();

private:
    struct Staged {
        std::filesystem::path target;
        int fd = -1;                  // an unnamed file, until it is linked in
        std::filesystem::path named;  // the temporary name, once it has one
    };
    std::vector<Staged> staged_;
    std::vector<std::filesystem::path> removals_;
};

// A set of one: writes contents beside target and renames it over target.
[[nodiscard]] std::optional<std::string> replaceFile(const std::filesystem::path& target,
                                                     std::string_view contents);

}  // namespace blocknest
