// One sample of one channel: the raw words of the instrument turned into the volts and
// milliamperes the console shows and stores, the plot coordinates of that sample, and the spark
// rule of the electrolyte test. Plain functions; the acquisition tick strings them together.
#pragma once

#include "common/channel.h"

#include <QColor>
#include <QString>

#include <optional>

namespace varnot {

struct Reading {
    float volts = 0;         // after the fixed correction, the series drop, Vadjust and the floor
    float milliamperes = 0;  // after the fixed correction, Iadjust and the floor
};

// Raw voltage word / 50 and raw current word / 5000, corrected ("Hi" pair above 100 V and 1 mA,
// "Lo" pair at or below), less the 0.1 V/mA series drop, times the calibration factors; a current
// that is not >= 0 becomes 0 and a voltage that is not > 0 becomes 0. Single precision throughout,
// as the readings are kept.
Reading convertReading(int ch, float rawVolt, float rawCurr, float Vadjust, float Iadjust);

// The texts the readouts show ("###0.0" and "#0.000") and the values the curves store: the number
// read back from the shown text, so a stored sample equals what the operator saw.
QString voltageText(float volts);
QString currentText(float milliamperes);
float shownValue(const QString& text);

// Plot coordinates in plot units (y grows downwards), clamped to their plots.
double yChannelVoltage(double volts, double refV);  // 0..3600; 1.35 x refV at the top
double yGroupVoltage(double volts, double refV);    // 0..4000; 1.5 x refV at the top
double yAllVoltage(double volts, double refV4);     // 0..8000
// The current point on a channel plot, 20 mA per 4000 units with zero at 3600; nullopt outside
// -400..3600 (the previous point stands in for it).
std::optional<double> yChannelCurrent(double milliamperes);

double xChannel(int k, float hxfd);                 // channel plot
double xGroup(int ch, int k, float hxfd16);         // its group plot (slot ch or ch - 3)
double xAll(int ch, int k, float hxfd16);           // all-channel plot

// A spark: the voltage fell by more than the correction within one second.
bool isSpark(float previousVolts, float volts, double correction);

// Curve colours: group plots red, green, blue per slot; the all-channel plot red, green, blue,
// magenta, yellow, cyan.
QColor groupColour(int ch);
QColor allColour(int ch);

}  // namespace varnot
