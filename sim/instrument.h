// The simulated six-channel instrument: it reads the console's command frames (handshake or poll)
// and answers them with responses whose raw words, read back through the console's own correction,
// show the volts and milliamperes of a model of each channel's sample.
//
// Pure logic: no I/O and no clock of its own. The endpoints (pty_endpoint.h, tcp_endpoint.h) pass
// the wall time of each frame and apply the answer delay.
#pragma once

#include "common/channel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace varnot::sim {

enum class ProfileKind { TV, Leakage, Electrolyte };
enum class ChannelFault { None, OpenCircuit, ShortCircuit, NeverReaches90 };

// TV test foil: C·dV/dt = I − g·V − I·exp((V − Vp)/Vb), g = g0·exp(−q/Qd), dq/dt = g·V,
// g0 = I/V1, Vp = Vf·(1 + delta). V1 and Vb are fractions of the formation voltage Vf.
struct TvFoil {
    double capacitanceUf = 5.0;
    double v1Fraction = 0.5;
    double qdCoulomb = 0.10;
    double delta = 0.01;
    double vbFraction = 0.025;

    // Fresh foil, or boiled foil with its much lower initial rise and slower creep.
    static TvFoil defaults(bool boiled);
};

// Leakage test: the current sits at the limit while the sample charges, then decays as
// I_inf + I1·t^(−exponent), or as I_inf + I1·exp(−t/tau) when tau > 0 (t in seconds, I in mA).
struct LeakageParams {
    double iInfMa = 0.008;
    double i1Ma = 1.5;
    double exponent = 1.0;
    double tauSeconds = 0.0;
    double capacitanceUf = 50.0;  // sets how long the sample takes to charge at the current limit
};

// Electrolyte spark test: a constant-current ramp (slope at 2 mA, scaled with the set current)
// that bends over above 0.9·U_B; sparks arrive at the rate lambda0·exp((V − U_B)/Vs) and each
// drops the voltage by a uniformly drawn amount within dropMin..dropMax volts.
struct ElectrolyteParams {
    double breakdownV = 480.0;
    double slopeVps = 0.5;
    double lambda0 = 0.05;
    double vsFraction = 0.015;  // Vs as a fraction of U_B
    double dropMinV = 3.0;
    double dropMaxV = 15.0;
};

struct ChannelProfile {
    ProfileKind kind = ProfileKind::TV;
    bool boiled = false;
    TvFoil tv{};
    LeakageParams leakage{};
    ElectrolyteParams electrolyte{};
    ChannelFault fault = ChannelFault::None;

    static ChannelProfile tvFoil(bool boiled = false);

    // "fresh", "weak", "boiled", "leak-good", "leak-bad", "elec", "open", "short", "never90".
    static std::optional<ChannelProfile> preset(QStringView name);
    static QStringList presetNames();
};

// Faults of the link and of the bath as the console sees them.
struct LinkFaults {
    bool silent = false;
    int answerDelayMs = 0;      // applied by the endpoints
    bool wrongTrailer = false;  // poll answers carry a wrong trailer
    bool shortAnswer = false;   // poll answers are cut below 106 bytes
    bool longAnswer = false;    // every answer is 107 bytes
    int stopAfterPolls = -1;    // after this many poll answers the instrument falls silent
    int dropAfterPolls = -1;    // TCP: the connection is closed after this many poll answers
    double testTemperatureC = 85.0;
    double chassisTemperatureC = 25.0;
    bool steadyTemperature = false;  // no wander and no noise: the temperatures read exactly as set
};

enum class ClockMode {
    SampleIndex,  // model time = the sample index n of the frame, in seconds
    WallTime,     // model time = wall seconds since the run command went to 7, times the scale
};

struct Noise {
    double voltageSigmaV = 0.05;       // plus voltageRelative of the reading
    double voltageRelative = 0.0003;
    double currentSigmaMa = 0.0001;    // plus currentRelative of the reading
    double currentRelative = 0.0075;
};

struct Config {
    PerChannel<ChannelProfile> channels{};
    LinkFaults link{};
    std::uint64_t seed = 1;
    ClockMode clock = ClockMode::SampleIndex;
    double wallScale = 1.0;
    Noise noise{};
};

// What a command frame asks for, as the instrument reads it.
struct DecodedCommand {
    bool handshake = false;
    int runCommand = 0;
    int n = 0;
    PerChannel<int> control{};
    PerChannel<int> voltageCode{};
    PerChannel<int> currentCode{};
    PerChannel<double> setVoltage{};
    PerChannel<double> setCurrent{};
    bool channelOn(int ch) const;
};

// The raw words of one channel that the console reads back as the given volts and milliamperes.
struct RawReading {
    std::uint16_t voltWord = 0;
    std::uint16_t currentWord = 0;
};
RawReading encodeReading(int ch, double volts, double milliamperes);

// Inverses of the console's temperature conversions, rounded to the nearest word.
std::uint16_t encodeTestTemperature(double celsius);
std::uint16_t encodeChassisTemperature(double celsius);

// Set voltage and current that a channel's set-point codes stand for (fixed correction inverted,
// with the console's control coefficients taken as 1).
double setVoltageFromCode(int ch, int code);
double setCurrentFromCode(int ch, int code);

class ChannelModel;

class Instrument {
public:
    explicit Instrument(const Config& config);
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // The response to one command frame received at wallSeconds (any monotonic origin);
    // nullopt when the instrument stays silent.
    std::optional<QByteArray> answer(const QByteArray& commandFrame, double wallSeconds);

    // nullopt for a frame that is not 107 bytes.
    static std::optional<DecodedCommand> decodeCommand(const QByteArray& frame);
    static QString describe(const DecodedCommand& command);

    const Config& config() const { return config_; }
    int answerDelayMs() const { return config_.link.answerDelayMs; }
    // The link faults may change while the instrument runs (a test slowing a connected link).
    LinkFaults& linkFaults() { return config_.link; }
    int dropAfterPolls() const { return config_.link.dropAfterPolls; }
    int pollsAnswered() const { return pollsAnswered_; }

    // The noise-free model outputs of the last answered poll (volts, mA).
    double modelVoltage(int ch) const;
    double modelCurrent(int ch) const;

private:
    QByteArray respond(const DecodedCommand& cmd, double wallSeconds);
    void advanceRun(const DecodedCommand& cmd, double wallSeconds);
    double modelSeconds(const DecodedCommand& cmd, double wallSeconds) const;

    Config config_;
    std::array<std::unique_ptr<ChannelModel>, kChannels> models_;
    PerChannel<double> outV_{};
    PerChannel<double> outI_{};
    PerChannel<double> idleFromV_{};
    PerChannel<double> idleFromI_{};
    bool running_ = false;
    int lastN_ = 0;
    double runStartWall_ = 0.0;
    double idleStartWall_ = 0.0;
    std::int64_t step_ = 0;  // model steps since the run started
    int pollsAnswered_ = 0;
};

}  // namespace varnot::sim
