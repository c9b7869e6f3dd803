// The report's pages as positioned items: the lines of each kind, the electrolyte spark column,
// the page positions, the titles by kind and the print ranges.
#include "report/report_layout.h"
#include "report/report_output.h"
#include "settings/field_catalogue.h"

#include <gtest/gtest.h>

namespace varnot {
namespace {

// Every field of every channel shows its legacy id followed by its channel number ("Text1-3"), so
// each printed line names the field it came from.
ConsoleState labelledState() {
    ConsoleState s;
    for (int f = 0; f < kFieldCount; ++f)
        for (int ch = 0; ch < kChannels; ++ch)
            s.fields[f][ch] = QString::fromLatin1(fieldSpec(static_cast<Field>(f)).legacyId) +
                              QLatin1Char('-') + QString::number(ch + 1);
    return s;
}

QStringList lines(std::initializer_list<const char*> texts) {
    QStringList out;
    for (const char* t : texts) out << QString::fromUtf8(t);
    return out;
}

const ReportText* findText(const ReportPage& page, const QString& text) {
    for (const ReportText& t : page.texts)
        if (t.text == text) return &t;
    return nullptr;
}

TEST(ReportLines, EachKindPrintsItsOwnColumnExactly) {
    ConsoleState s = labelledState();
    s.kind = {TestKind::TV,          TestKind::Leakage, TestKind::Electrolyte,
              TestKind::Electrolyte, TestKind::TV,      TestKind::Leakage};
    EXPECT_EQ(channelLines(s, 0),
              lines({"化成电压：Text1-1V", "测试电流：Text3-1mA", "延迟时间：Text4-1S",
                     "升压时间指标：Text5-1S", "升压时间：Text6-1S", "TV值0：Text7-1V", "TV特性：Text8-1",
                     "测试员：Text15-1", "测试编号：Text14-1", "测试日期：Text24-1"}));
    EXPECT_EQ(channelLines(s, 1),
              lines({"漏电流电压：Text9-2V", "测试电流：Text3-2mA", "漏电流指标：Text10-2mA",
                     "测试时间：Text11-2S", "漏电流：Text12-2mA", "漏电流特性：Text13-2", "测试员：Text15-2",
                     "测试编号：Text14-2", "测试日期：Text24-2"}));
    // No set-voltage line: ten lines, exactly these.
    EXPECT_EQ(channelLines(s, 2),
              lines({"测试电流：Text17-3mA", "参考电压：Text19-3V", "闪火延时：Text20-3S",
                     "闪火修正：Text21-3V", "最大电压：Text22-3V", "最小电压：Text28-3V",
                     "判定结果：Text23-3", "测试员：Text36-3", "测试编号：Text35-3", "测试日期：Text37-3"}));
    EXPECT_EQ(sparkLines(s, 3), lines({"火化电压-时间数据", "火化电压1：Text29-4V", "火化时间1：Text30-4S",
                                       "火化电压2：Text31-4V", "火化时间2：Text32-4S", "火化电压3：Text33-4V",
                                       "火化时间3：Text34-4S"}));
}

TEST(ReportLayout, PagePositionsFollowTheGroupAndTheKinds) {
    ConsoleState s = labelledState();
    // Group 4-6 runs three kinds; its title follows channel 6 (leakage).
    s.kind = {TestKind::TV,          TestKind::TV, TestKind::Electrolyte,
              TestKind::Electrolyte, TestKind::TV, TestKind::Leakage};
    std::array<QImage, kChannels> plots;
    for (int ch = 0; ch < kChannels; ++ch) {
        plots[ch] = QImage(8, 8, QImage::Format_RGB32);
        plots[ch].fill(QColor(ch * 40, 0, 0));
    }
    const auto pages = layoutReport(s, plots, QStringLiteral("某某电子材料有限公司"), {0, 1});
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(reportTitle(TestKind::Electrolyte), QStringLiteral("Varnot智能TV仪电解液测试报告"));
    const QString titles[] = {QStringLiteral("Varnot智能TV仪电解液测试报告"),
                              QStringLiteral("Varnot智能TV仪漏电流测试报告")};
    for (int g = 0; g < 2; ++g) {
        const ReportPage& page = pages[g];
        EXPECT_EQ(page.group, g);
        const ReportText* title = findText(page, titles[g]);
        ASSERT_TRUE(title) << g;
        EXPECT_EQ(title->at, QPointF(6600, 400));
        EXPECT_EQ(title->points, 18);
        const ReportText* company = findText(page, QStringLiteral("某某电子材料有限公司"));
        ASSERT_TRUE(company);
        EXPECT_EQ(company->at, QPointF(7000, 1000));
        EXPECT_EQ(company->points, 12);
        ASSERT_EQ(page.images.size(), 3u);
        ASSERT_EQ(page.frames.size(), 3u);
        for (int m = 0; m < 3; ++m) {
            const int ch = 3 * g + m;
            const double x = 500 + 5100 * m;
            EXPECT_EQ(page.frames[m], QRectF(QPointF(x, 6500), QPointF(5500 + 5000 * m, 11000)));
            const QRectF image = page.images[m].rect;
            EXPECT_EQ(image.top(), 900);
            EXPECT_EQ(image.size(), QSizeF(5000, 5000));
            EXPECT_LE(image.left(), x);  // over its own column, clear of the next image
            EXPECT_GE(image.left(), x - 100);
            EXPECT_EQ(page.images[m].image.pixelColor(0, 0), plots[ch].pixelColor(0, 0));
            const ReportText* heading = findText(page, QStringLiteral("TV通道%1数据显示").arg(ch + 1));
            ASSERT_TRUE(heading) << ch;
            EXPECT_EQ(heading->at, QPointF(x, 6200));
            EXPECT_EQ(heading->points, 14);
            // The column starts at 6700, each line 200 below where the last left off.
            const QStringList column = channelLines(s, ch);
            for (int i = 0; i < column.size(); ++i) {
                const ReportText* line = findText(page, column[i]);
                ASSERT_TRUE(line) << column[i].toStdString();
                EXPECT_EQ(line->at, QPointF(x, 6700 + 440 * i)) << column[i].toStdString();
                EXPECT_EQ(line->points, 12);
            }
            // The spark column beside it, for an electrolyte channel only.
            std::vector<const ReportText*> beside;
            for (const ReportText& t : page.texts)
                if (t.at.x() == x + 2500) beside.push_back(&t);
            const QStringList sparks =
                s.kind[ch] == TestKind::Electrolyte ? sparkLines(s, ch) : QStringList();
            ASSERT_EQ(beside.size(), std::size_t(sparks.size())) << ch;
            for (int i = 0; i < sparks.size(); ++i) {
                EXPECT_EQ(beside[i]->text, sparks[i]);
                EXPECT_EQ(beside[i]->at.y(), 6700 + 440 * i);
            }
        }
        // Every line of the page, the last included, lies inside its frame.
        for (const ReportText& t : page.texts) {
            if (t.at.y() < 6700) continue;
            EXPECT_LE(t.at.y() + lineHeight(t.points), 11000) << t.text.toStdString();
        }
    }
}

TEST(ReportLayout, CommandsChooseTheirGroups) {
    const ConsoleState s;
    const std::array<QImage, kChannels> plots{};
    struct Case {
        const char* key;
        std::vector<int> groups;
        const char* name;
    };
    for (const Case& c : {Case{"print13", {0}, "1-3通道"}, Case{"print46", {1}, "4-6通道"},
                          Case{"print16", {0, 1}, "1-6通道"}}) {
        const PrintCommand* command = printCommand(QString::fromLatin1(c.key));
        ASSERT_TRUE(command) << c.key;
        std::vector<int> groups;
        for (const ReportPage& p : layoutReport(s, plots, {}, command->range)) groups.push_back(p.group);
        EXPECT_EQ(groups, c.groups) << c.key;
        EXPECT_EQ(rangeName(command->range), QString::fromUtf8(c.name));
    }
    EXPECT_FALSE(printCommand(u"print2"));
    EXPECT_EQ(reportFileName(QDateTime(QDate(2026, 12, 10), QTime(8, 5, 9)), {1, 1}),
              QStringLiteral("报告-2026-12-10-080509-4-6通道.pdf"));
}

}  // namespace
}  // namespace varnot
