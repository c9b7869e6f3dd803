// The operator's trimming of the four coefficients of one channel: a step reloads the channel's
// coefficients from the settings store, multiplies the chosen one and writes all four back, so
// what the store holds is what the console works with from the next frame and sample on.
#pragma once

#include "calibration/corrections.h"
#include "common/channel.h"

#include <QString>

#include <array>
#include <optional>

namespace varnot {

class SettingsStore;

// The items in the order the window lists them.
enum class CalibrationItem { VoltageSampling, CurrentSampling, VoltageControl, CurrentControl };
inline constexpr int kCalibrationItemCount = 4;

// The item's text in the window ("电压采样校准", ...).
QString calibrationItemText(CalibrationItem item);
// The coefficient of one channel that an item trims.
float& coefficientOf(Coefficients& c, CalibrationItem item, int ch);

enum class StepDirection { Increase, Decrease };
// Neither: no step size chosen, nothing is multiplied (the step still reloads and writes).
enum class StepSize { Neither, Coarse, Fine };

// 1.01 / 1.0005 up, 0.99 / 0.9995 down, 1 with no size chosen.
double stepFactor(StepDirection direction, StepSize size);

// The message that refuses a step, when no channel (index < 0) or no item is chosen.
std::optional<QString> stepRefusal(int channelIndex, std::optional<CalibrationItem> item,
                                   StepDirection direction);

// One step on channel ch: reload its four coefficients from the store into memory, multiply the
// chosen one (in double, kept as a 32-bit value) and write all four back as decimal text.
void calibrationStep(SettingsStore& store, Coefficients& memory, int ch, CalibrationItem item,
                     StepDirection direction, StepSize size);

// 恢复默认值: all 24 coefficients 1, every channel's zoom factor 0.03125 and the combined one 0.125,
// in memory and in the store.
void restoreCalibrationDefaults(SettingsStore& store, Coefficients& memory, PerChannel<float>& hxfd,
                                float& hxfd16);

inline constexpr float kDefaultChannelZoom = 0.03125f;
inline constexpr float kDefaultCombinedZoom = 0.125f;

}  // namespace varnot
