// The console's single operator fields (the instrument's Ethernet address and port, the window of
// the test temperature), the range hints beside the parameter fields, and where the console
// window comes up. Pure rules over the console state and the field catalogue.
#pragma once

#include "common/fields.h"
#include "state/console_state.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace varnot {

class SettingsStore;

enum class OperatorField { IpAddress, TcpPort, TempLow, TempHigh };
inline constexpr OperatorField kOperatorFields[] = {OperatorField::IpAddress, OperatorField::TcpPort,
                                                    OperatorField::TempLow, OperatorField::TempHigh};

struct OperatorFieldSpec {
    const char* legacyId;     // the old control id, also the editor's object name
    const char* caption;      // the label beside the editor ("" when it shares the one before)
    const char* settingsKey;  // where the text is kept between starts
};

const OperatorFieldSpec& operatorFieldSpec(OperatorField f);
QString& operatorText(ConsoleState& s, OperatorField f);
const QString& operatorText(const ConsoleState& s, OperatorField f);

// The text a completed entry leaves in the field: the entry when it is usable, else the text the
// field held before. An address must not be blank; a port is a whole number 1 to 65535; a
// temperature bound is a number that keeps the lower bound at or below the upper one.
QString acceptedOperatorText(const ConsoleState& s, OperatorField f, const QString& typed);

// Puts the stored texts into the state; a stored text that is not usable leaves the field at its
// first value (a window whose bounds are reversed comes back as the first window).
void restoreOperatorFields(ConsoleState& s, const SettingsStore& settings);

// The range hint shown beside a parameter field ("电压范围1～1000", "电流范围0.5～20mA"): the range
// the field's check accepts. Empty for a field without a hint.
QString rangeHint(Field f);

// The top-left corner that centres a window of the given frame size on the screen's available
// area; a window larger than the screen keeps its title bar on the screen.
QPoint centredTopLeft(const QRect& screen, const QSize& frame);

}  // namespace varnot
