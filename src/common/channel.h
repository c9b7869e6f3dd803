// Channels and groups. Channel index c = 0..5 stands for channel 1..6; group 0 holds channels
// 1-3 (indices 0..2), group 1 channels 4-6 (indices 3..5).
#pragma once

#include <array>

namespace varnot {

inline constexpr int kChannels = 6;
inline constexpr int kGroups = 2;

template <typename T>
using PerChannel = std::array<T, kChannels>;

constexpr int groupOf(int ch) { return ch < 3 ? 0 : 1; }
constexpr int firstOfGroup(int group) { return group * 3; }

// The test a channel runs; a channel that is neither TV nor leakage is an electrolyte channel.
enum class TestKind { TV, Leakage, Electrolyte };

}  // namespace varnot
