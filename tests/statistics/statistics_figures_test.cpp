// The batch statistics figures on cases worked by hand: the X̄–R limits with the A2, D3, D4
// constants (six sheets a batch, a batch missing a sheet, batches too small to chart), the points
// flagged beyond their limits, the change of Tr by boiling and the share of sheets judged 不合格.
#include "statistics/batch_statistics.h"
#include "statistics/control_chart.h"
#include "common/text_number.h"
#include "report/certificate_layout.h"
#include "run/evaluation.h"
#include "settings/settings_store.h"
#include "support/built_ins.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace varnot;

namespace {

constexpr double kTol = 1e-3;

TEST(ChartConstants, CoverSubgroupsOfTwoToTen) {
    EXPECT_FALSE(chartConstants(0));
    EXPECT_FALSE(chartConstants(1));
    EXPECT_FALSE(chartConstants(11));
    const auto six = chartConstants(6);
    ASSERT_TRUE(six);
    EXPECT_DOUBLE_EQ(six->a2, 0.483);
    EXPECT_DOUBLE_EQ(six->d3, 0.0);
    EXPECT_DOUBLE_EQ(six->d4, 2.004);
    const auto ten = chartConstants(10);
    ASSERT_TRUE(ten);
    EXPECT_DOUBLE_EQ(ten->a2, 0.308);
    EXPECT_DOUBLE_EQ(ten->d3, 0.223);
}

struct ExpectedPoint {
    int subgroup;
    double mean, range, meanLower, meanUpper, rangeCentre, rangeLower, rangeUpper;
    bool meanOut, rangeOut;
};

struct ChartCase {
    const char* name;
    std::vector<std::vector<double>> subgroups;
    double grandMean;
    int leftOut;
    std::vector<ExpectedPoint> points;
};

// Worked by hand:
// - six sheets each, means 21, 23, 22, 26 and ranges 4, 4, 6, 2: X̿ = 23, R̄ = 4,
//   X̄ limits 23 ± 0.483 × 4 = 21.068 .. 24.932 (21 below, 26 above), R limits 0 .. 2.004 × 4 = 8.016;
// - a batch of six (mean 21, range 4) and one missing a sheet (five: mean 23, range 4):
//   σ̂ = (4 / 2.534 + 4 / 2.326) / 2 = 1.64911, X̿ = 241 / 11 = 21.90909;
//   n = 6: R̄ = 2.534 σ̂ = 4.17885, X̄ limits X̿ ± 0.483 R̄ = 19.89071 .. 23.92747, R up to 2.004 R̄ = 8.37441;
//   n = 5: R̄ = 2.326 σ̂ = 3.83583, X̄ limits X̿ ± 0.577 R̄ = 19.69582 .. 24.12237, R up to 2.114 R̄ = 8.10895;
// - one range far above the rest (seven ranges of 1, one of 10, n = 6): R̄ = 17 / 8 = 2.125,
//   R upper limit 2.004 × 2.125 = 4.2585: only the last is out; X̿ = (7 × 11 + 20) / 48, and the
//   last mean 20 / 6 lies above X̿ + 0.483 × 2.125 = 3.047;
// - a batch of one sheet and an empty one have no range: left out; the two of four sheets
//   (n = 4) alone make the chart: X̿ = 11, R̄ = 2, X̄ limits 11 ± 0.729 × 2, R up to 2.282 × 2.
const ChartCase kChartCases[] = {
    {"SixSheetsTwoOut",
     {{20, 22, 21, 23, 19, 21}, {24, 22, 23, 25, 21, 23}, {19, 25, 22, 22, 22, 22}, {25, 27, 26, 26, 26, 26}},
     23.0,
     0,
     {{0, 21, 4, 21.068, 24.932, 4, 0, 8.016, true, false},
      {1, 23, 4, 21.068, 24.932, 4, 0, 8.016, false, false},
      {2, 22, 6, 21.068, 24.932, 4, 0, 8.016, false, false},
      {3, 26, 2, 21.068, 24.932, 4, 0, 8.016, true, false}}},
    {"MissingSheet",
     {{20, 22, 21, 23, 19, 21}, {24, 22, 23, 25, 21}},
     21.90909,
     0,
     {{0, 21, 4, 19.89071, 23.92747, 4.17885, 0, 8.37441, false, false},
      {1, 23, 4, 19.69582, 24.12237, 3.83583, 0, 8.10895, false, false}}},
    {"RangeOut",
     {{1, 2, 2, 2, 2, 2},
      {1, 2, 2, 2, 2, 2},
      {1, 2, 2, 2, 2, 2},
      {1, 2, 2, 2, 2, 2},
      {1, 2, 2, 2, 2, 2},
      {1, 2, 2, 2, 2, 2},
      {1, 2, 2, 2, 2, 2},
      {1, 11, 2, 2, 2, 2}},
     97.0 / 48,
     0,
     {{7, 20.0 / 6, 10, 97.0 / 48 - 0.483 * 2.125, 97.0 / 48 + 0.483 * 2.125, 2.125, 0, 4.2585, true, true}}},
    {"TooSmallLeftOut",
     {{5}, {10, 12, 11, 11}, {}, {10, 12, 11, 11}},
     11.0,
     2,
     {{1, 11, 2, 11 - 1.458, 11 + 1.458, 2, 0, 4.564, false, false},
      {3, 11, 2, 11 - 1.458, 11 + 1.458, 2, 0, 4.564, false, false}}},
};

class XbarR : public ::testing::TestWithParam<ChartCase> {};

TEST_P(XbarR, LimitsAndFlagsAsWorkedByHand) {
    const ChartCase& c = GetParam();
    const XbarRChart chart = xbarRChart(c.subgroups);
    EXPECT_NEAR(chart.grandMean, c.grandMean, kTol);
    EXPECT_EQ(chart.leftOut, c.leftOut);
    if (c.points.size() == 1) {
        // Only the point named is checked; the others are alike and inside.
        const ExpectedPoint& e = c.points[0];
        for (const ChartPoint& p : chart.points) {
            if (p.subgroup == e.subgroup) continue;
            EXPECT_FALSE(p.rangeOut) << p.subgroup;
        }
    } else {
        ASSERT_EQ(chart.points.size(), c.points.size());
    }
    for (const ExpectedPoint& e : c.points) {
        const auto it = std::find_if(chart.points.begin(), chart.points.end(),
                                     [&](const ChartPoint& p) { return p.subgroup == e.subgroup; });
        ASSERT_NE(it, chart.points.end()) << e.subgroup;
        SCOPED_TRACE(e.subgroup);
        EXPECT_NEAR(it->mean, e.mean, kTol);
        EXPECT_NEAR(it->range, e.range, kTol);
        EXPECT_NEAR(it->meanLower, e.meanLower, kTol);
        EXPECT_NEAR(it->meanUpper, e.meanUpper, kTol);
        EXPECT_NEAR(it->rangeCentre, e.rangeCentre, kTol);
        EXPECT_NEAR(it->rangeLower, e.rangeLower, kTol);
        EXPECT_NEAR(it->rangeUpper, e.rangeUpper, kTol);
        EXPECT_EQ(it->meanOut, e.meanOut);
        EXPECT_EQ(it->rangeOut, e.rangeOut);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, XbarR, ::testing::ValuesIn(kChartCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XbarRLimits, APointOnItsLimitIsInside) {
    // n = 2, ranges 1: X̿ = (0.5 - 3.26) / 2 = -1.38, limits -1.38 ± 1.880 × 1 = -3.26 .. 0.5, so
    // both means lie on a limit (up to rounding); a range of 0 lies on D3 R̄ = 0.
    const XbarRChart onLimits = xbarRChart({{0, 1}, {-3.76, -2.76}});
    ASSERT_EQ(onLimits.points.size(), 2u);
    EXPECT_NEAR(onLimits.points[0].meanUpper, 0.5, kTol);
    EXPECT_NEAR(onLimits.points[1].meanLower, -3.26, kTol);
    for (const ChartPoint& p : onLimits.points) EXPECT_FALSE(p.meanOut) << p.subgroup;
    const XbarRChart zeroRange = xbarRChart({{2, 2}, {1, 3}});
    ASSERT_EQ(zeroRange.points.size(), 2u);
    EXPECT_EQ(zeroRange.points[0].range, 0.0);
    EXPECT_FALSE(zeroRange.points[0].rangeOut);
}

// Two batches of VF 500. A: all six sheets, Tr 20 22 21 | 23 19 21, TV 510 500 499.9 | 520 505 515.
// B: sheet 5 missing, sheet 2 without its TV value (a test that did not end),
// Tr 24 22 23 | 25 – 21, TV 530 – 510 | 520 – 501. The rows come interleaved.
std::vector<SheetRecord> twoBatches() {
    const auto sheet = [](const char* serial, int k, std::optional<double> tr, std::optional<double> vt) {
        return SheetRecord{QString::fromLatin1(serial), QStringLiteral("2026/12/05"), 500.0, k, tr, vt};
    };
    return {sheet("A", 1, 20, 510),   sheet("B", 1, 24, 530), sheet("A", 2, 22, 500), sheet("B", 2, 22, {}),
            sheet("A", 3, 21, 499.9), sheet("B", 3, 23, 510), sheet("A", 4, 23, 520), sheet("B", 4, 25, 520),
            sheet("A", 5, 19, 505),   sheet("A", 6, 21, 515), sheet("B", 6, 21, 501)};
}

TEST(BatchStatistics, SubgroupsAreTheBatchesSheets) {
    const BatchStatistics s = batchStatistics(twoBatches(), std::nullopt);
    EXPECT_EQ(s.serials, QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(s.sheets, 11);
    // Tr: the missing-sheet case worked above (A six values, B five).
    ASSERT_EQ(s.tr.points.size(), 2u);
    EXPECT_EQ(s.tr.points[0].n, 6);
    EXPECT_EQ(s.tr.points[1].n, 5);
    EXPECT_NEAR(s.tr.grandMean, 21.90909, kTol);
    EXPECT_NEAR(s.tr.points[1].meanUpper, 24.12237, kTol);
    // TV: B has four values (530, 510, 520, 501): mean 515.25, range 29.
    ASSERT_EQ(s.tv.points.size(), 2u);
    EXPECT_EQ(s.tv.points[1].n, 4);
    EXPECT_NEAR(s.tv.points[1].mean, 515.25, kTol);
    EXPECT_NEAR(s.tv.points[1].range, 29, kTol);
}

TEST(BatchStatistics, BoilingChangePerPositionOverTheBatchesHoldingBoth) {
    const BatchStatistics s = batchStatistics(twoBatches(), std::nullopt);
    // Position 1: A 20 -> 23, B 24 -> 25. Position 2: only A, 22 -> 19. Position 3: A 21 -> 21, B 23 -> 21.
    const struct {
        int pairs;
        double before, after, change;
    } expected[] = {{2, 22, 24, 2}, {1, 22, 19, -3}, {2, 22, 21, -1}};
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p + 1);
        EXPECT_EQ(s.boiling[std::size_t(p)].position, p + 1);
        EXPECT_EQ(s.boiling[std::size_t(p)].pairs, expected[p].pairs);
        EXPECT_NEAR(s.boiling[std::size_t(p)].before, expected[p].before, kTol);
        EXPECT_NEAR(s.boiling[std::size_t(p)].after, expected[p].after, kTol);
        EXPECT_NEAR(s.boiling[std::size_t(p)].change, expected[p].change, kTol);
    }
}

TEST(BatchStatistics, FailShareJudgesAsTheEndOfATest) {
    // Without a rise-time limit only A's sheet 3 (TV 499.9 below VF 500) fails; TV equal to VF
    // passes; B's sheet 2 is not judged. With the limit 24, B's sheet 4 (Tr 25) fails too and
    // B's sheet 1 (Tr 24, on the limit) passes.
    const struct {
        std::optional<double> limit;
        int failed;
        double share;
    } cases[] = {{std::nullopt, 1, 0.1}, {24.0, 2, 0.2}, {19.0, 9, 0.9}};
    for (const auto& c : cases) {
        const BatchStatistics s = batchStatistics(twoBatches(), c.limit);
        EXPECT_EQ(s.fails.judged, 10);
        EXPECT_EQ(s.fails.unjudged, 1);
        EXPECT_EQ(s.fails.failed, c.failed) << (c.limit ? *c.limit : -1);
        EXPECT_NEAR(s.fails.share(), c.share, kTol);
    }
}

TEST(BatchStatistics, NothingStoredGivesNoFigures) {
    const BatchStatistics s = batchStatistics({}, 30.0);
    EXPECT_TRUE(s.serials.isEmpty());
    EXPECT_TRUE(s.tr.empty());
    EXPECT_EQ(s.fails.share(), 0.0);
    EXPECT_EQ(s.boiling[0].pairs, 0);
}

}  // namespace

namespace {

// The one TV rule where a sheet is judged: at the end of its test, on the batch certificate and in
// the statistics. Cases at the boundaries, among them values a double and a float read apart (a
// TV value stored widened from single precision, a limit a hair under the rise time).
struct TvBoundary {
    const char* what;
    const char* vf;      // the batch's VF, as typed
    double vt;           // the TV value reached, as stored
    double limit;        // the rise-time limit the sheet was tested with
    int tr;              // the rise time
    bool pass;
};
const TvBoundary kTvBoundaries[] = {
    {"Vt at VF", "520.1", 520.1, 150, 150, true},
    {"Vt at VF, stored widened from a float", "520.1", double(520.1f), 150, 150, true},
    {"Vt a tenth below VF", "520.1", 520.0, 150, 150, false},
    {"Tr a second over", "520", 530, 150, 151, false},
    {"Tr over a fractional limit", "520", 530, 149.5, 150, false},
    {"limit a hair under Tr, the same float", "520", 530, 149.99999999, 150, true},
    {"both at their limits", "200", 200, 45, 45, true},
};

TEST(TvJudgement, TheEvaluationTheCertificateAndTheStatisticsJudgeAlike) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SettingsStore settings(dir.filePath("s.ini"));
    settings.initialiseMissing();
    for (const TvBoundary& c : kTvBoundaries) {
        // The end of the TV test on channel 1, by the evaluation itself.
        ConsoleState s = varnot::testing::builtIns();
        ChannelView view;
        Curves curves;
        Plots plots;
        Live live{s, view, curves, plots, false};
        s.kind[0] = TestKind::TV;
        s.firstCh = s.lastCh = 0;
        s.chStopped[0] = s.chEnded[0] = false;
        s.field(Field::FormationVoltage, 0) = QString::fromLatin1(c.vf);
        s.field(Field::RiseTimeLimit, 0) = shortestText(c.limit);
        s.field(Field::RiseTime, 0) = QString::number(c.tr);
        s.field(Field::DelayTime, 0) = QStringLiteral("5");
        view.firstMark[0] = true;
        s.n = c.tr + 7;
        for (int k = 1; k < s.n; ++k) curves.V[0][std::size_t(k)] = float(c.vt);
        curves.stored[0] = s.n - 1;
        evaluateChannel(live, settings, 0);
        ASSERT_TRUE(s.chEnded[0]) << c.what;
        EXPECT_EQ(s.field(Field::TvJudgement, 0), c.pass ? u"合格" : u"不合格") << c.what;

        // The certificate, from the sheet as stored with its limit.
        StoredSheet sheet;
        sheet.number = 1;
        sheet.tr = c.tr;
        sheet.vt = c.vt;
        sheet.vm = c.vt;
        sheet.trLimit = c.limit;
        EXPECT_EQ(sheetJudgement(sheet, QString::fromLatin1(c.vf)), c.pass ? u"合格" : u"不合格") << c.what;

        // The statistics' share of failed sheets.
        const std::vector<SheetRecord> records{
            {QStringLiteral("B1"), QStringLiteral("2026/12/10"), toDouble(QString::fromLatin1(c.vf)), 1, double(c.tr), c.vt}};
        const BatchStatistics st = batchStatistics(records, c.limit);
        EXPECT_EQ(st.fails.judged, 1) << c.what;
        EXPECT_EQ(st.fails.failed, c.pass ? 0 : 1) << c.what;
    }
}

}  // namespace
