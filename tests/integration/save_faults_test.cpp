// Saving under faults through the real databases, on the SQLite ODBC driver and on PostgreSQL:
// a batch table that goes away in the middle of a save, and tests that did not end.
#include "console/console.h"
#include "support/batch_source.h"
#include "support/local_db.h"
#include "support/scripted_prompter.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using varnot::testing::LocalDb;
using varnot::testing::ScriptedPrompter;

namespace {

using varnot::testing::Engine;

const QString kSheetFailed = QStringLiteral("无法保存，请检查实验记录是否完整，测试操作是否正确！");

class SaveFaults : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        static int tests = 0;
        ASSERT_NO_FATAL_FAILURE(source.setUp(GetParam(), QStringLiteral("faults%1").arg(++tests), QDir(dir.path())));
        if (IsSkipped()) return;
        settings = std::make_unique<SettingsStore>(dir.filePath("settings.ini"));
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"dbpath", dir.filePath(QStringLiteral("local")));
        console = std::make_unique<Console>(*settings, prompter);
        console->load();
        console->batchStore() = BatchStore(source.connectionText());
        console->setBatchField(BatchField::VF, QStringLiteral("520"));
    }
    void TearDown() override {
        if (console) console->unload();
        source.tearDown();
    }

    // Tests of channels 1 to 3 as a run leaves them: 40 samples each (sample 28 shows 128.2 V).
    // A finished test ended at sample 30 with its results; an unfinished one was stopped, and
    // only channel 1 reached point A.
    void testsOnScreen(const QString& number, bool finished) {
        const char* positions[] = {"HL", "HM", "HR"};
        for (int c = 0; c < 3; ++c) {
            ConsoleState& s = console->state();
            s.field(Field::TvTestNumber, c) = number;
            s.field(Field::TvPosition, c) = QString::fromLatin1(positions[c]);
            s.field(Field::TvOperator, c) = QStringLiteral("Li");
            s.field(Field::DelayTime, c) = QStringLiteral("10");
            for (int k = 1; k <= 40; ++k) {
                console->curves().V[c][k] = 100.0f + float(k) + 0.2f;
                console->curves().I[c][k] = 0.5f;
            }
            console->curves().stored[c] = 40;
            console->view().tVmax[c] = 25;
            s.field(Field::ReadoutVm, c) = QStringLiteral("141.2");
            const bool reachedA = finished || c == 0;
            console->view().firstMark[c] = reachedA;
            s.field(Field::RiseTime, c) = reachedA ? QStringLiteral("20") : QStringLiteral("0");
            s.chEnded[c] = finished;
            console->view().endSample[c] = finished ? 30 : 0;
            s.field(Field::TvValue, c) = finished ? QStringLiteral("130.2") : QStringLiteral("0");
            s.field(Field::TvJudgement, c) = finished ? QStringLiteral("合格") : QStringLiteral("待定");
            console->concludeTest(c);
        }
    }

    QString batchQuery(const QString& sql, const QVariantList& values = {}) { return source.query(sql, values); }
    QString sheetValue(const char* column, const QString& serial, int sheet) {
        return batchQuery(QStringLiteral("SELECT %1 FROM Part_Parameter WHERE SerNum = ? AND NumCurve = ?")
                              .arg(QString::fromLatin1(column)),
                          {serial, sheet});
    }
    QString curveValue(int column, const QString& serial, int sheet) {
        return batchQuery(QStringLiteral("SELECT \"%1\" FROM Curve WHERE SerNum = ? AND NumCurve = ?").arg(column),
                          {serial, sheet});
    }
    QStringList questions() const {
        QStringList q;
        for (const auto& s : prompter.shown)
            if (s.kind == "question") q << s.text;
        return q;
    }
    QString localFile() const { return dir.filePath(QStringLiteral("local/") + testDatabaseFile(TestKind::TV)); }

    QTemporaryDir dir;
    varnot::testing::BatchSource source;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
};

}  // namespace

TEST_P(SaveFaults, ASaveThatFailsPartWayIsCompletedByTheNextOne) {
    testsOnScreen(QStringLiteral("F1"), true);
    // While sheet 2's question is open, the curve table goes away (a server being rebuilt).
    prompter.onQuestion = [this](const QString& q) {
        if (q.startsWith(QStringLiteral("第2片")))
            batchQuery(QStringLiteral("ALTER TABLE Curve RENAME TO Curve_gone"));
    };
    prompter.answers = {true, true, true};
    console->save2Click();
    const QStringList m = prompter.messages();
    ASSERT_EQ(m.size(), 2) << m.join("|").toStdString();
    EXPECT_EQ(m[0], u"第1片曲线数据保存完毕!");
    const QStringList lines = m[1].split(u'\n');
    ASSERT_EQ(lines.size(), 3) << m[1].toStdString();
    EXPECT_EQ(lines[0], kSheetFailed);
    EXPECT_FALSE(lines[1].isEmpty());  // the database's reason
    EXPECT_EQ(lines[2], u"未保存：第2路、第3路");
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter")), u"1");  // sheet 2 rolled back
    EXPECT_TRUE(console->testDatabases().recordExists(TestKind::TV, QStringLiteral("F1HL")));
    EXPECT_FALSE(console->testDatabases().recordExists(TestKind::TV, QStringLiteral("F1HM")));
    EXPECT_TRUE(console->unsavedTest());

    // The table is back: the next save stores what is missing and refuses nothing of this test.
    prompter.onQuestion = nullptr;
    batchQuery(QStringLiteral("ALTER TABLE Curve_gone RENAME TO Curve"));
    prompter.shown.clear();
    prompter.answers = {true, true};
    console->save2Click();
    EXPECT_EQ(questions(), (QStringList{"第2片数据是否保存?", "第3片数据是否保存?"}));
    EXPECT_EQ(prompter.messages(), (QStringList{"第2片曲线数据保存完毕!", "第3片曲线数据保存完毕!"}));
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter")), u"3");
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT COUNT(*) FROM Curve")), u"3");
    EXPECT_TRUE(console->testDatabases().recordExists(TestKind::TV, QStringLiteral("F1HR")));
    EXPECT_FALSE(console->unsavedTest());
    // The two records this save stored.
    EXPECT_EQ(console->state().statusPanels[6], u"存储 2 条记录");
}

TEST_P(SaveFaults, ASheetValueTheColumnCannotHoldNamesItAndCanBeMended) {
    testsOnScreen(QStringLiteral("G1"), true);
    console->setBatchField(BatchField::Length, QStringLiteral("1200m"));
    prompter.answers = {true};
    console->save2Click();
    ASSERT_EQ(prompter.messages().size(), 1);
    EXPECT_EQ(prompter.messages()[0], kSheetFailed + QStringLiteral("\n数值无效：Length\n未保存：第1路、第2路、第3路"));
    EXPECT_FALSE(console->testDatabases().recordExists(TestKind::TV, QStringLiteral("G1HL")));
    console->setBatchField(BatchField::Length, QStringLiteral("1200"));
    prompter.shown.clear();
    prompter.answers = {true, true, true};
    console->save2Click();
    EXPECT_EQ(prompter.messages().size(), 3) << prompter.messages().join("|").toStdString();
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT Length FROM Whole_Parameter WHERE SerNum = 'G1'")).toDouble(), 1200);
}

TEST_P(SaveFaults, TestsThatDidNotEndStoreNullForWhatTheyNeverReached) {
    testsOnScreen(QStringLiteral("U1"), false);
    prompter.answers = {true, true, true};
    console->save2Click();
    const QStringList q = questions();
    ASSERT_EQ(q.size(), 3);
    EXPECT_TRUE(q[1].startsWith(QStringLiteral("第2片数据是否保存?"))) << q[1].toStdString();
    EXPECT_TRUE(q[1].contains(QStringLiteral("第2路测试未完成"))) << q[1].toStdString();
    EXPECT_EQ(prompter.messages().size(), 3) << prompter.messages().join("|").toStdString();

    // Batch: channel 1 reached point A (its rise time is real), none reached its TV value.
    EXPECT_EQ(sheetValue("Tr", QStringLiteral("U1"), 1).toDouble(), 20);
    EXPECT_TRUE(sheetValue("Vt", QStringLiteral("U1"), 1).isEmpty());
    EXPECT_TRUE(sheetValue("Tr", QStringLiteral("U1"), 2).isEmpty());
    EXPECT_EQ(sheetValue("Vm", QStringLiteral("U1"), 2).toDouble(), 141.2);
    // The curve holds what was measured, as shown: column i is sample i + 1.
    EXPECT_EQ(curveValue(27, QStringLiteral("U1"), 2).toDouble(), 128.2) << curveValue(27, QStringLiteral("U1"), 2).toStdString();
    EXPECT_FALSE(curveValue(39, QStringLiteral("U1"), 2).isEmpty());
    EXPECT_TRUE(curveValue(40, QStringLiteral("U1"), 2).isEmpty());

    LocalDb local(localFile());
    const auto column = [&](const char* name, const char* record) {
        return local.value(QStringLiteral("SELECT \"%1\" FROM \"铝箔TV参数\" WHERE \"测试编号\" = ?").arg(QString::fromUtf8(name)),
                           {QString::fromLatin1(record)});
    };
    EXPECT_TRUE(column("TV值", "U1HM").isNull());
    EXPECT_TRUE(column("升压时间", "U1HM").isNull());
    EXPECT_EQ(column("升压时间", "U1HL").toDouble(), 20);
    EXPECT_EQ(column("TV特性", "U1HM").toString(), u"待定");
    EXPECT_EQ(local.value(QStringLiteral("SELECT \"电压\" FROM \"U1HL\" WHERE vi_order = 28")).toDouble(), 128.2);
    EXPECT_EQ(local.value(QStringLiteral("SELECT COUNT(*) FROM \"U1HL\"")).toInt(), 40);
}

TEST_P(SaveFaults, ALocalDatabaseThatCannotBeWrittenLeavesItsRecordsForTheNextSave) {
    testsOnScreen(QStringLiteral("L1"), true);
    // The local folder cannot be made: its name is taken by a file.
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    settings->write(Section::Canshu, u"dbpath", blocker.fileName());
    prompter.answers = {true};
    console->save2Click();
    const QStringList m = prompter.messages();
    ASSERT_EQ(m.size(), 2) << m.join("|").toStdString();
    EXPECT_EQ(m[0], u"第1片曲线数据保存完毕!");
    EXPECT_TRUE(m[1].startsWith(QStringLiteral("无法保存，请检查实验参数设定是否完整并且正确！\n"))) << m[1].toStdString();
    EXPECT_TRUE(m[1].endsWith(QStringLiteral("\n未保存：第1路、第2路、第3路"))) << m[1].toStdString();
    // The folder is mended: the sheet stored before is not asked for again, the records follow.
    settings->write(Section::Canshu, u"dbpath", dir.filePath(QStringLiteral("local")));
    prompter.shown.clear();
    prompter.answers = {true, true};
    console->save2Click();
    EXPECT_EQ(questions(), (QStringList{"第2片数据是否保存?", "第3片数据是否保存?"}));
    for (const char* name : {"L1HL", "L1HM", "L1HR"})
        EXPECT_TRUE(console->testDatabases().recordExists(TestKind::TV, QString::fromLatin1(name))) << name;
    EXPECT_EQ(batchQuery(QStringLiteral("SELECT COUNT(*) FROM Part_Parameter")), u"3");
    EXPECT_FALSE(console->unsavedTest());
}

INSTANTIATE_TEST_SUITE_P(Engines, SaveFaults, ::testing::Values(Engine::SQLite, Engine::PostgreSQL));
