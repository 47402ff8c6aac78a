#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/exercise.hpp"
#include "fuzz/exercise_dxf.hpp"
#include "fuzz/exercise_json.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// Every input the fuzzer kept or that once failed, through the same path as the fuzzer: it
// must end without a crash, an exception, a sanitizer report or a faulty output.
TEST(FuzzReplayTest, EveryKeptInputEndsCleanly) {
    const std::filesystem::path folder = BLOCKNEST_SOURCE_DIR "/tests/data/fuzz";
    int replayed = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().string());
        std::optional<std::string> fault;
        EXPECT_NO_THROW(fault = fuzzing::exerciseReadAndPrepare(readFile(entry.path())));
        EXPECT_EQ(fault, std::nullopt);
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

// The same for the JSON instances: the examples, the test instances and every input the
// JSON fuzzer kept or that once failed.
TEST(FuzzReplayTest, EveryKeptJsonInstanceEndsCleanly) {
    int replayed = 0;
    for (const char* folder :
         {BLOCKNEST_SOURCE_DIR "/tests/data/fuzz-json", BLOCKNEST_SOURCE_DIR "/tests/data/json",
          BLOCKNEST_SOURCE_DIR "/examples"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().extension() != ".json") continue;
            SCOPED_TRACE(entry.path().string());
            std::optional<std::string> fault;
            EXPECT_NO_THROW(fault = fuzzing::exerciseJsonInstance(readFile(entry.path())));
            EXPECT_EQ(fault, std::nullopt);
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 3);
}

// The same for the drawings the DXF fuzz target kept or that once failed, and the example
// drawings the fuzzer starts from.
TEST(FuzzReplayTest, EveryKeptDrawingEndsCleanly) {
    int replayed = 0;
    for (const char* folder :
         {BLOCKNEST_SOURCE_DIR "/tests/data/fuzz-dxf", BLOCKNEST_SOURCE_DIR "/tests/data/dxf"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().extension() != ".dxf") continue;
            SCOPED_TRACE(entry.path().string());
            std::optional<std::string> fault;
            EXPECT_NO_THROW(fault = fuzzing::exerciseDxf(readFile(entry.path())));
            EXPECT_EQ(fault, std::nullopt);
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
}  // namespace blocknest
