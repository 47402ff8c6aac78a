#include "geometry/orientation.hpp"

#include <cmath>

namespace blocknest {

double rotationStep(int steps) {
    const double pi = std::acos(-1.0);
    return static_cast<double>(static_cast<long double>(2 * pi) / steps);
}

double Orientation::angle() const { return index * rotationStep(steps); }

double Orientation::degrees() const { return index * 360.0 / steps; }

std::vector<Orientation> evenTurns(int count) {
    std::vector<Orientation> turns;
    turns.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (int i = 0; i < count; ++i) turns.push_back({i, count});
    return turns;
}

}  // namespace blocknest
