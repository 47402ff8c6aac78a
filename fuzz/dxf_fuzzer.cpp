// libFuzzer entry: a DXF drawing through the reader, with every message and part checked,
// and (for small drawings) through preparation, packing and formatting as well.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/exercise_dxf.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<std::string> fault = blocknest::fuzzing::exerciseDxf(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (fault) {
        std::fprintf(stderr, "output fault: %s\n", fault->c_str());
        std::abort();
    }
    return 0;
}
