// The batch screen's operations on the batch store, and the tables as other programs of a plant
// see them: their own unquoted statements, on the SQLite ODBC driver and on PostgreSQL.
#include "storage/batch_store.h"

#include "support/batch_source.h"

#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace varnot {
namespace {

using testing::Engine;

const QDate kToday(2026, 3, 7);

BatchFields batchOf(const QString& serial) {
    return {serial, QStringLiteral("KDB-520VF"), QStringLiteral("520"), {}, QStringLiteral("0.35"), {},
            QStringLiteral("IQ-7"), QStringLiteral("L2"), QStringLiteral("2")};
}

SheetFields sheetOf() {
    return {QStringLiteral("0.812"), QStringLiteral("3"), QStringLiteral("30.5"), QStringLiteral("25"),
            QStringLiteral("530.2"), QStringLiteral("498.5")};
}

std::vector<float> curveOf(int n) {
    std::vector<float> c(static_cast<std::size_t>(n));
    for (int i = 1; i < n; ++i) c[std::size_t(i)] = 100.0f + float(i);
    return c;
}

class ScreenStoreTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        static int tests = 0;
        ASSERT_NO_FATAL_FAILURE(source.setUp(GetParam(), QStringLiteral("screen%1").arg(++tests), QDir(dir.path())));
        if (IsSkipped()) return;
        store = BatchStore(source.connectionText());
    }
    void TearDown() override { source.tearDown(); }

    QString one(const QString& sql) { return source.query(sql); }
    void storeOk(const QString& serial, int sheet, int curve = 10) {
        ASSERT_EQ(store.ensureSchema(), QString());
        const StoreResult r = store.storeSheet(batchOf(serial), sheet, sheetOf(), curveOf(curve), kToday);
        ASSERT_TRUE(r.ok()) << r.detail.toStdString();
    }
    // Makes the database itself refuse `op` (UPDATE, DELETE) on a table where `condition` holds.
    void refuse(const char* op, const char* table, const char* condition) {
        const QString t = QString::fromLatin1(table), o = QString::fromLatin1(op), c = QString::fromLatin1(condition);
        if (GetParam() == Engine::SQLite) {
            const QString row = o == u"DELETE" ? QStringLiteral("OLD") : QStringLiteral("NEW");
            ASSERT_EQ(one(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %2 ON %1 WHEN %3 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                              .arg(t, o, QString(c).replace(QStringLiteral("ROW."), row + u'.'))),
                      QString());
        } else {
            const QString row = o == u"DELETE" ? QStringLiteral("OLD") : QStringLiteral("NEW");
            ASSERT_EQ(one(QStringLiteral("CREATE FUNCTION refuse_%1() RETURNS trigger AS $$ BEGIN IF %2 THEN RAISE EXCEPTION "
                                         "'refused'; END IF; RETURN %3; END $$ LANGUAGE plpgsql")
                              .arg(t, QString(c).replace(QStringLiteral("ROW."), row + u'.'), row)),
                      QString());
            ASSERT_EQ(one(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %2 ON %1 FOR EACH ROW EXECUTE FUNCTION refuse_%1()")
                              .arg(t, o)),
                      QString());
        }
    }

    QTemporaryDir dir;
    testing::BatchSource source;
    BatchStore store;
};

// The statements other programs of the plant use, names unquoted, as they write them.
TEST_P(ScreenStoreTest, OtherProgramsUnquotedStatementsFindTheConsolesTables) {
    storeOk(QStringLiteral("P1"), 1, 205);
    ASSERT_EQ(store.addSpecification(QStringLiteral("KDQ-700VF")), QString());
    struct Case {
        const char* statement;
        const char* first;  // the first value of the first row
    };
    for (const Case& c : {
             Case{"select * from Whole_Parameter where SerNum='P1'", "P1"},
             Case{"select * from Part_Parameter where SerNum='P1' and NumCurve=1", "P1"},
             Case{"select * from Curve where SerNum='P1' and NumCurve=1", "P1"},
             Case{"select SerNum from Whole_Parameter where SerNum like '%1%'", "P1"},
             Case{"select Speci from Criterion where Speci='KDQ-700VF'", "KDQ-700VF"},
         })
        EXPECT_EQ(one(QString::fromLatin1(c.statement)), QString::fromLatin1(c.first)) << c.statement;

    // What another program writes the console reads.
    ASSERT_EQ(one(QStringLiteral("INSERT INTO Whole_Parameter (SerNum, Speci, VF, Length, Area, Weight, IQNum, PLNum, NodeNum, "
                                 "ProDate, Pace,Conner) VALUES ('P2','KDA-380VF',380,Null,Null,Null,'IQ1','L1',0,"
                                 "'2026/03/01',1000,'OQC')")),
              QString());
    ASSERT_EQ(one(QStringLiteral("update Part_Parameter set SpecVot=1.5,Bend=NULL,Pull=0 where SerNum='P1' and NumCurve=1")),
              QString());
    const auto p2 = store.findBatch(QStringLiteral("P2"));
    ASSERT_TRUE(p2.has_value());
    EXPECT_EQ(p2->spec, QStringLiteral("KDA-380VF"));
    const BatchContents p1 = store.loadBatch(QStringLiteral("P1"));
    ASSERT_EQ(p1.sheets.size(), 1u);
    EXPECT_EQ(p1.sheets[0].capacitance, 1.5);
    EXPECT_FALSE(p1.sheets[0].bending.has_value());
}

// A plant database whose tables another program created with unquoted names: the console uses
// those and creates no second set beside them.
TEST_P(ScreenStoreTest, TablesCreatedUnquotedByAnotherProgramAreTheOnesUsed) {
    ASSERT_EQ(one(QStringLiteral("CREATE TABLE Whole_Parameter (SerNum VARCHAR(50), Speci VARCHAR(50), VF FLOAT, Length FLOAT, "
                                 "Area FLOAT, Weight FLOAT, IQNum VARCHAR(50), PLNum VARCHAR(50), NodeNum INTEGER, "
                                 "ProDate VARCHAR(20), Pace INTEGER, Conner VARCHAR(20))")),
              QString());
    ASSERT_EQ(one(QStringLiteral("CREATE TABLE Part_Parameter (SerNum VARCHAR(50), NumCurve INTEGER, SpecVot FLOAT, Bend FLOAT, "
                                 "Pull FLOAT, Tr FLOAT, Vm FLOAT, Vt FLOAT)")),
              QString());
    // A curve table narrower than the console's: ten sample columns.
    QString curve = QStringLiteral("CREATE TABLE Curve (SerNum VARCHAR(50), NumCurve INTEGER");
    for (int i = 0; i < 10; ++i) curve += QStringLiteral(", \"%1\" FLOAT").arg(i);
    ASSERT_EQ(one(curve + u')'), QString());
    ASSERT_EQ(one(QStringLiteral("CREATE TABLE Criterion (Speci VARCHAR(50))")), QString());

    storeOk(QStringLiteral("U1"), 1, 8);
    ASSERT_TRUE(store.saveBatch(batchOf(QStringLiteral("U2")), kToday).ok());

    const QString tables = GetParam() == Engine::SQLite
                               ? QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'")
                               : QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = '%1'")
                                     .arg(source.schema);
    EXPECT_EQ(one(tables), QStringLiteral("4"));
    EXPECT_EQ(one(QStringLiteral("select count(*) from Whole_Parameter")), QStringLiteral("2"));
    const BatchContents u1 = store.loadBatch(QStringLiteral("U1"));
    ASSERT_EQ(u1.error, QString());
    ASSERT_EQ(u1.curves.size(), 1u);
    EXPECT_EQ(u1.curves[0].values.size(), 8u) << "the row ends with its first NULL";
    EXPECT_EQ(u1.curves[0].values[7], 107.0);
}

TEST_P(ScreenStoreTest, SavingTheBatchInsertsOrUpdatesItsOneRow) {
    BatchFields b = batchOf(QStringLiteral("S1"));
    ASSERT_TRUE(store.saveBatch(b, kToday).ok());
    EXPECT_EQ(one(QStringLiteral("select ProDate from Whole_Parameter where SerNum='S1'")), QStringLiteral("2026/03/07"));
    EXPECT_EQ(one(QStringLiteral("select Length from Whole_Parameter where SerNum='S1'")), QString()) << "NULL";

    b.spec = QStringLiteral("KDA-380VF");
    b.length = QStringLiteral("1200");
    b.area.clear();
    b.joints = QStringLiteral("4");
    ASSERT_TRUE(store.saveBatch(b, kToday.addDays(3)).ok());
    EXPECT_EQ(one(QStringLiteral("select count(*) from Whole_Parameter")), QStringLiteral("1"));
    const auto found = store.findBatch(QStringLiteral("S1"));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->spec, QStringLiteral("KDA-380VF"));
    EXPECT_EQ(found->length, QStringLiteral("1200"));
    EXPECT_EQ(found->area, QString());
    EXPECT_EQ(found->joints, QStringLiteral("4"));
    EXPECT_EQ(one(QStringLiteral("select ProDate from Whole_Parameter where SerNum='S1'")), QStringLiteral("2026/03/07"))
        << "an update keeps the day the batch was written";
    EXPECT_EQ(one(QStringLiteral("select Conner from Whole_Parameter where SerNum='S1'")), QStringLiteral("OQC"));

    b.vf = QStringLiteral("5x");
    const StoreResult bad = store.saveBatch(b, kToday);
    EXPECT_EQ(bad.status, StoreResult::InvalidValue);
    EXPECT_EQ(bad.detail, QStringLiteral("VF"));
    EXPECT_EQ(store.saveBatch(batchOf(QStringLiteral("  ")), kToday).status, StoreResult::InvalidValue);
}

TEST_P(ScreenStoreTest, SheetValuesAreUpdatedTogetherOrNotAtAll) {
    for (int k : {1, 2, 4}) storeOk(QStringLiteral("V1"), k);
    const auto value = [&](const char* column, int k) {
        return one(QStringLiteral("select %1 from Part_Parameter where SerNum='V1' and NumCurve=%2").arg(QString::fromLatin1(column)).arg(k));
    };
    std::vector<int> notStored{99};
    ASSERT_TRUE(store.saveSheetValues(QStringLiteral("V1"), {{1, QStringLiteral("1.25"), {}, {}}, {4, {}, QStringLiteral("7"), QStringLiteral("40")}},
                                      &notStored)
                    .ok());
    EXPECT_TRUE(notStored.empty());
    EXPECT_EQ(value("SpecVot", 1).toDouble(), 1.25);
    EXPECT_EQ(value("Bend", 1), QString()) << "an empty bending cell is NULL";
    EXPECT_EQ(value("Pull", 1), QString()) << "an empty tensile cell is NULL, not 0";
    EXPECT_EQ(value("SpecVot", 4), QString()) << "an empty capacitance cell is NULL, not 0";
    EXPECT_EQ(value("Bend", 4).toDouble(), 7.0);
    EXPECT_EQ(value("SpecVot", 2).toDouble(), 0.812) << "a sheet not given is left alone";

    // A sheet the batch does not hold is named, not created; the others are stored. The serial
    // is found however its letters were typed.
    ASSERT_TRUE(store.saveSheetValues(QStringLiteral(" v1 "), {{3, QStringLiteral("2"), {}, {}}, {2, QStringLiteral("0.9"), {}, {}}},
                                      &notStored)
                    .ok());
    EXPECT_EQ(notStored, std::vector<int>{3});
    EXPECT_EQ(value("SpecVot", 2).toDouble(), 0.9);
    EXPECT_EQ(one(QStringLiteral("select count(*) from Part_Parameter where SerNum='V1' and NumCurve=3")), QStringLiteral("0"));

    // A text that is no number refuses the whole update.
    const StoreResult bad = store.saveSheetValues(QStringLiteral("V1"), {{1, QStringLiteral("9"), {}, {}}, {2, QStringLiteral("abc"), {}, {}}});
    EXPECT_EQ(bad.status, StoreResult::InvalidValue);
    EXPECT_EQ(bad.detail, QStringLiteral("SpecVot"));
    EXPECT_EQ(value("SpecVot", 1).toDouble(), 1.25);

    // The database refusing the second row takes the first back.
    ASSERT_NO_FATAL_FAILURE(refuse("UPDATE", "Part_Parameter", "ROW.NumCurve = 4"));
    const StoreResult failed = store.saveSheetValues(QStringLiteral("V1"), {{1, QStringLiteral("9"), {}, {}}, {4, QStringLiteral("9"), {}, {}}});
    EXPECT_EQ(failed.status, StoreResult::DatabaseError);
    EXPECT_TRUE(failed.detail.contains(QStringLiteral("refused"))) << failed.detail.toStdString();
    EXPECT_EQ(value("SpecVot", 1).toDouble(), 1.25);
}

TEST_P(ScreenStoreTest, DeletingABatchTakesItsSheetsAndCurvesOrNothing) {
    for (int k : {1, 5}) storeOk(QStringLiteral("D1"), k);
    storeOk(QStringLiteral("D2"), 1);
    ASSERT_NO_FATAL_FAILURE(refuse("DELETE", "Curve", "ROW.SerNum = 'D2'"));

    const QString failed = store.deleteBatch(QStringLiteral("D2"));
    EXPECT_TRUE(failed.contains(QStringLiteral("refused"))) << failed.toStdString();
    EXPECT_EQ(one(QStringLiteral("select count(*) from Whole_Parameter where SerNum='D2'")), QStringLiteral("1"));
    EXPECT_EQ(one(QStringLiteral("select count(*) from Part_Parameter where SerNum='D2'")), QStringLiteral("1"));

    ASSERT_EQ(store.deleteBatch(QStringLiteral(" D1 ")), QString());
    for (const char* table : {"Whole_Parameter", "Part_Parameter", "Curve"})
        EXPECT_EQ(one(QStringLiteral("select count(*) from %1 where SerNum='D1'").arg(QString::fromLatin1(table))), QStringLiteral("0"))
            << table;
}

TEST_P(ScreenStoreTest, OpeningReadsTheBatchItsSheetsAndItsCurves) {
    storeOk(QStringLiteral("O1"), 1, 205);
    storeOk(QStringLiteral("O1"), 4, 85);
    const BatchContents c = store.loadBatch(QStringLiteral(" O1 "));
    ASSERT_EQ(c.error, QString());
    ASSERT_TRUE(c.batch.has_value());
    EXPECT_EQ(c.batch->area, QStringLiteral("0.35"));
    ASSERT_EQ(c.sheets.size(), 2u);
    ASSERT_EQ(c.curves.size(), 2u);
    for (const StoredCurve& curve : c.curves) {
        EXPECT_EQ(curve.values.size(), curve.number == 1 ? 205u : 85u);
        EXPECT_EQ(curve.values[0], 0.0);
        EXPECT_EQ(curve.values[1], 101.0);
    }
    EXPECT_FALSE(store.loadBatch(QStringLiteral("O2")).batch.has_value());
    EXPECT_EQ(store.loadBatch(QStringLiteral("O2")).error, QString());

    BatchStore nowhere(QStringLiteral("no_such_source;UID=sa;Password=;"));
    const BatchContents unreachable = nowhere.loadBatch(QStringLiteral("O1"));
    EXPECT_FALSE(unreachable.error.isEmpty());
    EXPECT_FALSE(unreachable.batch.has_value());
}

std::string engineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::SQLite ? "SQLiteOdbc" : "PostgreSQL";
}

// One rule for serials on every path: stored upper-cased, found however typed, and a batch
// another program (or an older console) filed in lower case stays reachable and is replaced, not
// doubled. A sheet keeps the rise-time limit it was tested with; a table made without the column
// gets it, and the sheets stored before have none.
TEST_P(ScreenStoreTest, SerialsFollowOneRuleAndSheetsKeepTheirLimit) {
    ASSERT_EQ(one(QStringLiteral("CREATE TABLE Part_Parameter (SerNum VARCHAR(50), NumCurve INTEGER, SpecVot FLOAT, Bend FLOAT, "
                                 "Pull FLOAT, Tr FLOAT, Vm FLOAT, Vt FLOAT)")),
              QString());
    ASSERT_EQ(one(QStringLiteral("INSERT INTO Part_Parameter (SerNum, NumCurve, SpecVot, Bend, Pull, Tr, Vm, Vt) "
                                 "VALUES ('b7', 2, 0.8, 3, 30, 110, 530, 525)")),
              QString());
    ASSERT_EQ(store.ensureSchema(), QString());
    ASSERT_EQ(one(QStringLiteral("INSERT INTO Whole_Parameter (SerNum, Speci, VF, NodeNum, ProDate, Pace, Conner) "
                                 "VALUES ('b7', 'KDB-520VF', 520, 0, '2026/03/01', 1000, 'OQC')")),
              QString());

    for (const char* typed : {"B7", "b7", " b7 "}) {
        const BatchContents c = store.loadBatch(QString::fromLatin1(typed));
        ASSERT_EQ(c.error, QString()) << typed;
        ASSERT_TRUE(c.batch.has_value()) << typed;
        ASSERT_EQ(c.sheets.size(), 1u) << typed;
        EXPECT_EQ(c.sheets[0].tr, 110.0);
        EXPECT_FALSE(c.sheets[0].trLimit.has_value()) << "stored before the limit was kept";
    }
    EXPECT_EQ(store.serialsLike(QStringLiteral("B")), QStringList{QStringLiteral("b7")});
    EXPECT_EQ(store.serialsLike(QStringLiteral("b")), QStringList{QStringLiteral("b7")});

    // A test numbered "b7" files its sheet 1 (with the batch) into the same batch, upper-cased.
    SheetFields sheet = sheetOf();
    sheet.trLimit = QStringLiteral("150");
    ASSERT_TRUE(store.storeSheet(batchOf(QStringLiteral("b7")), 1, sheet, curveOf(10), kToday).ok());
    EXPECT_EQ(one(QStringLiteral("select count(*) from Whole_Parameter")), QStringLiteral("1"));
    EXPECT_EQ(one(QStringLiteral("select SerNum from Whole_Parameter")), QStringLiteral("B7"));
    EXPECT_EQ(one(QStringLiteral("select TrLimit from Part_Parameter where SerNum='B7' and NumCurve=1")).toDouble(), 150.0);
    // Sheet 2 again under its old lower-case serial: one row, the new one.
    ASSERT_TRUE(store.storeSheet(batchOf(QStringLiteral("B7")), 2, sheet, curveOf(10), kToday).ok());
    EXPECT_EQ(one(QStringLiteral("select count(*) from Part_Parameter where NumCurve=2")), QStringLiteral("1"));
    const BatchContents c = store.loadBatch(QStringLiteral("b7"));
    ASSERT_EQ(c.sheets.size(), 2u);
    for (const StoredSheet& s : c.sheets) EXPECT_EQ(s.trLimit, 150.0) << s.number;

    ASSERT_EQ(store.deleteBatch(QStringLiteral("b7")), QString());
    for (const char* table : {"Whole_Parameter", "Part_Parameter", "Curve"})
        EXPECT_EQ(one(QStringLiteral("select count(*) from %1").arg(QString::fromLatin1(table))), QStringLiteral("0")) << table;
}

INSTANTIATE_TEST_SUITE_P(Engines, ScreenStoreTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
}  // namespace varnot
