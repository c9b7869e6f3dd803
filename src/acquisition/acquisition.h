// The acquisition tick: once a second while a test runs, every channel of the active range turns
// its latest raw readings into the shown voltage and current, stores them as sample n, keeps its
// peak, draws the newest segments on its own, its group and the all-channel plot and looks for
// sparks in the electrolyte test; then n moves on. And the marks drawn at characteristic points.
#pragma once

#include "acquisition/curves.h"
#include "acquisition/plot_axes.h"
#include "state/console_state.h"
#include "common/channel_view.h"

#include <QPointF>

namespace varnot {

struct Live {
    ConsoleState& s;
    ChannelView& view;
    Curves& curves;
    Plots& plots;
    bool currentVisible = false;  // Avisib: the current curve is drawn on the channel plots
};

void acquisitionTick(Live& live);

// First spark at sample k: a dotted black line from the time axis up to the newest point of the
// channel plot and the label "<channel>1A" there.
void markFirstSpark(Live& live, int ch, int k);
// Dotted black line from the time axis up to the newest voltage point at sample k; returns the
// text position (the newest point) for the label the caller prints there.
QPointF markPointAC(Live& live, int ch, int k);
// Dotted black tick 100 units either side of the newest voltage point at time t; returns the text
// position below it.
QPointF markPointB(Live& live, int ch, int t);

}  // namespace varnot
