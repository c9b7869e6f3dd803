// Saving the finished tests of a group: the order of the sheets, the checks and their messages,
// the save-progress counter, and the local record every channel leaves. The batch store is not
// reached here (every sheet question is answered No); the end-to-end tests store sheets.
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
    void set(Field f, int ch, const char* text) { console->state().field(f, ch) = QString::fromUtf8(text); }
    QStringList questions() const {
        QStringList q;
        for (const auto& s : prompter.shown)
            if (s.kind == "question") q << s.text;
        return q;
    }
};

}  // namespace

TEST_F(Saving, SheetsFollowTheBoilingSwitchAndEveryOneAdvancesTheCounter) {
    console->save2Click();
    EXPECT_EQ(questions(), (QStringList{"第1片数据是否保存?", "第2片数据是否保存?", "第3片数据是否保存?"}));
    EXPECT_EQ(console->state().statusPanels[6], u"存储 3 条记录");
    EXPECT_EQ(settings->read(Section::Canshu, u"存储运行标志"), u"3");
    // Every channel's test is kept locally, whatever was answered for its sheet.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(dir.filePath("local/lb53A100.db"));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT \"测试编号\" FROM \"铝箔TV参数\" ORDER BY 1")));
        QStringList names;
        while (q.next()) names << q.value(0).toString();
        EXPECT_EQ(names, (QStringList{"S1HL", "S1HM", "S1HR"}));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    prompter.shown.clear();
    for (int c = 0; c < 3; ++c) set(Field::TvTestNumber, c, "S2");
    console->selectBoiling(0, Console::Boiling::After);
    console->save2Click();
    EXPECT_EQ(questions(), (QStringList{"第4片数据是否保存?", "第5片数据是否保存?", "第6片数据是否保存?"}));
    EXPECT_EQ(console->state().statusPanels[6], u"存储 6 条记录");
}

TEST_F(Saving, ADuplicateEndsTheSaveAfterTheChannelsBeforeIt) {
    set(Field::TvPosition, 1, "TM");
    console->recordExists = [](int ch) { return ch == 1; };
    console->save2Click();
    EXPECT_EQ(questions(), QStringList{"第1片数据是否保存?"});
    EXPECT_EQ(prompter.messages(), QStringList{"同名记录TV测试编号：S1TM 已经存在，请使用其他的编号！"});
    EXPECT_TRUE(console->state().statusPanels[6].isEmpty());  // neither written nor shown
    EXPECT_EQ(settings->read(Section::Canshu, u"存储运行标志"), u"0");
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
        const int before = console->storedCount();
        console->save2Click();
        if (c.message) {
            EXPECT_EQ(prompter.messages(), QStringList{QString::fromUtf8(c.message)}) << round;
        } else {
            EXPECT_TRUE(prompter.messages().isEmpty()) << round << prompter.messages().join("|").toStdString();
            // Leakage and electrolyte channels store no sheet: the counter is written unchanged.
            EXPECT_EQ(console->storedCount(), before);
            EXPECT_EQ(console->state().statusPanels[6], QStringLiteral("存储 %1 条记录").arg(before));
        }
    }
}

TEST_F(Saving, ACounterInTheStoreThatIsNoNumberFailsTheSave) {
    settings->write(Section::Canshu, u"存储运行标志", QStringLiteral("x"));
    prompter.answers = {false};
    console->save2Click();
    EXPECT_EQ(prompter.messages(), QStringList{"无法保存，请检查实验参数设定是否完整并且正确！"});
}
