#include "link/frames.h"

#include "common/text_number.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace varnot;

namespace {

int byteOf(const QByteArray& f, int i) { return static_cast<unsigned char>(f[i]); }
int blockIndex(int ch, int offset) { return kFirstBlock + kBlockSize * ch + offset; }
int wordOf(const QByteArray& f, int ch, int offset) { return getWord(f, blockIndex(ch, offset)); }

QByteArray frameOf(const PollInput& in) {
    const auto f = buildPollFrame(in);
    EXPECT_TRUE(f.has_value());
    return f.value_or(QByteArray(kCommandFrameSize, '\0'));
}

QByteArray response(int size, int b104 = 0x0F, int b105 = 0xF0) {
    QByteArray r(size, '\0');
    if (size > 105) {
        r[104] = static_cast<char>(b104);
        r[105] = static_cast<char>(b105);
    }
    return r;
}

}  // namespace

TEST(Frames, HandshakeFrameLayout) {
    const QByteArray f = buildHandshakeFrame();
    ASSERT_EQ(f.size(), 107);
    const int header[] = {0x77, 0x20, 0x10, 0x06, 0x29, 0x01, 0x00, 0x01};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(byteOf(f, i), header[i]) << i;
    for (int i = 8; i < 104; ++i) EXPECT_EQ(byteOf(f, i), 0) << i;
    EXPECT_EQ(byteOf(f, 104), 0x0F);
    EXPECT_EQ(byteOf(f, 105), 0xF0);
    EXPECT_EQ(byteOf(f, 106), 0x86);
}

TEST(Frames, RunCommandFollowsRunStateAndTemperatureOnFirstSample) {
    struct Case {
        int n;
        bool testRun, tempOk;
        int byte6;
    };
    const Case cases[] = {
        {0, false, false, 1}, {0, true, false, 1}, {1, true, false, 1}, {1, true, true, 7},
        {1, false, true, 1},  {2, true, false, 7}, {2, false, true, 1}, {300, true, false, 7},
    };
    for (const Case& c : cases) {
        PollInput in;
        in.n = c.n;
        in.testRun = c.testRun;
        in.tempOk = c.tempOk;
        const QByteArray f = frameOf(in);
        EXPECT_EQ(byteOf(f, 6), c.byte6) << "n=" << c.n << " run=" << c.testRun << " temp=" << c.tempOk;
        EXPECT_EQ(byteOf(f, 7), 1);
    }
}

TEST(Frames, ControlBytesClearOnlyForStoppedPairsBeforeTheSecondSample) {
    PollInput in;  // idle, all stopped
    QByteArray f = frameOf(in);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(byteOf(f, blockIndex(c, kOffControl)), 0) << c;
    for (int c = 3; c < 6; ++c) EXPECT_EQ(byteOf(f, blockIndex(c, kOffControl)), 3) << c;

    in.chStopped = {false, true, true, true, true, false};  // pair (1,4) runs, (3,6) runs
    f = frameOf(in);
    EXPECT_EQ(byteOf(f, blockIndex(0, kOffControl)), 3);
    EXPECT_EQ(byteOf(f, blockIndex(1, kOffControl)), 0);
    EXPECT_EQ(byteOf(f, blockIndex(2, kOffControl)), 3);

    in.chStopped.fill(true);
    in.n = 2;
    f = frameOf(in);
    for (int c = 0; c < 6; ++c) EXPECT_EQ(byteOf(f, blockIndex(c, kOffControl)), 3) << c;
}

// One table of the frame cases that matter: each row changes one thing of an otherwise default
// input and names the word it must produce.
TEST(Frames, ChannelBlockWords) {
    struct Case {
        const char* what;
        int ch;
        std::function<void(PollInput&)> set;
        int offset;
        int word;
    };
    const Case cases[] = {
        {"TV 800 V on uncorrected channel 4", 3, [](PollInput& in) { in.fields[3].formationVoltage = "800"; },
         kOffVoltageCode, 60000},
        {"TV 1000 V is limited to 65000", 3, [](PollInput& in) { in.fields[3].formationVoltage = "1000"; },
         kOffVoltageCode, 65000},
        {"leakage voltage is sent unscaled", 4,
         [](PollInput& in) {
             in.kind[4] = TestKind::Leakage;
             in.fields[4].leakageVoltage = "400";
         },
         kOffVoltageCode, 24000},
        {"electrolyte set voltage", 5,
         [](PollInput& in) {
             in.kind[5] = TestKind::Electrolyte;
             in.fields[5].elecSetVoltage = "600";
         },
         kOffVoltageCode, 36000},
        {"current 2 mA on channel 4", 3, [](PollInput& in) { in.fields[3].testCurrent = "2"; }, kOffCurrentCode,
         10000},
        {"current code above 65000 is sent as 5000", 3, [](PollInput& in) { in.fields[3].testCurrent = "15"; },
         kOffCurrentCode, 5000},
        {"electrolyte current comes from its own field", 3,
         [](PollInput& in) {
             in.kind[3] = TestKind::Electrolyte;
             in.fields[3].elecCurrent = "0.5";
             in.fields[3].testCurrent = "15";
         },
         kOffCurrentCode, 2500},
        {"negative set voltage sends 0", 3, [](PollInput& in) { in.fields[3].formationVoltage = "-10"; },
         kOffVoltageCode, 0},
        {"negative live voltage sends 0", 0, [](PollInput& in) { in.fields[0].liveVoltage = "-3.5"; },
         kOffLiveVoltage, 0},
        {"live voltage x 10", 0, [](PollInput& in) { in.fields[0].liveVoltage = "502.3"; }, kOffLiveVoltage, 5023},
        {"live voltage limited to 65000", 0, [](PollInput& in) { in.fields[0].liveVoltage = "7000"; },
         kOffLiveVoltage, 65000},
        {"live current x 1000", 0, [](PollInput& in) { in.fields[0].liveCurrent = "1.234"; }, kOffLiveCurrent,
         1234},
        {"TV value as shown", 1, [](PollInput& in) { in.fields[1].tvValue = "502.5"; }, kOffTvValue, 502},
        {"rise time as shown, half to even", 1, [](PollInput& in) { in.fields[1].riseTime = "33.5"; },
         kOffRiseTime, 34},
        {"sample index in every block", 5, [](PollInput& in) { in.n = 4321; }, kOffSampleIndex, 4321},
        {"channel 1 voltage code corrected", 0, [](PollInput& in) { in.fields[0].formationVoltage = "200"; },
         kOffVoltageCode,
         static_cast<int>(roundHalfEven((250.0 * double(0.879894435f) + double(32.4681053f)) * 60.0))},
        {"channel 2 current code corrected", 1, [](PollInput& in) { in.fields[1].testCurrent = "2"; },
         kOffCurrentCode, static_cast<int>(roundHalfEven((2.0 * double(1.13895214f) + double(0.159453303f)) * 5000.0))},
    };
    for (const Case& c : cases) {
        PollInput in;
        c.set(in);
        EXPECT_EQ(wordOf(frameOf(in), c.ch, c.offset), c.word) << c.what;
    }
}

TEST(Frames, ControlCoefficientOfOneChannelChangesOnlyItsCode) {
    PollInput in;
    const QByteArray before = frameOf(in);
    in.KV[1] = 1.01f;
    const QByteArray after = frameOf(in);
    for (int i = 0; i < kCommandFrameSize; ++i) {
        if (i == blockIndex(1, kOffVoltageCode) || i == blockIndex(1, kOffVoltageCode) + 1) continue;
        EXPECT_EQ(before[i], after[i]) << "byte " << i;
    }
    EXPECT_GT(wordOf(after, 1, kOffVoltageCode), wordOf(before, 1, kOffVoltageCode));
}

TEST(Frames, FieldThatIsNotANumberRefusesTheFrame) {
    PollInput in;
    in.fields[2].liveVoltage = "";
    EXPECT_FALSE(buildPollFrame(in).has_value());
}

// A text that does not read as a number (half-typed, or damaged in the settings) never stops the
// frames: the field goes out as its last valid text, and a valid text is remembered again.
TEST(Frames, FieldThatIsNotANumberGoesOutAsItsLastValidText) {
    struct Case {
        const char* what;
        int ch;
        QString PollInput::Fields::*field;
        int offset;
        std::vector<const char*> typed;  // texts on successive frames
        std::vector<int> word;           // the word each frame carries
    };
    const Case cases[] = {
        {"formation voltage half-typed", 3, &PollInput::Fields::formationVoltage, kOffVoltageCode,
         {"800", "", "8", "abc", "-", "640"}, {60000, 60000, 600, 600, 600, 48000}},
        {"test current", 4, &PollInput::Fields::testCurrent, kOffCurrentCode, {"2", ".", "1e", "1"},
         {10000, 10000, 10000, 5000}},
        {"live voltage read in double precision", 2, &PollInput::Fields::liveVoltage, kOffLiveVoltage,
         {"12.3", "1,2", "", "0"}, {123, 123, 123, 0}},
        {"TV value", 1, &PollInput::Fields::tvValue, kOffTvValue, {"502", "5o2", "503"}, {502, 502, 503}},
    };
    for (const Case& c : cases) {
        LastValidFields lastValid{};
        for (std::size_t k = 0; k < c.typed.size(); ++k) {
            PollInput in;
            in.fields[c.ch].*c.field = QString::fromUtf8(c.typed[k]);
            keepLastValid(in, lastValid);
            EXPECT_EQ(wordOf(frameOf(in), c.ch, c.offset), c.word[k]) << c.what << ", frame " << k;
        }
    }
    // Before any valid text the frame carries the input's own first texts.
    LastValidFields lastValid{};
    PollInput in;
    in.fields[0].formationVoltage = QStringLiteral("x");
    keepLastValid(in, lastValid);
    EXPECT_EQ(in.fields[0].formationVoltage, PollInput::Fields{}.formationVoltage);
}

TEST(Frames, ResponseCheckAndHandshakeReply) {
    EXPECT_TRUE(checkResponse(response(106)));
    EXPECT_TRUE(checkResponse(response(107)));
    EXPECT_FALSE(checkResponse(response(105)));
    EXPECT_FALSE(checkResponse(response(106, 0x0F, 0x0E)));
    EXPECT_FALSE(checkResponse(response(106, 0x0E, 0xF0)));
    QByteArray reply = response(106);
    EXPECT_FALSE(isHandshakeReply(reply));
    reply[6] = static_cast<char>(0x80);
    EXPECT_TRUE(isHandshakeReply(reply));
    EXPECT_FALSE(isHandshakeReply(QByteArray(3, '\x80')));
}

TEST(Frames, DecodeReadsEveryChannelAndBothTemperatures) {
    QByteArray r = response(106);
    for (int c = 0; c < 6; ++c) {
        putWord(r, 16 + 16 * c, static_cast<std::uint16_t>(1000 * (c + 1) + 1));
        putWord(r, 18 + 16 * c, static_cast<std::uint16_t>(60000 + c));
    }
    putWord(r, 10, 20000);
    putWord(r, 26, 18000);
    const auto d = decodeResponse(r);
    ASSERT_TRUE(d.has_value());
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(d->rawVolt[c], 1000.0f * (c + 1) + 1) << c;
        EXPECT_EQ(d->rawCurr[c], 60000.0f + c) << c;
    }
    EXPECT_EQ(d->rawTestTemperature, 20000);
    EXPECT_EQ(d->rawChassisTemperature, 18000);
    EXPECT_FALSE(decodeResponse(response(105)).has_value());
}

TEST(Frames, TemperatureConversions) {
    EXPECT_EQ(formatNumber(testTemperature(0), u"0.0"), u"44.3");
    EXPECT_EQ(formatNumber(chassisTemperature(0), u"0.0"), u"301.7");
    EXPECT_FLOAT_EQ(testTemperature(0), 44.27236912f);
    // r = 20000: t = 40, 0.004311044 * 1600 + 0.12608741 * 40 + 44.27236912
    EXPECT_FLOAT_EQ(testTemperature(20000), static_cast<float>(6.8976704 + 5.0434964 + 44.27236912));
    EXPECT_FLOAT_EQ(chassisTemperature(18000), static_cast<float>(301.6766 - 268.884));
}
