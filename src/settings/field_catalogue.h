// The catalogue of per-channel fields: one row per field with its legacy control id, caption,
// built-in values, valid range, replacement values and settings key. Validation, linking, enabling,
// reset and the views all walk this table.
#pragma once

#include "common/fields.h"

#include <QString>

#include <optional>

namespace varnot {

enum class FieldEntry {
    Numeric,     // checked against its range when an entry completes
    FromStore,   // an emptied entry is filled from the store (test numbers, operators)
    Free,        // no check (dates, water temperature)
    Result,      // written by the console, not entered
    Position,    // one of the position codes
};

struct FieldSpec {
    Field field;
    const char* legacyId;   // the old control id, e.g. "Text1"
    const char* caption;    // "{n}" stands for the channel number
    const char* unit;
    FieldEntry entry;
    const char* builtIn13;  // built-in value of channels 1-3
    const char* builtIn46;  // built-in value of channels 4-6
    double low, high;       // valid range, both bounds valid (Numeric only)
    const char* nonNumber13, *nonNumber46;    // value for a text that is not a number
    const char* outOfRange13, *outOfRange46;  // value for a number outside the range
    const char* settingsKey;                   // nullptr when the field has none
};

const FieldSpec& fieldSpec(Field f);
QString fieldCaption(Field f, int ch);
QString builtInValue(Field f, int ch);

inline constexpr const char* kPositionCodes[] = {"HL", "TL", "HM", "TM", "HR", "TR"};

}  // namespace varnot
