#include "settings/validation.h"

#include "common/text_number.h"
#include "settings/field_catalogue.h"

#include <algorithm>
#include <iterator>

namespace varnot {
namespace {

const char* kDateRefusal = "测试日期应为有效日期（yyyy/mm/dd或yyyy-mm-dd），请重新输入！";

bool isDateField(Field f) { return f == Field::TvTestDate || f == Field::ElecTestDate; }

// The field's name as its caption gives it, with or without the channel number, and without the
// colon: "化成电压", "化成电压2".
QString captionName(Field f, int ch = -1) {
    QString name = QString::fromUtf8(fieldSpec(f).caption);
    name.replace(QLatin1String("{n}"), ch < 0 ? QString() : QString::number(ch + 1));
    name.remove(u'：');
    return name;
}

// "1～1000V", "1～6000秒".
QString rangeText(Field f) {
    const FieldSpec& spec = fieldSpec(f);
    const QString unit = QString::fromUtf8(spec.unit);
    return shortestText(spec.low) + QStringLiteral("～") + shortestText(spec.high) +
           (unit == u"s" ? QStringLiteral("秒") : unit);
}

bool withinRange(Field f, const QString& text) {
    if (!isNumber(text)) return false;
    const FieldSpec& spec = fieldSpec(f);
    const double v = toDouble(text).value_or(0);
    return v >= spec.low && v <= spec.high;
}

}  // namespace

QString validatedText(Field f, int ch, const QString& text) {
    const FieldSpec& s = fieldSpec(f);
    if (s.entry != FieldEntry::Numeric) return text;
    const bool low = ch < 3;
    if (!isNumber(text)) return QString::fromUtf8(low ? s.nonNumber13 : s.nonNumber46);
    const double v = toDouble(text).value_or(0);
    if (v < s.low || v > s.high) return QString::fromUtf8(low ? s.outOfRange13 : s.outOfRange46);
    return text;
}

QString entryRefusal(Field f, const QString& text) {
    if (isDateField(f)) return entryDate(text) ? QString() : QString::fromUtf8(kDateRefusal);
    if (fieldSpec(f).entry != FieldEntry::Numeric || withinRange(f, text)) return {};
    return captionName(f) + QStringLiteral("的范围是") + rangeText(f) + QStringLiteral("，请重新输入！");
}

QString storedValueRefusal(Field f, int ch, const QString& value) {
    QString why;
    if (isDateField(f)) {
        if (!entryDate(value)) why = QStringLiteral("不是有效日期");
    } else if (fieldSpec(f).entry == FieldEntry::Numeric && !withinRange(f, value)) {
        why = QStringLiteral("范围是") + rangeText(f);
    }
    if (why.isEmpty()) return {};
    return captionName(f, ch) + QStringLiteral("的存储值“") + value + QStringLiteral("”未采用：") + why;
}

std::vector<int> linkTargets(Field f, int ch, const PerChannel<bool>& linked) {
    std::vector<int> out;
    if (!linked[ch]) return out;
    const bool allSix = f == Field::FormationVoltage;
    const int first = allSix ? 0 : firstOfGroup(groupOf(ch));
    const int last = allSix ? kChannels - 1 : first + 2;
    for (int c = first; c <= last; ++c)
        if (c != ch && linked[c]) out.push_back(c);
    return out;
}

int legacyNumber(Field f) {
    const QString id = QString::fromLatin1(fieldSpec(f).legacyId);
    if (!id.startsWith(QLatin1String("Text"))) return 0;
    return id.mid(4).toInt();
}

std::vector<Field> fieldsInLegacyRange(int a, int b) {
    std::vector<Field> out;
    for (int i = 0; i < kFieldCount; ++i) {
        const int n = legacyNumber(static_cast<Field>(i));
        if (n >= a && n <= b) out.push_back(static_cast<Field>(i));
    }
    return out;
}

std::optional<QDate> entryDate(const QString& text) {
    const QString t = text.trimmed();
    for (const char* pattern : {"yyyy/M/d", "yyyy-M-d"}) {
        const QDate d = QDate::fromString(t, QString::fromLatin1(pattern));
        if (d.isValid()) return d;
    }
    return std::nullopt;
}

CompletedEntry completeEntryText(Field f, int ch, const QString& typed, const QString& before, const QDate& today) {
    const QString refusal = entryRefusal(f, typed);
    if (refusal.isEmpty()) return {isDateField(f) ? typed.trimmed() : typed, {}};
    // Refused: the field keeps its last valid value.
    if (entryRefusal(f, before).isEmpty()) return {before, refusal};
    if (isDateField(f)) return {formatDate(today, u"yyyy/mm/dd"), refusal};
    return {validatedText(f, ch, typed), refusal};
}

bool lockedWhileRunning(Field f) {
    switch (fieldSpec(f).entry) {
        case FieldEntry::Numeric:
        case FieldEntry::FromStore:
        case FieldEntry::Free:
        case FieldEntry::Position:
            return true;
        case FieldEntry::Result:
            break;
    }
    return false;
}

bool linkedOnEntry(Field f) {
    const FieldEntry e = fieldSpec(f).entry;
    return e == FieldEntry::Numeric || e == FieldEntry::FromStore;
}

}  // namespace varnot
