#pragma once  // search/sheet_emptying.hpp: one sheet fewer by moving the last sheet's parts away
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "search/search.hpp"
#include "search/sheet_search.hpp"

namespace blocknest {

// The one-sheet instance of some parts of a job over sheets (ids into the job's instance, in
// that order): the job's grids, or the given sheet alone when the sheets differ.
[[nodiscard]] SearchInstance sheetInstance(const SearchInstance& instance,
                                           const std::vector<int>& ids, const Sheet* own = nullptr);

// The parts a layout over sheets holds on sheet k, and the score of the layout once its sheet
// count, last length and last area are taken from the parts (unplaced and crowding kept).
[[nodiscard]] std::vector<int> partsOnSheet(const SheetsLayout& layout, int k);
[[nodiscard]] SheetsScore rescoreSheets(const SearchInstance& instance, const SheetsLayout& layout,
                                        const SheetsScore& score);

struct EmptyingBudget {
    std::optional<std::chrono::steady_clock::time_point> end;
    std::int64_t moves = 0;  // part moves at most; 0: until end
};

// When the parts are not all rectangles and the sheets alike have no drawn outline or defect,
// first lays the whole job out afresh in rows over one sheet fewer (fillSheetsInRows). Then
// moves the parts of the last sheet (of the least used one when the sheets are alike), largest
// first, onto earlier sheets with the free area for them, most free first. Each is first packed
// into the gaps the parts of such a sheet leave, by the packing run's own steps, which costs no
// move; when every part is a rectangle (or every one nearly its box), such a sheet's parts and
// it are then laid out afresh edge to edge (fillWithRectangles, short tries first); the parts
// that stay are then put onto such a sheet overlapping its parts and the overlap resolved there
// by the exact overlap phase
// (the sheet's outline and defects fixed, its own parts free to shift), in short tries over
// every part and sheet before longer ones. On sheets alike without defects, a part that no try
// of 300 moves per part places takes the place of smaller parts of an earlier sheet that weigh
// little more than it, and they go to the last sheet's gaps and move on from there in the next
// round (once for each part). A sheet left empty is dropped and the next last one is tried. The
// layout only ever gets better by the sheets' score; the moves made are returned. With a move
// budget the outcome depends only on it and the seed (the edge-to-edge tries then take at most
// 1,000 steps per move of it, the rows one attempt per 10,000 moves, at most 4). report gets the
// moves made and the score whenever a part moves.
std::int64_t emptyLastSheets(const SearchInstance& instance, std::span<const Sheet> sequence,
                             const SearchOptions& options, const EmptyingBudget& budget,
                             SheetsLayout& layout, SheetsScore& score,
                             const std::function<void(std::int64_t, const SheetsScore&)>& report);

}  // namespace blocknest
