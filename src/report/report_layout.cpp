#include "report/report_layout.h"

#include <algorithm>
#include <span>

namespace varnot {
namespace {

// A printed line: caption, the field's text, unit, joined without blanks.
struct Line {
    const char* caption;
    Field field;
    const char* unit;
};

const Line kTvLines[] = {
    {"化成电压：", Field::FormationVoltage, "V"}, {"测试电流：", Field::TestCurrent, "mA"},
    {"延迟时间：", Field::DelayTime, "S"},        {"升压时间指标：", Field::RiseTimeLimit, "S"},
    {"升压时间：", Field::RiseTime, "S"},         {"TV值0：", Field::TvValue, "V"},
    {"TV特性：", Field::TvJudgement, ""},         {"测试员：", Field::TvOperator, ""},
    {"测试编号：", Field::TvTestNumber, ""},      {"测试日期：", Field::TvTestDate, ""},
};
const Line kLeakageLines[] = {
    {"漏电流电压：", Field::LeakageVoltage, "V"}, {"测试电流：", Field::TestCurrent, "mA"},
    {"漏电流指标：", Field::LeakageLimit, "mA"},  {"测试时间：", Field::LeakageTestTime, "S"},
    {"漏电流：", Field::LeakageCurrent, "mA"},    {"漏电流特性：", Field::LeakageJudgement, ""},
    {"测试员：", Field::TvOperator, ""},          {"测试编号：", Field::TvTestNumber, ""},
    {"测试日期：", Field::TvTestDate, ""},
};
const Line kElectrolyteLines[] = {
    {"测试电流：", Field::ElecCurrent, "mA"},  {"参考电压：", Field::ElecReference, "V"},
    {"闪火延时：", Field::SparkDelay, "S"},    {"闪火修正：", Field::SparkCorrection, "V"},
    {"最大电压：", Field::MaxVoltage, "V"},    {"最小电压：", Field::MinVoltage, "V"},
    {"判定结果：", Field::ElecJudgement, ""},  {"测试员：", Field::ElecOperator, ""},
    {"测试编号：", Field::ElecTestNumber, ""}, {"测试日期：", Field::ElecTestDate, ""},
};
const Line kSparkLines[] = {
    {"火化电压1：", Field::Spark1Voltage, "V"}, {"火化时间1：", Field::Spark1Time, "S"},
    {"火化电压2：", Field::Spark2Voltage, "V"}, {"火化时间2：", Field::Spark2Time, "S"},
    {"火化电压3：", Field::Spark3Voltage, "V"}, {"火化时间3：", Field::Spark3Time, "S"},
};

std::span<const Line> linesOf(TestKind kind) {
    switch (kind) {
        case TestKind::TV:
            return kTvLines;
        case TestKind::Leakage:
            return kLeakageLines;
        case TestKind::Electrolyte:
            break;
    }
    return kElectrolyteLines;
}

QStringList texts(const ConsoleState& s, int ch, std::span<const Line> lines) {
    QStringList out;
    for (const Line& l : lines)
        out << QString::fromUtf8(l.caption) + s.field(l.field, ch) + QString::fromUtf8(l.unit);
    return out;
}

// Page positions (twips).
constexpr double kColumnLeft = 500, kColumnStep = 5100;
constexpr double kImageTop = 900, kImageSize = 5000;
constexpr double kFrameTop = 6500, kFrameBottom = 11000;
constexpr double kHeadingTop = 6200, kLinesTop = 6700, kSparkOffset = 2500;
constexpr int kHeadingPoints = 14, kLinePoints = 12, kTitlePoints = 18;
constexpr QPointF kCompanyAt{7000, 1000}, kTitleAt{6600, 400};

// A column of lines from its first line down, each line a gap below where the previous one left
// off.
void addColumn(ReportPage& page, double x, const QStringList& lines) {
    double y = kLinesTop;
    for (const QString& line : lines) {
        page.texts.push_back({QPointF(x, y), kLinePoints, line});
        y += lineHeight(kLinePoints) + kLineGap;
    }
}

}  // namespace

const PrintCommand* printCommand(QStringView key) {
    for (const PrintCommand& c : kPrintCommands)
        if (key == QLatin1String(c.key)) return &c;
    return nullptr;
}

QString rangeName(PrintRange range) {
    const int first = 3 * range.from + 1, last = 3 * range.to + 3;
    return QStringLiteral("%1-%2通道").arg(first).arg(last);
}

QStringList channelLines(const ConsoleState& s, int ch) {
    return texts(s, ch, linesOf(s.kind[ch]));
}

QStringList sparkLines(const ConsoleState& s, int ch) {
    return QStringList{QStringLiteral("火化电压-时间数据")} + texts(s, ch, kSparkLines);
}

QString reportTitle(TestKind kind) {
    switch (kind) {
        case TestKind::TV:
            return QStringLiteral("Varnot智能TV仪铝箔特性测试报告");
        case TestKind::Leakage:
            return QStringLiteral("Varnot智能TV仪漏电流测试报告");
        case TestKind::Electrolyte:
            break;
    }
    return QStringLiteral("Varnot智能TV仪电解液测试报告");
}

std::vector<ReportPage> layoutReport(const ConsoleState& s, const std::array<QImage, kChannels>& plots,
                                     const QString& company, PrintRange range) {
    std::vector<ReportPage> pages;
    for (int g = std::max(range.from, 0); g <= std::min(range.to, kGroups - 1); ++g) {
        ReportPage page;
        page.group = g;
        for (int m = 0; m < 3; ++m) {
            const int ch = 3 * g + m;
            const double x = kColumnLeft + kColumnStep * m;
            const double frameRight = 5500 + 5000 * m;
            // Each image is centred over its channel's frame.
            const double imageLeft = (x + frameRight - kImageSize) / 2;
            page.images.push_back({QRectF(imageLeft, kImageTop, kImageSize, kImageSize), plots[ch]});
            page.frames.push_back(QRectF(QPointF(x, kFrameTop), QPointF(frameRight, kFrameBottom)));
            page.texts.push_back(
                {QPointF(x, kHeadingTop), kHeadingPoints, QStringLiteral("TV通道%1数据显示").arg(ch + 1)});
            addColumn(page, x, channelLines(s, ch));
            if (s.kind[ch] == TestKind::Electrolyte) addColumn(page, x + kSparkOffset, sparkLines(s, ch));
        }
        page.texts.push_back({kCompanyAt, kLinePoints, company});
        page.texts.push_back({kTitleAt, kTitlePoints, reportTitle(s.kind[3 * g + 2])});
        pages.push_back(std::move(page));
    }
    return pages;
}

}  // namespace varnot
