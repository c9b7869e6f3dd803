// Runs a console's test against an in-process simulated instrument on its sample-index clock, so a
// whole test repeats exactly: per sample one poll exchange (the frame the console would send, the
// instrument's answer decoded as the poll cycle does), the acquisition tick, then the event loop
// until the run loop's visits are done. It stands in for the serial link and its timers only.
#pragma once

#include "console/console.h"
#include "link/frames.h"
#include "link/poll_cycle.h"
#include "sim/instrument.h"

#include <QCoreApplication>

namespace varnot::testing {

inline void exchange(Console& console, sim::Instrument& instrument) {
    ConsoleState& s = console.state();
    const std::optional<QByteArray> frame = buildPollFrame(pollInputFrom(s));
    if (!frame) return;
    const std::optional<QByteArray> answer = instrument.answer(*frame, s.n);
    if (!answer) return;
    if (const std::optional<DecodedResponse> d = decodeResponse(*answer)) {
        s.rawVolt = d->rawVolt;
        s.rawCurr = d->rawCurr;
    }
}

inline void settle(Console& console) {
    for (int guard = 0; guard < 1000 && console.visitsPending(); ++guard) QCoreApplication::processEvents();
}

// Marks the link open and the temperature inside its window, as a connected instrument would.
inline void connectInstrument(Console& console) {
    console.state().openPort = 1;
    console.state().tempOk = true;
}

// Ticks until the run ends or maxSamples have been stored; returns the samples stored.
inline int runToEnd(Console& console, sim::Instrument& instrument, int maxSamples = 7000) {
    settle(console);
    int samples = 0;
    while (console.supervising() && samples < maxSamples) {
        console.state().tempOk = true;
        exchange(console, instrument);
        console.acquisitionTick();
        ++samples;
        settle(console);
    }
    return samples;
}

}  // namespace varnot::testing
