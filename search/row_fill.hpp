#pragma once  // search/row_fill.hpp: parts laid in rows, each slid against the one before
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "search/decoder.hpp"

namespace blocknest {

struct RowFillOptions {
    int attempts = 1;  // rows built afresh at most, the first greedy, the others give or take
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::uint64_t seed = 1;
    const std::atomic<bool>* stop = nullptr;  // set: no further attempt begins
};

struct RowFill {
    PartList layout;         // every part of the instance, laid out, in `order`
    std::vector<int> order;  // the instance's part indices in the layout's order
};

// Lays every part onto a sheet without a drawn outline or defect in rows from the sheet's
// lower edge up, or finds no way within the attempts: a row is as tall as its first part, and
// each next part is the one, in the turn, that wastes the least of the row's area when it is
// set after the row's end and slid back against the parts there by the exact test (parts that
// interlock, such as pieces cut apart by one line, waste nothing). The outcome passes the
// program's exact test. An attempt ends without a layout once it has slid 40,000 parts; without
// a deadline the outcome depends only on the options' attempts and seed.
[[nodiscard]] std::optional<RowFill> fillInRows(const SearchInstance& instance,
                                                const RowFillOptions& options);

struct RowSheets {
    std::vector<int> sheetOf;  // each part's sheet, by the instance's part index
    std::vector<Part> parts;   // each part's pose on its sheet
    int sheets = 0;
};

// Lays every part onto at most maxSheets sheets alike (the instance's sheet), each filled in
// rows as fillInRows fills one, from the parts the earlier ones left, until no part starts a
// new row on it; none when an attempt leaves a part off. Each row starts with the tallest
// part that fits it, so that rows of alike heights come first. An attempt slides at most
// 40,000 parts a sheet.
[[nodiscard]] std::optional<RowSheets> fillSheetsInRows(const SearchInstance& instance,
                                                        int maxSheets,
                                                        const RowFillOptions& options);

}  // namespace blocknest
