// The per-channel fields of the console: every parameter, result and readout is a text per channel,
// addressed by a descriptive name and a channel index. The legacy control id of each field is in
// the field catalogue (settings/field_catalogue.h).
#pragma once

namespace varnot {

enum class Field {
    // TV and leakage frame
    FormationVoltage,   // Text1  化成电压
    VrRatio,            // Text2  Vr取值比
    TestCurrent,        // Text3  测试电流 (TV and leakage)
    DelayTime,          // Text4  延迟时间
    RiseTimeLimit,      // Text5  升压时间指标
    RiseTime,           // Text6  升压时间
    TvValue,            // Text7  TV值
    TvJudgement,        // Text8  TV特性
    LeakageVoltage,     // Text9  漏电流电压
    LeakageLimit,       // Text10 漏电流指标
    LeakageTestTime,    // Text11 测试时间
    LeakageCurrent,     // Text12 漏电流
    LeakageJudgement,   // Text13 漏电流特性
    TvTestNumber,       // Text14 测试编号
    TvOperator,         // Text15 测试人
    WaterTemperature,   // Text16 水温度
    TvTestDate,         // Text24 测试日期
    TvPosition,         // Combo1 HL/TL/HM/TM/HR/TR
    // electrolyte frame
    ElecCurrent,        // Text17 测试电流
    ElecSetVoltage,     // Text18 设定电压
    ElecReference,      // Text19 参考电压
    SparkDelay,         // Text20 闪火延时
    SparkCorrection,    // Text21 闪火修正
    MaxVoltage,         // Text22 最大电压
    ElecJudgement,      // Text23 判定结果
    MinVoltage,         // Text28 最小电压
    Spark1Voltage,      // Text29
    Spark1Time,         // Text30
    Spark2Voltage,      // Text31
    Spark2Time,         // Text32
    Spark3Voltage,      // Text33
    Spark3Time,         // Text34
    ElecTestNumber,     // Text35 测试编号
    ElecOperator,       // Text36 测试人
    ElecTestDate,       // Text37 测试日期
    ElecPosition,       // Combo2
    // readouts beside the channel plots
    LiveVoltage,        // Text25
    LiveCurrent,        // Text26
    ReadoutTA,          // Text27
    ReadoutTB,          // Text38
    ReadoutVm,          // Text39
    ReadoutVT,          // Text40
    Count
};

inline constexpr int kFieldCount = static_cast<int>(Field::Count);

}  // namespace varnot
