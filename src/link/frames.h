// The binary frames exchanged with the instrument: a 107-byte command frame (handshake or poll)
// and a response of at least 106 bytes carrying the six channels' raw voltage and current words
// and two raw temperature words. Words are unsigned 16-bit, big-endian.
#pragma once

#include "calibration/corrections.h"
#include "common/channel.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace varnot {

inline constexpr int kCommandFrameSize = 107;
inline constexpr int kResponseSize = 106;
inline constexpr int kBlockSize = 16;
inline constexpr int kFirstBlock = 8;

inline constexpr std::uint8_t kRunCommandActive = 7;
inline constexpr std::uint8_t kRunCommandIdle = 1;
inline constexpr std::uint8_t kHandshakeReply = 0x80;
inline constexpr std::uint8_t kControlByte = 3;

// Byte offsets inside a channel block of the command frame.
enum BlockOffset : int {
    kOffControl = 0,
    kOffTvValue = 2,
    kOffRiseTime = 4,
    kOffSampleIndex = 6,
    kOffVoltageCode = 8,
    kOffCurrentCode = 10,
    kOffLiveVoltage = 12,
    kOffLiveCurrent = 14,
};

// Everything of the console's state that goes into a poll frame: the run state and, per channel,
// the test kind, the field texts the frame reads and the control coefficients.
struct PollInput {
    int n = 0;  // sample index
    bool testRun = false;
    bool tempOk = false;
    PerChannel<bool> chStopped{true, true, true, true, true, true};
    PerChannel<TestKind> kind{TestKind::TV, TestKind::TV, TestKind::TV,
                              TestKind::TV, TestKind::TV, TestKind::TV};
    struct Fields {
        QString formationVoltage = QStringLiteral("200");  // Text1 (TV set voltage = 1.25 x this)
        QString testCurrent = QStringLiteral("2");         // Text3 (TV and leakage)
        QString riseTime = QStringLiteral("0");            // Text6
        QString tvValue = QStringLiteral("0");             // Text7
        QString leakageVoltage = QStringLiteral("100");    // Text9
        QString elecCurrent = QStringLiteral("2");         // Text17
        QString elecSetVoltage = QStringLiteral("100");    // Text18
        QString liveVoltage = QStringLiteral("0");         // Text25
        QString liveCurrent = QStringLiteral("0");         // Text26
    };
    PerChannel<Fields> fields{};
    PerChannel<float> KV{1, 1, 1, 1, 1, 1};
    PerChannel<float> KI{1, 1, 1, 1, 1, 1};
};

QByteArray buildHandshakeFrame();

// nullopt when a field the frame reads does not hold a number.
std::optional<QByteArray> buildPollFrame(const PollInput& in);

// The field texts of the frames sent so far that read as numbers, per channel and field.
using LastValidFields = PerChannel<PollInput::Fields>;

// Puts the last valid text in place of every field text of the frame input that does not read as a
// number (a half-typed entry, a damaged stored value), and remembers every text that does, so a
// poll frame can always be built.
void keepLastValid(PollInput& in, LastValidFields& lastValid);

// The run command of byte 6 for the given run state.
std::uint8_t runCommand(int n, bool testRun, bool tempOk);

// The set voltage and current a channel's kind puts into the frame (before the correction).
std::optional<double> setVoltageOf(const PollInput& in, int ch);
std::optional<double> setCurrentOf(const PollInput& in, int ch);

// A response of at least 106 bytes with 0x0F 0xF0 at bytes 104 and 105.
bool checkResponse(const QByteArray& bytes);
bool isHandshakeReply(const QByteArray& bytes);

struct DecodedResponse {
    PerChannel<float> rawVolt{};
    PerChannel<float> rawCurr{};
    std::uint16_t rawTestTemperature = 0;
    std::uint16_t rawChassisTemperature = 0;
};

// nullopt for fewer than 106 bytes; the trailer is not looked at (checkResponse does that).
std::optional<DecodedResponse> decodeResponse(const QByteArray& bytes);

// Test temperature from its raw word (t = r / 500, quadratic), chassis temperature (linear).
float testTemperature(std::uint16_t raw);
float chassisTemperature(std::uint16_t raw);

// Word helpers. encodeWord rounds a half to the even neighbour and limits to 0..65535.
std::uint16_t wordToInt(double v);
void putWord(QByteArray& frame, int index, std::uint16_t word);
std::uint16_t getWord(const QByteArray& frame, int index);

}  // namespace varnot
