#include "sim/frame_assembler.h"
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"
#include "sim/serial_line.h"
#include "sim/tcp_endpoint.h"

#include "calibration/corrections.h"
#include "link/frames.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace varnot;
using namespace varnot::sim;

namespace {

struct Reading {
    double v = 0, i = 0;
};

// What the console shows for a channel of a response (its acquisition rule, coefficients 1).
Reading consoleReading(const QByteArray& response, int ch) {
    const FixedCorrection& k = kFixedCorrections[ch];
    double i = getWord(response, 18 + 16 * ch) / 5000.0;
    double v = getWord(response, 16 + 16 * ch) / 50.0;
    v = v * k.E + k.F;
    if (i > 1) i = i * k.G + k.H;
    v -= 0.1 * i;
    return {std::max(v, 0.0), std::max(i, 0.0)};
}

PollInput pollInput(int n, bool run = true, TestKind kind = TestKind::TV) {
    PollInput in;
    in.n = n;
    in.testRun = run;
    in.tempOk = true;
    in.chStopped.fill(false);
    in.kind.fill(kind);
    for (auto& f : in.fields) {
        f.formationVoltage = QStringLiteral("500");
        f.testCurrent = QStringLiteral("2");
        f.leakageVoltage = QStringLiteral("100");
        f.elecSetVoltage = QStringLiteral("600");
        f.elecCurrent = QStringLiteral("2");
    }
    return in;
}

QByteArray frame(const PollInput& in) { return buildPollFrame(in).value(); }

Config allChannels(const char* preset, std::uint64_t seed = 1) {
    Config c;
    c.seed = seed;
    c.channels.fill(ChannelProfile::preset(QString::fromLatin1(preset)).value());
    return c;
}

QByteArray answerOf(Instrument& sim, const QByteArray& f, double wall = 0) {
    const auto r = sim.answer(f, wall);
    EXPECT_TRUE(r.has_value());
    return r.value_or(QByteArray());
}

// Console readings of every channel for samples n = 0..last of one run.
std::vector<PerChannel<Reading>> runSamples(Instrument& sim, int last, TestKind kind = TestKind::TV) {
    std::vector<PerChannel<Reading>> out;
    for (int n = 0; n <= last; ++n) {
        const QByteArray r = answerOf(sim, frame(pollInput(n, true, kind)), n);
        PerChannel<Reading> row;
        for (int c = 0; c < kChannels; ++c) row[c] = consoleReading(r, c);
        out.push_back(row);
    }
    return out;
}

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "sim_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* instance =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *instance;
}

bool processUntil(const std::function<bool()>& done) {
    app();
    QDeadlineTimer deadline(5000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace

// ---- TV test -------------------------------------------------------------------------------

TEST(SimTv, WorkedFoilExamplesGiveTheirRiseTimeAndTvValue) {
    struct Case {
        const char* preset;
        int delay;
        double tr, tv;
        double plateauMa;  // the current has fallen below this by the TV reading
    };
    // 500 V formation, 2 mA, 90 %; rise time = first sample at or above 450 V.
    const Case cases[] = {
        {"fresh", 180, 32, 502, 0.6},
        {"weak", 180, 34, 482, 0.6},
        {"boiled", 60, 110, 496, 1.2},  // still creeping after only 60 s
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.preset);
        Instrument sim(allChannels(tc.preset));
        const auto samples = runSamples(sim, 320);
        for (int c = 0; c < kChannels; ++c) {
            SCOPED_TRACE(c + 1);
            const auto hit = std::find_if(samples.begin(), samples.end(),
                                          [c](const auto& row) { return row[c].v >= 450.0; });
            ASSERT_NE(hit, samples.end());
            const int tr = static_cast<int>(hit - samples.begin());
            EXPECT_NEAR(tr, tc.tr, 1.5);
            EXPECT_NEAR(samples[tr + tc.delay][c].v, tc.tv, 1.0);
            // Full current while charging, far less on the plateau.
            EXPECT_NEAR(samples[5][c].i, 2.0, 0.05);
            EXPECT_LT(samples[tr + tc.delay][c].i, tc.plateauMa);
        }
    }
}

TEST(SimTv, FaultProfiles) {
    struct Case {
        const char* preset;
        int n;
        double vLo, vHi, iLo, iHi;
    };
    const Case cases[] = {
        {"open", 1, 624, 626, 0, 0.01},    {"open", 300, 624, 626, 0, 0.01},
        {"short", 1, 0, 1, 1.95, 2.05},    {"short", 300, 0, 1, 1.95, 2.05},
        {"never90", 300, 380, 420, 0, 2.05},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(testing::Message() << tc.preset << " n=" << tc.n);
        Instrument sim(allChannels(tc.preset));
        const auto samples = runSamples(sim, tc.n);
        for (int c = 0; c < kChannels; ++c) {
            const Reading r = samples[tc.n][c];
            EXPECT_GE(r.v, tc.vLo);
            EXPECT_LE(r.v, tc.vHi);
            EXPECT_GE(r.i, tc.iLo);
            EXPECT_LE(r.i, tc.iHi);
        }
    }
}

// ---- determinism and clocks ------------------------------------------------------------------

TEST(SimClock, SameSeedGivesSameBytesWhateverTheFramesPerSample) {
    Instrument once(allChannels("fresh", 7));
    Instrument twice(allChannels("fresh", 7));
    std::vector<QByteArray> expected;
    for (int n = 0; n <= 60; ++n) expected.push_back(answerOf(once, frame(pollInput(n)), n * 1.0));
    for (int n = 0; n <= 60; ++n) {
        // Polled every 0.8 s while sampled every second: some samples are polled twice.
        const int polls = n % 3 == 0 ? 2 : 1;
        for (int k = 0; k < polls; ++k)
            EXPECT_EQ(answerOf(twice, frame(pollInput(n)), n * 0.8 + k * 0.8), expected[n]) << n;
    }
    // A sample index that goes back starts a new run.
    for (int n = 0; n <= 10; ++n) EXPECT_EQ(answerOf(twice, frame(pollInput(n)), 100.0 + n), expected[n]) << n;
}

TEST(SimClock, DifferentSeedsDifferOnlyInNoise) {
    Instrument a(allChannels("fresh", 1));
    Instrument b(allChannels("fresh", 2));
    const auto ra = runSamples(a, 100);
    const auto rb = runSamples(b, 100);
    int differing = 0;
    for (int n = 0; n <= 100; ++n)
        for (int c = 0; c < kChannels; ++c) {
            if (ra[n][c].v != rb[n][c].v) ++differing;
            EXPECT_NEAR(ra[n][c].v, rb[n][c].v, 2.0);
        }
    EXPECT_GT(differing, 500);
}

TEST(SimClock, WallClockRunsScaledFromTheRunCommand) {
    Config config = allChannels("fresh");
    config.clock = ClockMode::WallTime;
    config.wallScale = 10.0;
    Instrument wall(config);
    Instrument sample(allChannels("fresh"));
    answerOf(wall, frame(pollInput(1)), 500.0);  // the run starts here
    // The frames' sample index plays no part: 3.3 wall seconds later is model second 33.
    const Reading w = consoleReading(answerOf(wall, frame(pollInput(1)), 503.3), 3);
    const auto s = runSamples(sample, 33);
    EXPECT_NEAR(w.v, s[33][3].v, 1.0);
    EXPECT_GT(w.v, 440.0);
}

// ---- frames --------------------------------------------------------------------------------

TEST(SimFrames, HandshakeGetsItsReply) {
    Instrument sim(Config{});
    const QByteArray r = answerOf(sim, buildHandshakeFrame());
    EXPECT_EQ(r.size(), kResponseSize);
    EXPECT_TRUE(isHandshakeReply(r));
    EXPECT_TRUE(checkResponse(r));
    EXPECT_EQ(sim.pollsAnswered(), 0);
    const QByteArray poll = answerOf(sim, frame(pollInput(0)));
    EXPECT_FALSE(isHandshakeReply(poll));
    EXPECT_TRUE(checkResponse(poll));
}

TEST(SimFrames, DecodeRecoversTheSetPointsTheConsoleSent) {
    PollInput in = pollInput(42);
    in.KV[1] = 1.1f;  // an operator's voltage trim really changes the output
    in.fields[4].formationVoltage = QStringLiteral("0");
    in.fields[4].testCurrent = QStringLiteral("0");
    const auto d = Instrument::decodeCommand(frame(in));
    ASSERT_TRUE(d.has_value());
    EXPECT_FALSE(d->handshake);
    EXPECT_EQ(d->runCommand, 7);
    EXPECT_EQ(d->n, 42);
    for (int c = 0; c < kChannels; ++c) {
        SCOPED_TRACE(c + 1);
        EXPECT_EQ(d->control[c], 3);
        if (c == 4) {
            EXPECT_FALSE(d->channelOn(c));
            continue;
        }
        EXPECT_TRUE(d->channelOn(c));
        const FixedCorrection& k = kFixedCorrections[c];
        const double expectedV = c == 1 ? ((625 * k.A + k.B) * 1.1f - k.B) / k.A : 625.0;
        EXPECT_NEAR(d->setVoltage[c], expectedV, 0.02);
        EXPECT_NEAR(d->setCurrent[c], 2.0, 0.0002);
    }
    EXPECT_FALSE(Instrument::decodeCommand(QByteArray(106, '\0')).has_value());
    EXPECT_TRUE(Instrument::decodeCommand(buildHandshakeFrame())->handshake);
}

TEST(SimFrames, AssemblerResynchronisesAfterGarbage) {
    const QByteArray a = frame(pollInput(1));
    const QByteArray b = frame(pollInput(2));
    QByteArray broken = frame(pollInput(3));
    broken[105] = 0;  // wrong trailer: not a frame
    FrameAssembler asm_;
    // `ends` says where in the fed bytes each frame's last byte lies (how long it took to arrive).
    QList<qsizetype> ends;
    EXPECT_TRUE(asm_.feed(QByteArray("\x01\x77\x20zz", 5) + a.left(50), &ends).isEmpty());
    auto got = asm_.feed(a.mid(50) + broken.left(80), &ends);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0], a);
    EXPECT_EQ(ends, QList<qsizetype>{a.size() - 50});
    ends.clear();
    got = asm_.feed(broken.mid(80) + b.left(3), &ends);
    EXPECT_TRUE(got.isEmpty());
    got = asm_.feed(b.mid(3) + a, &ends);
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0], b);
    EXPECT_EQ(got[1], a);
    EXPECT_EQ(ends, (QList<qsizetype>{b.size() - 3, b.size() - 3 + a.size()}));
    EXPECT_EQ(asm_.discarded(), 5 + broken.size());
}

// ---- idle and off --------------------------------------------------------------------------

TEST(SimIdle, OutputsDecayAndTheNextRunStartsAfresh) {
    Instrument sim(allChannels("fresh"));
    runSamples(sim, 60);
    double last = 1e9;
    for (double wall : {100.0, 100.5, 101.0, 102.0}) {
        const Reading r = consoleReading(answerOf(sim, frame(pollInput(61, false)), wall), 3);
        EXPECT_LT(r.v, last) << wall;
        last = r.v;
    }
    const QByteArray later = answerOf(sim, frame(pollInput(61, false)), 105.0);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_LT(consoleReading(later, c).v, 0.5);
        EXPECT_LT(consoleReading(later, c).i, 0.001);
    }
    // With a sample-index clock a restart integrates again up to n, which an unbroken run also
    // reaches; on the wall clock a new run visibly starts from a discharged sample.
    Config config = allChannels("fresh");
    config.clock = ClockMode::WallTime;
    config.wallScale = 10.0;
    Instrument wall(config);
    for (double t : {0.0, 1.0, 2.0, 3.0, 4.0}) answerOf(wall, frame(pollInput(2)), t);
    EXPECT_GT(consoleReading(answerOf(wall, frame(pollInput(2)), 4.0), 0).v, 450.0);
    answerOf(wall, frame(pollInput(2, false)), 4.1);
    EXPECT_LT(consoleReading(answerOf(wall, frame(pollInput(2)), 5.0), 0).v, 1.0);
    const Reading restarted = consoleReading(answerOf(wall, frame(pollInput(2)), 5.5), 0);
    Instrument sample(allChannels("fresh"));
    EXPECT_NEAR(restarted.v, runSamples(sample, 5)[5][0].v, 1.0);
}

TEST(SimIdle, ChannelWithZeroSetPointsReadsNothing) {
    Instrument sim(allChannels("fresh"));
    for (int n = 0; n <= 40; ++n) {
        PollInput in = pollInput(n);
        for (int c : {0, 3}) {
            in.fields[c].formationVoltage = QStringLiteral("0");
            in.fields[c].testCurrent = QStringLiteral("0");
        }
        const QByteArray r = answerOf(sim, frame(in), n);
        for (int c : {0, 3}) {
            EXPECT_EQ(consoleReading(r, c).v, 0.0);  // not merely within a word of it
            EXPECT_EQ(consoleReading(r, c).i, 0.0);
        }
        if (n == 40) { EXPECT_GT(consoleReading(r, 1).v, 400.0); }
    }
}

// ---- leakage and electrolyte ----------------------------------------------------------------

TEST(SimLeakage, CurrentDecaysToTheClassOfTheFoil) {
    struct Case {
        const char* preset;
        double lo, hi;  // mA after 120 s
    };
    const Case cases[] = {{"leak-good", 0.005, 0.03}, {"leak-bad", 0.06, 0.5}};
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.preset);
        Instrument sim(allChannels(tc.preset));
        const auto s = runSamples(sim, 120, TestKind::Leakage);
        for (int c = 0; c < kChannels; ++c) {
            EXPECT_NEAR(s[1][c].i, 2.0, 0.05);  // charging in the current limit
            EXPECT_LT(s[1][c].v, 95.0);
            EXPECT_NEAR(s[10][c].v, 100.0, 0.5);
            EXPECT_GT(s[120][c].i, tc.lo);
            EXPECT_LT(s[120][c].i, tc.hi);
            EXPECT_LT(s[120][c].i, s[30][c].i);
        }
    }
}

TEST(SimElectrolyte, SparksDropTheVoltageOnlyNearBreakdown) {
    Instrument sim(allChannels("elec", 3));
    const auto s = runSamples(sim, 1500, TestKind::Electrolyte);
    const double ub = 480.0;
    for (int c = 0; c < kChannels; ++c) {
        SCOPED_TRACE(c + 1);
        int sparks = 0;
        double peak = 0;
        for (int n = 1; n <= 1500; ++n) {
            const double before = s[n - 1][c].v;
            peak = std::max(peak, s[n][c].v);
            if (before - s[n][c].v > 3.0) {
                EXPECT_GT(before, 0.9 * ub) << n;
                ++sparks;
            }
        }
        EXPECT_GE(sparks, 3);
        EXPECT_GT(peak, 0.95 * ub);
        EXPECT_LT(peak, 1.03 * ub);
        EXPECT_NEAR(s[100][c].v, 50.0, 2.0);  // 0.5 V/s at 2 mA
        EXPECT_NEAR(s[100][c].i, 2.0, 0.05);
    }
}

// ---- words ---------------------------------------------------------------------------------

TEST(SimWords, ReadingsRoundTripThroughTheConsoleCorrection) {
    for (int ch : {0, 3}) {  // corrected and uncorrected channel
        const FixedCorrection& k = kFixedCorrections[ch];
        for (double v : {0.0, 0.5, 10.0, 99.9, 100.0, 250.0, 625.0, 1000.0})
            for (double i : {0.0, 0.0004, 0.5, 0.8, 0.999, 1.0, 1.001, 2.0, 10.0}) {
                SCOPED_TRACE(testing::Message() << "ch" << ch + 1 << " " << v << " V " << i << " mA");
                const RawReading raw = encodeReading(ch, v, i);
                QByteArray r(kResponseSize, '\0');
                putWord(r, 16 + 16 * ch, raw.voltWord);
                putWord(r, 18 + 16 * ch, raw.currentWord);
                const Reading back = consoleReading(r, ch);
                EXPECT_NEAR(back.v, v, k.E / 100.0 + 1e-9);
                EXPECT_NEAR(back.i, i, std::max(1.0f, k.G) / 10000.0 + 1e-9);
            }
    }
}

TEST(SimWords, TemperaturesRoundTrip) {
    for (double t : {45.0, 60.0, 83.5, 85.0, 87.5, 90.0, 120.0})
        EXPECT_NEAR(testTemperature(encodeTestTemperature(t)), t, 0.01) << t;
    for (double t : {0.0, 15.0, 25.0, 40.0, 60.0})
        EXPECT_NEAR(chassisTemperature(encodeChassisTemperature(t)), t, 0.01) << t;
}

TEST(SimWords, BathTemperatureWandersAroundItsSetPoint) {
    for (double set : {85.0, 90.0}) {
        Config config;
        config.link.testTemperatureC = set;
        Instrument sim(config);
        double lo = 1e9, hi = -1e9;
        for (int n = 0; n <= 600; n += 5) {
            const auto d = decodeResponse(answerOf(sim, frame(pollInput(n)), n)).value();
            const double t = testTemperature(d.rawTestTemperature);
            lo = std::min(lo, t);
            hi = std::max(hi, t);
            EXPECT_NEAR(chassisTemperature(d.rawChassisTemperature), 25.0, 0.3);
        }
        EXPECT_GT(lo, set - 0.5);
        EXPECT_LT(hi, set + 0.5);
        EXPECT_GT(hi - lo, 0.05);  // it does wander
    }
}

// ---- link faults ---------------------------------------------------------------------------

TEST(SimLinkFaults, AnswersAsTheFaultSays) {
    struct Case {
        const char* name;
        std::function<void(LinkFaults&)> set;
        int handshakeSize;  // 0: no answer
        std::vector<int> pollSizes;  // one per poll sent, 0: no answer
        bool trailerOk;
    };
    const Case cases[] = {
        {"none", [](LinkFaults&) {}, 106, {106, 106}, true},
        {"silent", [](LinkFaults& f) { f.silent = true; }, 0, {0, 0}, true},
        {"wrong trailer", [](LinkFaults& f) { f.wrongTrailer = true; }, 106, {106}, false},
        {"short", [](LinkFaults& f) { f.shortAnswer = true; }, 106, {100}, false},
        {"long", [](LinkFaults& f) { f.longAnswer = true; }, 107, {107}, true},
        {"stop after 3", [](LinkFaults& f) { f.stopAfterPolls = 3; }, 106, {106, 106, 106, 0, 0}, true},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        Config config;
        tc.set(config.link);
        Instrument sim(config);
        const auto hs = sim.answer(buildHandshakeFrame(), 0);
        EXPECT_EQ(hs ? hs->size() : 0, tc.handshakeSize);
        if (hs) { EXPECT_TRUE(checkResponse(*hs)); }
        for (std::size_t k = 0; k < tc.pollSizes.size(); ++k) {
            const auto r = sim.answer(frame(pollInput(static_cast<int>(k))), double(k));
            ASSERT_EQ(r ? r->size() : 0, tc.pollSizes[k]) << k;
            if (r) { EXPECT_EQ(checkResponse(*r), tc.trailerOk); }
        }
        if (tc.pollSizes.back() == 0) { EXPECT_FALSE(sim.answer(buildHandshakeFrame(), 9).has_value()); }
    }
}

// ---- endpoints -----------------------------------------------------------------------------

TEST(SimEndpoint, PtyAnswersOnTheSymlinkAcrossReopen) {
    app();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyVarnot"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent/stale"), link));  // a stale link is replaced
    Instrument sim(Config{});
    auto endpoint = std::make_unique<PtyEndpoint>(sim, link);
    ASSERT_TRUE(endpoint->open()) << endpoint->errorString().toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), endpoint->slavePath());

    const auto exchange = [&](const QByteArray& request) {
        const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
        EXPECT_EQ(::write(fd, request.constData(), request.size()), request.size());
        QByteArray got;
        processUntil([&] {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) got.append(buf, n);
            return got.size() >= kResponseSize;
        });
        ::close(fd);
        return got;
    };
    const QByteArray hs = exchange(buildHandshakeFrame());
    EXPECT_TRUE(isHandshakeReply(hs));
    EXPECT_TRUE(checkResponse(hs));
    const QByteArray poll = exchange(frame(pollInput(3)));
    EXPECT_TRUE(checkResponse(poll));
    EXPECT_FALSE(isHandshakeReply(poll));

    endpoint.reset();
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

// The line's time: 10 bits a byte, shortened by the speed; a byte counts only once wholly sent.
TEST(SimLine, TimesOfTheCommandAndTheAnswer) {
    const LineTiming real{9600, 1.0};
    EXPECT_NEAR(real.seconds(kCommandFrameSize) * 1000, 111.458, 0.001);
    EXPECT_NEAR(real.seconds(kResponseSize) * 1000, 110.417, 0.001);
    EXPECT_NEAR(LineTiming({9600, 10.0}).seconds(kCommandFrameSize + kResponseSize) * 1000, 22.19, 0.01);
    EXPECT_TRUE(LineTiming{}.instant());
    EXPECT_EQ(LineTiming{}.seconds(kResponseSize), 0.0);

    const double byte = real.byteSeconds();
    struct Case {
        double elapsed;
        qint64 sent;
    };
    for (const Case& c : {Case{-1.0, 0}, Case{0.0, 0}, Case{0.999 * byte, 0}, Case{1.001 * byte, 1},
                          Case{105.5 * byte, 105}, Case{106.0 * byte + 1e-9, 106}, Case{1.0, 106}})
        EXPECT_EQ(bytesOnTheWire(real, c.elapsed, kResponseSize), c.sent) << c.elapsed / byte;
    EXPECT_EQ(bytesOnTheWire(LineTiming{}, 0.0, kResponseSize), kResponseSize);
}

// On a pty with the line's time, the answer's last byte arrives no earlier than the command's and
// the answer's line time after the command was written (a lower bound only: a busy machine is
// later, never earlier).
TEST(SimEndpoint, PtyTakesTheLinesTimeForCommandAndAnswer) {
    app();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const double speed : {1.0, 4.0}) {
        SCOPED_TRACE(speed);
        const QString link = dir.filePath(QStringLiteral("tty%1").arg(speed));
        Instrument sim(Config{});
        PtyEndpoint endpoint(sim, link);
        const LineTiming line{9600, speed};
        endpoint.setLine(line);
        ASSERT_TRUE(endpoint.open()) << endpoint.errorString().toStdString();
        const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);

        for (const QByteArray& request : {buildHandshakeFrame(), frame(pollInput(1)), frame(pollInput(2))}) {
            QElapsedTimer clock;
            clock.start();
            ASSERT_EQ(::write(fd, request.constData(), request.size()), request.size());
            QByteArray got;
            ASSERT_TRUE(processUntil([&] {
                char buf[256];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0) got.append(buf, n);
                return got.size() >= kResponseSize;
            }));
            const double elapsedMs = clock.nsecsElapsed() / 1e6;
            EXPECT_TRUE(checkResponse(got));
            EXPECT_EQ(got.size(), kResponseSize);
            EXPECT_GE(elapsedMs, line.seconds(kCommandFrameSize + kResponseSize) * 1000);
        }
        ::close(fd);
    }
}

TEST(SimEndpoint, TcpDropsTheConnectionAfterTheGivenPolls) {
    app();
    Config config;
    config.link.dropAfterPolls = 2;
    Instrument sim(config);
    TcpEndpoint endpoint(sim);
    ASSERT_TRUE(endpoint.listen(0)) << endpoint.errorString().toStdString();
    ASSERT_NE(endpoint.port(), 0);

    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), endpoint.port());
    ASSERT_TRUE(processUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
    QByteArray got;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { got += socket.readAll(); });
    socket.write(buildHandshakeFrame() + frame(pollInput(1)) + frame(pollInput(2)) + frame(pollInput(3)));
    EXPECT_TRUE(processUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }));
    got += socket.readAll();
    ASSERT_EQ(got.size(), 3 * kResponseSize);  // the handshake and two polls, then the drop
    EXPECT_TRUE(isHandshakeReply(got.left(kResponseSize)));
    EXPECT_TRUE(checkResponse(got.mid(2 * kResponseSize)));
}
