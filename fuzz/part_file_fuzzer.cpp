// libFuzzer entry: the part data file through reading, preparation and (for small jobs)
// packing and formatting, with every output checked.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/exercise.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<std::string> fault = blocknest::fuzzing::exerciseReadAndPrepare(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (fault) {
        std::fprintf(stderr, "output fault: %s\n", fault->c_str());
        std::abort();
    }
    return 0;
}
