#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "input/job_preparation.hpp"
#include "output/statistics.hpp"
#include "packing/independent_overlap.hpp"
#include "packing/packer.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// A square frame whose hole has thin spikes standing up from its lower edge: the spikes' tips
// and feet are its only vertices there, so a bar's corners can all lie in the hole while the
// bar lies across a spike.
Part spikedFrame(double side, double wall, const std::vector<double>& spikesAt, double spikeWidth,
                 double spikeHeight) {
    std::vector<Vertex> hole{{wall, wall}};
    for (const double x : spikesAt) {
        hole.push_back({x - spikeWidth / 2, wall});
        hole.push_back({x, wall + spikeHeight});
        hole.push_back({x + spikeWidth / 2, wall});
    }
    hole.push_back({side - wall, wall});
    hole.push_back({side - wall, side - wall});
    hole.push_back({wall, side - wall});
    return makePart("Frame", {{0, 0}, {side, 0}, {side, side}, {0, side}}, {hole});
}

std::vector<std::string> packAndCheck(double length, double width, std::vector<Part> parts,
                                      int rotationCount, int& placed) {
    PartFileContents contents;
    contents.sheetLength = length;
    contents.sheetWidth = width;
    for (Part& p : parts) contents.parts.pushBack(std::move(p));
    auto prepared = prepareJob(std::move(contents), "test");
    if (!std::holds_alternative<PreparedJob>(prepared)) return {"the job was refused"};
    PreparedJob& job = std::get<PreparedJob>(prepared);
    SilentConsole console;
    (void)packAllParts(job.parts, job.sheet, rotationCount, console, false);
    std::vector<const Part*> onSheet;
    for (const Part& p : job.parts) {
        if (liesOnSheet(p, length, width)) onSheet.push_back(&p);
    }
    placed = static_cast<int>(onSheet.size());
    return findLayoutFaults(onSheet, length, width);
}

// The plain run slid bars down across the spikes of a frame's hole: the hole test looked at
// the bars' corners alone. Bars of several lengths, spikes at several places and widths.
TEST(ThinSpikeTest, NoBarIsPlacedAcrossASpikeOfAHole) {
    int barsPlaced = 0;
    for (const double spikeWidth : {0.02, 0.1, 0.3}) {
        for (const double barLength : {12.0, 20.0, 33.0}) {
            std::vector<Part> parts{
                spikedFrame(60, 4, {13.3, 21.7, 30.1, 38.9, 47.2}, spikeWidth, 25)};
            for (int i = 0; i < 8; ++i) {
                parts.push_back(makePart("Bar", {{0, 0}, {barLength, 0}, {barLength, 3}, {0, 3}}));
            }
            for (int rotations : {2, 4}) {
                int placed = 0;
                const std::vector<std::string> faults =
                    packAndCheck(150, 60, parts, rotations, placed);
                EXPECT_TRUE(faults.empty())
                    << "spikes " << spikeWidth << " wide, bars " << barLength << " long, "
                    << rotations << " turns: " << faults.size() << " faults, first "
                    << faults.front();
                barsPlaced += placed - 1;
            }
        }
    }
    EXPECT_GT(barsPlaced, 0);
}

// A plate with thin spikes standing up from its upper edge, and small squares packed after
// it: the blocks a spike's middle passes through hold no corner and no vertex of it, so the
// grid alone let a square sit across a spike.
TEST(ThinSpikeTest, NoPartIsPlacedAcrossASpikeOfAnOutline) {
    int squaresPlaced = 0;
    for (const double spikeWidth : {0.02, 0.1}) {
        for (const double side : {2.5, 4.0}) {
            std::vector<Vertex> outline{{0, 0}, {40, 0}, {40, 10}};
            for (const double x : {33.7, 26.1, 18.3, 9.9}) {
                outline.push_back({x + spikeWidth / 2, 10});
                outline.push_back({x, 30});
                outline.push_back({x - spikeWidth / 2, 10});
            }
            outline.push_back({0, 10});
            std::vector<Part> parts{makePart("Comb", outline)};
            for (int i = 0; i < 12; ++i) {
                parts.push_back(makePart("Square", {{0, 0}, {side, 0}, {side, side}, {0, side}}));
            }
            int placed = 0;
            const std::vector<std::string> faults = packAndCheck(60, 32, parts, 2, placed);
            EXPECT_TRUE(faults.empty())
                << "spikes " << spikeWidth << " wide, squares " << side << ": " << faults.size()
                << " faults, first " << faults.front();
            squaresPlaced += placed - 1;
        }
    }
    EXPECT_GT(squaresPlaced, 0);
}

}  // namespace
}  // namespace blocknest
