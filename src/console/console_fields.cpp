#include "console/console_fields.h"

#include "common/text_number.h"
#include "settings/field_catalogue.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <optional>

namespace varnot {
namespace {

const OperatorFieldSpec kSpecs[] = {
    {"Text41", "IP", "ipaddress"},
    {"Text42", "端口", "tcpport"},
    {"Text44", "设置温度：", "templow"},
    {"Text45", "～", "temphigh"},
};

std::optional<int> portNumber(const QString& text) {
    bool ok = false;
    const int p = text.trimmed().toInt(&ok);
    if (!ok || p < 1 || p > 65535) return std::nullopt;
    return p;
}

bool windowHolds(const QString& low, const QString& high) {
    const auto lo = toSingle(low), hi = toSingle(high);
    return lo && hi && !(*lo > *hi);
}

// The fields with a range hint.
const Field kHinted[] = {Field::FormationVoltage, Field::TestCurrent, Field::LeakageVoltage, Field::ElecCurrent,
                         Field::ElecSetVoltage};

}  // namespace

const OperatorFieldSpec& operatorFieldSpec(OperatorField f) { return kSpecs[static_cast<int>(f)]; }

QString& operatorText(ConsoleState& s, OperatorField f) {
    switch (f) {
        case OperatorField::IpAddress: return s.ipAddress;
        case OperatorField::TcpPort: return s.tcpPort;
        case OperatorField::TempLow: return s.tempLow;
        case OperatorField::TempHigh: break;
    }
    return s.tempHigh;
}

const QString& operatorText(const ConsoleState& s, OperatorField f) {
    return operatorText(const_cast<ConsoleState&>(s), f);
}

QString acceptedOperatorText(const ConsoleState& s, OperatorField f, const QString& typed) {
    const QString before = operatorText(s, f);
    const QString t = typed.trimmed();
    switch (f) {
        case OperatorField::IpAddress:
            return t.isEmpty() ? before : t;
        case OperatorField::TcpPort:
            if (const auto p = portNumber(t)) return QString::number(*p);
            return before;
        case OperatorField::TempLow:
            return windowHolds(t, s.tempHigh) ? t : before;
        case OperatorField::TempHigh:
            return windowHolds(s.tempLow, t) ? t : before;
    }
    return before;
}

void restoreOperatorFields(ConsoleState& s, const SettingsStore& settings) {
    const auto stored = [&](OperatorField f) { return settings.text(operatorFieldSpec(f).settingsKey).trimmed(); };
    const ConsoleState first;
    if (const QString ip = stored(OperatorField::IpAddress); !ip.isEmpty()) s.ipAddress = ip;
    if (const auto p = portNumber(stored(OperatorField::TcpPort))) s.tcpPort = QString::number(*p);
    const QString low = stored(OperatorField::TempLow), high = stored(OperatorField::TempHigh);
    if (windowHolds(low, high)) {
        s.tempLow = low;
        s.tempHigh = high;
    } else {
        s.tempLow = first.tempLow;
        s.tempHigh = first.tempHigh;
    }
}

QString rangeHint(Field f) {
    if (std::find(std::begin(kHinted), std::end(kHinted), f) == std::end(kHinted)) return {};
    const FieldSpec& spec = fieldSpec(f);
    const bool current = QString::fromUtf8(spec.unit) == u"mA";
    return (current ? QStringLiteral("电流范围") : QStringLiteral("电压范围")) + QString::number(spec.low) +
           QStringLiteral("～") + QString::number(spec.high) + (current ? QStringLiteral("mA") : QString());
}

QPoint centredTopLeft(const QRect& screen, const QSize& frame) {
    const int x = screen.x() + std::max(0, (screen.width() - frame.width()) / 2);
    const int y = screen.y() + std::max(0, (screen.height() - frame.height()) / 2);
    return {x, y};
}

}  // namespace varnot
