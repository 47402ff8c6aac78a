#include "job/search_display.hpp"

#include <cstdio>

namespace blocknest {

std::string searchBudgetText(double elapsed, double timeLimit) {
    char budget[64];
    if (timeLimit > 0) {
        std::snprintf(budget, sizeof budget, "%.1f / %.1f s", elapsed, timeLimit);
    } else {
        std::snprintf(budget, sizeof budget, "%.1f s", elapsed);
    }
    return budget;
}

void ProgressLines::show(const std::string& line, const std::string& figures,
                         const SearchReport& report) {
    const bool improved = report.improved;
    const auto now = std::chrono::steady_clock::now();
    if (improved || now - lastReport_ >= std::chrono::milliseconds(200)) {
        lastReport_ = now;
        console_.searchProgress(report);
    }
    if (display_ == SearchDisplay::improvements) {
        if (!improved || figures == shownFigures_) return;
        shownFigures_ = figures;
        console_.write(line + "\n");
    } else if (display_ == SearchDisplay::liveLine) {
        if (!improved && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        std::string padded = line;
        if (padded.size() < shownWidth_) padded.append(shownWidth_ - padded.size(), ' ');
        shownWidth_ = line.size();
        console_.write("\r" + padded);
    }
}

void ProgressLines::finish() {
    if (display_ == SearchDisplay::liveLine) console_.write("\n");
}

}  // namespace blocknest
