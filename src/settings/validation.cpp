#include "settings/validation.h"

#include "common/text_number.h"
#include "settings/field_catalogue.h"

#include <algorithm>
#include <iterator>

namespace varnot {
namespace {

// Fields whose entry outside the range is refused with a message instead of silently replaced.
struct RefusedOutside {
    Field field;
    const char* name;
    const char* unit;
};
const RefusedOutside kRefusedOutside[] = {
    {Field::LeakageTestTime, "测试时间", "秒"},
};

const Field kLockedWhileRunning[] = {Field::FormationVoltage, Field::TestCurrent,    Field::LeakageVoltage,
                                     Field::ElecSetVoltage,   Field::ElecCurrent,    Field::TvPosition,
                                     Field::ElecPosition};

const char* kDateRefusal = "测试日期应为有效日期（yyyy/mm/dd或yyyy-mm-dd），请重新输入！";

bool isDateField(Field f) { return f == Field::TvTestDate || f == Field::ElecTestDate; }

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
    if (isDateField(f)) {
        if (entryDate(typed)) return {typed.trimmed(), {}};
        const QString kept = entryDate(before) ? before : formatDate(today, u"yyyy/mm/dd");
        return {kept, QString::fromUtf8(kDateRefusal)};
    }
    for (const RefusedOutside& r : kRefusedOutside) {
        if (r.field != f || !isNumber(typed)) continue;
        const FieldSpec& spec = fieldSpec(f);
        const double v = toDouble(typed).value_or(0);
        if (v >= spec.low && v <= spec.high) break;
        const bool beforeValid = isNumber(before) && validatedText(f, ch, before) == before;
        const QString kept = beforeValid ? before : validatedText(f, ch, typed);
        return {kept, QString::fromUtf8(r.name) + QStringLiteral("的范围是") + shortestText(spec.low) +
                          QStringLiteral("～") + shortestText(spec.high) + QString::fromUtf8(r.unit) +
                          QStringLiteral("，请重新输入！")};
    }
    return {validatedText(f, ch, typed), {}};
}

bool lockedWhileRunning(Field f) {
    return std::find(std::begin(kLockedWhileRunning), std::end(kLockedWhileRunning), f) !=
           std::end(kLockedWhileRunning);
}

}  // namespace varnot
