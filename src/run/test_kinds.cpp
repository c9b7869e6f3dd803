#include "run/test_kinds.h"

#include "settings/validation.h"

namespace varnot {
namespace {

const KindSpec kKinds[] = {
    {TestKind::TV, "TV测试：", {"TA", "TB", nullptr, "VT"}, {{1, 8}}, {{9, 13}, {17, 23}, {28, 38}}},
    {TestKind::Leakage, "漏电流：", {"TA", "T", nullptr, "漏电"}, {{3, 3}, {9, 13}},
     {{1, 2}, {4, 8}, {17, 23}, {28, 38}}},
    {TestKind::Electrolyte, "电解液：", {"火花1", "火花2", "Vm", "火花3"}, {{17, 23}, {28, 38}}, {{1, 13}}},
};

void setEnabled(ChannelView& view, int ch, const std::vector<std::pair<int, int>>& ranges, bool enabled) {
    for (const auto& [a, b] : ranges)
        for (Field f : fieldsInLegacyRange(a, b)) view.fieldEnabled[static_cast<int>(f)][ch] = enabled;
}

}  // namespace

const KindSpec& kindSpec(TestKind k) { return kKinds[static_cast<int>(k)]; }

void selectKind(ConsoleState& state, ChannelView& view, int group, TestKind kind) {
    const KindSpec& spec = kindSpec(kind);
    for (int ch = firstOfGroup(group); ch < firstOfGroup(group) + 3; ++ch) {
        state.kind[ch] = kind;
        for (int i = 0; i < 4; ++i)
            if (spec.readoutLabels[i]) view.readoutLabels[ch][i] = QString::fromUtf8(spec.readoutLabels[i]);
        setEnabled(view, ch, spec.editable, true);
        setEnabled(view, ch, spec.disabled, false);
    }
}

QString testKindName(TestKind k) {
    switch (k) {
        case TestKind::TV: return QStringLiteral("TV测试");
        case TestKind::Leakage: return QStringLiteral("漏电流测试");
        case TestKind::Electrolyte: break;
    }
    return QStringLiteral("电解液测试");
}

void resetChannels(ConsoleState& s, ChannelView& view) {
    for (int c = 0; c <= s.lastCh; ++c) {
        s.rawVolt[c] = 0;
        s.rawCurr[c] = 0;
        view.Vmax[c] = 0;
        for (Field f : {Field::LiveVoltage, Field::LiveCurrent, Field::ReadoutTA, Field::ReadoutTB, Field::ReadoutVm,
                        Field::ReadoutVT})
            s.field(f, c) = QStringLiteral("0");
        const QString channel = QString::number(c + 1);
        view.firstMark[c] = false;
        s.chEnded[c] = false;
        switch (s.kind[c]) {
            case TestKind::TV:
                s.field(Field::RiseTime, c) = QStringLiteral("0");
                s.field(Field::TvValue, c) = QStringLiteral("0");
                s.field(Field::TvJudgement, c) = QStringLiteral("待定");
                s.statusPanels[c] = QStringLiteral("第") + channel + QStringLiteral("路关闭");
                break;
            case TestKind::Leakage:
                s.field(Field::LeakageCurrent, c) = QStringLiteral("0");
                s.field(Field::LeakageJudgement, c) = QStringLiteral("待定");
                s.statusPanels[c] = QStringLiteral("第") + channel + QStringLiteral("路关闭：");
                break;
            case TestKind::Electrolyte:
                view.sparkSeen[c] = false;
                s.field(Field::MaxVoltage, c) = QStringLiteral("0");
                s.field(Field::MinVoltage, c) = QStringLiteral("0");
                s.field(Field::ElecJudgement, c) = QStringLiteral("待定");
                s.field(Field::Spark1Voltage, c) = QStringLiteral("0");
                // No spark yet: every spark voltage and time reads 0, so a test stopped before its
                // first spark is kept without a spark time it never had.
                for (Field f : {Field::Spark1Time, Field::Spark2Voltage, Field::Spark2Time, Field::Spark3Voltage,
                                Field::Spark3Time})
                    s.field(f, c) = QStringLiteral("0");
                s.statusPanels[c] = QStringLiteral("第") + channel + QStringLiteral("路关闭：");
                break;
        }
    }
}

}  // namespace varnot
