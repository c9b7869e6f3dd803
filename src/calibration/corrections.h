// The two layers of correction between the instrument's raw words and the volts and milliamperes
// the console shows and sends: a fixed linear correction per channel (A..H, never changed while
// the console runs) and four multiplicative coefficients per channel that the operator trims in
// the calibration window and that persist in the settings store.
#pragma once

#include "common/channel.h"

#include <cstdint>

namespace varnot {

// A, B: voltage set-point; C, D: current set-point; E, F: measured voltage (both sides of 100 V);
// G, H: measured current above 1 mA (at or below 1 mA slope 1, offset 0).
struct FixedCorrection {
    float A, B, C, D, E, F, G, H;
};

extern const PerChannel<FixedCorrection> kFixedCorrections;

// The adjustable coefficients (settings keys Vadjust(i), Iadjust(i), KV(i), KI(i)).
struct Coefficients {
    PerChannel<float> Vadjust{1, 1, 1, 1, 1, 1};
    PerChannel<float> Iadjust{1, 1, 1, 1, 1, 1};
    PerChannel<float> KV{1, 1, 1, 1, 1, 1};
    PerChannel<float> KI{1, 1, 1, 1, 1, 1};
    bool operator==(const Coefficients&) const = default;
};

inline constexpr double kMaxSetPointCode = 65000.0;
inline constexpr double kCurrentCodeOverflow = 5000.0;  // a current code above 65000 is sent as this

// Set-point codes as sent in the poll frame, already limited: voltage to 0..65000; current to 0, or
// to 5000 when it works out above 65000.
double voltageSetPointCode(int ch, double setVoltage, float KV);
double currentSetPointCode(int ch, double setCurrent, float KI);

// Fixed measured-value correction of one sample (before the series drop and the coefficients).
double correctMeasuredVoltage(int ch, double volts);
double correctMeasuredCurrent(int ch, double milliamperes);

// Threshold of the two measured-voltage pairs and of the current pairs.
inline constexpr double kVoltagePairThreshold = 100.0;
inline constexpr double kCurrentPairThreshold = 1.0;

}  // namespace varnot
