// What the statistics window reads from the batch store, on the SQLite ODBC driver and on
// PostgreSQL: the sheets of one grade within a range of days (both ends included, other grades and
// days left out, a grade holding a quote matched as written), and the grade list.
#include "statistics/statistics_source.h"
#include "support/batch_source.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;
using namespace varnot::testing;

namespace {

class StatisticsSource : public ::testing::TestWithParam<Engine> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        static int tests = 0;
        ASSERT_NO_FATAL_FAILURE(
            source.setUp(GetParam(), QStringLiteral("stat%1").arg(++tests), QDir(dir.path())));
        if (IsSkipped()) return;
        store = BatchStore(source.connectionText());
        ASSERT_EQ(store.ensureSchema(), QString());
    }
    void TearDown() override { source.tearDown(); }

    // Sheet k of a batch stored on `day`; an empty Tr stores a test that did not end (NULL).
    void storeSheet(const char* serial, const QString& spec, QDate day, int k, const char* tr,
                    const char* vt) {
        const BatchFields b{QString::fromLatin1(serial), spec, QStringLiteral("520"), {}, {}, {}, {}, {},
                            QStringLiteral("0")};
        SheetFields s{{}, {}, {}, QString::fromLatin1(tr), {}, QString::fromLatin1(vt)};
        s.finished = false;
        ASSERT_TRUE(store.storeSheet(b, k, s, {0.0f, 1.0f}, day).ok()) << serial << k;
    }

    QTemporaryDir dir;
    BatchSource source;
    BatchStore store;
};

TEST_P(StatisticsSource, SheetsOfOneGradeWithinTheDaysBothEndsIncluded) {
    const QString grade = QStringLiteral("KDB-520VF");
    // Stored out of order; S0 and S3 lie a day outside the range, X1 is another grade.
    ASSERT_NO_FATAL_FAILURE(storeSheet("S2", grade, QDate(2026, 12, 10), 4, "26.5", "530"));
    ASSERT_NO_FATAL_FAILURE(storeSheet("S2", grade, QDate(2026, 12, 10), 1, "25", "528.5"));
    ASSERT_NO_FATAL_FAILURE(storeSheet("S1", grade, QDate(2026, 12, 1), 2, "", ""));
    ASSERT_NO_FATAL_FAILURE(storeSheet("S1", grade, QDate(2026, 12, 1), 1, "31", "519.9"));
    ASSERT_NO_FATAL_FAILURE(storeSheet("S0", grade, QDate(2026, 11, 30), 1, "20", "530"));
    ASSERT_NO_FATAL_FAILURE(storeSheet("S3", grade, QDate(2026, 12, 11), 1, "20", "530"));
    ASSERT_NO_FATAL_FAILURE(
        storeSheet("X1", QStringLiteral("KDB-460VF"), QDate(2026, 12, 5), 1, "20", "530"));

    const SheetRecords read =
        readSheetRecords(store, QStringLiteral(" KDB-520VF "), QDate(2026, 12, 1), QDate(2026, 12, 10));
    ASSERT_EQ(read.error, QString());
    const struct {
        const char* serial;
        const char* date;
        int number;
        std::optional<double> tr, vt;
    } expected[] = {{"S1", "2026/12/01", 1, 31, 519.9},
                    {"S1", "2026/12/01", 2, std::nullopt, std::nullopt},
                    {"S2", "2026/12/10", 1, 25, 528.5},
                    {"S2", "2026/12/10", 4, 26.5, 530}};
    ASSERT_EQ(read.sheets.size(), std::size(expected));
    for (std::size_t i = 0; i < read.sheets.size(); ++i) {
        const SheetRecord& s = read.sheets[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(s.serial, QString::fromLatin1(expected[i].serial));
        EXPECT_EQ(s.date, QString::fromLatin1(expected[i].date));
        EXPECT_EQ(s.number, expected[i].number);
        EXPECT_EQ(s.vf, std::optional<double>(520));
        EXPECT_EQ(s.tr, expected[i].tr);
        EXPECT_EQ(s.vt, expected[i].vt);
    }

    // A single day; a range the wrong way round finds nothing.
    EXPECT_EQ(readSheetRecords(store, grade, QDate(2026, 11, 30), QDate(2026, 11, 30)).sheets.size(), 1u);
    const SheetRecords none = readSheetRecords(store, grade, QDate(2026, 12, 10), QDate(2026, 12, 1));
    EXPECT_EQ(none.error, QString());
    EXPECT_TRUE(none.sheets.empty());
}

TEST_P(StatisticsSource, GradeIsBoundNotSpliced) {
    // A grade holding a quote finds its own batch and no other.
    ASSERT_NO_FATAL_FAILURE(storeSheet("Q1", QStringLiteral("KD'B"), QDate(2026, 12, 5), 1, "20", "530"));
    ASSERT_NO_FATAL_FAILURE(storeSheet("Q2", QStringLiteral("KDB"), QDate(2026, 12, 5), 1, "20", "530"));
    const SheetRecords read =
        readSheetRecords(store, QStringLiteral("KD'B"), QDate(2026, 12, 1), QDate(2026, 12, 31));
    ASSERT_EQ(read.error, QString());
    ASSERT_EQ(read.sheets.size(), 1u);
    EXPECT_EQ(read.sheets[0].serial, QStringLiteral("Q1"));
    EXPECT_TRUE(
        readSheetRecords(store, QStringLiteral("KD' OR '1'='1"), QDate(2026, 12, 1), QDate(2026, 12, 31))
            .sheets.empty());
}

TEST_P(StatisticsSource, GradesOfTheListAndOfStoredBatchesEachOnce) {
    ASSERT_NO_FATAL_FAILURE(
        storeSheet("G1", QStringLiteral("KDX-100VF"), QDate(2026, 12, 5), 1, "20", "530"));
    ASSERT_NO_FATAL_FAILURE(
        storeSheet("G2", QStringLiteral("KDB-520VF"), QDate(2026, 12, 5), 1, "20", "530"));
    QString error;
    const QStringList specs = statisticsSpecifications(store, &error);
    EXPECT_EQ(error, QString());
    QStringList expected = BatchStore::seedSpecifications();
    expected << QStringLiteral("KDX-100VF");
    expected.sort();
    EXPECT_EQ(specs, expected);
}

TEST(StatisticsSourceFailure, AnUnreachableSourceIsReported) {
    ASSERT_FALSE(odbcFolder().isEmpty());  // the process's own source list, as the other tests use
    BatchStore store(QStringLiteral("no_such_source_here;UID=sa;Password=;"));
    store.setTimeoutSeconds(1);
    const SheetRecords read =
        readSheetRecords(store, QStringLiteral("KDB-520VF"), QDate(2026, 12, 1), QDate(2026, 12, 31));
    EXPECT_FALSE(read.error.isEmpty());
    EXPECT_TRUE(read.sheets.empty());
    QString error;
    EXPECT_TRUE(statisticsSpecifications(store, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Engines, StatisticsSource, ::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) {
                             return std::string(info.param == Engine::SQLite ? "SQLiteOdbc" : "PostgreSQL");
                         });

}  // namespace
