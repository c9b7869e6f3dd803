// A console state holding every field's built-in text, for tests of the parts that read fields.
#pragma once

#include "state/console_state.h"
#include "settings/field_catalogue.h"

namespace varnot::testing {

inline ConsoleState builtIns() {
    ConsoleState s;
    for (int f = 0; f < kFieldCount; ++f)
        for (int c = 0; c < kChannels; ++c) s.fields[f][c] = builtInValue(static_cast<Field>(f), c);
    return s;
}

}  // namespace varnot::testing
