// X̄–R control charts over subgroups of unequal size: the centre lines and limits computed from
// the data, and the points beyond their limits.
//
// The limits use the usual constants per subgroup size n (A2, D3, D4, with d2 to pool the
// ranges): σ̂ is the mean of Rᵢ / d2(nᵢ) over the charted subgroups, the expected range of a
// subgroup of n is R̄(n) = d2(n) · σ̂, and a subgroup of nᵢ has
//   X̄ chart: centre X̿ (the mean of every value), limits X̿ ± A2(nᵢ) · R̄(nᵢ)
//   R chart: centre R̄(nᵢ), limits D3(nᵢ) · R̄(nᵢ) and D4(nᵢ) · R̄(nᵢ).
// When every subgroup has the same n this is the textbook R̄ = mean range. A subgroup of fewer
// than two values has no range and no constants: it is left off both charts and counted.
#pragma once

#include <optional>
#include <vector>

namespace varnot {

struct ChartConstants {
    double a2, d3, d4, d2;
};

// The constants for a subgroup of n values, n = 2..10; nullopt otherwise.
std::optional<ChartConstants> chartConstants(int n);

struct ChartPoint {
    int subgroup = 0;  // index of the subgroup in the list given
    int n = 0;
    double mean = 0, range = 0;
    double meanLower = 0, meanUpper = 0;                     // X̄ chart limits for this n
    double rangeCentre = 0, rangeLower = 0, rangeUpper = 0;  // R chart centre and limits for this n
    bool meanOut = false, rangeOut = false;                  // strictly beyond a limit
};

struct XbarRChart {
    double grandMean = 0;
    double sigma = 0;
    std::vector<ChartPoint> points;  // the charted subgroups, in the order given
    int leftOut = 0;                 // subgroups of 0 or 1 value (or more than 10)
    bool empty() const { return points.empty(); }
};

XbarRChart xbarRChart(const std::vector<std::vector<double>>& subgroups);

}  // namespace varnot
