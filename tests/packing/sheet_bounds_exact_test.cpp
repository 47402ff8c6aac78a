// The bounds on parts' extents against the true least number of sheets: small jobs of
// rectangles with whole-number sides, solved exactly on the whole-number grid (a packing of
// such rectangles can always be pushed onto it), and the one-dimensional bound against
// exhaustive bin packing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "packing/sheet_bounds.hpp"
#include "packing/sheets.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::makePart;

struct Box {
    int x = 0;
    int y = 0;
};

// Whether the boxes fit an l x w grid: at the first free cell (column by column) either a box
// not yet placed starts there, in a turn allowed, or the cell stays empty; failed states are
// remembered.
class GridPacker {
public:
    GridPacker(int l, int w, std::vector<Box> boxes, bool turns)
        : l_(l), w_(w), boxes_(std::move(boxes)), turns_(turns), taken_(l * w, '.') {}

    bool fits() {
        int area = 0;
        for (const Box& b : boxes_) area += b.x * b.y;
        return area <= l_ * w_ && search(0, (1 << boxes_.size()) - 1, l_ * w_ - area);
    }

private:
    bool free(int x0, int y0, int bx, int by) const {
        if (x0 + bx > l_ || y0 + by > w_) return false;
        for (int x = x0; x < x0 + bx; ++x) {
            for (int y = y0; y < y0 + by; ++y) {
                if (taken_[x * w_ + y] != '.') return false;
            }
        }
        return true;
    }
    void mark(int x0, int y0, int bx, int by, char c) {
        for (int x = x0; x < x0 + bx; ++x) {
            for (int y = y0; y < y0 + by; ++y) taken_[x * w_ + y] = c;
        }
    }
    bool search(int cell, int left, int waste) {
        if (left == 0) return true;
        while (cell < l_ * w_ && taken_[cell] != '.') ++cell;
        if (cell == l_ * w_) return false;
        if (failed_.count({taken_, left}) != 0) return false;
        const int x = cell / w_;
        const int y = cell % w_;
        for (std::size_t i = 0; i < boxes_.size(); ++i) {
            if (!(left >> i & 1)) continue;
            for (int turn = 0; turn < (turns_ ? 2 : 1); ++turn) {
                const int bx = turn ? boxes_[i].y : boxes_[i].x;
                const int by = turn ? boxes_[i].x : boxes_[i].y;
                if (!free(x, y, bx, by)) continue;
                mark(x, y, bx, by, 'a' + i);
                const bool ok = search(cell + 1, left & ~(1 << i), waste);
                mark(x, y, bx, by, '.');
                if (ok) return true;
            }
        }
        if (waste > 0) {
            taken_[cell] = '#';
            const bool ok = search(cell + 1, left, waste - 1);
            taken_[cell] = '.';
            if (ok) return true;
        }
        failed_.insert({taken_, left});
        return false;
    }

    int l_;
    int w_;
    std::vector<Box> boxes_;
    bool turns_;
    std::string taken_;
    std::set<std::pair<std::string, int>> failed_;
};

// The least number of l x w sheets the boxes take: the fewest feasible subsets covering all.
int leastSheets(int l, int w, const std::vector<Box>& boxes, bool turns) {
    const int n = static_cast<int>(boxes.size());
    std::vector<char> feasible(1 << n, 0);
    for (int s = 1; s < (1 << n); ++s) {
        std::vector<Box> subset;
        for (int i = 0; i < n; ++i) {
            if (s >> i & 1) subset.push_back(boxes[i]);
        }
        feasible[s] = GridPacker(l, w, subset, turns).fits();
    }
    std::vector<int> least(1 << n, 1 << 20);
    least[0] = 0;
    for (int s = 1; s < (1 << n); ++s) {
        const int lowest = s & -s;
        for (int t = s; t > 0; t = (t - 1) & s) {
            if ((t & lowest) && feasible[t]) least[s] = std::min(least[s], 1 + least[s ^ t]);
        }
    }
    return least[(1 << n) - 1];
}

int strongestBound(int l, int w, const std::vector<Box>& boxes, bool turns) {
    PartList parts;
    std::vector<double> areas;
    for (const Box& b : boxes) {
        parts.pushBack(
            makePart("R" + std::to_string(b.x) + "x" + std::to_string(b.y),
                     {{0, 0}, {double(b.x), 0}, {double(b.x), double(b.y)}, {0, double(b.y)}}));
        areas.push_back(b.x * b.y);
    }
    const std::vector<PartExtents> extents = measurePartExtents(parts, turns ? 4 : 2, false);
    return std::max(sheetsAtLeast(areas, {}, l * w), sheetsAtLeastByExtents(extents, {}, l, w));
}

// On random small jobs the bound never exceeds the true least number, and it is tight on
// most of them (parts wider than half the sheet are the common case here).
TEST(SheetBoundsExactTest, NeverAboveTheOptimumOfSmallRectangleJobs) {
    std::mt19937 random(5);
    int tight = 0;
    int beyondArea = 0;
    const int jobs = 160;
    for (int job = 0; job < jobs; ++job) {
        const int l = std::uniform_int_distribution<int>(5, 9)(random);
        const int w = std::uniform_int_distribution<int>(4, 7)(random);
        const int n = std::uniform_int_distribution<int>(2, 6)(random);
        const bool turns = job % 2 == 1;
        std::vector<Box> boxes;
        for (int i = 0; i < n; ++i) {
            Box b{std::uniform_int_distribution<int>(1, l)(random),
                  std::uniform_int_distribution<int>(1, w)(random)};
            if (turns && b.y > l) std::swap(b.x, b.y);
            boxes.push_back(b);
        }
        const int optimum = leastSheets(l, w, boxes, turns);
        const int bound = strongestBound(l, w, boxes, turns);
        std::string described =
            std::to_string(l) + " x " + std::to_string(w) + (turns ? " turning:" : ":");
        for (const Box& b : boxes)
            described += " " + std::to_string(b.x) + "x" + std::to_string(b.y);
        ASSERT_LE(bound, optimum) << described;
        tight += bound == optimum;
        int area = 0;
        for (const Box& b : boxes) area += b.x * b.y;
        beyondArea += bound > (area + l * w - 1) / (l * w);
    }
    EXPECT_GE(tight, jobs * 8 / 10);
    EXPECT_GE(beyondArea, jobs / 10) << "the extents add nothing to the area bound";
}

// A family where the extents decide: parts 0.35 of the sheet long and 0.75 wide go two to a
// sheet whatever the area says, and the bound says so.
TEST(SheetBoundsExactTest, ReachesTheOptimumWhereTheExtentsDecide) {
    for (int n = 1; n <= 6; ++n) {
        const std::vector<Box> boxes(n, Box{7, 3});
        EXPECT_EQ(leastSheets(20, 4, boxes, false), (n + 1) / 2);
        EXPECT_EQ(strongestBound(20, 4, boxes, false), (n + 1) / 2) << n;
    }
}

// The one-dimensional bound against every assignment of a few sizes to bins.
TEST(SheetBoundsExactTest, BinsAtLeastNeverAboveExhaustiveBinPacking) {
    std::mt19937 random(3);
    int tight = 0;
    for (int job = 0; job < 300; ++job) {
        const int n = std::uniform_int_distribution<int>(1, 7)(random);
        std::vector<double> sizes;
        for (int i = 0; i < n; ++i)
            sizes.push_back(std::uniform_int_distribution<int>(1, 10)(random));
        int optimum = n;
        std::vector<int> bin(n, 0);
        // Every assignment of sizes to bins with bin numbers in first-use order.
        while (true) {
            std::vector<double> load(n, 0);
            int used = 0;
            for (int i = 0; i < n; ++i) {
                load[bin[i]] += sizes[i];
                used = std::max(used, bin[i] + 1);
            }
            if (std::all_of(load.begin(), load.end(), [](double x) { return x <= 10; })) {
                optimum = std::min(optimum, used);
            }
            int i = n - 1;
            while (i > 0) {
                const int limit = *std::max_element(bin.begin(), bin.begin() + i) + 1;
                if (bin[i] < limit) break;
                bin[i] = 0;
                --i;
            }
            if (i == 0) break;
            ++bin[i];
        }
        const int bound = binsAtLeast(sizes, 10);
        ASSERT_LE(bound, optimum);
        tight += bound == optimum;
    }
    EXPECT_GE(tight, 270);
}

}  // namespace
}  // namespace blocknest
