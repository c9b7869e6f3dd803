// The nine plots and their axes: TV(0..5) one per channel, TV16(0) channels 1-3, TV16(1) channels
// 4-6, TV16(2) all six; zb(ch) and zb16(p) clear a plot and draw its grid, axes and labels for the
// current reference voltages and zoom factors.
#pragma once

#include "acquisition/plot_surface.h"
#include "state/console_state.h"

#include <QPointF>

#include <array>
#include <memory>

namespace varnot {

inline constexpr float kHxfdMin = 0.03125f, kHxfdMax = 32.0f;
inline constexpr float kHxfd16Min = 0.125f, kHxfd16Max = 32.0f;

// The reference voltage of a channel under a kind: 化成电压, 漏电流电压 or 设定电压.
double referenceVoltage(const ConsoleState& s, int ch, TestKind kind);
inline double referenceVoltage(const ConsoleState& s, int ch) { return referenceVoltage(s, ch, s.kind[ch]); }

struct Plots {
    Plots();
    std::array<std::unique_ptr<PlotSurface>, 6> TV;
    std::array<std::unique_ptr<PlotSurface>, 3> TV16;
    PerChannel<float> hxfd{1, 1, 1, 1, 1, 1};
    float hxfd16 = 1;
    PerChannel<int> currentColour{16711680, 16711680, 16711680, 16711680, 16711680, 16711680};
    // The channel-number labels that follow the curve heads: Label69 on the group plots, Label68
    // on the all-channel plot (top-left corners, plot units).
    PerChannel<QPointF> groupLabel{};
    PerChannel<QPointF> allLabel{};
    // The last sample of each channel's curve drawn on the plots (0: none since its reset), so a
    // redraw at a new scale knows what to draw again.
    PerChannel<int> drawnTo{};
};

// The reference voltage combined plot p is labelled with, and every curve on it is scaled by:
// on group plot p the reference of its first channel under the group's kind, on the all-channel
// plot the larger of channel 1's and channel 4's (channel 4's on equal values).
double axisReference(const ConsoleState& s, int p);

void zb(Plots& plots, const ConsoleState& s, int ch);
void zb16(Plots& plots, const ConsoleState& s, int p);

// Zoom steps of the 图形设置 menu: hf/hs on the channel plots, hf16/hs16 on the combined plots.
float zoomIn(float v, float lo, float hi);
float zoomOut(float v, float lo, float hi);

// Which plots a console tab shows (tabs 0..2; others change nothing).
void applyTabVisibility(Plots& plots, int tab);

}  // namespace varnot
