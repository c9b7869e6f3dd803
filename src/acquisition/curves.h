// The curves of the running test and the newest plot coordinates of each channel. Sample k is the
// state k seconds after the start; sample 0 is never written and a curve starts at sample 1.
#pragma once

#include "common/channel.h"

#include <vector>

namespace varnot {

inline constexpr int kLastSample = 6000;  // 100 minutes; nothing is stored past it

struct Curves {
    Curves() {
        for (auto& c : V) c.assign(kLastSample + 1, 0.0f);
        for (auto& c : I) c.assign(kLastSample + 1, 0.0f);
    }
    PerChannel<std::vector<float>> V;  // Vcurve: volts, as shown (0.1 V)
    PerChannel<std::vector<float>> I;  // Icurve: milliamperes, as shown (0.001 mA)
    PerChannel<int> stored{};          // the newest sample stored in this run

    // Newest points in plot units: channel plot voltage and current, group and all-channel plots,
    // and the points before them.
    PerChannel<float> yTV{}, yGrp{}, yAll{}, yI{};
    PerChannel<float> yTVold{}, yGrpOld{}, yAllOld{}, yIold{};
};

}  // namespace varnot
