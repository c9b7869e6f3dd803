// Local test databases on real SQLite files: existence check, saving, layout, hostile names.
#include "storage/local_records.h"

#include "storage/qt_print.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace varnot {
namespace {

// Reads a database file directly, on a connection of its own that is gone afterwards.
void withFile(const QString& path, const std::function<void(QSqlDatabase&)>& body) {
    static int n = 0;
    const QString name = QStringLiteral("inspect-%1").arg(++n);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        body(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

std::vector<QVariantList> rows(QSqlDatabase& db, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery q(db);
    q.prepare(sql);
    for (const auto& v : values) q.addBindValue(v);
    EXPECT_TRUE(q.exec()) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    std::vector<QVariantList> out;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i) row << q.value(i);
        out.push_back(row);
    }
    return out;
}

QStringList tableNames(QSqlDatabase& db) {
    QStringList names;
    for (const auto& r : rows(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")))
        names << r[0].toString();
    return names;
}

StoredTest tvTest(const QString& name, int samples = 3) {
    StoredTest t;
    t.kind = TestKind::TV;
    t.recordName = name;
    t.values = {{QStringLiteral("化成电压"), QStringLiteral("520")},
                {QStringLiteral("TV值"), 498.5},
                {QStringLiteral("TV特性"), QStringLiteral("合格")},
                {QStringLiteral("水煮前"), true},
                {QStringLiteral("水煮后"), false},
                {QStringLiteral("测试人"), QStringLiteral("王工")},
                {QStringLiteral("测试日期"), QDate(2026, 3, 7)}};
    for (int k = 1; k <= samples; ++k) {
        t.volts.push_back(10.5f * float(k));
        t.amps.push_back(0.125f * float(k));
    }
    return t;
}

class LocalRecordsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    LocalRecords dbs{dir.path()};
    QString tvFile() const { return dbs.filePath(TestKind::TV); }
};

TEST_F(LocalRecordsTest, RecordIsFoundOnlyUnderItsOwnNameAndKind) {
    EXPECT_EQ(recordName(QStringLiteral("A1"), QStringLiteral("TM")), QStringLiteral("A1TM"));
    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("A1TM"))), QString());

    struct Case { TestKind kind; const char* name; bool found; };
    for (const Case& c : {Case{TestKind::TV, "A1TM", true}, Case{TestKind::TV, "A1HL", false},
                          Case{TestKind::TV, "A1", false}, Case{TestKind::Leakage, "A1TM", false},
                          Case{TestKind::Electrolyte, "A1TM", false}, Case{TestKind::TV, "", false}})
        EXPECT_EQ(dbs.recordExists(c.kind, QString::fromUtf8(c.name)), c.found) << c.name << " kind " << int(c.kind);
}

TEST_F(LocalRecordsTest, MissingFileAnswersFalseAndNothingIsCreated) {
    for (TestKind k : {TestKind::TV, TestKind::Leakage, TestKind::Electrolyte})
        EXPECT_FALSE(dbs.recordExists(k, QStringLiteral("A7HL")));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    const QString absent = dir.filePath(QStringLiteral("not-there"));
    EXPECT_FALSE(LocalRecords(absent).recordExists(TestKind::TV, QStringLiteral("A7HL")));
    EXPECT_FALSE(QFileInfo::exists(absent));
}

TEST_F(LocalRecordsTest, EmptyCurveTableCountsAsAbsentAndIsReplacedBySaving) {
    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("A2HM"), 0)), QString());
    withFile(tvFile(), [](QSqlDatabase& db) { EXPECT_TRUE(tableNames(db).contains(QStringLiteral("A2HM"))); });
    EXPECT_FALSE(dbs.recordExists(TestKind::TV, QStringLiteral("A2HM")));

    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("A2HM"), 4)), QString());
    EXPECT_TRUE(dbs.recordExists(TestKind::TV, QStringLiteral("A2HM")));
    withFile(tvFile(), [](QSqlDatabase& db) {
        EXPECT_EQ(rows(db, QStringLiteral("SELECT COUNT(*) FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'A2HM'"))[0][0], 1);
        EXPECT_EQ(rows(db, QStringLiteral("SELECT COUNT(*) FROM \"A2HM\""))[0][0], 4);
    });
}

TEST_F(LocalRecordsTest, ChecksFollowChangesMadeElsewhereAndFilesThatAreReplaced) {
    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("C1HL"))), QString());
    ASSERT_TRUE(dbs.recordExists(TestKind::TV, QStringLiteral("C1HL")));  // its connection stays open
    // Another connection (another console, the history window) empties and drops tables.
    withFile(tvFile(), [](QSqlDatabase& db) { QSqlQuery(db).exec(QStringLiteral("DELETE FROM \"C1HL\"")); });
    EXPECT_FALSE(dbs.recordExists(TestKind::TV, QStringLiteral("C1HL")));
    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("C2HL"))), QString());
    withFile(tvFile(), [](QSqlDatabase& db) { QSqlQuery(db).exec(QStringLiteral("DROP TABLE \"C2HL\"")); });
    EXPECT_FALSE(dbs.recordExists(TestKind::TV, QStringLiteral("C2HL")));
    // The file replaced by a new one between two checks: the check reads the new file.
    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("C4HL"))), QString());
    ASSERT_TRUE(dbs.recordExists(TestKind::TV, QStringLiteral("C4HL")));
    ASSERT_TRUE(QFile::remove(tvFile()));
    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("C3HL"))), QString());
    EXPECT_TRUE(dbs.recordExists(TestKind::TV, QStringLiteral("C3HL")));
    EXPECT_FALSE(dbs.recordExists(TestKind::TV, QStringLiteral("C4HL")));
    // The file removed: absent, and not created again by the check.
    ASSERT_TRUE(QFile::remove(tvFile()));
    EXPECT_FALSE(dbs.recordExists(TestKind::TV, QStringLiteral("C3HL")));
    EXPECT_FALSE(QFileInfo::exists(tvFile()));
}

TEST_F(LocalRecordsTest, RefusedSaveWritesNothing) {
    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("A7HL"), 3)), QString());

    StoredTest again = tvTest(QStringLiteral("A7HL"), 5);
    again.values[QStringLiteral("TV值")] = 1.0;
    EXPECT_TRUE(dbs.save(again).contains(QStringLiteral("同名记录已经存在")));

    // Several tests at once are all or nothing: the new one before the duplicate is not kept.
    const QString refused = dbs.save({tvTest(QStringLiteral("B1HL")), again});
    EXPECT_FALSE(refused.isEmpty());
    EXPECT_FALSE(dbs.recordExists(TestKind::TV, QStringLiteral("B1HL")));

    StoredTest unknown = tvTest(QStringLiteral("C1HL"));
    unknown.values[QStringLiteral("漏电流")] = 1.0;  // a leakage column, not a TV one
    EXPECT_TRUE(dbs.save(unknown).contains(QStringLiteral("漏电流")));
    StoredTest uneven = tvTest(QStringLiteral("C2HL"));
    uneven.amps.pop_back();
    EXPECT_FALSE(dbs.save(uneven).isEmpty());

    withFile(tvFile(), [](QSqlDatabase& db) {
        EXPECT_EQ(tableNames(db), (QStringList{QStringLiteral("A7HL"), QStringLiteral("铝箔TV参数")}));
        const auto params = rows(db, QStringLiteral("SELECT \"测试编号\", \"TV值\" FROM \"铝箔TV参数\""));
        ASSERT_EQ(params.size(), 1u);
        EXPECT_EQ(params[0][1].toDouble(), 498.5);
        EXPECT_EQ(rows(db, QStringLiteral("SELECT COUNT(*) FROM \"A7HL\""))[0][0], 3);
    });
}

TEST_F(LocalRecordsTest, HostileRecordNamesAreStoredVerbatimAndDoNothingElse) {
    const QStringList names = {QStringLiteral("x\"; drop table 铝箔TV参数; --"), QStringLiteral("O'Brien"),
                               QStringLiteral("[a]; drop table \"铝箔TV参数\"; --"), QStringLiteral("\"quoted\""),
                               QStringLiteral("a.b"), QStringLiteral("A7HL')--")};
    for (const auto& name : names) {
        ASSERT_EQ(dbs.save(tvTest(name)), QString()) << name.toStdString();
        EXPECT_TRUE(dbs.recordExists(TestKind::TV, name)) << name.toStdString();
    }
    withFile(tvFile(), [&](QSqlDatabase& db) {
        QStringList expected = names;
        expected << QStringLiteral("铝箔TV参数");
        expected.sort();
        QStringList tables = tableNames(db);
        tables.sort();
        EXPECT_EQ(tables, expected);
        QStringList stored;
        for (const auto& r : rows(db, QStringLiteral("SELECT \"测试编号\" FROM \"铝箔TV参数\""))) stored << r[0].toString();
        EXPECT_EQ(stored, names);
        const auto curve = rows(db, QStringLiteral("SELECT \"测试编号\" FROM \"O'Brien\" LIMIT 1"));
        ASSERT_EQ(curve.size(), 1u);
        EXPECT_EQ(curve[0][0], QStringLiteral("O'Brien"));
    });
}

TEST_F(LocalRecordsTest, TablesHaveTheListedColumnsAndTheCurveIndex) {
    for (TestKind kind : {TestKind::TV, TestKind::Leakage, TestKind::Electrolyte}) {
        StoredTest t;
        t.kind = kind;
        t.recordName = QStringLiteral("K1HL");
        t.volts = {1.5f, 2.5f, 3.5f};
        t.amps = {0.25f, 0.5f, 0.75f};
        ASSERT_EQ(dbs.save(t), QString());
        withFile(dbs.filePath(kind), [&](QSqlDatabase& db) {
            QStringList names, types;
            for (const auto& r : rows(db, QStringLiteral("PRAGMA table_info(\"%1\")").arg(parameterTable(kind)))) {
                names << r[1].toString();
                types << r[2].toString();
            }
            QStringList expectedNames, expectedTypes;
            for (const auto& c : parameterColumns(kind)) {
                expectedNames << c.name;
                expectedTypes << (c.type == LocalColumnType::Number  ? QStringLiteral("REAL")
                                  : c.type == LocalColumnType::YesNo ? QStringLiteral("INTEGER")
                                                                     : QStringLiteral("TEXT"));
            }
            EXPECT_EQ(names, expectedNames);
            EXPECT_EQ(types, expectedTypes);

            QStringList curveColumns;
            for (const auto& r : rows(db, QStringLiteral("PRAGMA table_info(\"K1HL\")")))
                curveColumns << r[1].toString() + u' ' + r[2].toString();
            EXPECT_EQ(curveColumns, (QStringList{QStringLiteral("vi_order SMALLINT"), QStringLiteral("测试编号 VARCHAR(20)"),
                                                 QStringLiteral("电压 REAL"), QStringLiteral("电流 REAL")}));
            const auto indexes = rows(db, QStringLiteral("PRAGMA index_list(\"K1HL\")"));
            ASSERT_EQ(indexes.size(), 1u);
            EXPECT_EQ(indexes[0][1].toString(), curveIndexName(QStringLiteral("K1HL")));
            EXPECT_TRUE(indexes[0][1].toString().startsWith(QStringLiteral("按编号索引")));
            EXPECT_EQ(indexes[0][2].toInt(), 0) << "not unique";
            const auto indexed = rows(db, QStringLiteral("PRAGMA index_info(\"%1\")").arg(curveIndexName(QStringLiteral("K1HL"))));
            ASSERT_EQ(indexed.size(), 1u);
            EXPECT_EQ(indexed[0][2].toString(), QStringLiteral("vi_order"));

            const auto samples = rows(db, QStringLiteral("SELECT * FROM \"K1HL\""));
            ASSERT_EQ(samples.size(), 3u);
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(samples[k][0].toInt(), k + 1);
                EXPECT_EQ(samples[k][1].toString(), QStringLiteral("K1HL"));
                EXPECT_EQ(samples[k][2].toFloat(), t.volts[k]);
                EXPECT_EQ(samples[k][3].toFloat(), t.amps[k]);
            }
        });
    }
    // A second record in the same file gets an index of its own.
    ASSERT_EQ(dbs.save(tvTest(QStringLiteral("K2HL"))), QString());
    withFile(tvFile(), [](QSqlDatabase& db) {
        EXPECT_EQ(rows(db, QStringLiteral("PRAGMA index_list(\"K2HL\")")).size(), 1u);
    });
}

TEST_F(LocalRecordsTest, ValuesAreStoredByColumnKind) {
    StoredTest a = tvTest(QStringLiteral("D1HL"));
    a.values[QStringLiteral("测试日期")] = QStringLiteral("2026/3/7");
    a.values[QStringLiteral("水温度")] = QStringLiteral("abc");      // not a number
    a.values[QStringLiteral("延迟时间")] = QStringLiteral(" 180 ");
    a.values[QStringLiteral("头位置")] = QStringLiteral("0012");     // a text column keeps its text
    StoredTest b = tvTest(QStringLiteral("D2HL"));
    b.values[QStringLiteral("测试日期")] = QDate(2025, 12, 31);
    StoredTest c = tvTest(QStringLiteral("D3HL"));
    c.values[QStringLiteral("测试日期")] = QDate(2026, 11, 9);  // as text "2026-11-9" would sort after "2026-11-10"
    ASSERT_EQ(dbs.save({a, b, c}), QString());

    withFile(tvFile(), [](QSqlDatabase& db) {
        const auto inYear = rows(db, QStringLiteral("SELECT \"测试编号\" FROM \"铝箔TV参数\" WHERE \"测试日期\" "
                                                    "BETWEEN '2026-01-01' AND '2026-12-31' ORDER BY \"测试日期\""));
        ASSERT_EQ(inYear.size(), 2u);
        EXPECT_EQ(inYear[0][0], QStringLiteral("D1HL"));
        EXPECT_EQ(inYear[1][0], QStringLiteral("D3HL"));
        EXPECT_EQ(rows(db, QStringLiteral("SELECT COUNT(*) FROM \"铝箔TV参数\" WHERE \"测试日期\" BETWEEN "
                                          "'2026-11-01' AND '2026-11-10'"))[0][0], 1);

        const auto r = rows(db, QStringLiteral("SELECT typeof(\"水温度\"), \"延迟时间\", typeof(\"延迟时间\"), \"化成电压\", "
                                               "\"水煮前\", \"水煮后\", \"头位置\", \"测试日期\", typeof(\"尾位置\") "
                                               "FROM \"铝箔TV参数\" WHERE \"测试编号\" = 'D1HL'"));
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0][0], QStringLiteral("null"));
        EXPECT_EQ(r[0][1].toDouble(), 180.0);
        EXPECT_EQ(r[0][2], QStringLiteral("real"));
        EXPECT_EQ(r[0][3].toDouble(), 520.0);
        EXPECT_EQ(r[0][4].toInt(), 1);
        EXPECT_EQ(r[0][5].toInt(), 0);
        EXPECT_EQ(r[0][6], QStringLiteral("0012"));
        EXPECT_EQ(r[0][7], QStringLiteral("2026-03-07"));
        EXPECT_EQ(r[0][8], QStringLiteral("null"));  // left out
    });
}

}  // namespace
}  // namespace varnot
