#pragma once  // search/box_buckets.hpp: which parts' boxes may meet a box, by a grid of buckets
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace blocknest {

// Items (numbered 0..count-1) with axis-aligned boxes in a region, each listed in the buckets of
// a regular grid that its box meets, so that a query visits only the items near a box. Boxes
// outside the region are clamped to its edge buckets. An item must be inserted before it is
// moved or erased, with the box it was inserted with.
class BoxBuckets {
public:
    BoxBuckets(int count, double length, double width, double side)
        : columns_(cellsFor(length, side)),
          rows_(cellsFor(width, side)),
          sideX_(std::max(length, 1e-300) / columns_),
          sideY_(std::max(width, 1e-300) / rows_),
          buckets_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_)),
          seen_(static_cast<std::size_t>(count), 0) {}

    void insert(int item, double minX, double minY, double maxX, double maxY) {
        forBucketsOf(*this, minX, minY, maxX, maxY,
                     [&](std::vector<int>& bucket) { bucket.push_back(item); });
    }

    void erase(int item, double minX, double minY, double maxX, double maxY) {
        forBucketsOf(*this, minX, minY, maxX, maxY, [&](std::vector<int>& bucket) {
            const auto at = std::find(bucket.begin(), bucket.end(), item);
            if (at != bucket.end()) {
                *at = bucket.back();
                bucket.pop_back();
            }
        });
    }

    // Calls visit(item) once for each item listed in a bucket the box meets: every item whose
    // box meets it, and maybe some more.
    template <class Visit>
    void query(double minX, double minY, double maxX, double maxY, Visit visit) const {
        if (++stamp_ == 0) {
            std::fill(seen_.begin(), seen_.end(), 0U);
            stamp_ = 1;
        }
        forBucketsOf(*this, minX, minY, maxX, maxY, [&](const std::vector<int>& bucket) {
            for (const int item : bucket) {
                unsigned& mark = seen_[static_cast<std::size_t>(item)];
                if (mark == stamp_) continue;
                mark = stamp_;
                visit(item);
            }
        });
    }

private:
    static int cellsFor(double extent, double side) {
        const double cells = side > 0 ? std::ceil(extent / side) : 1;
        return static_cast<int>(std::clamp(std::isfinite(cells) ? cells : 1.0, 1.0, 256.0));
    }
    static int clampIndex(double v, double side, int count) {
        const double k = std::floor(v / side);
        if (!(k > 0)) return 0;
        return k >= count ? count - 1 : static_cast<int>(k);
    }
    // Calls each(bucket) for every bucket the box meets; Self is BoxBuckets, const or not.
    template <class Self, class Each>
    static void forBucketsOf(Self& self, double minX, double minY, double maxX, double maxY,
                             Each each) {
        const int x0 = clampIndex(minX, self.sideX_, self.columns_);
        const int x1 = clampIndex(maxX, self.sideX_, self.columns_);
        const int y0 = clampIndex(minY, self.sideY_, self.rows_);
        const int y1 = clampIndex(maxY, self.sideY_, self.rows_);
        for (int x = x0; x <= x1; ++x) {
            for (int y = y0; y <= y1; ++y) {
                each(self.buckets_[static_cast<std::size_t>(x) *
                                       static_cast<std::size_t>(self.rows_) +
                                   static_cast<std::size_t>(y)]);
            }
        }
    }

    int columns_;
    int rows_;
    double sideX_;
    double sideY_;
    std::vector<std::vector<int>> buckets_;
    mutable std::vector<unsigned> seen_;
    mutable unsigned stamp_ = 0;
};

}  // namespace blocknest
