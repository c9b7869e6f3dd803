// Whole tests from the first sample to the judgement, run by the console's own run control and
// evaluation against the simulated instrument on its sample-index clock, and the judgement rules.
#include "console/console.h"
#include "acquisition/sampling.h"
#include "common/text_number.h"
#include "run/evaluation.h"
#include "support/console_fixture.h"
#include "support/in_process_run.h"
#include "support/scripted_prompter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using varnot::testing::ScriptedPrompter;

TEST(Judgement, EqualityPasses) {
    struct Case {
        float vf, tv, limit, tr;
        bool pass;
    };
    const Case tv[] = {{200, 199.9f, 150, 45, false}, {200, 200.0f, 150, 45, true}, {200, 210, 150, 150, true},
                       {200, 210, 150, 151, false}};
    for (const Case& c : tv) EXPECT_EQ(tvPasses(c.vf, c.tv, c.limit, c.tr), c.pass) << c.tv << " " << c.tr;
    EXPECT_TRUE(leakagePasses(0.05f, 0.05f));
    EXPECT_FALSE(leakagePasses(0.05f, 0.051f));
    EXPECT_TRUE(electrolytePasses(550, 550));
    EXPECT_FALSE(electrolytePasses(549.9f, 550));
}

namespace {

class WholeTest : public varnot::testing::ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        varnot::testing::connectInstrument(*console);
    }
    void set(Field f, const char* text) {
        for (int c = 0; c < kChannels; ++c) console->state().field(f, c) = QString::fromUtf8(text);
    }
    void tvParameters(const char* delay, const char* limit) {
        set(Field::FormationVoltage, "500");
        set(Field::TestCurrent, "2");
        set(Field::VrRatio, "90");
        set(Field::DelayTime, delay);
        set(Field::RiseTimeLimit, limit);
    }
    // Starts the group (Yes at the confirmation, No at the save question) and runs it to its end.
    int run(const std::array<const char*, 3>& profiles, const char* key = "test13", int maxSamples = 7000) {
        sim::Config config;
        config.clock = sim::ClockMode::SampleIndex;
        config.link.steadyTemperature = true;
        for (int c = 0; c < 3; ++c) config.channels[c] = *sim::ChannelProfile::preset(QString::fromUtf8(profiles[c]));
        instrument = std::make_unique<sim::Instrument>(config);
        prompter.answers = {true, false};
        console->startGroup(QString::fromLatin1(key));
        return varnot::testing::runToEnd(*console, *instrument, maxSamples);
    }
    void electrolyteParameters(const char* setVoltage) {
        console->selectKind(0, TestKind::Electrolyte);
        set(Field::ElecSetVoltage, setVoltage);
        set(Field::ElecReference, "450");
    }
    int num(Field f, int ch) const { return field(f, ch).toInt(); }
};

}  // namespace

TEST_F(WholeTest, TvFreshFoilPassesWeakFoilFailsOnItsTvValue) {
    tvParameters("180", "60");
    run({"fresh", "weak", "fresh"});
    EXPECT_FALSE(console->supervising());
    EXPECT_EQ(console->state().n, 0);
    // Fresh foil: rise near 32 s, TV value near 502 V.
    EXPECT_NEAR(num(Field::RiseTime, 0), 32, 2);
    EXPECT_NEAR(field(Field::TvValue, 0).toDouble(), 502, 4);
    EXPECT_EQ(field(Field::TvJudgement, 0), u"合格");
    EXPECT_EQ(field(Field::ReadoutTA, 0), field(Field::RiseTime, 0));
    EXPECT_EQ(field(Field::ReadoutVT, 0), field(Field::TvValue, 0));
    EXPECT_EQ(console->state().statusPanels[0], u"第1路TV测试结束");
    // The TV value is the voltage of the last sample, stored exactly as shown, taken at the first
    // visit after Tr + delay.
    const int tr = num(Field::RiseTime, 0);
    EXPECT_EQ(field(Field::TvValue, 0), formatNumber(console->curves().V[0][tr + 180], u"0.#"));
    // Weak foil: plateau below the formation voltage.
    EXPECT_LT(field(Field::TvValue, 1).toDouble(), 490);
    EXPECT_EQ(field(Field::TvJudgement, 1), u"不合格");
    // Parameters written back at each channel's end, the coefficients at the end of the run.
    EXPECT_EQ(settings->read(Section::Canshu, u"hcdy(0)"), u"500");
    EXPECT_EQ(settings->read(Section::Canshu, u"Thl(1)"), u"180");
    EXPECT_EQ(settings->read(Section::Canshu, u"Vadjust(5)"), u"1");
    // The channel plot doubled its time axis as the curve grew: 0.03125 at the start, 1 after
    // more than 160 samples, and the store holds it.
    EXPECT_EQ(console->plots().hxfd[0], 1.0f);
    EXPECT_EQ(settings->read(Section::Canshu, u"hxfd(0)"), u"1");
    // The end asked whether to save.
    EXPECT_EQ(prompter.count(QStringLiteral("测试结束，需要保存吗？")), 1);
}

TEST_F(WholeTest, BoiledFoilFailsOnItsRiseTimeAlone) {
    // A long delay lets the boiled foil reach its plateau, so only the rise time decides.
    tvParameters("240", "100");
    console->state().field(Field::RiseTimeLimit, 1) = QStringLiteral("150");
    run({"boiled", "boiled", "fresh"});
    EXPECT_GT(num(Field::RiseTime, 0), 100);
    EXPECT_GE(field(Field::TvValue, 0).toDouble(), 500);
    EXPECT_EQ(field(Field::TvJudgement, 0), u"不合格");
    EXPECT_EQ(field(Field::TvJudgement, 1), u"合格");  // the same foil under a limit of 150 s
}

TEST_F(WholeTest, LeakageGoodAndBad) {
    console->selectKind(0, TestKind::Leakage);
    set(Field::LeakageVoltage, "100");
    set(Field::LeakageLimit, "0.05");
    set(Field::LeakageTestTime, "120");
    run({"leak-good", "leak-bad", "leak-good"});
    EXPECT_EQ(field(Field::LeakageJudgement, 0), u"合格");
    EXPECT_EQ(field(Field::LeakageJudgement, 1), u"不合格");
    EXPECT_LT(field(Field::LeakageCurrent, 0).toDouble(), 0.05);
    EXPECT_GT(field(Field::LeakageCurrent, 1).toDouble(), 0.05);
    EXPECT_EQ(field(Field::ReadoutTB, 0), u"120");  // the test lasted its 120 s
    EXPECT_EQ(field(Field::ReadoutVT, 1), field(Field::LeakageCurrent, 1));
    EXPECT_EQ(console->state().statusPanels[1], u"第2路漏电流测试结束");
    EXPECT_EQ(settings->read(Section::Canshu, u"Thy(2)"), u"120");
}

TEST_F(WholeTest, ElectrolyteRecordsThreeSparksAndEndsAfterTheSparkDelay) {
    electrolyteParameters("600");
    set(Field::SparkDelay, "120");
    set(Field::SparkCorrection, "3.0");
    set(Field::ElecTestNumber, "E1");
    run({"elec", "elec", "elec"}, "test16");
    const ChannelView& v = console->view();
    EXPECT_EQ(v.sparkCount[0], 0);  // cleared at the end of the run
    const int t1 = num(Field::Spark1Time, 0), t2 = num(Field::Spark2Time, 0), t3 = num(Field::Spark3Time, 0);
    EXPECT_GT(t1, 500);
    EXPECT_GT(t2, t1);
    EXPECT_GT(t3, t2);
    // The test ends at the first visit after first spark + delay: the last stored sample.
    EXPECT_EQ(console->curves().V[0][t1 + 120 + 1], 0.0f);
    EXPECT_GT(console->curves().V[0][t1 + 120], 0.0f);
    // Each recorded spark is a fall of more than 3 V within one second; a later fall (a fourth
    // spark) recorded nothing.
    for (int t : {t1, t2, t3}) EXPECT_GT(console->curves().V[0][t - 1] - 3.0f, console->curves().V[0][t]) << t;
    int fallsAfterThird = 0;
    for (int k = t3 + 1; k <= t1 + 120; ++k)
        fallsAfterThird += console->curves().V[0][k - 1] - 3.0 > console->curves().V[0][k];
    EXPECT_GT(fallsAfterThird, 0) << "the profile should spark more than three times";
    EXPECT_EQ(field(Field::Spark1Voltage, 0), voltageText(console->curves().V[0][t1]));
    EXPECT_EQ(field(Field::ElecJudgement, 0), u"合格");
    EXPECT_LE(field(Field::MinVoltage, 0).toDouble(), field(Field::Spark1Voltage, 0).toDouble());
    EXPECT_GE(field(Field::MaxVoltage, 0).toDouble(), field(Field::Spark1Voltage, 0).toDouble());
    EXPECT_EQ(console->state().statusPanels[0], u"第1路电解液测试结束");
    EXPECT_EQ(settings->read(Section::Canshu, u"DJYcsbh(0)"), u"E1");
}

TEST_F(WholeTest, AChannelThatReachesTheLastSampleEndsThere) {
    // An electrolyte that never sparks under a 400 V limit: the test would run until stopped.
    electrolyteParameters("400");
    const int samples = run({"elec", "elec", "elec"}, "test16");
    EXPECT_FALSE(console->supervising());
    EXPECT_EQ(samples, kLastSample);  // the visit after sample 6000 ends the channel
    EXPECT_GT(console->curves().V[0][kLastSample], 0.0f);
    EXPECT_EQ(console->view().sparkSeen[0], false);
    EXPECT_EQ(field(Field::ElecJudgement, 0), u"不合格");
    EXPECT_EQ(console->state().statusPanels[0], u"第1路测试达到最长时间6000秒");
    EXPECT_EQ(console->plots().hxfd[0], 32.0f);
}
