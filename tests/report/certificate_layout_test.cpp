// The batch certificate as positioned items: each sheet's judgement and the batch's verdict for
// full, incomplete and failing batches; every field and value in its cell (sheets before and
// after boiling side by side); the curves inside their own areas on one time scale; the file name.
#include "report/certificate_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

namespace varnot {
namespace {

const QString kPass = QStringLiteral("合格"), kFail = QStringLiteral("不合格"), kPending = QStringLiteral("待定");

// Sheet k as stored with the rise-time limit of its channel's test: 60, 61, 62 for channels 1-3.
StoredSheet sheet(int k, double tr, double vt, std::optional<double> trLimit = {}) {
    StoredSheet s;
    s.trLimit = trLimit ? trLimit : std::optional<double>(60 + (k - 1) % 3);
    s.number = k;
    s.capacitance = 0.8 + k / 100.0;
    s.bending = 3 + k;
    s.tensile = 30 + k;
    s.tr = tr;
    s.vm = 530 + k;
    s.vt = vt;
    return s;
}

// Batch B7 at VF 520, sheets stored with their channels' rise-time limits 60, 61, 62; sheet k
// passes with Tr 40, Vt 525.
Certificate passingBatch() {
    Certificate c;
    c.batch = {QStringLiteral("B7"),   QStringLiteral("KDB-520VF"), QStringLiteral("520"),
               QStringLiteral("1200"), QString(),                   QStringLiteral("12.5"),
               QStringLiteral("IQ-7"), QStringLiteral("L2"),        QStringLiteral("3")};
    for (int k = 1; k <= kBatchSheets; ++k) {
        c.sheets[std::size_t(k - 1)] = sheet(k, 40, 525);
        c.curves[std::size_t(k - 1)] = std::vector<double>(std::size_t(100 + 20 * k), 300.0);
    }
    c.company = QStringLiteral("某某电子材料有限公司");
    c.date = QDate(2026, 12, 10);
    return c;
}

TEST(CertificateVerdict, SheetsAreJudgedAsTheirTestAndTheBatchByAllSix) {
    struct Case {
        const char* name;
        std::function<void(Certificate&)> change;
        std::array<QString, kBatchSheets> judgements;
        const char* verdict;
    };
    const Case cases[] = {
        {"full", [](Certificate&) {}, {kPass, kPass, kPass, kPass, kPass, kPass}, "合格"},
        // Equality passes: Vt at VF, Tr at its channel's limit.
        {"at the limits", [](Certificate& c) { c.sheets[5] = sheet(6, 62, 520); }, {kPass, kPass, kPass, kPass, kPass, kPass}, "合格"},
        {"missing sheets", [](Certificate& c) { c.sheets[2].reset(); c.sheets[4].reset(); },
         {kPass, kPass, QString(), kPass, QString(), kPass}, "不完整"},
        {"Vt below VF on 2'", [](Certificate& c) { c.sheets[4] = sheet(5, 40, 519.99); },
         {kPass, kPass, kPass, kPass, kFail, kPass}, "不合格"},
        // Sheet 4 is channel 1 after boiling: channel 1's limit (60) applies, not channel 3's.
        {"Tr over its channel's limit on 1'", [](Certificate& c) { c.sheets[3] = sheet(4, 61, 525); },
         {kPass, kPass, kPass, kFail, kPass, kPass}, "不合格"},
        {"a failing sheet outweighs a missing one", [](Certificate& c) { c.sheets[0].reset(); c.sheets[1] = sheet(2, 80, 525); },
         {QString(), kFail, kPass, kPass, kPass, kPass}, "不合格"},
        {"a test that did not end", [](Certificate& c) { c.sheets[2]->vt.reset(); },
         {kPass, kPass, kPending, kPass, kPass, kPass}, "不完整"},
        // Sheets stored before their limit was kept are not judged on their rise time.
        {"no limit stored for channel 2's sheets", [](Certificate& c) { c.sheets[1]->trLimit.reset(); c.sheets[4]->trLimit.reset(); },
         {kPass, kPending, kPass, kPass, kPending, kPass}, "不完整"},
        // Without a limit, a Vt below VF still fails; without a Vt, a Tr over its limit does.
        {"no limit, Vt low", [](Certificate& c) { c.sheets[1] = sheet(2, 40, 500); c.sheets[1]->trLimit.reset(); c.sheets[4]->trLimit.reset(); },
         {kPass, kFail, kPass, kPass, kPending, kPass}, "不合格"},
        // Each sheet by the limit it was tested with: sheet 3 at 150 passes with Tr 110, sheet 3'
        // at 100 fails with it, whatever the other sheets of channel 3 had.
        {"the sheet's own limit", [](Certificate& c) { c.sheets[2] = sheet(3, 110, 525, 150); c.sheets[5] = sheet(6, 110, 525, 100); },
         {kPass, kPass, kPass, kPass, kPass, kFail}, "不合格"},
        {"no Vt, Tr over", [](Certificate& c) { c.sheets[2] = sheet(3, 63, 525); c.sheets[2]->vt.reset(); },
         {kPass, kPass, kFail, kPass, kPass, kPass}, "不合格"},
    };
    for (const Case& t : cases) {
        Certificate c = passingBatch();
        t.change(c);
        EXPECT_EQ(sheetJudgements(c), t.judgements) << t.name;
        EXPECT_EQ(batchVerdict(sheetJudgements(c)), QString::fromUtf8(t.verdict)) << t.name;
        // The verdict is printed, and each judgement in its sheet's column.
        const ReportPage page = layoutCertificate(c);
        const auto verdict = std::find_if(page.texts.begin(), page.texts.end(), [](const ReportText& x) {
            return x.text.startsWith(QStringLiteral("批次判定："));
        });
        ASSERT_NE(verdict, page.texts.end()) << t.name;
        EXPECT_EQ(verdict->text, QStringLiteral("批次判定：") + QString::fromUtf8(t.verdict)) << t.name;
        for (int k = 1; k <= kBatchSheets; ++k)
            EXPECT_EQ(certificateColumn(c, k).last(), t.judgements[std::size_t(k - 1)]) << t.name << " sheet " << k;
    }
}

// The frame a text stands in.
std::optional<QRectF> frameOf(const ReportPage& page, const ReportText& t) {
    for (const QRectF& f : page.frames)
        if (f.contains(t.at) && f.height() < 1000) return f;
    return std::nullopt;
}

TEST(CertificateLayout, EveryFieldAndValueLandsInItsCell) {
    Certificate c = passingBatch();
    c.sheets[4].reset();  // 2' missing: its column stays empty
    EXPECT_EQ(certificateFieldLines(c),
              (QStringList{"编号：B7", "规格：KDB-520VF", "VF值：520", "长度：1200", "面积：", "接头数：3", "重量：12.5",
                           "线别：L2", "IQ编号：IQ-7", "出证日期：2026/12/10"}));
    EXPECT_EQ(certificateColumn(c, 4), (QStringList{"1' 水煮后", "0.840", "7.00", "34.00", "40.00", "534.00", "525.00", "60", "合格"}));
    EXPECT_EQ(certificateColumn(c, 5), (QStringList{"2' 水煮后", "", "", "", "", "", "", "", ""}));
    // A sheet stored without its limit says so.
    c.sheets[1]->trLimit.reset();
    EXPECT_EQ(certificateColumn(c, 2), (QStringList{"2 水煮前", "0.820", "5.00", "32.00", "40.00", "532.00", "525.00", "未记录", "待定"}));
    c.sheets[1]->trLimit = 61;

    const ReportPage page = layoutCertificate(c);
    // Every text inside the printable area of a landscape A4 page.
    std::map<QString, const ReportText*> byText;
    for (const ReportText& t : page.texts) {
        EXPECT_TRUE(QRectF(0, 0, 16270, 11340).contains(t.at)) << t.text.toStdString();
        byText.emplace(t.text, &t);
    }
    for (const QString& line : certificateFieldLines(c)) EXPECT_TRUE(byText.count(line)) << line.toStdString();
    EXPECT_TRUE(byText.count(c.company));
    EXPECT_TRUE(byText.count(QStringLiteral("铝箔批次合格证")));

    // Column by column, 1 beside 1', then 2 and 2', then 3 and 3'; each cell under its sheet's
    // heading and beside its row's caption.
    const QStringList captions = certificateRowCaptions();
    double lastLeft = 0;
    for (int k : kCertificateColumnSheet) {
        const QStringList column = certificateColumn(c, k);
        const auto heading = frameOf(page, *byText.at(column[0]));
        ASSERT_TRUE(heading) << k;
        EXPECT_GT(heading->left(), lastLeft) << k;
        lastLeft = heading->left();
        for (int r = 0; r < column.size(); ++r) {
            const auto caption = frameOf(page, *byText.at(captions[r]));
            ASSERT_TRUE(caption);
            // Find the cell text at this column and row.
            const bool found = std::any_of(page.texts.begin(), page.texts.end(), [&](const ReportText& t) {
                const auto f = frameOf(page, t);
                return t.text == column[r] && f && f->left() == heading->left() && f->top() == caption->top();
            });
            EXPECT_TRUE(found) << "sheet " << k << " row " << captions[r].toStdString() << " '" << column[r].toStdString() << "'";
        }
        // The curve area lies under the column, below the table.
        const QRectF area = certificateCurveArea(k);
        EXPECT_GE(area.left(), heading->left());
        EXPECT_LE(area.right(), heading->right());
        EXPECT_GE(area.top(), frameOf(page, *byText.at(captions.last()))->bottom());
    }
}

TEST(CertificateLayout, CurvesShareOneTimeScaleInsideTheirOwnAreas) {
    const QRectF area(1000, 6000, 2000, 3000);
    // 0 V at the bottom, 1.5 × VF at the top, higher values held at the top; the longest curve
    // of the batch (here 5 samples) spans the area's width.
    const auto points = certificateCurvePoints({0, 260, 390, 520, 900}, 5, 260, area);
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[0], QPointF(1000, 9000));
    EXPECT_EQ(points[1], QPointF(1500, 7000));
    EXPECT_EQ(points[2], QPointF(2000, 6000));
    EXPECT_EQ(points[3], QPointF(2500, 6000));
    EXPECT_EQ(points[4], QPointF(3000, 6000));
    // A shorter curve ends part way; without a VF its own highest value reaches the top.
    const auto shorter = certificateCurvePoints({0, 50, 100}, 5, 0, area);
    ASSERT_EQ(shorter.size(), 3u);
    EXPECT_EQ(shorter.back(), QPointF(2000, 6000));
    EXPECT_EQ(shorter[1], QPointF(1500, 7500));

    Certificate c = passingBatch();
    c.curves[2].clear();  // sheet 3 without a curve
    const ReportPage page = layoutCertificate(c);
    ASSERT_EQ(page.curves.size(), 5u);
    std::array<int, kBatchSheets> curvesIn{};
    for (const ReportCurve& curve : page.curves)
        for (int k = 1; k <= kBatchSheets; ++k) {
            const QRectF a = certificateCurveArea(k);
            if (std::all_of(curve.points.begin(), curve.points.end(), [&](const QPointF& p) { return a.contains(p); })) {
                ++curvesIn[std::size_t(k - 1)];
                // Sheet k's curve holds its samples; sheet 6 is the longest and spans its area.
                EXPECT_EQ(curve.points.size(), c.curves[std::size_t(k - 1)].size()) << k;
                if (k == 6) EXPECT_DOUBLE_EQ(curve.points.back().x(), a.right());
                else EXPECT_LT(curve.points.back().x(), a.right());
            }
        }
    EXPECT_EQ(curvesIn, (std::array<int, kBatchSheets>{1, 1, 0, 1, 1, 1}));
    // The areas do not overlap.
    for (int a = 1; a <= kBatchSheets; ++a)
        for (int b = a + 1; b <= kBatchSheets; ++b)
            EXPECT_FALSE(certificateCurveArea(a).intersects(certificateCurveArea(b))) << a << " " << b;
}

TEST(CertificateFile, NamedBySerialAndDate) {
    const QDate day(2026, 12, 10);
    EXPECT_EQ(certificateFileName(QStringLiteral("B7"), day), QStringLiteral("合格证-B7-2026-12-10.pdf"));
    EXPECT_EQ(certificateFileName(QStringLiteral(" A/B:1*? "), day), QStringLiteral("合格证-A_B_1__-2026-12-10.pdf"));
}

}  // namespace
}  // namespace varnot
