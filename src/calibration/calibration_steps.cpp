#include "calibration/calibration_steps.h"

#include "common/text_number.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"

namespace varnot {
namespace {

struct ItemRow {
    CalibrationItem item;
    const char16_t* text;
    PerChannel<float> Coefficients::*coefficient;
};

// One row per item, in the window's order.
constexpr std::array<ItemRow, kCalibrationItemCount> kItems{{
    {CalibrationItem::VoltageSampling, u"电压采样校准", &Coefficients::Vadjust},
    {CalibrationItem::CurrentSampling, u"电流采样校准", &Coefficients::Iadjust},
    {CalibrationItem::VoltageControl, u"电压控制校准", &Coefficients::KV},
    {CalibrationItem::CurrentControl, u"电流控制校准", &Coefficients::KI},
}};

const ItemRow& rowOf(CalibrationItem item) {
    return kItems[static_cast<int>(item)];
}

}  // namespace

QString calibrationItemText(CalibrationItem item) {
    return QString::fromUtf16(rowOf(item).text);
}

float& coefficientOf(Coefficients& c, CalibrationItem item, int ch) {
    return (c.*rowOf(item).coefficient)[ch];
}

double stepFactor(StepDirection direction, StepSize size) {
    const bool up = direction == StepDirection::Increase;
    switch (size) {
        case StepSize::Coarse:
            return up ? 1.01 : 0.99;
        case StepSize::Fine:
            return up ? 1.0005 : 0.9995;
        case StepSize::Neither:
            break;
    }
    return 1.0;
}

std::optional<QString> stepRefusal(int channelIndex, std::optional<CalibrationItem> item,
                                   StepDirection direction) {
    if (channelIndex < 0) return QStringLiteral("请按下拉箭头选择校准通道！");
    if (!item) {
        return direction == StepDirection::Increase ? QStringLiteral("请按下拉箭头选择校准项目！")
                                                    : QStringLiteral("请按下拉箭头选择校准内容！");
    }
    return std::nullopt;
}

void calibrationStep(SettingsStore& store, Coefficients& memory, int ch, CalibrationItem item,
                     StepDirection direction, StepSize size) {
    // What the store holds wins over whatever memory was changed to without being stored.
    memory.Vadjust[ch] = store.real("Vadjust", ch);
    memory.Iadjust[ch] = store.real("Iadjust", ch);
    memory.KV[ch] = store.real("KV", ch);
    memory.KI[ch] = store.real("KI", ch);
    if (size != StepSize::Neither) {
        float& k = coefficientOf(memory, item, ch);
        k = static_cast<float>(static_cast<double>(k) * stepFactor(direction, size));
    }
    store.storeCoefficients(memory, ch);
}

void restoreCalibrationDefaults(SettingsStore& store, Coefficients& memory, PerChannel<float>& hxfd,
                                float& hxfd16) {
    for (int i = 0; i < kChannels; ++i) {
        for (const ItemRow& row : kItems) (memory.*row.coefficient)[i] = 1.0f;
        store.storeCoefficients(memory, i);
        hxfd[i] = kDefaultChannelZoom;
        store.write(Section::Canshu, indexedKey("hxfd", i), shortestText(hxfd[i]));
    }
    hxfd16 = kDefaultCombinedZoom;
    store.write(Section::Canshu, u"hxfd16", shortestText(hxfd16));
}

}  // namespace varnot
