#pragma once  // job/search_display.hpp: how a search shows its progress on the console
#include <chrono>
#include <string>

#include "base/console.hpp"

namespace blocknest {

// Not at all, one line rewritten in place, or a line at each improvement.
enum class SearchDisplay { none, liveLine, improvements };

// "1.5 / 10.0 s" with a time limit, "1.5 s" without.
[[nodiscard]] std::string searchBudgetText(double elapsed, double timeLimit);

// Writes a search's progress lines as the display says: at an improvement whose figures
// differ from the last ones shown (not for each tie broken), or rewritten in place at most
// five times a second and at every improvement, padded over the longer line before it.
class ProgressLines {
public:
    ProgressLines(Console& console, SearchDisplay display) : console_(console), display_(display) {}

    // line is the whole line; figures the part of it that makes an improvement worth a line;
    // the report goes to the console as figures.
    void show(const std::string& line, const std::string& figures, const SearchReport& report);
    // Ends the line rewritten in place.
    void finish();

private:
    Console& console_;
    SearchDisplay display_;
    std::string shownFigures_;
    std::size_t shownWidth_ = 0;
    std::chrono::steady_clock::time_point last_ =
        std::chrono::steady_clock::now() - std::chrono::hours(1);
    std::chrono::steady_clock::time_point lastReport_ = last_;
};

}  // namespace blocknest
