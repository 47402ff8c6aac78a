#pragma once  // output/atomic_file.hpp: replacing a file without ever leaving half of it
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace blocknest {

// Writes contents to a new file beside target and renames it over target, so target holds
// either its old contents or all of the new ones. Returns why it failed, or nothing.
[[nodiscard]] std::optional<std::string> replaceFile(const std::filesystem::path& target,
                                                     std::string_view contents);

}  // namespace blocknest
