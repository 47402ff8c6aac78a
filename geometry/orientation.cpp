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

namespace {

Orientation turnFromDegrees(double degrees) {
    double d = std::fmod(degrees, 360.0);
    if (d < 0) d += 360;
    for (int steps = 1; steps <= 3600; ++steps) {
        const double index = d * steps / 360;
        const double whole = std::round(index);
        if (std::fabs(index - whole) * 360 / steps < 1e-9) {
            return {static_cast<int>(whole) % steps, steps};
        }
    }
    constexpr int kThousandths = 360000;
    return {static_cast<int>(std::lround(d * 1000)) % kThousandths, kThousandths};
}

}  // namespace

std::vector<Orientation> turnsFromDegrees(const std::vector<double>& degrees) {
    std::vector<Orientation> turns;
    for (const double d : degrees) turns.push_back(turnFromDegrees(d));
    // The same angles as evenTurns(N): each i / N once.
    const int n = static_cast<int>(turns.size());
    std::vector<bool> seen(turns.size(), false);
    bool even = n > 0;
    for (const Orientation& t : turns) {
        if (!even) break;
        if ((t.index * n) % t.steps != 0) {
            even = false;
            break;
        }
        const int i = t.index * n / t.steps;
        even = !seen[i];
        seen[i] = true;
    }
    return even ? evenTurns(n) : turns;
}

std::vector<Orientation> withMirrored(const std::vector<Orientation>& turns) {
    std::vector<Orientation> all = turns;
    for (Orientation t : turns) {
        t.mirrored = true;
        all.push_back(t);
    }
    return all;
}

}  // namespace blocknest
