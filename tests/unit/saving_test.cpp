// Saving the finished tests of a group: the order of the sheets, the checks and their messages,
// the save-progress counter, and the local record every channel leaves. The batch store is not
// reached here (sheet questions are answered No, or the data source does not exist); the
// integration tests store sheets.
#include "console/console.h"
#include "support/console_fixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using varnot::testing::ScriptedPrompter;

namespace {

class Saving : public varnot::testing::ConsoleFixture {
protected:
    void prepareSettings() override { settings->write(Section::Canshu, u"dbpath", dir.filePath("local")); }
    void SetUp() override {
        ConsoleFixture::SetUp();
        for (int c = 0; c < 3; ++c) {
            set(Field::TvTestNumber, c, "S1");
            set(Field::TvOperator, c, "Li");
            set(Field::ElecTestNumber, c, "E1");
        }
    }
    // The channel's test ended at sample 5, as a run would leave it, with what it shows now.
    void finish(int ch) {
        console->state().chEnded[ch] = true;
        console->view().endSample[ch] = 5;
        console->view().firstMark[ch] = true;
        console->curves().stored[ch] = 5;
        console->concludeTest(ch);
    }
    void finishAll() {
        for (int c = 0; c < 3; ++c) finish(c);
    }
    QStringList localNames() {
        QStringList names;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(dir.filePath("local/lb53A100.db"));
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(QStringLiteral("SELECT \"测试编号\" FROM \"铝箔TV参数\" ORDER BY 1")))
                    while (q.next()) names << q.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return names;
    }
    void set(Field f, int ch, const char* text) { console->state().field(f, ch) = QString::fromUtf8(text); }
    QStringList questions() const {
        QStringList q;
        for (const auto& s : prompter.shown)
            if (s.kind == "question") q << s.text;
        return q;
    }
};

}  // namespace

TEST_F(Saving, SheetsFollowTheBoilingSwitchTheTestRanUnderAndEveryOneAdvancesTheCounter) {
    finishAll();
    console->save2Click();
    EXPECT_EQ(questions(), (QStringList{"第1片数据是否保存?", "第2片数据是否保存?", "第3片数据是否保存?"}));
    // Declined sheets are no stored records; they still advance the save-progress counter.
    EXPECT_EQ(console->state().statusPanels[6], u"存储 0 条记录");
    EXPECT_EQ(settings->read(Section::Canshu, u"存储运行标志"), u"3");
    // A declined sheet writes nothing for its channel, locally neither.
    EXPECT_TRUE(localNames().isEmpty()) << localNames().join("|").toStdString();
    EXPECT_TRUE(console->unsavedTest());
    // Switched after the end, the boiling switch and the test number change nothing of this test.
    prompter.shown.clear();
    for (int c = 0; c < 3; ++c) set(Field::TvTestNumber, c, "S2");
    console->selectBoiling(0, Console::Boiling::After);
    console->save2Click();
    EXPECT_EQ(questions(), (QStringList{"第1片数据是否保存?", "第2片数据是否保存?", "第3片数据是否保存?"}));
    EXPECT_EQ(settings->read(Section::Canshu, u"存储运行标志"), u"6");
    // The next test runs after boiling: its sheets are 4 to 6.
    prompter.answers = {true};
    console->resetChannels();
    finishAll();
    prompter.shown.clear();
    console->save2Click();
    EXPECT_EQ(questions(), (QStringList{"第4片数据是否保存?", "第5片数据是否保存?", "第6片数据是否保存?"}));
}

TEST_F(Saving, ADuplicateEndsTheSaveAndNamesTheChannelsLeftUnstored) {
    set(Field::TvPosition, 1, "TM");
    finishAll();
    console->recordExists = [](int ch) { return ch == 1; };
    console->save2Click();
    EXPECT_EQ(questions(), QStringList{"第1片数据是否保存?"});
    EXPECT_EQ(prompter.messages(), QStringList{"同名记录TV测试编号：S1TM 已经存在，请使用其他的编号！\n未保存：第1路、第2路、第3路"});
    EXPECT_TRUE(console->state().statusPanels[6].isEmpty());  // neither written nor shown
    EXPECT_EQ(settings->read(Section::Canshu, u"存储运行标志"), u"0");
}

TEST_F(Saving, ABatchStoreThatCannotBeReachedNamesItsReasonAndTheSaveCanBeRepeated) {
    // No data source of this name exists: the session cannot open.
    console->batchStore() = BatchStore(QStringLiteral("no-such-source-here;UID=sa;Password=;"));
    finishAll();
    prompter.answers = {true};
    console->save2Click();
    const QStringList m = prompter.messages();
    ASSERT_EQ(m.size(), 1);
    const QStringList lines = m[0].split(u'\n');
    ASSERT_EQ(lines.size(), 3) << m[0].toStdString();
    EXPECT_EQ(lines[0], u"无法保存，请检查实验记录是否完整，测试操作是否正确！");
    EXPECT_FALSE(lines[1].isEmpty());  // the driver manager's own reason
    EXPECT_EQ(lines[2], u"未保存：第1路、第2路、第3路");
    EXPECT_TRUE(localNames().isEmpty());
    EXPECT_TRUE(console->unsavedTest());
    // The next save asks again, and declining every sheet still refuses nothing of this test.
    prompter.shown.clear();
    console->save2Click();
    EXPECT_EQ(questions().size(), 3);
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join("|").toStdString();
}

TEST_F(Saving, AGroupWithoutSheetsSaysHowManyRecordsItStoredAndASecondSaveRefusesNone) {
    console->selectKind(0, TestKind::Leakage);
    for (int c = 0; c < 3; ++c) {
        set(Field::LeakageVoltage, c, "100");
        set(Field::LeakageTestTime, c, "30");
    }
    finishAll();
    console->save2Click();
    EXPECT_TRUE(prompter.messages().isEmpty()) << prompter.messages().join("|").toStdString();
    EXPECT_EQ(console->state().statusPanels[6], u"存储 3 条记录");
    EXPECT_FALSE(console->unsavedTest());
    // Saving the same test again stores nothing twice, refuses nothing it wrote itself and says
    // it is stored already; a test number changed after the save makes no copy.
    for (int c = 0; c < 3; ++c) set(Field::TvTestNumber, c, "S1X");
    console->save2Click();
    EXPECT_EQ(prompter.messages(), QStringList{"本次测试已经保存！"});
    EXPECT_EQ(console->state().statusPanels[6], u"存储 3 条记录");
    // A new test with the same numbers is refused as the duplicate it is.
    prompter.shown.clear();
    console->resetChannels();
    for (int c = 0; c < 3; ++c) set(Field::TvTestNumber, c, "S1");
    finishAll();
    console->save2Click();
    EXPECT_EQ(prompter.messages(), QStringList{"同名记录漏电流测试编号：S1HL 已经存在，请使用其他的编号！\n未保存：第1路、第2路、第3路"});
}

TEST_F(Saving, EachKindChecksItsOwnEntries) {
    struct Case {
        TestKind kind;
        Field emptied;
        const char* message;  // nullptr: the save goes through
    };
    const Case cases[] = {
        {TestKind::TV, Field::TvOperator, "测试数据不完整，本次测试无效！请确认完整后，再重新保存！"},
        {TestKind::TV, Field::TvTestNumber, "测试数据不完整，本次测试无效！请确认完整后，再重新保存！"},
        {TestKind::Leakage, Field::LeakageTestTime, "测试数据不完整，本次测试无效！请确认完整后，再重新保存！"},
        {TestKind::Leakage, Field::TvOperator, nullptr},  // a leakage test needs no tester
        // ... but a number: the record would be named by its position code alone.
        {TestKind::Leakage, Field::TvTestNumber, "测试数据不完整，本次测试无效！请确认完整后，再重新保存！"},
        {TestKind::Electrolyte, Field::ElecTestNumber, "参数设定不能为空！请确认完整后，再重新保存！"},
        {TestKind::Electrolyte, Field::ElecOperator, nullptr},
    };
    int round = 0;
    for (const Case& c : cases) {
        prompter.shown.clear();
        console->selectKind(0, c.kind);
        // Fresh numbers each round, so no record of an earlier round is a duplicate.
        const QString number = QStringLiteral("R%1").arg(++round);
        for (int ch = 0; ch < 3; ++ch) {
            console->state().field(Field::TvTestNumber, ch) = number;
            console->state().field(Field::ElecTestNumber, ch) = number;
            console->state().field(Field::TvOperator, ch) = QStringLiteral("Li");
            console->state().field(Field::ElecOperator, ch) = QStringLiteral("Li");
            console->state().field(Field::LeakageVoltage, ch) = QStringLiteral("100");
            console->state().field(Field::LeakageTestTime, ch) = QStringLiteral("120");
        }
        set(c.emptied, 0, "");
        prompter.answers.clear();
        if (console->unsavedTest()) prompter.answers = {true};  // the test of the round before is given up
        console->resetChannels();
        prompter.shown.clear();
        finishAll();
        const int before = console->storedCount();
        console->save2Click();
        if (c.message) {
            ASSERT_EQ(prompter.messages().size(), 1) << round;
            EXPECT_EQ(prompter.messages()[0].section(u'\n', 0, 0), QString::fromUtf8(c.message)) << round;
            EXPECT_EQ(prompter.messages()[0].section(u'\n', 1), u"未保存：第1路、第2路、第3路") << round;
        } else {
            EXPECT_TRUE(prompter.messages().isEmpty()) << round << prompter.messages().join("|").toStdString();
            // Leakage and electrolyte channels store no sheet: the counter stays, and the status
            // names the three records stored locally.
            EXPECT_EQ(console->storedCount(), before);
            EXPECT_EQ(settings->read(Section::Canshu, u"存储运行标志"), QString::number(before));
            EXPECT_EQ(console->state().statusPanels[6], u"存储 3 条记录");
        }
    }
}

TEST_F(Saving, ACounterInTheStoreThatIsNoNumberFailsTheSave) {
    settings->write(Section::Canshu, u"存储运行标志", QStringLiteral("x"));
    finishAll();
    prompter.answers = {false};
    console->save2Click();
    EXPECT_EQ(prompter.messages(), QStringList{"无法保存，请检查实验参数设定是否完整并且正确！"});
}
