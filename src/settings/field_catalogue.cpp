#include "settings/field_catalogue.h"

#include <array>

namespace varnot {
namespace {

using E = FieldEntry;
constexpr double kNone = 0;

// 测试时间 ends at most at 6000 s: a curve holds 6000 samples, one per second.
// clang-format off
constexpr std::array<FieldSpec, kFieldCount> kCatalogue = {{
    {Field::FormationVoltage, "Text1", "化成电压{n}：", "V", E::Numeric, "200", "800", 1, 1000, "800", "800", "200", "200", "hcdy"},
    {Field::VrRatio, "Text2", "Vr取值比{n}：", "%", E::Numeric, "90", "90", 1, 100, "90", "90", "90", "90", "vrb"},
    {Field::TestCurrent, "Text3", "测试电流{n}：", "mA", E::Numeric, "2", "2", 0.2, 15, "2", "2", "2", "2", "csdl"},
    {Field::DelayTime, "Text4", "延迟时间{n}：", "s", E::Numeric, "180", "180", 1, 9000, "180", "180", "180", "180", "Thl"},
    {Field::RiseTimeLimit, "Text5", "升压时间指标{n}：", "s", E::Numeric, "150", "150", 0.5, 9000, "150", "150", "150", "150", "TVzb"},
    {Field::RiseTime, "Text6", "升压时间", "s", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::TvValue, "Text7", "TV值", "V", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::TvJudgement, "Text8", "TV特性", "", E::Result, "待定", "待定", kNone, kNone, "", "", "", "", nullptr},
    {Field::LeakageVoltage, "Text9", "漏电流电压{n}：", "V", E::Numeric, "100", "400", 10, 1000, "100", "400", "100", "400", "ldldy"},
    {Field::LeakageLimit, "Text10", "漏电流指标{n}：", "mA", E::Numeric, "0.05", "0.05", 0.001, 20, "0.05", "0.05", "0.05", "0.05", "ldlzb"},
    {Field::LeakageTestTime, "Text11", "测试时间{n}：", "s", E::Numeric, "120", "120", 1, 6000, "180", "180", "180", "180", "Thy"},
    {Field::LeakageCurrent, "Text12", "漏电流", "mA", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::LeakageJudgement, "Text13", "漏电流特性", "", E::Result, "待定", "待定", kNone, kNone, "", "", "", "", nullptr},
    {Field::TvTestNumber, "Text14", "测试编号：", "", E::FromStore, "", "", kNone, kNone, "", "", "", "", "TVcsbh"},
    {Field::TvOperator, "Text15", "测试人：", "", E::FromStore, "", "", kNone, kNone, "", "", "", "", "LBUSER"},
    {Field::WaterTemperature, "Text16", "水温度{n}：", "℃", E::Free, "85", "85", kNone, kNone, "", "", "", "", nullptr},
    {Field::TvTestDate, "Text24", "测试日期：", "", E::Free, "2009-09-01", "2009-09-01", kNone, kNone, "", "", "", "", nullptr},
    {Field::TvPosition, "Combo1", "", "", E::Position, "", "", kNone, kNone, "", "", "", "", nullptr},
    {Field::ElecCurrent, "Text17", "测试电流{n}：", "mA", E::Numeric, "2", "2", 0.5, 20, "2", "2", "2", "2", "djycsdl"},
    {Field::ElecSetVoltage, "Text18", "设定电压{n}：", "V", E::Numeric, "100", "600", 10, 1000, "100", "400", "100", "400", "djysddy"},
    {Field::ElecReference, "Text19", "参考电压{n}：", "V", E::Numeric, "80", "550", 10, 1000, "550", "550", "550", "550", "djyckdy"},
    {Field::SparkDelay, "Text20", "闪火延时{n}：", "s", E::Numeric, "120", "120", 1, 9000, "120", "120", "120", "120", "djyshys"},
    {Field::SparkCorrection, "Text21", "闪火修正{n}：", "V", E::Numeric, "3.0", "3.0", 0, 1000, "3.1", "3.1", "3.1", "3.1", "djyshxz"},
    {Field::MaxVoltage, "Text22", "最大电压", "V", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::ElecJudgement, "Text23", "判定结果", "", E::Result, "待定", "待定", kNone, kNone, "", "", "", "", nullptr},
    {Field::MinVoltage, "Text28", "最小电压", "V", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::Spark1Voltage, "Text29", "火化电压{n}1", "V", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::Spark1Time, "Text30", "火化时间{n}1", "s", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::Spark2Voltage, "Text31", "火化电压{n}2", "V", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::Spark2Time, "Text32", "火化时间{n}2", "s", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::Spark3Voltage, "Text33", "火化电压{n}3", "V", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::Spark3Time, "Text34", "火化时间{n}3", "s", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::ElecTestNumber, "Text35", "测试编号{n}：", "", E::FromStore, "", "", kNone, kNone, "", "", "", "", "DJYcsbh"},
    {Field::ElecOperator, "Text36", "测试人{n}：", "", E::FromStore, "", "", kNone, kNone, "", "", "", "", "DJYUSER"},
    {Field::ElecTestDate, "Text37", "测试日期：", "", E::Free, "2008-09-01", "2008-09-01", kNone, kNone, "", "", "", "", nullptr},
    {Field::ElecPosition, "Combo2", "", "", E::Position, "", "", kNone, kNone, "", "", "", "", nullptr},
    {Field::LiveVoltage, "Text25", "V{n}", "V", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::LiveCurrent, "Text26", "I{n}", "mA", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::ReadoutTA, "Text27", "TA", "", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::ReadoutTB, "Text38", "TB", "", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::ReadoutVm, "Text39", "Vm", "", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
    {Field::ReadoutVT, "Text40", "VT", "", E::Result, "0", "0", kNone, kNone, "", "", "", "", nullptr},
}};
// clang-format on

constexpr bool catalogueInEnumOrder() {
    for (int i = 0; i < kFieldCount; ++i)
        if (static_cast<int>(kCatalogue[i].field) != i) return false;
    return true;
}
static_assert(catalogueInEnumOrder(), "the field catalogue must list the fields in enum order");

}  // namespace

const FieldSpec& fieldSpec(Field f) { return kCatalogue[static_cast<int>(f)]; }

QString fieldCaption(Field f, int ch) {
    return QString::fromUtf8(fieldSpec(f).caption).replace(QLatin1String("{n}"), QString::number(ch + 1));
}

QString builtInValue(Field f, int ch) {
    const FieldSpec& s = fieldSpec(f);
    if (f == Field::TvPosition || f == Field::ElecPosition) {
        static constexpr const char* kBuiltIn[] = {"HL", "HM", "HR", "TL", "TM", "TR"};
        return QString::fromLatin1(kBuiltIn[ch]);
    }
    return QString::fromUtf8(ch < 3 ? s.builtIn13 : s.builtIn46);
}

}  // namespace varnot
