#include "search/prepared_instance.hpp"

#include <gtest/gtest.h>

#include <variant>

#include "input/job_preparation.hpp"

namespace blocknest::testing_support {

SearchInstance preparedInstance(double length, double width, std::vector<Part> parts,
                                int rotationCount) {
    PartFileContents contents;
    contents.sheetLength = length;
    contents.sheetWidth = width;
    for (Part& p : parts) contents.parts.pushBack(std::move(p));
    auto prepared = prepareJob(std::move(contents), "test");
    EXPECT_TRUE(std::holds_alternative<PreparedJob>(prepared)) << "the job was refused";
    if (!std::holds_alternative<PreparedJob>(prepared)) return {};
    const PreparedJob& job = std::get<PreparedJob>(prepared);
    return makeSearchInstance(job.parts, job.sheet, rotationCount, {});
}

}  // namespace blocknest::testing_support
