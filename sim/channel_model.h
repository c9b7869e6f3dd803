// The model of one channel's sample, integrated in fixed steps of kStepSeconds while a run lasts.
#pragma once

#include "sim/instrument.h"

#include <cstdint>

namespace varnot::sim {

inline constexpr int kStepsPerSecond = 100;
inline constexpr double kStepSeconds = 1.0 / kStepsPerSecond;

class ChannelModel {
public:
    ChannelModel(const ChannelProfile& profile, std::uint64_t seed, int channel);

    // Back to the state at t = 0 of a run (sample discharged).
    void reset();

    // One step with the set voltage (V) and current (mA) the console asks for; runStep is the step
    // index since the run started and keys the model's randomness.
    void step(std::int64_t runStep, double setVoltage, double setCurrent);

    double voltage() const { return v_; }
    double current() const { return i_; }
    double seconds() const { return steps_ * kStepSeconds; }

private:
    void stepTv(double setVoltage, double setCurrent);
    void stepLeakage(double setVoltage, double setCurrent);
    void stepElectrolyte(std::int64_t runStep, double setVoltage, double setCurrent);

    ChannelProfile profile_;
    std::uint64_t seed_;
    int channel_;

    std::int64_t steps_ = 0;
    double v_ = 0.0;  // volts
    double i_ = 0.0;  // mA as read
    double q_ = 0.0;  // TV: charge that went through the leakage path (C)
    int dropStepsLeft_ = 0;  // electrolyte: spark in progress
    double dropPerStep_ = 0.0;
    bool atLimit_ = false;
};

}  // namespace varnot::sim
