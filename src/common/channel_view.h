// Per-channel state beside the field texts: which fields are editable, the readout labels, and
// the live and end-of-test results of the running test.
#pragma once

#include "common/channel.h"
#include "common/fields.h"

#include <QString>

#include <array>

namespace varnot {

struct ChannelView {
    std::array<PerChannel<bool>, kFieldCount> fieldEnabled{};
    // Labels of the four readouts beside Text27, Text38, Text39, Text40 (TA, TB, Vm, VT).
    PerChannel<std::array<QString, 4>> readoutLabels{};

    // Live results of the acquisition tick.
    PerChannel<float> Vmax{};       // highest shown voltage since the start
    PerChannel<float> tVmax{};      // its sample index
    PerChannel<int> sparkCount{};   // 0..3
    PerChannel<bool> sparkSeen{};
    PerChannel<bool> firstMark{};   // TV: point A found; electrolyte: first spark
    PerChannel<float> Vmin{};       // electrolyte: lowest shown voltage after the first spark

    // End-of-test evaluation.
    PerChannel<int> tLimit{};
    PerChannel<int> tEnd{};
    PerChannel<int> endSample{};  // the last sample of an ended test (0 while it runs)

    ChannelView() {
        for (auto& f : fieldEnabled) f.fill(true);
        for (auto& labels : readoutLabels)
            labels = {QStringLiteral("TA"), QStringLiteral("TB"), QStringLiteral("Vm"), QStringLiteral("VT")};
    }
};

}  // namespace varnot
