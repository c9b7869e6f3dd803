// What a test kind changes on the console (flags, readout labels, editable fields) and the reset
// of channels before a new test.
#pragma once

#include "common/channel.h"
#include "common/channel_view.h"
#include "state/console_state.h"
#include "common/fields.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace varnot {

struct KindSpec {
    TestKind kind;
    const char* switchCaption;  // "TV测试：", "漏电流：", "电解液："
    // Labels of the four readouts (TA, TB, Vm, VT positions); nullptr leaves a label unchanged.
    std::array<const char*, 4> readoutLabels;
    // Legacy Text ranges that become editable and disabled.
    std::vector<std::pair<int, int>> editable;
    std::vector<std::pair<int, int>> disabled;
};

const KindSpec& kindSpec(TestKind k);

// The kind's name in messages and exports: "TV测试", "漏电流测试", "电解液测试".
QString testKindName(TestKind k);

// Select kind for every channel of group g.
void selectKind(ConsoleState& state, ChannelView& view, int group, TestKind kind);

// Channel reset of channels 0..lastCh (readouts, results, judgements, status panels). The zoom
// factors and plot redraws are the caller's (they belong to the plots).
void resetChannels(ConsoleState& state, ChannelView& view);

}  // namespace varnot
