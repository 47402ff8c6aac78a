#pragma once  // tests/search/prepared_instance.hpp: the instance a run searches for some parts
#include <vector>

#include "geometry/part.hpp"
#include "search/decoder.hpp"

namespace blocknest::testing_support {

// The instance a run with -r rotationCount searches for these parts on a length x width
// sheet, the job prepared as a part data file's is; empty, and a test failure, when the job is
// refused.
SearchInstance preparedInstance(double length, double width, std::vector<Part> parts,
                                int rotationCount);

}  // namespace blocknest::testing_support
