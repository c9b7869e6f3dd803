// The test on each channel through the real stores (the SQLite ODBC driver and PostgreSQL): what a
// save stores is the test as it ran, whatever the fields or switches show afterwards; every
// command that would wipe a measured test not stored whole asks first and No keeps it whole; a
// record or a batch shown on the channels is never taken for a measured test.
#include "console/console.h"
#include "support/batch_source.h"
#include "support/in_process_run.h"
#include "support/local_db.h"
#include "support/scripted_prompter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using varnot::testing::Engine;
using varnot::testing::LocalDb;
using varnot::testing::ScriptedPrompter;

namespace {

const QString kDiscard = QStringLiteral("测试数据尚未保存，确定要放弃吗？");
const QString kNothing = QStringLiteral("没有需要保存的测试数据！");

class TestOnScreen : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        static int tests = 0;
        ASSERT_NO_FATAL_FAILURE(source.setUp(GetParam(), QStringLiteral("onscreen%1").arg(++tests), QDir(dir.path())));
        if (IsSkipped()) return;
        settings = std::make_unique<SettingsStore>(dir.filePath("settings.ini"));
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"dbpath", dir.filePath(QStringLiteral("local")));
        console = std::make_unique<Console>(*settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
        console->load();
        console->batchStore() = BatchStore(source.connectionText());
        sim::Config config;
        config.clock = sim::ClockMode::SampleIndex;
        config.link.steadyTemperature = true;
        instrument = std::make_unique<sim::Instrument>(config);
        varnot::testing::connectInstrument(*console);
        for (int c = 0; c < 3; ++c) {
            set(Field::TvTestNumber, c, "A121");
            set(Field::TvOperator, c, "Li");
            set(Field::DelayTime, c, "5");
            set(Field::FormationVoltage, c, "250");
        }
    }
    void TearDown() override {
        if (console) console->unload();
        source.tearDown();
    }
    void set(Field f, int ch, const char* text) { console->state().field(f, ch) = QString::fromUtf8(text); }
    QString field(Field f, int ch) const { return console->state().field(f, ch); }

    // A TV run of channels 1 to 3 to its end; its save is declined at the end.
    void runTv() {
        prompter.answers = {true, false};
        console->toolbarCommand(QStringLiteral("test13"));
        ASSERT_TRUE(console->supervising()) << prompter.messages().join("|").toStdString();
        varnot::testing::runToEnd(*console, *instrument, 2000);
        ASSERT_FALSE(console->supervising());
        for (int c = 0; c < 3; ++c) ASSERT_EQ(console->test(c).state, TestState::Ended) << c;
        prompter.shown.clear();
        prompter.answers.clear();
    }
    // Saves, every sheet answered Yes.
    void saveAll() {
        prompter.answers = {true, true, true};
        console->save2Click();
    }
    int localCount(TestKind kind) {
        const QString file = dir.filePath(QStringLiteral("local/") + testDatabaseFile(kind));
        if (!QFile::exists(file)) return 0;
        LocalDb db(file);
        return db.value(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(parameterTable(kind))).toInt();
    }
    QString batch(const QString& sql) { return source.query(sql); }
    // Sheets in the batch store (none before the first save makes its tables).
    int sheetsStored() {
        const QString n = batch(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter"));
        return n.startsWith(QStringLiteral("查询错误")) ? 0 : n.toInt();
    }
    QStringList questions() const {
        QStringList q;
        for (const auto& s : prompter.shown)
            if (s.kind == "question") q << s.text;
        return q;
    }
    // A stored record as the history window reads it back: 30 samples rising to 240 V.
    static StoredRecord record(TestKind kind, const QString& name, QMap<QString, QVariant> values) {
        StoredRecord r;
        r.kind = kind;
        r.name = name;
        values[QStringLiteral("测试编号")] = name;
        r.values = values;
        for (int k = 1; k <= 30; ++k) {
            r.volts.push_back(8.0f * float(k));
            r.amps.push_back(0.25f);
        }
        return r;
    }
    static StoredRecord tvRecord(const QString& name) {
        return record(TestKind::TV, name,
                      {{QStringLiteral("化成电压"), 260}, {QStringLiteral("延迟时间"), 10}, {QStringLiteral("升压时间"), 20},
                       {QStringLiteral("TV值"), 238.0}, {QStringLiteral("TV特性"), QStringLiteral("合格")},
                       {QStringLiteral("测试人"), QStringLiteral("Wu")}, {QStringLiteral("水煮后"), true}});
    }

    QTemporaryDir dir;
    varnot::testing::BatchSource source;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<sim::Instrument> instrument;
};

}  // namespace

// A kind switch, a boiling switch and a new test number after the end reach nothing stored: the
// TV tests are stored as TV tests, before boiling, under the number they ran with, and the batch
// takes the formation voltage the sheets ran at.
TEST_P(TestOnScreen, WhatIsStoredIsTheTestAsItRan) {
    console->setBatchField(BatchField::VF, QStringLiteral("200"));
    runTv();
    const QString judged = field(Field::TvJudgement, 0);
    console->selectKind(0, TestKind::Leakage);
    console->selectBoiling(0, Console::Boiling::After);
    for (int c = 0; c < 3; ++c) set(Field::TvTestNumber, c, "A121X");
    saveAll();
    EXPECT_EQ(questions(), (QStringList{"第1片数据是否保存?", "第2片数据是否保存?", "第3片数据是否保存?"}));
    EXPECT_EQ(localCount(TestKind::TV), 3);
    EXPECT_EQ(localCount(TestKind::Leakage), 0);
    LocalDb tv(dir.filePath(QStringLiteral("local/") + testDatabaseFile(TestKind::TV)));
    EXPECT_EQ(tv.value(QStringLiteral("SELECT \"TV特性\" FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'A121HL'")).toString(), judged);
    EXPECT_EQ(tv.value(QStringLiteral("SELECT \"水煮前\" FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'A121HM'")).toInt(), 1);
    EXPECT_EQ(batch(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter WHERE SerNum = 'A121' AND NumCurve <= 3")), u"3");
    EXPECT_EQ(batch(QStringLiteral("SELECT VF FROM Whole_Parameter WHERE SerNum = 'A121'")).toDouble(), 250);
    // The batch grid shows the sheets just stored; the status counts the records.
    EXPECT_EQ(console->batch().grid[1][4].toDouble(), field(Field::RiseTime, 0).toDouble());
    EXPECT_FALSE(console->batch().grid[3][6].isEmpty());
    EXPECT_EQ(console->state().statusPanels[6], u"存储 3 条记录");

    // Stored once: the same test again is said to be stored, and makes no copy under the new number.
    prompter.shown.clear();
    saveAll();
    EXPECT_EQ(prompter.messages(), QStringList{"本次测试已经保存！"});
    EXPECT_EQ(localCount(TestKind::TV), 3);
    EXPECT_EQ(batch(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter")), u"3");
}

// Every command that wipes the channels asks before it clears anything when the test on screen is
// not stored whole; No leaves the test, its curves, its results and its journal as they were.
TEST_P(TestOnScreen, EveryWipeAsksFirstAndNoKeepsTheTestWhole) {
    runTv();
    ASSERT_FALSE(console->journalPath().isEmpty());
    const std::vector<float> curve = console->test(1).volts;
    const QString judged = field(Field::TvJudgement, 1), tr = field(Field::RiseTime, 1);
    struct Command {
        const char* name;
        std::function<void()> run;
    };
    const Command commands[] = {
        {"start", [&] { console->toolbarCommand(QStringLiteral("test13")); }},
        {"new", [&] { console->toolbarCommand(QStringLiteral("new2")); }},
        {"open batch", [&] { console->showBatch(BatchContents{}); }},
        {"display", [&] { console->showStoredRecord(0, 1, tvRecord(QStringLiteral("K1HM")), nullptr); }},
        {"close", [&] { EXPECT_FALSE(console->confirmClose()); }},
    };
    for (const Command& c : commands) {
        prompter.shown.clear();
        prompter.answers = {false};
        c.run();
        ASSERT_EQ(questions().size(), 1) << c.name << questions().join("|").toStdString();
        EXPECT_TRUE(questions()[0].startsWith(c.name == std::string("close") ? QStringLiteral("测试数据尚未保存，确定要退出吗？")
                                                                               : kDiscard))
            << c.name << questions()[0].toStdString();
        EXPECT_FALSE(console->supervising()) << c.name;
        EXPECT_EQ(console->test(1).state, TestState::Ended) << c.name;
        EXPECT_EQ(console->test(1).volts, curve) << c.name;
        EXPECT_EQ(field(Field::TvJudgement, 1), judged) << c.name;
        EXPECT_EQ(field(Field::RiseTime, 1), tr) << c.name;
        EXPECT_EQ(console->curves().stored[1], int(curve.size())) << c.name;
        EXPECT_TRUE(QFile::exists(console->journalPath())) << c.name;
    }
    // Yes gives it up: a channel that never ran afterwards stores nothing.
    prompter.shown.clear();
    prompter.answers = {true};
    console->toolbarCommand(QStringLiteral("new2"));
    EXPECT_EQ(console->test(1).state, TestState::Empty);
    EXPECT_TRUE(console->journalPath().isEmpty());
    prompter.shown.clear();
    saveAll();
    EXPECT_EQ(prompter.messages(), QStringList{kNothing});
    EXPECT_EQ(localCount(TestKind::TV), 0);
    EXPECT_EQ(sheetsStored(), 0);
}

// A record shown by 显示记录 is never saved nor taken for a measured test, and what it put into the
// fields goes with it: the next run runs with the operator's own number, delay and boiling switch.
TEST_P(TestOnScreen, ADisplayedRecordIsNeverSavedAndLeavesNothingInTheNextTest) {
    set(Field::DelayTime, 0, "5");
    QString error;
    ASSERT_TRUE(console->showStoredRecord(0, 0, tvRecord(QStringLiteral("K1HL")), &error)) << error.toStdString();
    EXPECT_EQ(console->test(0).state, TestState::ShownLocal);
    EXPECT_EQ(field(Field::TvTestNumber, 0), u"K1HL");
    EXPECT_EQ(field(Field::DelayTime, 0), u"10");
    EXPECT_EQ(console->boiling(0), Console::Boiling::After);
    EXPECT_FALSE(console->unsavedTest());
    EXPECT_TRUE(console->confirmClose());  // nothing measured: no question
    saveAll();
    EXPECT_EQ(prompter.messages(), QStringList{kNothing});
    EXPECT_EQ(localCount(TestKind::TV), 0);
    EXPECT_EQ(sheetsStored(), 0);

    // CSV export: the record under its own name and length, nothing of any other test.
    const QString csv = dir.filePath(QStringLiteral("shown.csv"));
    prompter.fileNames = {csv};
    console->exportCsv();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("K1HL"))) << lines[0].toStdString();
    EXPECT_EQ(lines.size(), 3 + 30) << lines.last().toStdString();  // three header lines, 30 samples
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("30,240.0"))) << lines.last().toStdString();

    // The run after it: the operator's own texts are back before its checks.
    prompter.shown.clear();
    runTv();
    EXPECT_EQ(console->test(0).recordName, u"A121HL");
    EXPECT_EQ(console->test(0).field(Field::DelayTime), u"5");
    EXPECT_FALSE(console->test(0).afterBoiling);
    EXPECT_EQ(console->view().endSample[0], field(Field::RiseTime, 0).toInt() + 5);
}

// A group shows one kind at a time: a display that switches a group's kind takes the channels of
// the other kind off it, so a print never shows one test's column under another's curve.
TEST_P(TestOnScreen, ADisplayThatSwitchesAGroupsKindTakesTheOtherKindOffIt) {
    const auto leakage = record(TestKind::Leakage, QStringLiteral("L1HR"),
                                {{QStringLiteral("漏电流电压"), 100}, {QStringLiteral("测试时间"), 30},
                                 {QStringLiteral("漏电流"), 0.25}, {QStringLiteral("漏电流特性"), QStringLiteral("合格")}});
    const auto electrolyte = record(TestKind::Electrolyte, QStringLiteral("E1HL"),
                                    {{QStringLiteral("设定电压"), 600}, {QStringLiteral("闪火延时"), 5},
                                     {QStringLiteral("火花时间1"), 10}, {QStringLiteral("判定结果"), QStringLiteral("合格")}});
    QString error;
    ASSERT_TRUE(console->showStoredRecord(2, 2, leakage, &error)) << error.toStdString();
    ASSERT_TRUE(console->showStoredRecord(2, 3, electrolyte, &error)) << error.toStdString();
    EXPECT_EQ(console->test(2).state, TestState::Empty);
    EXPECT_EQ(console->test(3).state, TestState::ShownLocal);
    const ConsoleState printed = console->reportState();
    for (int c = 0; c < kChannels; ++c) EXPECT_EQ(printed.kind[c], TestKind::Electrolyte) << c;
    EXPECT_EQ(console->curves().stored[2], 0);  // the leakage curve is gone with its test
    EXPECT_EQ(printed.field(Field::ElecTestNumber, 3), u"E1HL");
}

// A record of this test deleted in the history window is stored again by the next save, and the
// close question knows it is no longer stored.
TEST_P(TestOnScreen, ARecordDeletedAfterItsSaveIsStoredAgain) {
    runTv();
    saveAll();
    ASSERT_EQ(localCount(TestKind::TV), 3);
    ASSERT_FALSE(console->unsavedTest());
    {
        LocalDb tv(dir.filePath(QStringLiteral("local/") + testDatabaseFile(TestKind::TV)));
        tv.value(QStringLiteral("DELETE FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'A121HM'"));
        tv.value(QStringLiteral("DROP TABLE \"A121HM\""));
    }
    console->recordsDeleted(TestKind::TV, {QStringLiteral("A121HM")});
    EXPECT_TRUE(console->unsavedTest());
    prompter.shown.clear();
    prompter.answers = {false};
    EXPECT_FALSE(console->confirmClose());
    prompter.shown.clear();
    saveAll();
    EXPECT_TRUE(questions().isEmpty()) << questions().join("|").toStdString();  // its sheet is stored
    EXPECT_EQ(localCount(TestKind::TV), 3);
    EXPECT_EQ(console->state().statusPanels[6], u"存储 1 条记录");
    EXPECT_EQ(batch(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter")), u"3");
}

// 打开 puts the batch's sheets on the channels as shown sheets: never saved, and the serial and
// formation voltage it put into channels 1 to 3 go with them.
TEST_P(TestOnScreen, AnOpenedBatchIsShownNotMeasured) {
    runTv();
    saveAll();
    ASSERT_EQ(batch(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter")), u"3");
    for (int c = 0; c < 3; ++c) set(Field::TvTestNumber, c, "N5");
    prompter.shown.clear();
    const BatchContents contents = console->batchStore().loadBatch(QStringLiteral("A121"));
    ASSERT_TRUE(contents.error.isEmpty()) << contents.error.toStdString();
    ASSERT_TRUE(console->showBatch(contents));
    EXPECT_TRUE(questions().isEmpty());  // the test was stored whole: nothing to ask
    EXPECT_EQ(console->test(0).state, TestState::ShownBatch);
    EXPECT_EQ(field(Field::TvTestNumber, 0), u"A121");
    EXPECT_FALSE(console->unsavedTest());
    prompter.shown.clear();
    saveAll();
    EXPECT_EQ(prompter.messages(), QStringList{kNothing});
    prompter.answers = {true, false};
    console->toolbarCommand(QStringLiteral("test13"));
    ASSERT_TRUE(console->supervising());
    EXPECT_EQ(console->test(0).testNumber, u"N5");
    console->stopAll();
    varnot::testing::settle(*console);
}

// A run of channel 1 alone gives up only channel 1's test: channels 2 and 3 keep theirs, and their
// sheets still go to the batch they were tested for.
TEST_P(TestOnScreen, ARunOfChannelOneAloneLeavesTheOtherTestsTheirBatch) {
    runTv();
    set(Field::TvTestNumber, 0, "B9");
    prompter.answers = {true, true, false};  // give channel 1's test up, start, no save yet
    console->toolbarCommand(QStringLiteral("test16"));
    ASSERT_TRUE(console->supervising());
    EXPECT_EQ(questions().size(), 2);
    varnot::testing::runToEnd(*console, *instrument, 2000);
    ASSERT_FALSE(console->supervising());
    EXPECT_EQ(console->test(1).state, TestState::Ended);
    saveAll();
    EXPECT_EQ(batch(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter WHERE SerNum = 'B9'")), u"1");
    EXPECT_EQ(batch(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter WHERE SerNum = 'A121'")), u"2");
    EXPECT_EQ(localCount(TestKind::TV), 3);
}

INSTANTIATE_TEST_SUITE_P(Engines, TestOnScreen, ::testing::Values(Engine::SQLite, Engine::PostgreSQL));
