#include "sim/instrument.h"

#include "calibration/corrections.h"
#include "link/frames.h"
#include "sim/channel_model.h"
#include "sim/random_key.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace varnot::sim {
namespace {

constexpr int kHeaderSize = 6;
constexpr int kShortAnswerSize = 100;
constexpr int kLongAnswerSize = 107;
constexpr double kIdleDecayTau = 0.5;  // seconds for the outputs to fall by 1/e once idle

// Channel indices of the non-channel noise sources.
constexpr int kBathKey = 6;
constexpr int kChassisKey = 7;
constexpr double kBathWanderC = 0.25;
constexpr double kBathWanderPeriod = 900.0;
constexpr double kBathNoiseC = 0.02;
constexpr double kChassisNoiseC = 0.05;
// How the readings follow the bath: the leakage path is far more temperature-sensitive.
constexpr double kVoltagePerDegree = 2e-4;
constexpr double kCurrentPerDegree = 1e-2;

// The test temperature conversion T = a·t² + b·t + c with t = raw / 500.
constexpr double kTa = 0.004311044, kTb = 0.12608741, kTc = 44.27236912;
constexpr double kChassisOffset = 301.6766, kChassisSlope = 0.014938;

std::uint8_t byteAt(const QByteArray& b, int i) { return static_cast<std::uint8_t>(b[i]); }

std::uint16_t nearestWord(double v) {
    if (!(v > 0)) return 0;
    if (v >= 65535) return 65535;
    return static_cast<std::uint16_t>(std::lround(v));
}

}  // namespace

// ---- profiles -------------------------------------------------------------------------------

TvFoil TvFoil::defaults(bool boiled) {
    TvFoil f;
    if (boiled) {
        f.v1Fraction = 0.15;
        f.qdCoulomb = 0.12;
    }
    return f;
}

ChannelProfile ChannelProfile::tvFoil(bool boiled) {
    ChannelProfile p;
    p.kind = ProfileKind::TV;
    p.boiled = boiled;
    p.tv = TvFoil::defaults(boiled);
    return p;
}

QStringList ChannelProfile::presetNames() {
    return {QStringLiteral("fresh"),    QStringLiteral("weak"),     QStringLiteral("boiled"),
            QStringLiteral("leak-good"), QStringLiteral("leak-bad"), QStringLiteral("elec"),
            QStringLiteral("open"),     QStringLiteral("short"),    QStringLiteral("never90")};
}

std::optional<ChannelProfile> ChannelProfile::preset(QStringView name) {
    ChannelProfile p = tvFoil(false);
    if (name == u"fresh") return p;
    if (name == u"weak") {
        p.tv.delta = -0.03;
        return p;
    }
    if (name == u"boiled") return tvFoil(true);
    if (name == u"leak-good") {
        p.kind = ProfileKind::Leakage;
        p.leakage = LeakageParams{0.008, 1.5, 1.0, 0.0, 50.0};
        return p;
    }
    if (name == u"leak-bad") {
        p.kind = ProfileKind::Leakage;
        p.leakage = LeakageParams{0.12, 2.0, 1.0, 30.0, 50.0};
        return p;
    }
    if (name == u"elec") {
        p.kind = ProfileKind::Electrolyte;
        return p;
    }
    if (name == u"open") p.fault = ChannelFault::OpenCircuit;
    else if (name == u"short") p.fault = ChannelFault::ShortCircuit;
    else if (name == u"never90") p.fault = ChannelFault::NeverReaches90;
    else return std::nullopt;
    return p;
}

// ---- words ----------------------------------------------------------------------------------

RawReading encodeReading(int ch, double volts, double milliamperes) {
    // The console reads I = word/5000, corrects it above 1 mA, then V = (word/50)·E + F − 0.1·I.
    const FixedCorrection& k = kFixedCorrections[ch];
    double rawMa = milliamperes;
    if (milliamperes > kCurrentPairThreshold) {
        const double upper = (milliamperes - k.H) / k.G;
        if (upper > kCurrentPairThreshold) rawMa = upper;
    }
    RawReading r;
    r.currentWord = nearestWord(rawMa * 5000.0);
    const double consoleMa = correctMeasuredCurrent(ch, r.currentWord / 5000.0);
    const double correctedVolts = volts + 0.1 * consoleMa;
    const double word = (correctedVolts - k.F) / k.E * 50.0;
    // Nothing on the output reads as 0, not as the word above it.
    r.voltWord = volts > 0 ? nearestWord(word) : nearestWord(std::floor(word));
    return r;
}

std::uint16_t encodeTestTemperature(double celsius) {
    const double disc = kTb * kTb - 4.0 * kTa * (kTc - celsius);
    if (disc < 0) return 0;
    return nearestWord(500.0 * (-kTb + std::sqrt(disc)) / (2.0 * kTa));
}

std::uint16_t encodeChassisTemperature(double celsius) {
    return nearestWord((kChassisOffset - celsius) / kChassisSlope);
}

double setVoltageFromCode(int ch, int code) {
    const FixedCorrection& k = kFixedCorrections[ch];
    return std::max(0.0, (code / 60.0 - k.B) / k.A);
}

double setCurrentFromCode(int ch, int code) {
    const FixedCorrection& k = kFixedCorrections[ch];
    return std::max(0.0, (code / 5000.0 - k.D) / k.C);
}

// ---- commands -------------------------------------------------------------------------------

bool DecodedCommand::channelOn(int ch) const {
    return (control[ch] & kControlByte) != 0 && setVoltage[ch] > 0 && setCurrent[ch] > 0;
}

std::optional<DecodedCommand> Instrument::decodeCommand(const QByteArray& frame) {
    if (frame.size() != kCommandFrameSize) return std::nullopt;
    DecodedCommand d;
    d.runCommand = byteAt(frame, 6);
    d.handshake = d.runCommand == 0;
    d.n = getWord(frame, kFirstBlock + kOffSampleIndex);
    for (int c = 0; c < kChannels; ++c) {
        const int base = kFirstBlock + kBlockSize * c;
        d.control[c] = byteAt(frame, base + kOffControl);
        d.voltageCode[c] = getWord(frame, base + kOffVoltageCode);
        d.currentCode[c] = getWord(frame, base + kOffCurrentCode);
        d.setVoltage[c] = setVoltageFromCode(c, d.voltageCode[c]);
        d.setCurrent[c] = setCurrentFromCode(c, d.currentCode[c]);
    }
    return d;
}

QString Instrument::describe(const DecodedCommand& d) {
    if (d.handshake) return QStringLiteral("handshake");
    QString s = QStringLiteral("run=%1 n=%2").arg(d.runCommand).arg(d.n);
    for (int c = 0; c < kChannels; ++c)
        s += QStringLiteral(" | ch%1 ctl=%2 %3 V %4 mA")
                 .arg(c + 1)
                 .arg(d.control[c])
                 .arg(d.setVoltage[c], 0, 'f', 2)
                 .arg(d.setCurrent[c], 0, 'f', 4);
    return s;
}

// ---- instrument -----------------------------------------------------------------------------

Instrument::Instrument(const Config& config) : config_(config) {
    for (int c = 0; c < kChannels; ++c)
        models_[c] = std::make_unique<ChannelModel>(config_.channels[c], config_.seed, c);
}

Instrument::~Instrument() = default;

double Instrument::modelVoltage(int ch) const { return outV_[ch]; }
double Instrument::modelCurrent(int ch) const { return outI_[ch]; }

std::optional<QByteArray> Instrument::answer(const QByteArray& commandFrame, double wallSeconds) {
    const LinkFaults& faults = config_.link;
    if (faults.silent) return std::nullopt;
    if (faults.stopAfterPolls >= 0 && pollsAnswered_ >= faults.stopAfterPolls) return std::nullopt;
    const auto cmd = decodeCommand(commandFrame);
    if (!cmd) return std::nullopt;

    if (!cmd->handshake) advanceRun(*cmd, wallSeconds);
    QByteArray r = respond(*cmd, wallSeconds);
    for (int i = 0; i < kHeaderSize; ++i) r[i] = commandFrame[i];
    if (cmd->handshake) return r;

    ++pollsAnswered_;
    if (faults.wrongTrailer) {
        r[104] = static_cast<char>(0xF0);
        r[105] = static_cast<char>(0x0F);
    }
    if (faults.shortAnswer) r.truncate(kShortAnswerSize);
    return r;
}

double Instrument::modelSeconds(const DecodedCommand& cmd, double wallSeconds) const {
    if (config_.clock == ClockMode::SampleIndex) return cmd.n;
    return std::max(0.0, (wallSeconds - runStartWall_) * config_.wallScale);
}

void Instrument::advanceRun(const DecodedCommand& cmd, double wallSeconds) {
    const bool sampleClock = config_.clock == ClockMode::SampleIndex;
    if (cmd.runCommand != kRunCommandActive) {
        if (running_) {
            running_ = false;
            idleStartWall_ = wallSeconds;
            idleFromV_ = outV_;
            idleFromI_ = outI_;
        }
        const double idleSeconds =
            std::max(0.0, wallSeconds - idleStartWall_) * (sampleClock ? 1.0 : config_.wallScale);
        const double f = std::exp(-idleSeconds / kIdleDecayTau);
        for (int c = 0; c < kChannels; ++c) {
            outV_[c] = idleFromV_[c] * f;
            outI_[c] = idleFromI_[c] * f;
        }
        return;
    }

    if (!running_ || (sampleClock && cmd.n < lastN_)) {
        running_ = true;
        runStartWall_ = wallSeconds;
        step_ = 0;
        for (auto& m : models_) m->reset();
    }
    lastN_ = cmd.n;

    const auto target = static_cast<std::int64_t>(std::floor(modelSeconds(cmd, wallSeconds) * kStepsPerSecond + 1e-9));
    for (int c = 0; c < kChannels; ++c) {
        ChannelModel& m = *models_[c];
        if (!cmd.channelOn(c)) {
            m.reset();
            outV_[c] = outI_[c] = 0.0;
            continue;
        }
        for (std::int64_t s = step_; s < target; ++s) m.step(s, cmd.setVoltage[c], cmd.setCurrent[c]);
        outV_[c] = m.voltage();
        outI_[c] = m.current();
    }
    step_ = std::max(step_, target);
}

QByteArray Instrument::respond(const DecodedCommand& cmd, double wallSeconds) {
    const LinkFaults& faults = config_.link;
    const bool sampleClock = config_.clock == ClockMode::SampleIndex;
    const std::uint64_t seed = config_.seed;

    // Noise is keyed by the model second, so a second read twice reads the same.
    double keySeconds = 0;
    if (running_) keySeconds = modelSeconds(cmd, wallSeconds);
    else keySeconds = sampleClock ? cmd.n : wallSeconds * config_.wallScale;
    const auto key = static_cast<std::uint64_t>(std::max(0.0, std::floor(keySeconds)));

    const double phase = 2.0 * std::numbers::pi * uniformAt(seed, kBathKey, 0, 99);
    const double bathOffset =
        kBathWanderC * std::sin(2.0 * std::numbers::pi * key / kBathWanderPeriod + phase) +
        kBathNoiseC * gaussianAt(seed, kBathKey, key, 0);
    const double bath = faults.testTemperatureC + (faults.steadyTemperature ? 0.0 : bathOffset);
    const double chassis = faults.chassisTemperatureC +
                           (faults.steadyTemperature ? 0.0 : kChassisNoiseC * gaussianAt(seed, kChassisKey, key, 0));

    QByteArray r(faults.longAnswer ? kLongAnswerSize : kResponseSize, '\0');
    r[6] = static_cast<char>(cmd.handshake ? kHandshakeReply : cmd.runCommand);
    putWord(r, 10, encodeTestTemperature(bath));
    putWord(r, 26, encodeChassisTemperature(chassis));

    const Noise& noise = config_.noise;
    for (int c = 0; c < kChannels; ++c) {
        double v = outV_[c];
        double i = outI_[c];
        if (running_ && !cmd.handshake && cmd.channelOn(c)) {
            v *= 1.0 + kVoltagePerDegree * bathOffset;
            i *= 1.0 + kCurrentPerDegree * bathOffset;
            v += gaussianAt(seed, c, key, 1) * (noise.voltageSigmaV + noise.voltageRelative * v);
            i += gaussianAt(seed, c, key, 2) * (noise.currentSigmaMa + noise.currentRelative * i);
        }
        const RawReading raw = encodeReading(c, std::max(v, 0.0), std::max(i, 0.0));
        putWord(r, 16 + 16 * c, raw.voltWord);
        putWord(r, 18 + 16 * c, raw.currentWord);
    }
    r[104] = static_cast<char>(0x0F);
    r[105] = static_cast<char>(0xF0);
    if (faults.longAnswer) r[106] = static_cast<char>(0x86);
    return r;
}

}  // namespace varnot::sim
