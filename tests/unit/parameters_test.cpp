// Parameter entry, linkage, test kinds, channel reset and plot axes on the console model.
#include "console/console.h"
#include "settings/field_catalogue.h"
#include "settings/validation.h"
#include "support/scripted_prompter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;

TEST(Validation, ReplacementOfNonNumbersAndOutOfRangeEntries) {
    struct Case {
        Field field;
        int ch;
        const char* typed;
        const char* kept;
    };
    const Case cases[] = {
        {Field::FormationVoltage, 0, "abc", "800"},  {Field::FormationVoltage, 0, "1500", "200"},
        {Field::FormationVoltage, 0, "1000", "1000"}, {Field::FormationVoltage, 0, "1", "1"},
        {Field::FormationVoltage, 0, "", "800"},     {Field::FormationVoltage, 0, " ", "800"},
        {Field::FormationVoltage, 0, "0.99", "200"}, {Field::LeakageVoltage, 1, "5", "100"},
        {Field::LeakageVoltage, 4, "5", "400"},      {Field::LeakageVoltage, 4, "x", "400"},
        {Field::LeakageTestTime, 0, "0", "180"},     {Field::SparkCorrection, 0, "", "3.1"},
        {Field::SparkCorrection, 0, "0", "0"},       {Field::TestCurrent, 2, "0.2", "0.2"},
        {Field::TestCurrent, 2, "0.19", "2"},        {Field::RiseTimeLimit, 0, "0.5", "0.5"},
        {Field::ElecSetVoltage, 5, "1001", "400"},   {Field::ElecReference, 0, "no", "550"},
        {Field::VrRatio, 3, "101", "90"},            {Field::TvTestNumber, 0, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(validatedText(c.field, c.ch, QString::fromUtf8(c.typed)), QString::fromUtf8(c.kept))
            << fieldSpec(c.field).legacyId << " ch" << c.ch + 1 << " '" << c.typed << "'";
}

// A typed text and a value from a store pass the same check: a number inside the field's range (a
// date for a date field). The reason names the range; a stored value's names its channel and value.
TEST(Validation, TypedAndStoredValuesOutsideTheRangeAreRefusedWithTheRange) {
    struct Case {
        Field field;
        int ch;
        const char* value;
        const char* typed;   // refusal of the value typed ("" when taken)
        const char* stored;  // refusal of the value from a store
    };
    const Case cases[] = {
        {Field::FormationVoltage, 0, "25O", "化成电压的范围是1～1000V，请重新输入！", "化成电压1的存储值“25O”未采用：范围是1～1000V"},
        {Field::FormationVoltage, 2, "5200", "化成电压的范围是1～1000V，请重新输入！", "化成电压3的存储值“5200”未采用：范围是1～1000V"},
        {Field::FormationVoltage, 5, "1000", "", ""},
        {Field::TestCurrent, 0, "255", "测试电流的范围是0.2～15mA，请重新输入！", "测试电流1的存储值“255”未采用：范围是0.2～15mA"},
        {Field::TestCurrent, 0, "", "测试电流的范围是0.2～15mA，请重新输入！", "测试电流1的存储值“”未采用：范围是0.2～15mA"},
        {Field::DelayTime, 1, "9000", "", ""},
        {Field::LeakageTestTime, 0, "6001", "测试时间的范围是1～6000秒，请重新输入！", "测试时间1的存储值“6001”未采用：范围是1～6000秒"},
        {Field::SparkCorrection, 3, "0", "", ""},
        {Field::TvTestDate, 0, "2026/2/30", "测试日期应为有效日期（yyyy/mm/dd或yyyy-mm-dd），请重新输入！",
         "测试日期的存储值“2026/2/30”未采用：不是有效日期"},
        {Field::TvTestDate, 0, "2026/02/28", "", ""},
        {Field::TvTestNumber, 0, "", "", ""},  // any text
        {Field::TvValue, 0, "x", "", ""},      // results are the console's own
    };
    for (const Case& c : cases) {
        EXPECT_EQ(entryRefusal(c.field, QString::fromUtf8(c.value)), QString::fromUtf8(c.typed)) << c.value;
        EXPECT_EQ(storedValueRefusal(c.field, c.ch, QString::fromUtf8(c.value)), QString::fromUtf8(c.stored)) << c.value;
    }
}

TEST(Validation, LegacyIdsAddressTheCatalogue) {
    EXPECT_EQ(legacyNumber(Field::FormationVoltage), 1);
    EXPECT_EQ(legacyNumber(Field::ReadoutTB), 38);
    EXPECT_EQ(legacyNumber(Field::TvPosition), 0);
    EXPECT_EQ(fieldsInLegacyRange(17, 23).size(), 7u);
    EXPECT_EQ(fieldCaption(Field::FormationVoltage, 2), u"化成电压3：");
    EXPECT_EQ(fieldCaption(Field::Spark1Voltage, 0), u"火化电压11");
    EXPECT_EQ(builtInValue(Field::FormationVoltage, 4), u"800");
    EXPECT_EQ(builtInValue(Field::TvPosition, 3), u"TL");
}

namespace {

class ConsoleModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        console = std::make_unique<Console>(*settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
    }
    void enter(Field f, int ch, const char* text) {
        console->setFieldText(f, ch, QString::fromUtf8(text));
        console->completeEntry(f, ch);
    }
    QString field(Field f, int ch) { return console->state().field(f, ch); }

    QTemporaryDir dir;
    varnot::testing::ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
};

}  // namespace

TEST_F(ConsoleModelTest, StartUpWithFirstValues) {
    console->load();
    const ConsoleState& s = console->state();
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(s.kind[c], TestKind::TV) << c;
        EXPECT_TRUE(console->linked()[c]) << c;
    }
    EXPECT_EQ(console->boiling(0), Console::Boiling::Before);
    EXPECT_EQ(console->boiling(1), Console::Boiling::Before);
    EXPECT_EQ(field(Field::FormationVoltage, 0), u"200");   // from the store
    EXPECT_EQ(field(Field::LeakageTestTime, 2), u"60");     // the store's first value, not the built-in 120
    EXPECT_EQ(field(Field::LeakageTestTime, 3), u"120");    // channels 4-6 keep their built-in values
    EXPECT_EQ(field(Field::FormationVoltage, 3), u"800");
    EXPECT_EQ(field(Field::TvTestDate, 0), u"2026/12/10");
    EXPECT_EQ(field(Field::TvTestDate, 3), u"2009-09-01");
    EXPECT_EQ(console->dateStamp(), u"20261210");
    EXPECT_FALSE(console->state().toolbar.at("test46").enabled);
    EXPECT_FALSE(console->state().toolbar.at("test16").enabled);
    EXPECT_FALSE(console->state().toolbar.at("RJ45_connect").enabled);
    EXPECT_TRUE(console->state().toolbar.at("test13").enabled);
    EXPECT_FALSE(console->pollCycle().running());
    EXPECT_EQ(settings->read(Section::Canshu, u"存储运行标志"), u"0");
}

TEST_F(ConsoleModelTest, StartUpRestoresChannels1To3AndKeepsChannels1To3OnTheTvTest) {
    settings->initialiseMissing();
    settings->write(Section::Canshu, u"hcdy(1)", "530");
    settings->write(Section::Canshu, u"hcdy(4)", "530");  // channels 4-6 are not restored
    settings->write(Section::Canshu, u"Option6(0)", "True");
    settings->write(Section::Canshu, u"option5(0)", "False");
    settings->write(Section::Canshu, u"option7(1)", "True");
    settings->write(Section::Canshu, u"option5(1)", "False");
    settings->write(Section::Canshu, u"option9(1)", "True");
    settings->write(Section::Canshu, u"option8(1)", "False");
    console->load();
    const ConsoleState& s = console->state();
    EXPECT_EQ(field(Field::FormationVoltage, 1), u"530");
    EXPECT_EQ(field(Field::FormationVoltage, 4), u"800");
    for (int c = 0; c < 3; ++c) EXPECT_EQ(s.kind[c], TestKind::TV) << c;
    for (int c = 3; c < 6; ++c) EXPECT_EQ(s.kind[c], TestKind::Electrolyte) << c;
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(console->linked()[c]) << c;
    for (int c = 3; c < 6; ++c) EXPECT_FALSE(console->linked()[c]) << c;
    // The electrolyte fields of channels 4-6 are the editable ones.
    const auto enabled = [&](Field f, int c) { return console->view().fieldEnabled[static_cast<int>(f)][c]; };
    EXPECT_TRUE(enabled(Field::ElecSetVoltage, 4));
    EXPECT_FALSE(enabled(Field::FormationVoltage, 4));
    EXPECT_TRUE(enabled(Field::FormationVoltage, 1));
}

// A stored parameter is checked at start-up as a completed entry is: a text that is not a number,
// or a number out of range, is replaced; anything valid comes back as stored.
TEST_F(ConsoleModelTest, StartUpChecksStoredParametersLikeEntries) {
    struct Case {
        const char* key;
        const char* stored;
        Field field;
        int ch;
        const char* shown;
    };
    const Case cases[] = {
        {"hcdy(0)", "abc", Field::FormationVoltage, 0, "800"},
        {"hcdy(1)", "1500", Field::FormationVoltage, 1, "200"},
        {"hcdy(2)", "1000", Field::FormationVoltage, 2, "1000"},
        {"csdl(1)", "", Field::TestCurrent, 1, "2"},
        {"ldldy(2)", "5", Field::LeakageVoltage, 2, "100"},
        {"Thy(0)", "0", Field::LeakageTestTime, 0, "180"},
        {"djyshxz(1)", "3,1", Field::SparkCorrection, 1, "3.1"},
        {"djyshxz(2)", "0", Field::SparkCorrection, 2, "0"},
        {"TVcsbh(0)", "A-17", Field::TvTestNumber, 0, "A-17"},  // any text
    };
    settings->initialiseMissing();
    for (const Case& c : cases)
        settings->write(Section::Canshu, QString::fromUtf8(c.key), QString::fromUtf8(c.stored));
    console->load();
    for (const Case& c : cases) EXPECT_EQ(field(c.field, c.ch), QString::fromUtf8(c.shown)) << c.key;
    EXPECT_EQ(settings->read(Section::Canshu, u"hcdy(0)"), u"abc");  // the store is not rewritten
    // The keys replaced are named, channel by channel, once.
    EXPECT_EQ(console->notices(),
              QStringList{QStringLiteral("设置文件中的无效值已用替代值代替：hcdy(0)、Thy(0)、hcdy(1)、csdl(1)、djyshxz(1)、ldldy(2)")});
}

TEST_F(ConsoleModelTest, StartUpWithAGoodStoreAnnouncesNothing) {
    settings->initialiseMissing();
    console->load();
    EXPECT_TRUE(console->notices().isEmpty());
}

TEST_F(ConsoleModelTest, LinkageCopiesWithinTheGroupAndFormationVoltageAmongAllSix) {
    console->load();
    enter(Field::FormationVoltage, 0, "450");
    for (int c = 0; c < 6; ++c) EXPECT_EQ(field(Field::FormationVoltage, c), u"450") << c;

    enter(Field::TestCurrent, 3, "5");  // group 4-6 only
    EXPECT_EQ(field(Field::TestCurrent, 5), u"5");
    EXPECT_EQ(field(Field::TestCurrent, 0), u"2");

    console->selectLinkage(1, false);
    enter(Field::TestCurrent, 3, "7");
    EXPECT_EQ(field(Field::TestCurrent, 4), u"5");
    EXPECT_EQ(field(Field::TestCurrent, 5), u"5");
    enter(Field::FormationVoltage, 1, "300");  // copied to the linked channels 1-3
    EXPECT_EQ(field(Field::FormationVoltage, 2), u"300");
    EXPECT_EQ(field(Field::FormationVoltage, 4), u"450");
    enter(Field::FormationVoltage, 1, "abc");  // refused: nothing changes, nothing is copied
    EXPECT_EQ(field(Field::FormationVoltage, 1), u"300");
    EXPECT_EQ(field(Field::FormationVoltage, 2), u"300");

    console->selectLinkage(1, true);  // 参数联动 of group 4-6 links channels 4 to 6 again
    enter(Field::TestCurrent, 4, "9");
    EXPECT_EQ(field(Field::TestCurrent, 3), u"9");
    EXPECT_EQ(field(Field::TestCurrent, 5), u"9");

    console->selectLinkage(0, false);
    enter(Field::DelayTime, 0, "100");
    EXPECT_EQ(field(Field::DelayTime, 1), u"180");
}

TEST_F(ConsoleModelTest, EmptiedTestNumberIsFilledFromChannel1sStoredNumber) {
    console->load();
    settings->write(Section::Canshu, u"TVcsbh(0)", "A2026");
    settings->write(Section::Canshu, u"TVcsbh(2)", "other");
    QString mirrored;
    QObject::connect(console.get(), &Console::tvTestNumberChanged, [&](const QString& n) { mirrored = n; });
    enter(Field::TvTestNumber, 2, "");
    EXPECT_EQ(field(Field::TvTestNumber, 2), u"A2026");
    EXPECT_EQ(field(Field::TvTestNumber, 0), u"A2026");  // linked within the group
    EXPECT_EQ(mirrored, u"A2026");
}

TEST_F(ConsoleModelTest, BoilingSwitchSetsTheDelayOfTheCurrentGroup) {
    console->load();
    console->selectBoiling(0, Console::Boiling::After);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(field(Field::DelayTime, c), u"60") << c;
    EXPECT_EQ(field(Field::DelayTime, 3), u"180");
    console->selectBoiling(0, Console::Boiling::Before);
    EXPECT_EQ(field(Field::DelayTime, 0), u"180");
}

TEST_F(ConsoleModelTest, KindSwitchingChangesEditableFieldsAndLabels) {
    console->load();
    const auto enabled = [&](Field f, int c) { return console->view().fieldEnabled[static_cast<int>(f)][c]; };
    console->selectKind(0, TestKind::Leakage);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(console->state().kind[c], TestKind::Leakage);
        for (Field f : {Field::FormationVoltage, Field::VrRatio, Field::DelayTime, Field::RiseTimeLimit})
            EXPECT_FALSE(enabled(f, c)) << c;
        EXPECT_TRUE(enabled(Field::TestCurrent, c));
        EXPECT_TRUE(enabled(Field::LeakageVoltage, c));
        EXPECT_FALSE(enabled(Field::ElecSetVoltage, c));
        const auto& labels = console->view().readoutLabels[c];
        EXPECT_EQ(labels[0], u"TA");
        EXPECT_EQ(labels[1], u"T");
        EXPECT_EQ(labels[2], u"Vm");
        EXPECT_EQ(labels[3], u"漏电");
    }
    EXPECT_EQ(console->state().kind[3], TestKind::TV);

    console->selectKind(1, TestKind::Electrolyte);
    EXPECT_TRUE(enabled(Field::ElecTestNumber, 4));   // Text35 lies in 28..38
    EXPECT_TRUE(enabled(Field::ReadoutTB, 4));
    EXPECT_FALSE(enabled(Field::LeakageLimit, 4));
    EXPECT_EQ(console->view().readoutLabels[5][3], u"火花3");

    console->selectKind(1, TestKind::TV);
    EXPECT_FALSE(enabled(Field::ElecTestNumber, 4));
    EXPECT_EQ(console->view().readoutLabels[5][0], u"TA");
    EXPECT_EQ(console->view().readoutLabels[5][2], u"Vm");  // Vm is kept, not rewritten
}

TEST_F(ConsoleModelTest, ResetOfAGroupOfOneClearsChannel1Only) {
    console->load();
    ConsoleState& s = console->state();
    for (int c = 0; c < 3; ++c) {
        s.field(Field::RiseTime, c) = "33";
        s.field(Field::TvJudgement, c) = "合格";
        s.field(Field::LiveVoltage, c) = "502.0";
        s.rawVolt[c] = 1234;
    }
    s.chStopped[0] = false;
    s.lastCh = 0;
    console->plots().hxfd[1] = 4;
    console->resetChannels();
    EXPECT_EQ(s.field(Field::RiseTime, 0), u"0");
    EXPECT_EQ(s.field(Field::TvJudgement, 0), u"待定");
    EXPECT_EQ(s.field(Field::LiveVoltage, 0), u"0");
    EXPECT_EQ(s.rawVolt[0], 0);
    EXPECT_EQ(s.statusPanels[0], u"第1路关闭");
    EXPECT_FALSE(s.chStopped[0]);  // a reset leaves the stop flags to the run control
    EXPECT_EQ(s.field(Field::RiseTime, 1), u"33");
    EXPECT_EQ(s.rawVolt[1], 1234);
    EXPECT_EQ(console->plots().hxfd[0], 0.03125f);
    EXPECT_EQ(console->plots().hxfd[1], 4.0f);
    EXPECT_EQ(console->plots().hxfd16, 0.125f);

    console->selectKind(0, TestKind::Electrolyte);
    console->resetChannels();
    EXPECT_EQ(s.field(Field::Spark1Time, 0), u"0");  // no spark, no spark time
    EXPECT_EQ(s.field(Field::ElecJudgement, 0), u"待定");
    EXPECT_EQ(s.statusPanels[0], u"第1路关闭：");
}

TEST_F(ConsoleModelTest, TabsShowTheirPlots) {
    console->load();
    Plots& p = console->plots();
    console->selectTab(1);
    EXPECT_FALSE(p.TV[0]->visible);
    EXPECT_TRUE(p.TV16[0]->visible);
    EXPECT_TRUE(p.TV16[1]->visible);
    EXPECT_FALSE(p.TV16[2]->visible);
    console->selectTab(2);
    EXPECT_TRUE(p.TV16[2]->visible);
    EXPECT_FALSE(p.TV16[0]->visible);
    console->selectTab(3);
    EXPECT_FALSE(p.TV16[2]->visible);
    EXPECT_FALSE(p.TV[5]->visible);
    console->selectTab(5);  // the batch tab changes nothing
    EXPECT_FALSE(p.TV[5]->visible);
    console->selectTab(0);
    EXPECT_TRUE(p.TV[5]->visible);
    EXPECT_FALSE(p.TV16[0]->visible);
}

TEST_F(ConsoleModelTest, ZoomStepsStayInRangeAndAreStored) {
    console->load();
    Plots& p = console->plots();
    p.hxfd16 = 32;
    console->zoomCombined(false);
    EXPECT_EQ(p.hxfd16, 16.0f);
    EXPECT_EQ(settings->read(Section::Canshu, u"hxfd16"), u"16");
    p.hxfd.fill(0.03125f);
    console->zoomChannels(false);
    EXPECT_EQ(p.hxfd[0], 0.03125f);
    p.hxfd[2] = 0.01f;  // below the range: a doubling step gives the maximum
    console->zoomChannels(true);
    EXPECT_EQ(p.hxfd[2], 32.0f);
    EXPECT_EQ(p.hxfd[0], 0.0625f);
    EXPECT_EQ(settings->read(Section::Canshu, u"hxfd(0)"), u"0.0625");
}

TEST_F(ConsoleModelTest, DamagedSettingsFileStartsWithFirstValues) {
    console.reset();
    settings.reset();
    {
        QFile f(dir.filePath("s.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // Written whole, its NUL included (a C string would stop before it and leave the file empty).
        static const char damaged[] = "\x00\x01[[[canshu\n=====\xff\xfe";
        f.write(damaged, sizeof damaged - 1);
    }
    settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
    console = std::make_unique<Console>(*settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
    console->load();
    EXPECT_EQ(field(Field::FormationVoltage, 0), u"200");
    EXPECT_EQ(field(Field::DelayTime, 0), u"180");
    EXPECT_EQ(console->state().coefficients.KV[0], 1.0f);
    EXPECT_TRUE(settings->holdsEveryKey());
    // Announced once: which file, and where it went.
    const QString aside = settings->setAsideFile();
    ASSERT_TRUE(QFile::exists(aside));
    EXPECT_EQ(console->notices(), QStringList{QStringLiteral("设置文件已损坏：") + dir.filePath("s.ini") +
                                              QStringLiteral("，已移至") + aside + QStringLiteral("，各项设置恢复为初始值")});
}
