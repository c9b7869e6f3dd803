// Entry rules of the parameter fields: what replaces a text that is not a number or a number out of
// range, and which channels an entry is copied to.
#pragma once

#include "common/channel.h"
#include "common/fields.h"

#include <QDate>
#include <QString>

#include <optional>

#include <vector>

namespace varnot {

// The text a completed numeric entry keeps: the replacement for a non-number, then the replacement
// for a number outside the valid range (both bounds valid). Other fields keep their text.
QString validatedText(Field f, int ch, const QString& text);

// A completed entry: the text the field keeps and, when the entry was refused, the message that
// says why (empty when it was taken or silently replaced).
struct CompletedEntry {
    QString text;
    QString refusal;
};

// Completes an entry of field f on channel ch typed over the text `before`:
//  - 测试日期 keeps a date written yyyy/mm/dd or yyyy-mm-dd (months and days may have one digit);
//    anything else is refused and the field gets back `before`, or today's date when `before` is
//    no date either;
//  - 测试时间 outside its range is refused with a message naming the range, and the field gets
//    back `before` (or the out-of-range value when `before` is no valid entry either);
//  - every other field follows validatedText.
CompletedEntry completeEntryText(Field f, int ch, const QString& typed, const QString& before, const QDate& today);

// A date field's text read as a date: yyyy/M/d or yyyy-M-d, blanks around it ignored.
std::optional<QDate> entryDate(const QString& text);

// The fields that may not change on a channel while its test runs: the set-points the instrument
// is driven with and the position code that names the record.
bool lockedWhileRunning(Field f);

// The channels an entry of channel ch is copied to: for 化成电压 every linked channel of all six,
// for every other field the linked channels of ch's own group. ch itself is not listed.
std::vector<int> linkTargets(Field f, int ch, const PerChannel<bool>& linked);

// The fields whose legacy ids are TextA..TextB (both included), e.g. 17..23.
std::vector<Field> fieldsInLegacyRange(int a, int b);
int legacyNumber(Field f);  // 1 for Text1; 0 for the position lists

}  // namespace varnot
