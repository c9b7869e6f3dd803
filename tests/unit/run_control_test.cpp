// Run control on the console model: the checks before a start, the confirmation, the groups, the
// stops and the end of a run, with the simulated instrument standing in for the link.
#include "console/console.h"
#include "support/console_fixture.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "support/scripted_prompter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using varnot::testing::ScriptedPrompter;

namespace {

class RunControl : public varnot::testing::ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        sim::Config config;
        config.link.steadyTemperature = true;
        instrument = std::make_unique<sim::Instrument>(config);
        for (int c = 0; c < kChannels; ++c) {
            console->state().field(Field::FormationVoltage, c) = QStringLiteral("500");
            console->state().field(Field::DelayTime, c) = QStringLiteral("30");
        }
    }
    const Control& button(const char* key) { return console->state().button(QString::fromLatin1(key)); }
    QString panel(int i) const { return console->state().statusPanels[i]; }
};

}  // namespace

TEST_F(RunControl, WithoutALinkOnlyTheMessageIsShown) {
    console->toolbarCommand(QStringLiteral("test13"));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, u"通信端口未打开！");
    EXPECT_EQ(prompter.shown[0].title, u"Varnot智能TV仪测试系统");
    EXPECT_EQ(button("test13").caption, u"1-3测试开始");
    EXPECT_FALSE(console->supervising());
    EXPECT_TRUE(console->state().chStopped[0]);
}

// A TCP connection whose handshake nobody answered is no instrument (a run on it is started over
// the real link in the integration tests).
TEST_F(RunControl, AConnectionWithoutAnAnsweredHandshakeIsNotEnoughToStart) {
    console->state().g_Connect = 1;
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("test13"));
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("通信端口未打开！")});
    EXPECT_FALSE(console->supervising());
    EXPECT_EQ(console->state().n, 0);
}

TEST_F(RunControl, NoAtTheConfirmationClosesTheChannelsAndShowsTheStartsAsBefore) {
    varnot::testing::connectInstrument(*console);
    console->state().button(QStringLiteral("test46")).enabled = true;
    prompter.answers = {false};
    console->toolbarCommand(QStringLiteral("test13"));
    EXPECT_EQ(panel(0), u"第1路测试关闭");
    EXPECT_EQ(panel(1), u"第2路测试关闭");
    EXPECT_EQ(panel(2), u"第3路测试关闭");
    EXPECT_EQ(console->state().n, 0);
    EXPECT_FALSE(console->state().testRun);
    EXPECT_FALSE(console->supervising());
    EXPECT_FALSE(console->state().startPending);
    // The refused start leaves the start buttons as they were and no channel waiting for a run.
    EXPECT_EQ(button("test13").caption, u"1-3测试开始");
    EXPECT_TRUE(button("test13").enabled);
    EXPECT_TRUE(button("test46").enabled);
    EXPECT_FALSE(button("test16").enabled);
    EXPECT_TRUE(console->state().chStopped[0]);
    EXPECT_TRUE(console->state().chEnded[0]);
    // Pressing it again starts again.
    prompter.answers = {false};
    console->toolbarCommand(QStringLiteral("test13"));
    EXPECT_EQ(prompter.count(QStringLiteral("您确定要开始运行吗？")), 2);
}

TEST_F(RunControl, ADuplicateTestNumberAbandonsTheRunNamingItsChannel) {
    varnot::testing::connectInstrument(*console);
    console->state().field(Field::TvTestNumber, 1) = QStringLiteral("A7");
    console->state().field(Field::TvPosition, 1) = QStringLiteral("HM");
    console->recordExists = [](int ch) { return ch == 1; };
    console->toolbarCommand(QStringLiteral("test13"));
    EXPECT_EQ(panel(0), u"第1路开始TV测试");
    ASSERT_EQ(prompter.messages().size(), 1);
    EXPECT_EQ(prompter.messages()[0], u"同名记录TV测试编号：A7HM 已经存在，请使用其他的编号！");
    EXPECT_EQ(prompter.count(QStringLiteral("您确定要开始运行吗？")), 0);
    EXPECT_FALSE(console->supervising());
    EXPECT_EQ(console->state().n, 0);
}

TEST_F(RunControl, GroupOneToTwoLeavesChannelThreeOutAndEndsWithChannelsOneAndTwo) {
    varnot::testing::connectInstrument(*console);
    prompter.answers = {true, false};
    console->toolbarCommand(QStringLiteral("test46"));
    EXPECT_EQ(console->state().lastCh, 1);
    EXPECT_TRUE(console->state().chStopped[2]);
    EXPECT_TRUE(console->state().chEnded[2]);
    EXPECT_EQ(button("test46").caption, u"1-2测试停止");
    EXPECT_FALSE(button("test13").enabled);
    varnot::testing::runToEnd(*console, *instrument);
    EXPECT_NE(console->state().field(Field::TvJudgement, 0), u"待定");
    EXPECT_NE(console->state().field(Field::TvJudgement, 1), u"待定");
    EXPECT_EQ(console->state().field(Field::TvJudgement, 2), u"待定");
    EXPECT_EQ(console->curves().V[2][5], 0.0f);  // outside the range: nothing stored
    EXPECT_EQ(button("test46").caption, u"1-2测试开始");
    EXPECT_TRUE(button("test13").enabled);
    EXPECT_TRUE(button("test16").enabled);
    EXPECT_FALSE(console->state().testRun);
}

TEST_F(RunControl, StopDuringARunAsksToSaveAndKeepsTheResults) {
    varnot::testing::connectInstrument(*console);
    prompter.answers = {true, false};
    console->toolbarCommand(QStringLiteral("test13"));
    varnot::testing::runToEnd(*console, *instrument, 20);
    ASSERT_TRUE(console->supervising());
    const QString shown = console->state().field(Field::LiveVoltage, 0);
    console->toolbarCommand(QStringLiteral("test13"));  // the stop caption
    varnot::testing::settle(*console);
    EXPECT_FALSE(console->supervising());
    EXPECT_EQ(prompter.count(QStringLiteral("测试结束，需要保存吗？")), 1);
    EXPECT_EQ(console->state().n, 0);
    EXPECT_EQ(console->state().field(Field::LiveVoltage, 0), shown);
    EXPECT_GT(console->curves().V[0][20], 0.0f);
    EXPECT_EQ(button("test13").caption, u"1-3测试开始");
    // The coefficients were written at the end of the run.
    EXPECT_EQ(settings->read(Section::Canshu, u"KI(3)"), u"1");
}

TEST_F(RunControl, StopAllEndsTheRun) {
    varnot::testing::connectInstrument(*console);
    prompter.answers = {true, false};
    console->toolbarCommand(QStringLiteral("test16"));
    varnot::testing::runToEnd(*console, *instrument, 5);
    console->toolbarCommand(QStringLiteral("stop16"));
    varnot::testing::settle(*console);
    EXPECT_FALSE(console->supervising());
    EXPECT_EQ(button("test16").caption, u"1路测试开始");
    EXPECT_TRUE(button("test13").enabled);
    // A tick between the stop and the end of the run stores nothing at sample 0.
    console->acquisitionTick();
    EXPECT_EQ(console->curves().V[0][0], 0.0f);
}

TEST_F(RunControl, TheEndOfARunWaitsForAnOpenBox) {
    varnot::testing::connectInstrument(*console);
    prompter.answers = {true, false};
    console->toolbarCommand(QStringLiteral("test13"));
    varnot::testing::runToEnd(*console, *instrument, 5);
    // A box is open (a failure message, say) when the channels stop: the save question waits.
    prompter.open = true;
    console->toolbarCommand(QStringLiteral("stop16"));
    varnot::testing::runFor(100);
    EXPECT_TRUE(console->supervising());
    EXPECT_EQ(prompter.count(QStringLiteral("测试结束，需要保存吗？")), 0);
    prompter.open = false;
    ASSERT_TRUE(varnot::testing::waitFor([&] { return !console->supervising(); }));
    EXPECT_EQ(prompter.count(QStringLiteral("测试结束，需要保存吗？")), 1);
}

TEST_F(RunControl, SavingIsRefusedWhileARunIsSupervised) {
    settings->write(Section::Canshu, u"dbpath", dir.filePath("local"));
    varnot::testing::connectInstrument(*console);
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("test13"));
    varnot::testing::runToEnd(*console, *instrument, 2);
    ASSERT_TRUE(console->supervising());
    console->toolbarCommand(QStringLiteral("save2"));
    EXPECT_EQ(prompter.messages(), QStringList{"测试正在进行，请在测试结束后保存！"});
    EXPECT_FALSE(QFile::exists(dir.filePath("local/lb53A100.db")));  // nothing half-stored
    console->toolbarCommand(QStringLiteral("stop16"));
    varnot::testing::settle(*console);
}

TEST_F(RunControl, AStartOfGroupOneToThreeKeepsTheTypedSheetValues) {
    console->setSheetValue(1, SheetValue::Capacitance, QStringLiteral("0.8123"));
    console->setSheetValue(6, SheetValue::Tensile, QStringLiteral("31"));
    varnot::testing::connectInstrument(*console);
    // A start the operator does not confirm leaves them as they were.
    prompter.answers = {false};
    console->toolbarCommand(QStringLiteral("test13"));
    EXPECT_EQ(console->batch().value(1, SheetValue::Capacitance), u"0.8123");
    EXPECT_EQ(console->batch().grid[1][1], u"0.812");
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("test13"));
    ASSERT_TRUE(console->supervising());
    // Values typed for the sheets before their run are never cleared unseen: they stay in the
    // fields and the grid, and a save stores them with the sheets.
    EXPECT_EQ(console->batch().value(1, SheetValue::Capacitance), u"0.8123");
    EXPECT_EQ(console->batch().value(6, SheetValue::Tensile), u"31");
    EXPECT_EQ(console->batch().grid[1][1], u"0.812");
    EXPECT_EQ(console->batch().grid[6][3], u"31");
    console->toolbarCommand(QStringLiteral("stop16"));
    varnot::testing::settle(*console);
}

TEST_F(RunControl, EveryChannelIsVisitedOnASampleBeforeTheNextIsStored) {
    varnot::testing::connectInstrument(*console);
    for (int c = 0; c < 3; ++c) console->state().field(Field::DelayTime, c) = QStringLiteral("5");
    prompter.answers = {true, false};
    console->toolbarCommand(QStringLiteral("test13"));
    // Ticks come back to back, without the event loop turning in between (a busy machine): each
    // tick first runs the visits its round has not had.
    int ticks = 0;
    while (console->supervising() && ticks < 400) {
        console->state().tempOk = true;
        varnot::testing::exchange(*console, *instrument);
        console->acquisitionTick();
        ++ticks;
    }
    varnot::testing::settle(*console);
    ASSERT_FALSE(console->supervising());
    for (int c = 0; c < 3; ++c) {
        const int tr = console->state().field(Field::RiseTime, c).toInt();
        ASSERT_GT(tr, 0) << c;
        EXPECT_EQ(console->view().endSample[c], tr + 5) << c;
    }
}

TEST_F(RunControl, AFinishedTestIsStoredWithTheLimitsItWasJudgedBy) {
    varnot::testing::connectInstrument(*console);
    for (int c = 0; c < 3; ++c) console->state().field(Field::RiseTimeLimit, c) = QStringLiteral("150");
    prompter.answers = {true, false};
    console->toolbarCommand(QStringLiteral("test13"));
    varnot::testing::runToEnd(*console, *instrument);
    ASSERT_FALSE(console->supervising());
    const QString judged = console->state().field(Field::TvJudgement, 0);
    // Limits and times changed after the end, before the save, do not reach the record.
    console->state().field(Field::RiseTimeLimit, 0) = QStringLiteral("5");
    console->state().field(Field::DelayTime, 0) = QStringLiteral("99");
    const StoredTest t = console->storedTestOf(0);
    EXPECT_EQ(t.values.value(QStringLiteral("升压时间指标")).toString(), u"150");
    EXPECT_EQ(t.values.value(QStringLiteral("延迟时间")).toString(), u"30");
    EXPECT_EQ(t.values.value(QStringLiteral("TV特性")).toString(), judged);
    // A new test is asked about first (it is not stored), and then forgets it.
    console->resetChannels();
    EXPECT_EQ(console->test(0).state, TestState::Ended);
    prompter.answers = {true};
    console->resetChannels();
    EXPECT_EQ(console->test(0).state, TestState::Empty);
    EXPECT_FALSE(console->unsavedTest());
}

TEST_F(RunControl, ClosingAsksDuringARunAndWhileAFinishedTestIsUnsaved) {
    settings->write(Section::Canshu, u"dbpath", dir.filePath("local"));
    EXPECT_TRUE(console->confirmClose());  // nothing measured yet: no question
    EXPECT_TRUE(prompter.shown.empty());
    varnot::testing::connectInstrument(*console);
    for (int c = 0; c < 3; ++c) {
        console->state().field(Field::TvTestNumber, c) = QStringLiteral("Q1");
        console->state().field(Field::TvOperator, c) = QStringLiteral("Li");
    }
    console->selectKind(0, TestKind::Leakage);  // no sheets: the save is local alone
    for (int c = 0; c < 3; ++c) console->state().field(Field::LeakageTestTime, c) = QStringLiteral("5");
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("test13"));
    varnot::testing::runToEnd(*console, *instrument, 2);
    ASSERT_TRUE(console->supervising());
    prompter.answers = {false};
    EXPECT_FALSE(console->confirmClose());
    EXPECT_EQ(prompter.count(QStringLiteral("测试正在进行，确定要退出吗？")), 1);
    EXPECT_TRUE(console->supervising());  // No keeps everything
    prompter.answers = {false};  // the save question at the end
    varnot::testing::runToEnd(*console, *instrument);
    ASSERT_FALSE(console->supervising());
    prompter.answers = {false};
    EXPECT_FALSE(console->confirmClose());
    EXPECT_EQ(prompter.count(QStringLiteral("测试数据尚未保存，确定要退出吗？")), 1);
    console->save2Click();
    prompter.shown.clear();
    EXPECT_TRUE(console->confirmClose());
    EXPECT_TRUE(prompter.shown.empty()) << prompter.messages().join("|").toStdString();
}
