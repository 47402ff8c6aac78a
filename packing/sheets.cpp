#include "packing/sheets.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "packing/packer.hpp"

namespace blocknest {

bool liesWithin(const Part& part, const Sheet& sheet) {
    const BoundingBox& box = part.outerLoop().bounds();
    return box.minX >= 0 && box.maxX <= sheet.length && box.minY >= 0 && box.maxY <= sheet.width;
}

int sheetsAtLeast(const std::vector<double>& partAreas, const std::vector<int>& sheetOf,
                  double sheetArea) {
    double area = 0;
    for (std::size_t i = 0; i < partAreas.size(); ++i) {
        if (i >= sheetOf.size() || sheetOf[i] != kTooLarge) area += std::max(0.0, partAreas[i]);
    }
    if (!(sheetArea > 0) || !std::isfinite(area / sheetArea)) return 0;
    // A relative hair is forgiven: parts that fill n sheets exactly need n, not n + 1.
    return static_cast<int>(std::ceil(area / sheetArea * (1 - 1e-12)));
}

std::vector<int> packSheets(PartList& parts, const Sheet& sheet, int maxSheets,
                            const PackOneSheet& packOne) {
    std::vector<Part*> all;
    for (Part& part : parts) all.push_back(&part);
    std::vector<int> sheetOf(all.size(), kNoSheet);
    // Copies of one part type fit an empty sheet alike: one probe per name and area.
    std::map<std::pair<std::string, double>, bool> fitsAlone;
    for (int k = 0; maxSheets == 0 || k < maxSheets; ++k) {
        std::vector<std::size_t> left;
        PartList batch;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (sheetOf[i] != kNoSheet) continue;
            left.push_back(i);
            batch.pushBack(*all[i]);
        }
        if (left.empty()) break;
        Sheet fresh = sheet;
        packOne(batch, fresh, false);
        bool placedAny = false;
        auto part = batch.begin();
        for (const std::size_t i : left) {
            if (liesWithin(*part, sheet)) {
                *all[i] = *part;
                sheetOf[i] = k;
                placedAny = true;
            }
            ++part;
        }
        if (!placedAny) {
            // What an empty sheet does not take, no later one takes; on the first sheet each
            // part met the empty sheet, so those too large for it are known.
            for (const std::size_t i : left) {
                if (k == 0 && whyLeftOff(*all[i], sheet.length, sheet.width) ==
                                  LeftOffReason::largerThanSheet) {
                    sheetOf[i] = kTooLarge;
                }
            }
            break;
        }
        if (k > 0 || maxSheets == 1) continue;
        for (const std::size_t i : left) {
            if (sheetOf[i] != kNoSheet) continue;
            const auto key = std::make_pair(all[i]->name(), all[i]->netArea());
            auto known = fitsAlone.find(key);
            if (known == fitsAlone.end()) {
                PartList alone;
                alone.pushBack(*all[i]);
                Sheet empty = sheet;
                packOne(alone, empty, true);
                known = fitsAlone.emplace(key, liesWithin(alone.front(), sheet)).first;
            }
            if (!known->second) sheetOf[i] = kTooLarge;
        }
    }
    return sheetOf;
}

}  // namespace blocknest
