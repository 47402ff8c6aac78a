// libFuzzer entry: a JSON instance through reading, merging, preparation and (for small jobs)
// packing and formatting, with every message and output checked.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/exercise_json.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<std::string> fault = blocknest::fuzzing::exerciseJsonInstance(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (fault) {
        std::fprintf(stderr, "output fault: %s\n", fault->c_str());
        std::abort();
    }
    return 0;
}
