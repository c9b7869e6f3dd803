// The console's intervals, from one value so that tests and the demo may shorten them together.
#pragma once

#include <chrono>

namespace varnot {

struct Timing {
    double scale = 1.0;  // 1 = the instrument's real intervals; 0.1 runs everything ten times faster

    int pollMs() const { return scaled(800); }
    int acquisitionMs() const { return scaled(1000); }
    // An answer takes its time whatever the scale: the far end, the pty and a loaded machine
    // (a program waiting its turn for a core) do not run faster with the console. A shortened
    // response time-out never drops below 250 ms, so a busy machine is not taken for a lost link.
    static constexpr int kResponseFloorMs = 250;
    int responseMs() const { return scaled(500) < kResponseFloorMs ? kResponseFloorMs : scaled(500); }
    int scanSettleMs() const { return scaled(200); }

    int scaled(int ms) const {
        const int v = static_cast<int>(ms * scale + 0.5);
        return v < 1 ? 1 : v;
    }
};

}  // namespace varnot
