// The batch certificate written as PDF and read back: the batch fields, each sheet's values in
// their row and column order (before and after boiling side by side), the judgements and the
// verdict as text; a curve in each curve area that has one and none in the empty one.
#include "report/certificate_layout.h"
#include "report/pdf_reading.h"
#include "report/report_output.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace varnot::testing {
namespace {

// Coloured (not grey) pixels inside a curve area of a page rendered at `dpi`, a little clear of
// the area's frame.
int curvePixels(const QImage& page, const QRectF& areaTwips, int dpi) {
    constexpr double kMarginPt = 5 / 25.4 * 72;  // the PDF's margin
    const auto px = [&](double twips) { return static_cast<int>((kMarginPt + twips / 20) * dpi / 72); };
    int n = 0;
    for (int y = px(areaTwips.top()) + 3; y < px(areaTwips.bottom()) - 3; ++y)
        for (int x = px(areaTwips.left()) + 3; x < px(areaTwips.right()) - 3; ++x) {
            const QColor c = page.pixelColor(x, y);
            n += std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 100;
        }
    return n;
}

// The line of the page's text that starts with a row caption.
QString rowLine(const QString& text, const QString& caption) {
    for (const QString& line : text.split(u'\n'))
        if (line.trimmed().startsWith(caption + u' ')) return line;
    return {};
}

TEST(CertificatePdf, TheBatchItsSheetsCurvesAndVerdictReadBack) {
    Certificate c;
    c.batch = {QStringLiteral("B7"),   QStringLiteral("KDB-520VF"), QStringLiteral("520"),
               QStringLiteral("1200"), QStringLiteral("8.25"),      QStringLiteral("12.5"),
               QStringLiteral("IQ-7"), QStringLiteral("L2"),        QStringLiteral("3")};
    c.company = QStringLiteral("某某电子材料有限公司");
    c.date = QDate(2026, 12, 10);
    for (int k = 1; k <= kBatchSheets; ++k) {
        StoredSheet s;
        s.number = k;
        s.capacitance = 0.8 + k / 1000.0;  // 0.801 … 0.806
        s.bending = 10 + k;                // 11.00 …
        s.tensile = 20 + k;
        s.tr = 40 + k;
        s.vm = 530 + k;
        s.vt = k == 5 ? 510 : 521 + k;     // 2' below VF: the batch fails
        s.trLimit = 60;
        c.sheets[std::size_t(k - 1)] = s;
        // A rising curve for sheets 1 to 5; sheet 6's curve was not stored.
        if (k < 6)
            for (int j = 0; j < 150 + 10 * k; ++j) c.curves[std::size_t(k - 1)].push_back(520 * (1 - std::exp(-j / 30.0)));
    }

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("合格证.pdf"));
    ASSERT_TRUE(writePdf(file, {layoutCertificate(c)}));
    ASSERT_EQ(pdfPages(file), 1);
    const QString text = pdfText(file, 1);
    ASSERT_FALSE(text.isEmpty());
    for (const QString& line : certificateFieldLines(c)) EXPECT_TRUE(text.contains(line)) << line.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("铝箔批次合格证")));
    EXPECT_TRUE(text.contains(c.company));
    EXPECT_TRUE(text.contains(QStringLiteral("批次判定：不合格")));

    // Each row holds its six values in the column order 1, 1', 2, 2', 3, 3'.
    const QStringList captions = certificateRowCaptions();
    for (int r = 0; r < captions.size(); ++r) {
        const QString line = rowLine(text, captions[r]);
        ASSERT_FALSE(line.isEmpty()) << captions[r].toStdString() << "\n" << text.toStdString();
        qsizetype at = 0;
        for (int k : kCertificateColumnSheet) {
            const QString cell = certificateColumn(c, k)[r];
            const qsizetype found = line.indexOf(cell, at);
            EXPECT_GE(found, at) << "row " << captions[r].toStdString() << " sheet " << k << " lacks "
                                 << cell.toStdString() << " in: " << line.toStdString();
            if (found >= 0) at = found + cell.size();
        }
    }
    EXPECT_TRUE(rowLine(text, QStringLiteral("比容")).contains(QStringLiteral("0.805")));
    EXPECT_TRUE(rowLine(text, QStringLiteral("判定")).contains(QStringLiteral("不合格")));

    constexpr int kDpi = 100;
    const QImage page = pdfPageImage(file, 1, kDpi);
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height());
    // Everything but the curves is black on white: the fields, the table and the verdict above
    // and below the curve areas.
    EXPECT_EQ(curvePixels(page, QRectF(0, 0, 16270, certificateCurveArea(1).top() - 100), kDpi), 0);
    EXPECT_EQ(curvePixels(page, QRectF(0, certificateCurveArea(1).bottom() + 100, 16270, 1800), kDpi), 0);
    for (int k = 1; k <= kBatchSheets; ++k) {
        const int n = curvePixels(page, certificateCurveArea(k), kDpi);
        if (k < 6)
            EXPECT_GT(n, 100) << "no curve in the area of sheet " << k;
        else
            EXPECT_EQ(n, 0) << "a curve in the empty area of sheet " << k;
    }
}

}  // namespace
}  // namespace varnot::testing
