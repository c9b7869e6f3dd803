#include "calibration/corrections.h"

namespace varnot {

// Single-precision constants written to nine significant digits, which fixes each one exactly.
const PerChannel<FixedCorrection> kFixedCorrections = {{
    {0.879894435f, 32.4681053f, 1.06063282f, 0.162983909f, 0.933661938f, -24.1555138f, 0.992456138f,
     -0.431554377f},
    {0.949442208f, 41.9178734f, 1.13895214f, 0.159453303f, 0.937889576f, -29.9878674f, 1.02890623f,
     -0.380078137f},
    {0.931749344f, 25.1106453f, 1.10946751f, 0.0950443819f, 0.929220796f, -32.5253258f, 0.972661853f,
     -0.413129508f},
    {1, 0, 1, 0, 1, 0, 1, 0},
    {1, 0, 1, 0, 1, 0, 1, 0},
    {1, 0, 1, 0, 1, 0, 1, 0},
}};

double voltageSetPointCode(int ch, double setVoltage, float KV) {
    const FixedCorrection& k = kFixedCorrections[ch];
    const double code = (setVoltage * k.A + k.B) * 60.0 * KV;
    if (code > kMaxSetPointCode) return kMaxSetPointCode;
    if (code < 0) return 0;
    return code;
}

double currentSetPointCode(int ch, double setCurrent, float KI) {
    const FixedCorrection& k = kFixedCorrections[ch];
    const double code = (setCurrent * k.C + k.D) * 5000.0 * KI;
    if (code > kMaxSetPointCode) return kCurrentCodeOverflow;
    if (code < 0) return 0;
    return code;
}

double correctMeasuredVoltage(int ch, double volts) {
    // The "Hi" and "Lo" voltage pairs are the same E, F on both sides of 100 V.
    const FixedCorrection& k = kFixedCorrections[ch];
    return volts * k.E + k.F;
}

double correctMeasuredCurrent(int ch, double milliamperes) {
    const FixedCorrection& k = kFixedCorrections[ch];
    if (milliamperes > kCurrentPairThreshold) return milliamperes * k.G + k.H;
    return milliamperes;
}

}  // namespace varnot
