// Entry rules of the parameter fields: which texts a field takes (typed, or brought in from a
// store), what replaces an unusable value read from the settings file at start-up, and which
// channels an entry is copied to.
#pragma once

#include "common/channel.h"
#include "common/fields.h"

#include <QDate>
#include <QString>

#include <optional>

#include <vector>

namespace varnot {

// The text a value read from the settings file at start-up leaves in a numeric field: the
// replacement for a non-number, then the replacement for a number outside the valid range (both
// bounds valid). Other fields keep their text. Typed entries and values from the stores are never
// replaced: they are refused (entryRefusal, storedValueRefusal).
QString validatedText(Field f, int ch, const QString& text);

// Why a typed text cannot be the field's value: for a numeric field a text that is not a number or
// lies outside the range ("化成电压的范围是1～1000V，请重新输入！"), for a date field a text that is
// no date. Empty when the field takes it (always for the other fields).
QString entryRefusal(Field f, const QString& text);

// The same check for a value a store brings into field f of channel ch (a batch opened, a stored
// test displayed): empty when the field takes it, else why not, naming the field, the value and
// the range ("化成电压1的存储值“5200”未采用：范围是1～1000V"). A refused value is not put in: the
// field keeps what it holds.
QString storedValueRefusal(Field f, int ch, const QString& value);

// A completed entry: the text the field keeps and, when the entry was refused, the message that
// says why (empty when it was taken).
struct CompletedEntry {
    QString text;
    QString refusal;
};

// Completes an entry of field f on channel ch typed over the text `before`. A text entryRefusal
// refuses is not taken: the field gets back `before`, its last valid value (a date field holding no
// date either gets today's date; a numeric field holding no valid value either gets its
// replacement value). Anything else is taken as typed (a date without its blanks).
CompletedEntry completeEntryText(Field f, int ch, const QString& typed, const QString& before, const QDate& today);

// A date field's text read as a date: yyyy/M/d or yyyy-M-d, blanks around it ignored.
std::optional<QDate> entryDate(const QString& text);

// The fields that may not change on a channel while its test runs: the set-points the instrument
// is driven with, everything that decides where the test ends and how it is judged, and what its
// record holds beside the results (record name, tester, date, water temperature).
bool lockedWhileRunning(Field f);

// Whether a completed entry of the field is copied to the linked channels (numeric parameters,
// test numbers and testers; not dates, water temperature or position codes).
bool linkedOnEntry(Field f);

// The channels an entry of channel ch is copied to: for 化成电压 every linked channel of all six,
// for every other field the linked channels of ch's own group. ch itself is not listed.
std::vector<int> linkTargets(Field f, int ch, const PerChannel<bool>& linked);

// The fields whose legacy ids are TextA..TextB (both included), e.g. 17..23.
std::vector<Field> fieldsInLegacyRange(int a, int b);
int legacyNumber(Field f);  // 1 for Text1; 0 for the position lists

}  // namespace varnot
