#include "settings/validation.h"

#include "common/text_number.h"
#include "settings/field_catalogue.h"

namespace varnot {

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

}  // namespace varnot
