// Response decoding and poll-frame building on arbitrary bytes and field texts.
//
// Input: a response of up to 120 bytes (its length first), then the run state and, per channel,
// the test kind, the field texts and the control coefficients of a poll frame. Properties:
//  - the decoded words put back at their places give the response again; the response check and
//    the handshake mark look at exactly their bytes; temperatures are finite and ordered by word;
//  - a poll frame is built exactly when every text it reads holds a number, is 107 bytes between
//    its header and trailer, and the simulated instrument reads back the run command, sample
//    index, control bytes and the set-points the console meant;
//  - with the last valid texts kept, a frame is always built.
#include "calibration/corrections.h"
#include "common/text_number.h"
#include "fuzz_support.h"
#include "link/frames.h"
#include "sim/instrument.h"

#include <cmath>
#include <cstring>

using namespace varnot;
using varnot::fuzz::Input;

namespace {

std::uint8_t at(const QByteArray& b, int i) { return static_cast<std::uint8_t>(b[i]); }

void checkResponseDecoding(const QByteArray& resp) {
    const QString what = QStringLiteral("response %1").arg(QString::fromLatin1(resp.toHex()));
    FUZZ_CHECK(checkResponse(resp) == (resp.size() >= kResponseSize && at(resp, 104) == 0x0F && at(resp, 105) == 0xF0),
               what);
    FUZZ_CHECK(isHandshakeReply(resp) == (resp.size() > 6 && at(resp, 6) == kHandshakeReply), what);
    const auto d = decodeResponse(resp);
    FUZZ_CHECK(d.has_value() == (resp.size() >= kResponseSize), what);
    if (!d) return;
    QByteArray again = resp;
    for (int c = 0; c < kChannels; ++c) {
        for (float raw : {d->rawVolt[c], d->rawCurr[c]})
            FUZZ_CHECK(raw >= 0 && raw <= 65535 && raw == std::trunc(raw), what);
        putWord(again, 16 + 16 * c, static_cast<std::uint16_t>(d->rawVolt[c]));
        putWord(again, 18 + 16 * c, static_cast<std::uint16_t>(d->rawCurr[c]));
    }
    putWord(again, 10, d->rawTestTemperature);
    putWord(again, 26, d->rawChassisTemperature);
    FUZZ_CHECK(again == resp, what);

    const std::uint16_t t = d->rawTestTemperature, k = d->rawChassisTemperature;
    FUZZ_CHECK(std::isfinite(testTemperature(t)) && std::isfinite(chassisTemperature(k)), what);
    if (t < 65535) FUZZ_CHECK(testTemperature(t) <= testTemperature(t + 1), what);
    if (k < 65535) FUZZ_CHECK(chassisTemperature(k) >= chassisTemperature(k + 1), what);
    // The shown temperature reads back within the format's half unit.
    const QString shown = formatNumber(testTemperature(t), u"0.0");
    FUZZ_CHECK(std::fabs(*toSingle(shown) - testTemperature(t)) <= 0.0501, what + shown);
}

QString fieldText(Input& in, const QString& first) {
    const std::uint8_t how = in.byte();
    if (how < 128) return first;  // the field keeps its text
    if (how < 192) return QString::number(int(in.word()) - 1000);
    return in.text();
}

float coefficient(Input& in) {
    if (in.byte() < 200) return 1.0f;
    std::uint32_t bits = static_cast<std::uint32_t>(in.word()) << 16 | in.word();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

PollInput pollInput(Input& in) {
    PollInput p;
    p.n = int(in.word()) - 100;
    const std::uint8_t flags = in.byte();
    p.testRun = flags & 1;
    p.tempOk = flags & 2;
    const std::uint8_t stopped = in.byte();
    for (int c = 0; c < kChannels; ++c) {
        p.chStopped[c] = stopped & (1 << c);
        p.kind[c] = static_cast<TestKind>(in.byte() % 3);
        auto& f = p.fields[c];
        for (QString* t : {&f.formationVoltage, &f.testCurrent, &f.riseTime, &f.tvValue, &f.leakageVoltage,
                           &f.elecCurrent, &f.elecSetVoltage, &f.liveVoltage, &f.liveCurrent})
            *t = fieldText(in, *t);
        p.KV[c] = coefficient(in);
        p.KI[c] = coefficient(in);
    }
    return p;
}

bool readsAsNumbers(const PollInput& p, int c) {
    const auto& f = p.fields[c];
    return toSingle(f.tvValue) && toSingle(f.riseTime) && setVoltageOf(p, c) && setCurrentOf(p, c) &&
           toDouble(f.liveVoltage) && toDouble(f.liveCurrent);
}

void checkFrame(const PollInput& p, const QByteArray& frame) {
    const QString what = QStringLiteral("frame %1").arg(QString::fromLatin1(frame.toHex()));
    FUZZ_CHECK(frame.size() == kCommandFrameSize, what);
    FUZZ_CHECK(frame.startsWith(QByteArray::fromHex("772010062901")) && at(frame, 7) == 1, what);
    FUZZ_CHECK(frame.endsWith(QByteArray::fromHex("0ff086")), what);
    const auto cmd = sim::Instrument::decodeCommand(frame);
    FUZZ_CHECK(cmd.has_value(), what);
    FUZZ_CHECK(cmd->runCommand == runCommand(p.n, p.testRun, p.tempOk) && !cmd->handshake, what);
    FUZZ_CHECK(cmd->n == wordToInt(p.n), what);
    for (int c = 0; c < kChannels; ++c) {
        const int base = kFirstBlock + kBlockSize * c;
        const auto& f = p.fields[c];
        FUZZ_CHECK((cmd->control[c] & ~kControlByte) == 0, what);
        FUZZ_CHECK(getWord(frame, base + kOffTvValue) == wordToInt(*toSingle(f.tvValue)), what);
        FUZZ_CHECK(getWord(frame, base + kOffRiseTime) == wordToInt(*toSingle(f.riseTime)), what);
        FUZZ_CHECK(getWord(frame, base + kOffSampleIndex) == cmd->n, what);
        // The instrument reads back the set-points the console meant, to the code's resolution (a
        // negative one as 0).
        const FixedCorrection& k = kFixedCorrections[c];
        const double setV = *setVoltageOf(p, c), setI = *setCurrentOf(p, c);
        if (p.KV[c] == 1 && cmd->voltageCode[c] > 0 && cmd->voltageCode[c] < kMaxSetPointCode)
            FUZZ_CHECK(std::fabs(cmd->setVoltage[c] - std::max(0.0, setV)) <= 0.5 / (60.0 * k.A) * (1 + 1e-6) + 1e-9, what);
        if (p.KI[c] == 1 && cmd->currentCode[c] > 0 && cmd->currentCode[c] < kMaxSetPointCode &&
            cmd->currentCode[c] != kCurrentCodeOverflow)
            FUZZ_CHECK(std::fabs(cmd->setCurrent[c] - std::max(0.0, setI)) <= 0.5 / (5000.0 * k.C) * (1 + 1e-6) + 1e-9, what);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    checkResponseDecoding(in.bytes(in.byte() % 121));

    PollInput p = pollInput(in);
    bool numbers = true;
    for (int c = 0; c < kChannels; ++c) numbers = numbers && readsAsNumbers(p, c);
    const auto frame = buildPollFrame(p);
    FUZZ_CHECK(frame.has_value() == numbers, QStringLiteral("frame built: %1").arg(frame.has_value()));
    if (frame) checkFrame(p, *frame);

    // Texts that do not read as numbers go out as the last valid ones: a frame is always built,
    // and a second input with the same texts gives the same frame.
    LastValidFields last{};
    PollInput kept = p;
    keepLastValid(kept, last);
    const auto keptFrame = buildPollFrame(kept);
    FUZZ_CHECK(keptFrame.has_value(), QStringLiteral("no frame with the last valid texts"));
    checkFrame(kept, *keptFrame);
    if (frame) FUZZ_CHECK(*keptFrame == *frame, QStringLiteral("valid texts were replaced"));
    PollInput again = p;
    keepLastValid(again, last);
    FUZZ_CHECK(buildPollFrame(again) == keptFrame, QStringLiteral("last valid texts not kept"));
    return 0;
}
