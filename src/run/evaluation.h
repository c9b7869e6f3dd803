// One visit of the run loop to a channel: the end time of its test kind, the automatic rescale,
// the characteristic points, and at the end the results, the judgement, the marks, the parameters
// written back to the store and the status panel.
#pragma once

#include "acquisition/acquisition.h"
#include "common/tv_judgement.h"
#include "settings/settings_store.h"

namespace varnot {

// EvaluateChannel(ch) for the channel's test kind. A channel whose curve has reached the last
// sample the buffers hold (n > 6000) ends at that visit with its kind's end steps, whatever the
// kind's own end rule says, and its status panel says that the test reached its longest time.
void evaluateChannel(Live& live, SettingsStore& settings, int ch);

// The marks of a channel's end on its plots, at its end sample (the newest point of the curve):
// C (and B at the peak of a TV test) on its own plot, the dotted end line on its group plot.
void drawEndMarks(Live& live, int ch);

// The judgements: equality passes (the TV test's is tvPasses, shared with the certificate and
// the statistics).
bool leakagePasses(float limit, float current);
bool electrolytePasses(float firstSpark, float reference);

}  // namespace varnot
