#pragma once  // serve/zip_archive.hpp: files bundled into one ZIP archive for a download
#include <string>
#include <utility>
#include <vector>

namespace blocknest {

// A ZIP archive (stored, not compressed: cut drawings are small and any unzip reads it) of
// the files given as (name in the archive, contents), in that order.
[[nodiscard]] std::string zipArchive(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace blocknest
