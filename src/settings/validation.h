// Entry rules of the parameter fields: what replaces a text that is not a number or a number out of
// range, and which channels an entry is copied to.
#pragma once

#include "common/channel.h"
#include "common/fields.h"

#include <QString>

#include <vector>

namespace varnot {

// The text a completed numeric entry keeps: the replacement for a non-number, then the replacement
// for a number outside the valid range (both bounds valid). Other fields keep their text.
QString validatedText(Field f, int ch, const QString& text);

// The channels an entry of channel ch is copied to: for 化成电压 every linked channel of all six,
// for every other field the linked channels of ch's own group. ch itself is not listed.
std::vector<int> linkTargets(Field f, int ch, const PerChannel<bool>& linked);

// The fields whose legacy ids are TextA..TextB (both included), e.g. 17..23.
std::vector<Field> fieldsInLegacyRange(int a, int b);
int legacyNumber(Field f);  // 1 for Text1; 0 for the position lists

}  // namespace varnot
