#include "sim/channel_model.h"

#include "sim/random_key.h"

#include <algorithm>
#include <cmath>

namespace varnot::sim {
namespace {

constexpr double kMaxExponent = 50.0;  // exp() beyond this only means "far past the plateau"
constexpr double kShortVoltsPerMa = 0.05;
constexpr double kOpenCircuitMa = 0.0002;
constexpr double kNeverReachesFraction = 0.8;
constexpr int kSparkSteps = 10;  // a spark's drop is spread over 0.1 s
constexpr double kReferenceCurrentMa = 2.0;
constexpr double kLimitCurrentFraction = 0.05;  // electrolyte held at its limit: current falls to this
constexpr double kLimitCurrentTau = 20.0;

double boundedExp(double x) { return std::exp(std::min(x, kMaxExponent)); }

}  // namespace

ChannelModel::ChannelModel(const ChannelProfile& profile, std::uint64_t seed, int channel)
    : profile_(profile), seed_(seed), channel_(channel) {}

void ChannelModel::reset() {
    steps_ = 0;
    v_ = i_ = q_ = 0.0;
    dropStepsLeft_ = 0;
    dropPerStep_ = 0.0;
    atLimit_ = false;
}

void ChannelModel::step(std::int64_t runStep, double setVoltage, double setCurrent) {
    ++steps_;
    const double limit = std::max(setVoltage, 0.0);
    switch (profile_.fault) {
        case ChannelFault::OpenCircuit:
            v_ = limit;
            i_ = kOpenCircuitMa;
            return;
        case ChannelFault::ShortCircuit:
            v_ = kShortVoltsPerMa * setCurrent;
            i_ = setCurrent;
            return;
        case ChannelFault::NeverReaches90:
        case ChannelFault::None:
            break;
    }
    switch (profile_.kind) {
        case ProfileKind::TV: stepTv(setVoltage, setCurrent); break;
        case ProfileKind::Leakage: stepLeakage(setVoltage, setCurrent); break;
        case ProfileKind::Electrolyte: stepElectrolyte(runStep, setVoltage, setCurrent); break;
    }
}

void ChannelModel::stepTv(double setVoltage, double setCurrent) {
    const TvFoil& foil = profile_.tv;
    const double vf = setVoltage / 1.25;  // the set voltage is the limit, 1.25 x Vf
    const double amps = setCurrent * 1e-3;
    const double c = foil.capacitanceUf * 1e-6;
    const double v1 = foil.v1Fraction * vf;
    const double vb = foil.vbFraction * vf;
    const double vp = profile_.fault == ChannelFault::NeverReaches90
                          ? kNeverReachesFraction * vf
                          : vf * (1.0 + foil.delta);

    const double g = amps / v1 * std::exp(-q_ / foil.qdCoulomb);
    const double formation = amps * boundedExp((v_ - vp) / vb);
    // Linearised implicit step: the plateau term is stiff for small Vb or large currents.
    const double f = (amps - g * v_ - formation) / c;
    const double df = (-g - formation / vb) / c;
    v_ = std::clamp(v_ + kStepSeconds * f / (1.0 - kStepSeconds * df), 0.0, setVoltage);
    q_ += g * v_ * kStepSeconds;

    const double formationNow = amps * boundedExp((v_ - vp) / vb);
    const double readAmps = v_ >= setVoltage ? g * v_ : std::max(amps - formationNow, 0.0);
    i_ = readAmps * 1e3;
}

void ChannelModel::stepLeakage(double setVoltage, double setCurrent) {
    const LeakageParams& p = profile_.leakage;
    // A sample that never reaches 90 % cannot be charged: the source stays in its current limit.
    const bool stalled = profile_.fault == ChannelFault::NeverReaches90;
    const double target = stalled ? kNeverReachesFraction * setVoltage : setVoltage;
    if (stalled || v_ < target) {
        v_ = std::min(v_ + setCurrent * 1e-3 * kStepSeconds / (p.capacitanceUf * 1e-6), target);
        i_ = setCurrent;
        if (stalled || v_ < target) return;
    }
    v_ = target;
    const double t = seconds();
    const double decay = p.tauSeconds > 0 ? std::exp(-t / p.tauSeconds) : std::pow(t, -p.exponent);
    i_ = std::min(setCurrent, p.iInfMa + p.i1Ma * decay);
}

void ChannelModel::stepElectrolyte(std::int64_t runStep, double setVoltage, double setCurrent) {
    const ElectrolyteParams& p = profile_.electrolyte;
    const double ub = p.breakdownV;
    const double limit = profile_.fault == ChannelFault::NeverReaches90
                             ? kNeverReachesFraction * setVoltage
                             : setVoltage;
    if (dropStepsLeft_ > 0) {
        v_ -= dropPerStep_;
        --dropStepsLeft_;
    } else {
        // A steady ramp that bends over above 0.9 U_B.
        const double x = std::max(0.0, (v_ - 0.9 * ub) / (0.05 * ub));
        const double slope = p.slopeVps * setCurrent / kReferenceCurrentMa / (1.0 + x * x);
        v_ += slope * kStepSeconds;
        const double rate = p.lambda0 * boundedExp((v_ - ub) / (p.vsFraction * ub));
        const auto idx = static_cast<std::uint64_t>(runStep);
        if (uniformAt(seed_, channel_, idx, 1) < rate * kStepSeconds) {
            const double drop = p.dropMinV + (p.dropMaxV - p.dropMinV) * uniformAt(seed_, channel_, idx, 2);
            dropStepsLeft_ = kSparkSteps;
            dropPerStep_ = drop / kSparkSteps;
        }
    }
    v_ = std::clamp(v_, 0.0, limit);

    const bool atLimit = v_ >= limit;
    if (atLimit && !atLimit_) i_ = setCurrent;
    atLimit_ = atLimit;
    if (atLimit)
        i_ += (kLimitCurrentFraction * setCurrent - i_) * kStepSeconds / kLimitCurrentTau;
    else
        i_ = setCurrent;
}

}  // namespace varnot::sim
