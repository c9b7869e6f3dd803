// Entries and commands around a running test: what a run locks, the record names a run may start
// with, the date and test-time entries, the sparks and peak an electrolyte test keeps, and the
// delays a restart brings back.
#include "acquisition/acquisition.h"
#include "acquisition/sampling.h"
#include "calibration/corrections.h"
#include "console/console.h"
#include "link/frames.h"
#include "link/poll_cycle.h"
#include "settings/field_catalogue.h"
#include "settings/validation.h"
#include "support/built_ins.h"
#include "support/console_fixture.h"
#include "support/in_process_run.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using varnot::testing::ScriptedPrompter;

namespace {

class Entries : public varnot::testing::ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        varnot::testing::connectInstrument(*console);
    }
    void set(Field f, const char* text) {
        for (int c = 0; c < kChannels; ++c) console->state().field(f, c) = QString::fromUtf8(text);
    }
    // Starts a group against the simulator (Yes at the confirmation, No at the save question).
    void start(const std::array<sim::ChannelProfile, 3>& profiles, const char* key = "test13") {
        sim::Config config;
        config.clock = sim::ClockMode::SampleIndex;
        config.link.steadyTemperature = true;
        for (int c = 0; c < 3; ++c) config.channels[c] = profiles[c];
        instrument = std::make_unique<sim::Instrument>(config);
        // A test left unsaved on the channels is given up first.
        prompter.answers = {true, false};
        if (console->unsavedTest()) prompter.answers.push_front(true);
        console->toolbarCommand(QString::fromLatin1(key));
        ASSERT_TRUE(console->supervising());
    }
    static sim::ChannelProfile profile(const char* name) { return *sim::ChannelProfile::preset(QString::fromUtf8(name)); }
    int ticks(int samples) { return varnot::testing::runToEnd(*console, *instrument, samples); }
    void stopAndEnd() {
        console->toolbarCommand(QStringLiteral("stop16"));
        varnot::testing::settle(*console);
        ASSERT_FALSE(console->supervising());
    }
    // Typed as the window forwards it: one text per keystroke, then the completed entry.
    void type(Field f, int ch, const char* text) {
        const QString t = QString::fromUtf8(text);
        for (int i = 1; i <= t.size(); ++i) console->setFieldText(f, ch, t.left(i));
        if (t.isEmpty()) console->setFieldText(f, ch, t);
        console->completeEntry(f, ch);
    }
    QByteArray pollFrame() const { return buildPollFrame(pollInputFrom(console->state())).value_or(QByteArray()); }
};

}  // namespace

TEST_F(Entries, ASetPointOrPositionThatReachesARunningChannelIsRefusedUntilTheRunEnds) {
    set(Field::FormationVoltage, "250");
    start({profile("fresh"), profile("fresh"), profile("fresh")});
    ticks(10);
    const QByteArray frame = pollFrame();
    struct Case {
        Field field;
        int ch;
        const char* typed;
    };
    const Case refused[] = {
        {Field::FormationVoltage, 0, "255"}, {Field::FormationVoltage, 0, "abc"}, {Field::TestCurrent, 1, "5"},
        {Field::LeakageVoltage, 2, "50"},    {Field::ElecSetVoltage, 0, "50"},    {Field::ElecCurrent, 2, "5"},
        // Channel 5's 化成电压 is linked to the running channels 1 to 3.
        {Field::FormationVoltage, 4, "800"}, {Field::TvPosition, 0, "TR"},        {Field::ElecPosition, 1, "TR"},
    };
    for (const Case& c : refused) {
        const QString before = field(c.field, c.ch);
        EXPECT_TRUE(console->entryLocked(c.field, c.ch)) << c.typed;
        type(c.field, c.ch, c.typed);
        EXPECT_EQ(field(c.field, c.ch), before) << c.typed << " ch" << c.ch + 1;
    }
    for (int c = 0; c < kChannels; ++c) EXPECT_EQ(field(Field::FormationVoltage, c), u"250") << c;
    EXPECT_EQ(pollFrame(), frame);  // the instrument is driven as before

    // Group 4-6 runs nothing: its test current (linked within its group) and positions stay open.
    type(Field::TestCurrent, 3, "5");
    EXPECT_EQ(field(Field::TestCurrent, 5), u"5");
    EXPECT_EQ(field(Field::TestCurrent, 0), u"2");
    type(Field::TvPosition, 3, "HR");
    EXPECT_EQ(field(Field::TvPosition, 3), u"HR");

    stopAndEnd();
    EXPECT_FALSE(console->entryLocked(Field::FormationVoltage, 0));
    type(Field::FormationVoltage, 0, "300");
    EXPECT_EQ(field(Field::FormationVoltage, 2), u"300");
}

TEST_F(Entries, AnEntryStillBeingTypedIsCompletedBeforeTheRunLocksIt) {
    console->setFieldText(Field::FormationVoltage, 1, QStringLiteral("abc"));
    console->setFieldText(Field::TestCurrent, 0, QStringLiteral("1"));
    start({profile("fresh"), profile("fresh"), profile("fresh")});
    // "abc" is refused: the run starts on the value from before it, on every channel.
    for (int c = 0; c < kChannels; ++c) EXPECT_EQ(field(Field::FormationVoltage, c), c < 3 ? QStringLiteral("200") : QStringLiteral("800")) << c;
    EXPECT_EQ(prompter.count(QStringLiteral("化成电压的范围是1～1000V，请重新输入！")), 1);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(field(Field::TestCurrent, c), u"1") << c;
    // The editor losing its focus to the lock completes nothing more.
    console->completeEntry(Field::FormationVoltage, 1);
    EXPECT_EQ(field(Field::FormationVoltage, 1), u"200");
}

TEST_F(Entries, TypedValuesThatAreNoNumberOrOutOfRangeAreRefusedAndTheFieldKeepsItsLastValidValue) {
    struct Case {
        Field field;
        int ch;
        const char* typed;
        const char* kept;     // on the channel and every linked one
        const char* refusal;  // "" when taken
    };
    // In order: each entry starts from what the ones before left. All six channels are linked.
    const Case cases[] = {
        {Field::FormationVoltage, 0, "250", "250", ""},
        {Field::FormationVoltage, 0, "25O", "250", "化成电压的范围是1～1000V，请重新输入！"},
        {Field::FormationVoltage, 4, "1500", "250", "化成电压的范围是1～1000V，请重新输入！"},
        {Field::FormationVoltage, 0, "", "250", "化成电压的范围是1～1000V，请重新输入！"},
        {Field::TestCurrent, 1, "255", "2", "测试电流的范围是0.2～15mA，请重新输入！"},
        {Field::TestCurrent, 1, "0.2", "0.2", ""},
        {Field::VrRatio, 2, "0", "90", "Vr取值比的范围是1～100%，请重新输入！"},
        {Field::DelayTime, 0, "9001", "180", "延迟时间的范围是1～9000秒，请重新输入！"},
        {Field::LeakageVoltage, 3, "5", "400", "漏电流电压的范围是10～1000V，请重新输入！"},
        {Field::ElecCurrent, 5, "x", "2", "测试电流的范围是0.5～20mA，请重新输入！"},
        {Field::SparkCorrection, 3, "", "3.0", "闪火修正的范围是0～1000V，请重新输入！"},
        {Field::SparkCorrection, 3, "0", "0", ""},
    };
    for (const Case& c : cases) {
        prompter.shown.clear();
        const QByteArray frameBefore = pollFrame();
        type(c.field, c.ch, c.typed);
        const std::vector<int> linked = linkTargets(c.field, c.ch, console->linked());
        for (int ch : linked) EXPECT_EQ(field(c.field, ch), QString::fromUtf8(c.kept)) << c.typed << " ch" << ch + 1;
        EXPECT_EQ(field(c.field, c.ch), QString::fromUtf8(c.kept)) << c.typed;
        EXPECT_EQ(prompter.messages(), *c.refusal ? QStringList{QString::fromUtf8(c.refusal)} : QStringList{}) << c.typed;
        if (*c.refusal) {
            EXPECT_EQ(pollFrame(), frameBefore) << c.typed;  // the instrument is driven as before
        }
    }
}

TEST_F(Entries, EveryFieldThatDecidesARunningTestsEndOrItsRecordIsLockedWhileItsGroupRuns) {
    set(Field::FormationVoltage, "500");
    set(Field::DelayTime, "180");
    start({profile("fresh"), profile("fresh"), profile("fresh")});
    ticks(10);
    const Field locked[] = {Field::DelayTime,      Field::VrRatio,        Field::RiseTimeLimit, Field::LeakageLimit,
                            Field::LeakageTestTime, Field::ElecReference, Field::SparkDelay,    Field::SparkCorrection,
                            Field::TvTestNumber,   Field::TvOperator,     Field::WaterTemperature, Field::TvTestDate,
                            Field::ElecTestNumber, Field::ElecOperator,   Field::ElecTestDate};
    for (Field f : locked) {
        EXPECT_TRUE(console->entryLocked(f, 2)) << fieldSpec(f).legacyId;
        // On group 4-6, which runs nothing, the same field stays open.
        EXPECT_FALSE(console->entryLocked(f, 4)) << fieldSpec(f).legacyId;
    }
    // 延迟时间 180 -> 100 on channel 3 mid-run: refused, and the test ends 180 s after its point A.
    type(Field::DelayTime, 2, "100");
    EXPECT_EQ(field(Field::DelayTime, 2), u"180");
    ticks(7000);
    ASSERT_FALSE(console->supervising());
    const int riseTime = field(Field::RiseTime, 2).toInt();
    ASSERT_GT(riseTime, 0);
    EXPECT_GE(console->view().endSample[2], riseTime + 180);
    EXPECT_LE(console->view().endSample[2], riseTime + 182);
    EXPECT_EQ(console->storedTestOf(2).values.value(QStringLiteral("延迟时间")).toString(), u"180");
}

TEST_F(Entries, AChannelRunningAloneLocksTheLinkedEntriesThatWouldReachIt) {
    start({profile("fresh"), profile("fresh"), profile("fresh")}, "test16");
    ticks(3);
    EXPECT_TRUE(console->entryLocked(Field::TestCurrent, 1));  // copied to channel 1
    console->stopAll();
    varnot::testing::settle(*console);
    console->selectLinkage(0, false);
    start({profile("fresh"), profile("fresh"), profile("fresh")}, "test16");
    EXPECT_FALSE(console->entryLocked(Field::TestCurrent, 1));  // not linked: channel 2 is free
    type(Field::TestCurrent, 1, "3");
    EXPECT_EQ(field(Field::TestCurrent, 1), u"3");
    EXPECT_EQ(field(Field::TestCurrent, 0), u"2");
}

TEST_F(Entries, TheSwitchesOfTheRunningGroupAreLockedAndAnElectrolyteTestGoesOn) {
    console->selectKind(0, TestKind::Electrolyte);
    set(Field::ElecSetVoltage, "600");
    set(Field::ElecReference, "450");
    set(Field::LeakageTestTime, "10");
    start({profile("elec"), profile("elec"), profile("elec")});
    ticks(20);
    const QString delay = field(Field::DelayTime, 0);
    console->selectKind(0, TestKind::Leakage);
    console->selectLinkage(0, false);
    console->selectBoiling(0, Console::Boiling::After);
    console->selectBoiling(1, Console::Boiling::After);  // would set the running channels' delays
    ticks(5);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(console->state().kind[c], TestKind::Electrolyte) << c;
        EXPECT_FALSE(console->state().chEnded[c]) << c;  // a 10 s leakage test would have ended at once
        EXPECT_TRUE(console->linked()[c]) << c;
    }
    EXPECT_EQ(field(Field::DelayTime, 0), delay);
    EXPECT_EQ(console->boiling(1), Console::Boiling::Before);
    EXPECT_TRUE(console->switchLocked(Console::GroupSwitch::Boiling, 1));
    // Group 4-6's kind and linkage reach no running channel.
    console->selectKind(1, TestKind::Leakage);
    EXPECT_EQ(console->state().kind[3], TestKind::Leakage);
    console->selectLinkage(1, false);
    EXPECT_FALSE(console->linked()[3]);

    stopAndEnd();
    console->selectKind(0, TestKind::TV);
    EXPECT_EQ(console->state().kind[0], TestKind::TV);
    console->selectBoiling(0, Console::Boiling::After);
    EXPECT_EQ(field(Field::DelayTime, 0), u"60");
}

TEST_F(Entries, NewDuringARunLeavesAnEndedChannelAndItsJudgementAlone) {
    set(Field::FormationVoltage, "500");
    set(Field::DelayTime, "400");
    console->state().field(Field::DelayTime, 0) = QStringLiteral("180");
    start({profile("fresh"), profile("fresh"), profile("fresh")});
    for (int guard = 0; guard < 400 && !console->state().chEnded[0]; ++guard) ticks(1);
    ASSERT_TRUE(console->state().chEnded[0]);
    ASSERT_TRUE(console->supervising());
    const QString tr = field(Field::RiseTime, 0);
    ASSERT_EQ(field(Field::TvJudgement, 0), u"合格");
    EXPECT_FALSE(console->commandAllowed(QStringLiteral("new2")));
    console->toolbarCommand(QStringLiteral("new2"));
    console->resetChannels();  // the 新建 menu entry
    ticks(30);
    EXPECT_TRUE(console->state().chEnded[0]);
    EXPECT_EQ(field(Field::RiseTime, 0), tr);
    EXPECT_EQ(field(Field::TvJudgement, 0), u"合格");
    EXPECT_EQ(console->state().statusPanels[0], u"第1路TV测试结束");

    stopAndEnd();
    EXPECT_TRUE(console->commandAllowed(QStringLiteral("new2")));
    prompter.answers = {true};  // the unsaved test is given up
    console->toolbarCommand(QStringLiteral("new2"));
    EXPECT_EQ(field(Field::TvJudgement, 0), u"待定");
}

TEST_F(Entries, ARunWhoseChannelsShareARecordNameIsRefusedBeforeTheConfirmation) {
    struct Case {
        std::array<const char*, 3> numbers, positions;
        const char* message;  // "" when the run may start
    };
    const Case cases[] = {
        {{"A7", "A7", "A7"}, {"HL", "HL", "HR"}, "第1路和第2路的测试编号与位置相同（A7HL），请修改后再开始测试！"},
        {{"A7", "B7", "A7"}, {"HM", "HM", "HM"}, "第1路和第3路的测试编号与位置相同（A7HM），请修改后再开始测试！"},
        {{"A7", "B7", "B7"}, {"TL", "HM", "HM"}, "第2路和第3路的测试编号与位置相同（B7HM），请修改后再开始测试！"},
        {{"A7", "A7", "A7"}, {"TR", "TR", "TR"}, "第1路、第2路和第3路的测试编号与位置相同（A7TR），请修改后再开始测试！"},
        {{"A7", "A7", "A7"}, {"HL", "HM", "HR"}, ""},
        {{"A7", "B7", "C7"}, {"HL", "HL", "HL"}, ""},
    };
    console->recordExists = [](int) { return false; };
    for (const Case& c : cases) {
        for (int ch = 0; ch < 3; ++ch) {
            console->state().field(Field::TvTestNumber, ch) = QString::fromUtf8(c.numbers[ch]);
            console->state().field(Field::TvPosition, ch) = QString::fromUtf8(c.positions[ch]);
        }
        prompter.shown.clear();
        prompter.answers = {false};
        console->startGroup(QStringLiteral("test13"));
        const bool refused = *c.message != 0;
        EXPECT_EQ(prompter.count(QStringLiteral("您确定要开始运行吗？")), refused ? 0 : 1) << c.message;
        EXPECT_EQ(prompter.messages(), refused ? QStringList{QString::fromUtf8(c.message)} : QStringList{});
        EXPECT_FALSE(console->supervising());
    }
    // The electrolyte frame's number and position make an electrolyte channel's record name.
    console->selectKind(0, TestKind::Electrolyte);
    set(Field::ElecTestNumber, "E1");
    for (int ch = 0; ch < 3; ++ch) console->state().field(Field::ElecPosition, ch) = QStringLiteral("HL");
    prompter.shown.clear();
    console->startGroup(QStringLiteral("test46"));
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("第1路和第2路的测试编号与位置相同（E1HL），请修改后再开始测试！")});
}

TEST_F(Entries, ADateThatIsNoDateAndATestTimeBeyondTheCurveAreRefusedOnEntry) {
    const QString range = QStringLiteral("测试时间的范围是1～6000秒，请重新输入！");
    const QString notADate = QStringLiteral("测试日期应为有效日期（yyyy/mm/dd或yyyy-mm-dd），请重新输入！");
    struct Case {
        Field field;
        int ch;
        const char* typed;
        const char* kept;
        bool refused;
    };
    // In order: each entry starts from what the ones before left.
    const Case cases[] = {
        {Field::TvTestDate, 0, "5", "2026/12/10", true},          {Field::TvTestDate, 0, "2026-12-11", "2026-12-11", false},
        {Field::TvTestDate, 0, "2026/2/30", "2026-12-11", true},  {Field::ElecTestDate, 1, "2026/1/5", "2026/1/5", false},
        {Field::ElecTestDate, 3, "", "2008-09-01", true},         {Field::TvTestDate, 4, "12/10/2026", "2009-09-01", true},
        {Field::LeakageTestTime, 0, "9000", "60", true},          {Field::LeakageTestTime, 0, "6000", "6000", false},
        {Field::LeakageTestTime, 0, "6001", "6000", true},        {Field::LeakageTestTime, 0, "0", "6000", true},
        {Field::LeakageTestTime, 0, "abc", "6000", true},
    };
    for (const Case& c : cases) {
        prompter.shown.clear();
        type(c.field, c.ch, c.typed);
        EXPECT_EQ(field(c.field, c.ch), QString::fromUtf8(c.kept)) << c.typed;
        const QString message = c.field == Field::LeakageTestTime ? range : notADate;
        EXPECT_EQ(prompter.messages(), c.refused ? QStringList{message} : QStringList{}) << c.typed;
    }
    EXPECT_EQ(field(Field::LeakageTestTime, 2), u"6000");  // linked as every entry
    // A date field that holds no date takes today's date when its entry is refused.
    console->state().field(Field::TvTestDate, 5) = QStringLiteral("x");
    type(Field::TvTestDate, 5, "5");
    EXPECT_EQ(field(Field::TvTestDate, 5), u"2026/12/10");
}

TEST_F(Entries, ALeakageTestOfTheLongestTestTimeEndsByItsOwnRule) {
    console->selectKind(0, TestKind::Leakage);
    type(Field::LeakageTestTime, 0, "6000");
    ASSERT_EQ(field(Field::LeakageTestTime, 0), u"6000");
    start({profile("leak-good"), profile("leak-good"), profile("leak-good")}, "test16");
    ticks(7000);
    ASSERT_FALSE(console->supervising());
    EXPECT_EQ(console->view().endSample[0], 6000);
    EXPECT_EQ(field(Field::ReadoutTB, 0), u"6000");
    EXPECT_EQ(console->state().statusPanels[0], u"第1路漏电流测试结束");
}

TEST(SparkDetection, AChannelThatNoLongerAcquiresRecordsNoSpark) {
    for (const bool stopped : {false, true}) {
        ConsoleState s = varnot::testing::builtIns();
        ChannelView view;
        Curves curves;
        Plots plots;
        Live live{s, view, curves, plots, false};
        s.kind[0] = TestKind::Electrolyte;
        s.firstCh = s.lastCh = 0;
        s.chStopped[0] = stopped;
        s.n = 1;
        const auto tickAt = [&](double volts) {
            s.rawVolt[0] = static_cast<float>((volts - kFixedCorrections[0].F) / kFixedCorrections[0].E * 50);
            acquisitionTick(live);
        };
        for (double v : {200.0, 210.0, 220.0, 200.0}) tickAt(v);  // a fall of 20 V at sample 4
        EXPECT_EQ(view.sparkCount[0], stopped ? 0 : 1) << stopped;
        EXPECT_EQ(s.field(Field::Spark1Time, 0), stopped ? u"0" : u"4") << stopped;
    }
}

TEST_F(Entries, SparksAfterAnElectrolyteChannelsEndAreNotItsSparks) {
    console->selectKind(0, TestKind::Electrolyte);
    set(Field::ElecSetVoltage, "600");
    set(Field::ElecReference, "450");
    set(Field::SparkDelay, "200");
    console->state().field(Field::SparkDelay, 0) = QStringLiteral("2");
    sim::ChannelProfile fast = profile("elec");
    fast.electrolyte.slopeVps = 4;
    start({fast, fast, fast});
    ticks(7000);
    ASSERT_FALSE(console->supervising());
    const int end = console->view().endSample[0];
    const int t1 = field(Field::Spark1Time, 0).toInt();
    ASSERT_GT(t1, 0);
    EXPECT_EQ(end, t1 + 2);
    for (Field t : {Field::Spark2Time, Field::Spark3Time}) {
        const int at = field(t, 0).toInt();
        EXPECT_TRUE(at == 0 || (at > t1 && at <= end)) << at << " after the end at " << end;
    }
    // The other channels ran on and sparked again: their sparks are theirs.
    EXPECT_GT(field(Field::Spark2Time, 1).toInt(), field(Field::Spark1Time, 1).toInt());
}

TEST_F(Entries, AnElectrolyteTestStoppedBeforeAnySparkKeepsItsPeakAndNoSparkTime) {
    console->selectKind(0, TestKind::Electrolyte);
    set(Field::ElecSetVoltage, "400");  // the electrolyte does not spark below 400 V
    set(Field::ElecTestNumber, "E9");
    start({profile("elec"), profile("elec"), profile("elec")}, "test16");
    ticks(60);
    stopAndEnd();
    ASSERT_FALSE(console->view().sparkSeen[0]);
    const StoredTest stored = console->storedTestOf(0);
    EXPECT_GT(stored.values.value(QStringLiteral("最大电压")).toDouble(), 20.0);
    EXPECT_EQ(stored.values.value(QStringLiteral("最大电压")).toString(), field(Field::ReadoutVm, 0));
    // No spark was seen: no spark voltage and no spark time, stored as NULL.
    EXPECT_TRUE(stored.values.value(QStringLiteral("火花时间1")).isNull());
    EXPECT_TRUE(stored.values.value(QStringLiteral("火花电压1")).isNull());
}

TEST(StartUp, EveryChannelsStoredDelayComesBackWhateverTheBoilingSwitches) {
    // Group 1-3 and group 4-6 before (false) or after (true) boiling.
    for (const auto& [after13, after46] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath("s.ini"));
        settings.initialiseMissing();
        const auto flag = [](bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); };
        for (int g = 0; g < 2; ++g) {
            const bool after = g == 0 ? after13 : after46;
            settings.write(Section::Canshu, QStringLiteral("option1(%1)").arg(g), flag(!after));
            settings.write(Section::Canshu, QStringLiteral("option2(%1)").arg(g), flag(after));
        }
        for (int c = 0; c < 3; ++c) settings.write(Section::Canshu, QStringLiteral("Thl(%1)").arg(c), QStringLiteral("60"));
        settings.write(Section::Canshu, u"Thl(1)", QStringLiteral("75"));
        ScriptedPrompter prompter;
        Console console(settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
        console.load();
        const QString label = QStringLiteral("after13=%1 after46=%2").arg(after13).arg(after46);
        EXPECT_EQ(console.state().field(Field::DelayTime, 0), u"60") << qPrintable(label);
        EXPECT_EQ(console.state().field(Field::DelayTime, 1), u"75") << qPrintable(label);
        EXPECT_EQ(console.state().field(Field::DelayTime, 2), u"60") << qPrintable(label);
        EXPECT_EQ(console.boiling(0) == Console::Boiling::After, after13) << qPrintable(label);
        EXPECT_EQ(console.boiling(1) == Console::Boiling::After, after46) << qPrintable(label);
    }
}
