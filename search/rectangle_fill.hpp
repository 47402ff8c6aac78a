#pragma once  // search/rectangle_fill.hpp: rectangles laid edge to edge by a depth-first search
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "search/decoder.hpp"

namespace blocknest {

struct RectangleFillOptions {
    std::int64_t nodes = 0;  // search steps at most, over all restarts; 0: no such limit
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::uint64_t seed = 1;
    const std::atomic<bool>* stop = nullptr;  // set: the search ends at its next steps
    // Each part laid as its box, in the turns where its outline covers at least kBoxShare of
    // the box: parts with rounded or cut corners fill as the rectangles they nearly are.
    bool boxes = false;
};

// The least share of its box a part's outline covers in a turn for a fill by boxes to use it.
inline constexpr double kBoxShare = 0.95;

struct RectangleFill {
    PartList layout;         // every part of the instance, laid out, in `order`
    std::vector<int> order;  // the instance's part indices in the layout's order
    std::int64_t nodes = 0;  // search steps taken
};

// True when every part is a rectangle in at least one of its turns (those turns are the ones
// a fill uses) and the sheet has no drawn outline or defect.
[[nodiscard]] bool fillsWithRectangles(const SearchInstance& instance);

// True when every part is nearly its box (kBoxShare) in at least one of its turns and the
// sheet has no drawn outline or defect: a fill by boxes can lay them out.
[[nodiscard]] bool fillsWithBoxes(const SearchInstance& instance);

// Lays every part onto the sheet edge to edge, or finds no way within the options' limits.
// The search fills the lowest stretch of a skyline first, with a part or by leaving it empty
// up to a neighbour while the empty area stays within what the sheet spares beyond the parts,
// and restarts with longer limits, other orders and along the other side of the sheet. The
// outcome passes the program's exact test; with a step limit it depends only on the seed.
// With options.boxes the parts' boxes are laid so, when every part is nearly its box.
[[nodiscard]] std::optional<RectangleFill> fillWithRectangles(const SearchInstance& instance,
                                                              const RectangleFillOptions& options);

}  // namespace blocknest
