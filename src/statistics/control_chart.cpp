#include "statistics/control_chart.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace varnot {

namespace {

// A2, D3, D4, d2 for n = 2..10.
constexpr std::array<ChartConstants, 9> kConstants = {{
    {1.880, 0.000, 3.267, 1.128},
    {1.023, 0.000, 2.574, 1.693},
    {0.729, 0.000, 2.282, 2.059},
    {0.577, 0.000, 2.114, 2.326},
    {0.483, 0.000, 2.004, 2.534},
    {0.419, 0.076, 1.924, 2.704},
    {0.373, 0.136, 1.864, 2.847},
    {0.337, 0.184, 1.816, 2.970},
    {0.308, 0.223, 1.777, 3.078},
}};

// Strictly beyond a limit; a point on the limit, up to the rounding of its computation, is inside.
bool beyond(double v, double lower, double upper) {
    const double slack = 1e-9 * std::max({1.0, std::abs(lower), std::abs(upper)});
    return v < lower - slack || v > upper + slack;
}

}  // namespace

std::optional<ChartConstants> chartConstants(int n) {
    if (n < 2 || n > 10) return std::nullopt;
    return kConstants[std::size_t(n - 2)];
}

XbarRChart xbarRChart(const std::vector<std::vector<double>>& subgroups) {
    XbarRChart chart;
    double total = 0, pooled = 0;
    int values = 0;
    for (std::size_t i = 0; i < subgroups.size(); ++i) {
        const auto& g = subgroups[i];
        const int n = int(g.size());
        const auto c = chartConstants(n);
        if (!c) {
            ++chart.leftOut;
            continue;
        }
        ChartPoint p;
        p.subgroup = int(i);
        p.n = n;
        double sum = 0;
        for (double v : g) sum += v;
        p.mean = sum / n;
        const auto [lo, hi] = std::minmax_element(g.begin(), g.end());
        p.range = *hi - *lo;
        total += sum;
        values += n;
        pooled += p.range / c->d2;
        chart.points.push_back(p);
    }
    if (chart.points.empty()) return chart;
    chart.grandMean = total / values;
    chart.sigma = pooled / double(chart.points.size());
    for (ChartPoint& p : chart.points) {
        const ChartConstants c = *chartConstants(p.n);
        p.rangeCentre = c.d2 * chart.sigma;
        p.meanLower = chart.grandMean - c.a2 * p.rangeCentre;
        p.meanUpper = chart.grandMean + c.a2 * p.rangeCentre;
        p.rangeLower = c.d3 * p.rangeCentre;
        p.rangeUpper = c.d4 * p.rangeCentre;
        p.meanOut = beyond(p.mean, p.meanLower, p.meanUpper);
        p.rangeOut = beyond(p.range, p.rangeLower, p.rangeUpper);
    }
    return chart;
}

}  // namespace varnot
