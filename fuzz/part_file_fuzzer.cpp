// libFuzzer entry: the part data file through reading, preparation and (for small jobs)
// packing and formatting.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/exercise.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    blocknest::fuzzing::exerciseReadAndPrepare(
        std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
