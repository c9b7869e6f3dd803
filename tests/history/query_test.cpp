// The history query: the statement text shown, the condition run with bound values, the grid
// model over a real database, and deleting records whole.
#include "history/query.h"
#include "history/record_display.h"
#include "history/record_edit.h"
#include "history/record_grid.h"
#include "stored_tests.h"

#include <QSignalSpy>

using namespace varnot;
using namespace varnot::testing;

namespace {

HistoryQuery query(TestKind kind, const char* column, const char* op, const char* v1, const char* v2 = "") {
    return {kind, QString::fromUtf8(column), QString::fromUtf8(op), QString::fromUtf8(v1),
            QString::fromUtf8(v2)};
}

TEST(HistoryStatement, TextsAsTheOperatorReadsThem) {
    struct Case {
        HistoryQuery q;
        const char* text;
    };
    const Case cases[] = {
        {query(TestKind::TV, "化成电压", ">", "100"), "select * from 铝箔TV参数 where 化成电压>100"},
        {query(TestKind::Leakage, "测试人", "<", "A01"), "select * from 漏电流参数 where 测试人='A01'"},
        {query(TestKind::Electrolyte, "测试日期", "<", "2009-09-01"),
         "select * from 电解液参数 where 测试日期<#2009-09-01#"},
        {query(TestKind::TV, "测试日期", "介于", "2009-01-01", "2009-12-31"),
         "select * from 铝箔TV参数 where 测试日期 between #2009-01-01# AND #2009-12-31#"},
        {query(TestKind::TV, "升压时间", "介于", "0", "1000"),
         "select * from 铝箔TV参数 where 升压时间 between 0 AND 1000"},
        {query(TestKind::TV, "测试编号", "介于", "A7HL", "x"),
         "select * from 铝箔TV参数 where 测试编号='A7HL'"},
        {query(TestKind::Electrolyte, "火花电压", "=", "5"), "select * from 电解液参数 where 火花电压=5"},
    };
    for (const Case& c : cases) EXPECT_EQ(qstr(c.q).toStdString(), c.text);
}

TEST(HistoryStatement, ConditionsBindTheirValuesAndRefuseWhatNoColumnHolds) {
    // Typed values never reach the statement text.
    const auto text = queryCondition(query(TestKind::TV, "测试人", ">", "'; drop table x; --"));
    ASSERT_TRUE(text);
    EXPECT_FALSE(text->where.contains(u"drop"));
    EXPECT_EQ(text->values, QVariantList{QStringLiteral("'; drop table x; --")});

    const auto dates = queryCondition(query(TestKind::TV, "测试日期", "介于", "2009/1/5", "2009-12-31"));
    ASSERT_TRUE(dates);
    EXPECT_EQ(dates->values, (QVariantList{QStringLiteral("2009-01-05"), QStringLiteral("2009-12-31")}));

    for (const HistoryQuery& q :
         {query(TestKind::Electrolyte, "火花电压", ">", "5"),
          query(TestKind::TV, "化成电压", ">", "0 or 1=1"),
          query(TestKind::TV, "化成电压", "介于", "0", "abc"),
          query(TestKind::TV, "测试日期", "<", "2009-13-01"),
          query(TestKind::TV, "测试日期", "=", "01.09.2009"), query(TestKind::TV, "化成电压", "", "100"),
          query(TestKind::TV, "Vmax", ">", "100")})
        EXPECT_FALSE(queryCondition(q)) << qstr(q).toStdString();
}

class HistoryGrid : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        std::vector<StoredTest> tests = {
            tvTest("A1HL", 100, 5, "A01", QDate(2009, 1, 1)),
            tvTest("A1HM", 150, 50, "A02", QDate(2009, 6, 30)),
            tvTest("A2HR", 200, 90, "A01", QDate(2009, 9, 1)),
            tvTest("B1TL", 400, 1000, "B", QDate(2010, 1, 1)),
            tvTest("B2TM", 99.5, 0, "A01", QDate(2008, 12, 31)),
        };
        ASSERT_EQ(databases.save(tests), QString());
    }
    QStringList found(const HistoryQuery& q) {
        const auto n = model.run(q);
        if (!n) return {QStringLiteral("(not run)")};
        QStringList names;
        for (int r = 1; r < model.rowCount() - 1; ++r) names << model.index(r, 0).data().toString();
        EXPECT_EQ(names.size(), *n);
        return names;
    }
    QString file() const { return databases.filePath(TestKind::TV); }

    QTemporaryDir dir;
    LocalRecords databases{dir.path()};
    HistoryDatabase database{dir.path()};
    RecordGridModel model{database};
};

TEST_F(HistoryGrid, FindsTheRecordsEachConditionDescribesInStoredOrder) {
    struct Case {
        HistoryQuery q;
        QStringList names;
    };
    const Case cases[] = {
        {query(TestKind::TV, "化成电压", ">", "100"), {"A1HM", "A2HR", "B1TL"}},
        {query(TestKind::TV, "化成电压", "<", " 100 "), {"B2TM"}},
        {query(TestKind::TV, "化成电压", "=", "100"), {"A1HL"}},
        {query(TestKind::TV, "升压时间", "介于", "0", "50"), {"A1HL", "A1HM", "B2TM"}},
        {query(TestKind::TV, "测试人", ">", "A01"), {"A1HL", "A2HR", "B2TM"}},
        {query(TestKind::TV, "测试编号", "=", "a1hl"), {"A1HL"}},  // texts match regardless of case
        {query(TestKind::TV, "测试日期", "介于", "2009-01-01", "2009/6/30"), {"A1HL", "A1HM"}},
        {query(TestKind::TV, "测试日期", "<", "2009/01/01"), {"B2TM"}},
        {query(TestKind::TV, "测试日期", ">", "2009-9-1"), {"B1TL"}},
        {query(TestKind::TV, "测试日期", "=", "2009-09-01"), {"A2HR"}},
        {query(TestKind::TV, "化成电压", ">", "1000"), {}},
        {query(TestKind::TV, "化成电压", ">", "0 or 1=1"), {"(not run)"}},
        {query(TestKind::Electrolyte, "测试电流", ">", "0"), {"(not run)"}},  // no electrolyte file
    };
    for (const Case& c : cases) EXPECT_EQ(found(c.q), c.names) << qstr(c.q).toStdString();
}

TEST_F(HistoryGrid, TypedStatementsMatchNothingAndChangeNothing) {
    FileCheck check(file());
    ASSERT_TRUE(check.exec("CREATE TABLE x (a INTEGER)"));
    const int tables = check.tables();
    for (const HistoryQuery& q :
         {query(TestKind::TV, "化成电压", ">", "0 or 1=1"),
          query(TestKind::TV, "测试人", "=", "'; drop table x; --"),
          query(TestKind::TV, "测试编号", "=", "' or '1'='1"),
          query(TestKind::TV, "测试日期", "介于", "2009-01-01", "2009-12-31# or 1=1 or #")}) {
        const auto n = model.run(q);
        EXPECT_TRUE(!n || *n == 0) << qstr(q).toStdString();
    }
    EXPECT_TRUE(check.tableExists("x"));
    EXPECT_EQ(check.tables(), tables);
    EXPECT_EQ(check.names("铝箔TV参数").size(), 5);
}

TEST_F(HistoryGrid, RowsAreTheColumnNamesTheRecordsAndOneEmptyRow) {
    ASSERT_EQ(model.run(query(TestKind::TV, "化成电压", ">", "300")), 1);
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 17);
    QStringList header, record;
    for (int c = 0; c < 17; ++c) {
        header << model.index(0, c).data().toString();
        record << model.index(1, c).data().toString();
    }
    EXPECT_EQ(header, gridColumns(TestKind::TV));
    EXPECT_EQ(record, QString("B1TL|400|2|20|150|1000|360|合格||||True||||B|2010/01/01").split('|'));
    EXPECT_EQ(model.index(2, 0).data().toString(), QString());
    // The grid counts its fixed row too: rows 2 .. gridRows - 2 are records.
    EXPECT_EQ(model.gridRows(), 4);
    EXPECT_FALSE(model.isRecordRow(1));
    EXPECT_TRUE(model.isRecordRow(2));
    EXPECT_FALSE(model.isRecordRow(3));

    // Nothing found: the column names only.
    ASSERT_EQ(model.run(query(TestKind::TV, "化成电压", ">", "5000")), 0);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_FALSE(model.isRecordRow(1));
    EXPECT_FALSE(model.isRecordRow(2));
    // A query that cannot run empties the grid: no record of the query before stays to be
    // deleted or changed under it.
    ASSERT_EQ(model.run(query(TestKind::TV, "化成电压", ">", "150")), 2);
    EXPECT_FALSE(model.run(query(TestKind::Electrolyte, "火花电压", ">", "5")));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.isRecordRow(2));
    EXPECT_TRUE(model.recordsFrom(2, 1).empty());
}

TEST_F(HistoryGrid, ReadsFurtherPagesAsScrolledAndKeepsTheListOfItsQuery) {
    ASSERT_EQ(databases.save(numberedTests(600)), QString());
    ASSERT_EQ(model.run(query(TestKind::TV, "化成电压", ">", "1000")), 590);  // T11HL .. T600HL
    EXPECT_EQ(model.rowCount(), 1 + RecordGridModel::kPage + 1);
    EXPECT_EQ(model.index(1, 0).data().toString(), QStringLiteral("T11HL"));

    ASSERT_EQ(databases.save(tvTest("LATEHL", 5000)), QString());  // saved after the query
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    while (model.canFetchMore()) model.fetchMore();
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(model.rowCount(), 1 + 590 + 1);
    EXPECT_EQ(model.index(590, 0).data().toString(), QStringLiteral("T600HL"));
    EXPECT_EQ(model.index(591, 0).data().toString(), QString());

    // Records named from a row on, fetching what is not read yet.
    ASSERT_EQ(model.run(query(TestKind::TV, "化成电压", ">", "1000")), 591);
    const auto refs = model.recordsFrom(RecordGridModel::kPage + 1, 3);
    ASSERT_EQ(refs.size(), 3u);
    EXPECT_EQ(refs[0].name, QStringLiteral("T%1HL").arg(10 + RecordGridModel::kPage));
    EXPECT_EQ(refs[2].name, QStringLiteral("T%1HL").arg(12 + RecordGridModel::kPage));
    EXPECT_FALSE(model.isRecordRow(591));  // not listed yet
    while (model.canFetchMore()) model.fetchMore();
    EXPECT_EQ(model.recordsFrom(591, 5).size(), 2u);  // T600HL, LATEHL
    EXPECT_TRUE(model.recordsFrom(1, 5).empty());
}

TEST_F(HistoryGrid, DeletesEachRecordWholeAndOnlyTheOneNamed) {
    ASSERT_EQ(model.run(query(TestKind::TV, "化成电压", ">", "0")), 5);
    FileCheck check(file());
    // A2HR lost its curve table; B1TL's row was deleted elsewhere and its name saved again since.
    ASSERT_TRUE(check.exec("DROP TABLE \"A2HR\""));
    const auto refs = model.recordsFrom(3, 3);  // A1HM, A2HR, B1TL
    ASSERT_EQ(refs.size(), 3u);
    ASSERT_TRUE(check.exec("DELETE FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'B1TL'"));
    ASSERT_TRUE(check.exec("DROP TABLE \"B1TL\""));
    ASSERT_EQ(databases.save(tvTest("B1TL", 700)), QString());

    QSqlDatabase db = database.open(TestKind::TV);
    const DeleteOutcome outcome = deleteRecords(db, TestKind::TV, refs);
    EXPECT_EQ(outcome.deleted, QStringList({"A1HM", "A2HR"}));
    EXPECT_EQ(outcome.left, QStringList({"B1TL"}));
    EXPECT_EQ(outcome.reason, QStringLiteral("记录已不存在"));
    EXPECT_EQ(check.names("铝箔TV参数"), QStringList({"A1HL", "B2TM", "B1TL"}));
    EXPECT_FALSE(check.tableExists("A1HM"));
    EXPECT_TRUE(check.tableExists("A1HL"));
    EXPECT_TRUE(check.tableExists("B1TL"));
}

}  // namespace

namespace {

TEST(RecordModification, TypedTextsBecomeValuesTheColumnCanHold) {
    struct Case {
        TestKind kind;
        const char* column;
        const char* text;
        QVariant value;  // invalid: refused
    };
    const Case cases[] = {
        {TestKind::TV, "升压时间", "75", 75.0},
        {TestKind::TV, "化成电压", " 1e2 ", 100.0},
        {TestKind::TV, "化成电压", "abc", {}},
        {TestKind::TV, "化成电压", "", {}},
        {TestKind::TV, "测试日期", "2009/9/1", QStringLiteral("2009-09-01")},
        {TestKind::TV, "测试日期", "2009-02-30", {}},
        {TestKind::TV, "水煮后", "是", 1},
        {TestKind::TV, "水煮前", "false", 0},
        {TestKind::TV, "水煮前", "maybe", {}},
        {TestKind::TV, "测试人", "'; drop table x; --", QStringLiteral("'; drop table x; --")},
        {TestKind::TV, "头位置", "12", QStringLiteral("12")},
        {TestKind::TV, "测试编号", "A1HL", {}},
        {TestKind::TV, "采样次数", "5", {}},
        {TestKind::TV, "Vmax", "5", {}},
        {TestKind::Leakage, "化成电压", "5", {}},
        {TestKind::Leakage, "漏电流", "0.25", 0.25},
        {TestKind::Electrolyte, "火花时间3", "12", 12.0},
        {TestKind::Electrolyte, "判定结果", "合格", QStringLiteral("合格")},
    };
    for (const Case& c : cases) {
        const auto v = modifiedValue(c.kind, QString::fromUtf8(c.column), QString::fromUtf8(c.text));
        if (!c.value.isValid())
            EXPECT_FALSE(v) << c.column << " " << c.text;
        else
            EXPECT_EQ(v, std::optional<QVariant>(c.value)) << c.column << " " << c.text;
    }
    EXPECT_EQ(modifiableColumns(TestKind::TV).size(), 14);
    EXPECT_EQ(modifiableColumns(TestKind::Leakage).size(), 13);
    EXPECT_EQ(modifiableColumns(TestKind::Electrolyte).size(), 16);
}

}  // namespace

namespace {

TEST(RecordDisplay, SlotsWalkThroughTheChosenGroup) {
    struct Case {
        int group;  // 0: 1-3通道, 1: 4-6通道, 2: 1-6通道
        const char* next;
        int slot, nextAfter;
    };
    for (const Case& c : {Case{0, "2", 2, 3}, Case{0, "3", 0, 1}, Case{0, "x", 0, 1}, Case{1, "0", 3, 4},
                          Case{1, "5", 5, 0}, Case{2, "5", 5, 0}, Case{2, "6", 0, 1}, Case{2, "-1", 0, 1}}) {
        const DisplaySlot s = displaySlot(c.group, QString::fromUtf8(c.next));
        EXPECT_EQ(s.slot, c.slot) << c.group << " " << c.next;
        EXPECT_EQ(s.next, c.nextAfter) << c.group << " " << c.next;
    }
    EXPECT_EQ(switchedGroups(0), std::vector<int>{0});
    EXPECT_EQ(switchedGroups(1), std::vector<int>{1});
    EXPECT_EQ(switchedGroups(2), (std::vector<int>{0, 1}));
}

TEST(RecordDisplay, ZoomFitsTheSpan) {
    const std::pair<int, float> cases[] = {{1, 0.03125f}, {9, 0.03125f}, {10, 0.0625f}, {39, 0.125f},
                                           {40, 0.25f},   {159, 0.5f},   {160, 1.0f},   {270, 1.0f},
                                           {319, 1.0f},   {320, 2.0f},   {2559, 8.0f},  {2560, 16.0f},
                                           {5119, 16.0f}, {5120, 32.0f}, {6000, 32.0f}};
    for (const auto& [span, zoom] : cases) EXPECT_EQ(zoomForSpan(span), zoom) << span;
}

}  // namespace
