#include "link/frames.h"

#include "common/text_number.h"

#include <algorithm>

namespace varnot {
namespace {

constexpr std::uint8_t kHeader[6] = {0x77, 0x20, 0x10, 0x06, 0x29, 0x01};
constexpr std::uint8_t kTrailer[3] = {0x0F, 0xF0, 0x86};

QByteArray emptyCommandFrame() {
    QByteArray f(kCommandFrameSize, '\0');
    for (int i = 0; i < 6; ++i) f[i] = static_cast<char>(kHeader[i]);
    f[7] = 1;
    for (int i = 0; i < 3; ++i) f[104 + i] = static_cast<char>(kTrailer[i]);
    return f;
}

std::uint8_t byteAt(const QByteArray& b, int i) { return static_cast<std::uint8_t>(b[i]); }

double limit(double v, double lo, double hi) { return std::clamp(v, lo, hi); }

// Every text a poll frame reads, with the precision the frame reads it in.
struct FrameText {
    QString PollInput::Fields::*text;
    bool doublePrecision;
};

const FrameText kFrameTexts[] = {
    {&PollInput::Fields::formationVoltage, false}, {&PollInput::Fields::testCurrent, false},
    {&PollInput::Fields::riseTime, false},         {&PollInput::Fields::tvValue, false},
    {&PollInput::Fields::leakageVoltage, false},   {&PollInput::Fields::elecCurrent, false},
    {&PollInput::Fields::elecSetVoltage, false},   {&PollInput::Fields::liveVoltage, true},
    {&PollInput::Fields::liveCurrent, true},
};

}  // namespace

std::uint16_t wordToInt(double v) {
    // Values outside the word range do not occur in normal operation; they are held at its ends.
    const double r = roundHalfEven(v);
    if (!(r >= 0)) return 0;
    if (r > 65535) return 65535;
    return static_cast<std::uint16_t>(r);
}

void putWord(QByteArray& frame, int index, std::uint16_t word) {
    frame[index] = static_cast<char>(word >> 8);
    frame[index + 1] = static_cast<char>(word & 0xFF);
}

std::uint16_t getWord(const QByteArray& frame, int index) {
    return static_cast<std::uint16_t>(byteAt(frame, index) * 256 + byteAt(frame, index + 1));
}

QByteArray buildHandshakeFrame() { return emptyCommandFrame(); }

std::uint8_t runCommand(int n, bool testRun, bool tempOk) {
    if (n > 1) return testRun ? kRunCommandActive : kRunCommandIdle;
    return (tempOk && testRun) ? kRunCommandActive : kRunCommandIdle;
}

std::optional<double> setVoltageOf(const PollInput& in, int ch) {
    const auto& f = in.fields[ch];
    switch (in.kind[ch]) {
        case TestKind::TV:
            if (auto v = toSingle(f.formationVoltage)) return double(*v) * 1.25;
            return std::nullopt;
        case TestKind::Leakage:
            if (auto v = toSingle(f.leakageVoltage)) return double(*v);
            return std::nullopt;
        case TestKind::Electrolyte:
            if (auto v = toSingle(f.elecSetVoltage)) return double(*v);
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> setCurrentOf(const PollInput& in, int ch) {
    const auto& f = in.fields[ch];
    const QString& text = in.kind[ch] == TestKind::Electrolyte ? f.elecCurrent : f.testCurrent;
    if (auto v = toSingle(text)) return double(*v);
    return std::nullopt;
}

std::optional<QByteArray> buildPollFrame(const PollInput& in) {
    QByteArray f = emptyCommandFrame();
    f[6] = static_cast<char>(runCommand(in.n, in.testRun, in.tempOk));

    std::array<std::uint8_t, kChannels> control{};
    control.fill(kControlByte);
    if (in.n < 2) {
        for (int pair = 0; pair < 3; ++pair)
            if (in.chStopped[pair] && in.chStopped[pair + 3]) control[pair] = kControlByte & 0xFC;
    }

    for (int c = 0; c < kChannels; ++c) {
        const int base = kFirstBlock + kBlockSize * c;
        const auto& fields = in.fields[c];
        f[base + kOffControl] = static_cast<char>(control[c] & ~0x04);

        const auto tv = toSingle(fields.tvValue);
        const auto rise = toSingle(fields.riseTime);
        const auto setV = setVoltageOf(in, c);
        const auto setI = setCurrentOf(in, c);
        const auto liveV = toDouble(fields.liveVoltage);
        const auto liveI = toDouble(fields.liveCurrent);
        if (!tv || !rise || !setV || !setI || !liveV || !liveI) return std::nullopt;

        putWord(f, base + kOffTvValue, wordToInt(*tv));
        putWord(f, base + kOffRiseTime, wordToInt(*rise));
        putWord(f, base + kOffSampleIndex, wordToInt(in.n));
        putWord(f, base + kOffVoltageCode, wordToInt(voltageSetPointCode(c, *setV, in.KV[c])));
        putWord(f, base + kOffCurrentCode, wordToInt(currentSetPointCode(c, *setI, in.KI[c])));
        putWord(f, base + kOffLiveVoltage, wordToInt(limit(*liveV * 10.0, 0, 65000)));
        putWord(f, base + kOffLiveCurrent, wordToInt(limit(*liveI * 1000.0, 0, 65000)));
    }
    return f;
}

void keepLastValid(PollInput& in, LastValidFields& lastValid) {
    for (int c = 0; c < kChannels; ++c) {
        for (const FrameText& t : kFrameTexts) {
            QString& text = in.fields[c].*t.text;
            QString& last = lastValid[c].*t.text;
            const bool valid = t.doublePrecision ? toDouble(text).has_value() : toSingle(text).has_value();
            if (valid)
                last = text;
            else
                text = last;
        }
    }
}

bool checkResponse(const QByteArray& bytes) {
    return bytes.size() >= kResponseSize && byteAt(bytes, 104) == 0x0F && byteAt(bytes, 105) == 0xF0;
}

bool isHandshakeReply(const QByteArray& bytes) {
    return bytes.size() > 6 && byteAt(bytes, 6) == kHandshakeReply;
}

std::optional<DecodedResponse> decodeResponse(const QByteArray& bytes) {
    if (bytes.size() < kResponseSize) return std::nullopt;
    DecodedResponse d;
    for (int c = 0; c < kChannels; ++c) {
        d.rawVolt[c] = getWord(bytes, 16 + 16 * c);
        d.rawCurr[c] = getWord(bytes, 18 + 16 * c);
    }
    d.rawTestTemperature = getWord(bytes, 10);
    d.rawChassisTemperature = getWord(bytes, 26);
    return d;
}

float testTemperature(std::uint16_t raw) {
    const float t = static_cast<float>(raw) / 500.0f;
    const double td = t;
    return static_cast<float>(0.004311044 * td * td + 0.12608741 * td + 44.27236912);
}

float chassisTemperature(std::uint16_t raw) { return static_cast<float>(301.6766 - 0.014938 * raw); }

}  // namespace varnot
