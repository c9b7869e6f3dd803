// Every text-to-number conversion and display format on arbitrary texts and patterns.
//
// Input: one byte choosing the display pattern (one of the console's, or a pattern taken from the
// input), then the text. Properties:
//  - a text is read as a number exactly when it has the number form, and then as the C library
//    reads it, correctly rounded (only a value beyond the type's range is refused);
//  - a 16-bit conversion is the double rounded half to even, refused outside -32768..32767;
//  - the shortest text of a value reads back as the same value;
//  - a display format shows a number of the pattern's shape within half a unit of its last
//    decimal of the value, and never "-0".
#include "common/text_number.h"
#include "fuzz_support.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

using varnot::fuzz::Input;

namespace {

const char16_t* const kPatterns[] = {u"0", u"#0", u"0.0", u"#0.0", u"##0.0", u"###0.0", u"#0.000", u"0.#",
                                     u"0.00", u"000", u"#", u"0.0#", u"#.##", u"00.000##"};

locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return c;
}

// The text as the C library reads it (blanks stripped); nullopt beyond the type's range.
template <typename T>
std::optional<T> libraryValue(const QString& text) {
    // Only blanks and tabs are stripped by the console; other white space makes a text no number.
    const QByteArray stripped = [&] {
        QByteArray s = text.toLatin1();
        qsizetype b = 0, e = s.size();
        while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
        while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
        return s.mid(b, e - b);
    }();
    T v;
    if constexpr (std::is_same_v<T, float>)
        v = strtof_l(stripped.constData(), nullptr, cLocale());
    else
        v = strtod_l(stripped.constData(), nullptr, cLocale());
    if (std::isinf(v)) return std::nullopt;
    return v;
}

struct Shape {
    int minInt = 0, mandatory = 0, decimals = 0;
};

Shape shapeOf(const QString& pattern) {
    const qsizetype dot = pattern.indexOf(u'.');
    const QString intPat = dot < 0 ? pattern : pattern.left(dot);
    const QString fracPat = dot < 0 ? QString() : pattern.mid(dot + 1);
    return {int(intPat.count(u'0')), int(fracPat.count(u'0')), int(fracPat.size())};
}

bool isDisplayPattern(const QString& p) {
    const qsizetype dot = p.indexOf(u'.');
    if (p.count(u'.') > 1) return false;
    for (QChar c : p)
        if (c != u'#' && c != u'0' && c != u'.') return false;
    // The decimal part holds its '0's before its '#'s.
    const QString frac = dot < 0 ? QString() : p.mid(dot + 1);
    return !frac.contains(QStringLiteral("#0")) && frac.size() <= 12;
}

template <typename T>
void checkFormat(T value, const QString& pattern) {
    const QString out = varnot::formatNumber(value, pattern);
    const Shape s = shapeOf(pattern);
    const QString what = QStringLiteral("%1 as %2 -> %3").arg(varnot::shortestText(value), pattern, out);
    FUZZ_CHECK(varnot::isNumber(out), what);
    const qsizetype dot = out.indexOf(u'.');
    const int shownDecimals = dot < 0 ? 0 : int(out.size() - dot - 1);
    const int intDigits = int((dot < 0 ? out.size() : dot) - (out.startsWith(u'-') ? 1 : 0));
    FUZZ_CHECK(shownDecimals >= s.mandatory && shownDecimals <= s.decimals, what);
    FUZZ_CHECK(intDigits >= s.minInt, what);
    const double shown = *varnot::toDouble(out);
    FUZZ_CHECK(!(out.startsWith(u'-') && shown == 0), what);
    // The value the format rounds is the shortest decimal text of the value.
    const double exact = *varnot::toDouble(varnot::shortestText(value));
    const double unit = std::pow(10.0, -s.decimals);
    FUZZ_CHECK(std::fabs(shown - exact) <= unit / 2 * (1 + 1e-9) + std::fabs(exact) * 1e-15, what);
    if (shownDecimals < s.decimals)  // optional decimals dropped only when they were zeros
        FUZZ_CHECK(std::fabs(shown - exact) <= std::pow(10.0, -shownDecimals) / 2 * (1 + 1e-9) +
                       std::fabs(exact) * 1e-15,
                   what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint8_t choice = in.byte();
    constexpr std::size_t kKnown = sizeof kPatterns / sizeof *kPatterns;
    QString pattern = choice < kKnown ? QString::fromUtf16(kPatterns[choice]) : in.text();
    const QString text = QString::fromUtf8(in.rest());

    const bool number = varnot::isNumber(text);
    const auto d = varnot::toDouble(text);
    const auto f = varnot::toSingle(text);
    const auto i16 = varnot::toInt16(text);
    const QString what = QStringLiteral("text \"%1\"").arg(text);

    if (!number) {
        FUZZ_CHECK(!d && !f && i16.status == varnot::Conversion::NotNumber && i16.value == 0, what);
        FUZZ_CHECK(varnot::toSingleOr(text, 7.5f) == 7.5f, what);
        return 0;
    }
    const auto libD = libraryValue<double>(text);
    const auto libF = libraryValue<float>(text);
    FUZZ_CHECK(d.has_value() == libD.has_value(), what);
    FUZZ_CHECK(f.has_value() == libF.has_value(), what);
    if (d) FUZZ_CHECK(*d == *libD, what);
    if (f) FUZZ_CHECK(*f == *libF, what);
    FUZZ_CHECK(varnot::toSingleOr(text, 7.5f) == f.value_or(7.5f), what);

    if (!d) {
        FUZZ_CHECK(i16.status == varnot::Conversion::NotNumber, what);
    } else {
        const double r = varnot::roundHalfEven(*d);
        FUZZ_CHECK(r == std::trunc(r) && std::fabs(r - *d) <= 0.5, what);
        if (std::fabs(r - *d) == 0.5) FUZZ_CHECK(std::fmod(r, 2.0) == 0, what);
        if (r >= -32768 && r <= 32767)
            FUZZ_CHECK(i16.ok() && i16.value == r, what);
        else
            FUZZ_CHECK(i16.status == varnot::Conversion::OutOfRange && i16.value == 0, what);

        const QString shortest = varnot::shortestText(*d);
        FUZZ_CHECK(varnot::toDouble(shortest) == *d, what + QStringLiteral(" shortest ") + shortest);
        FUZZ_CHECK(varnot::shownDecimal(float(*d)) == varnot::toDouble(varnot::shortestText(float(*d))), what);
    }
    if (f) {
        const QString shortest = varnot::shortestText(*f);
        FUZZ_CHECK(varnot::toSingle(shortest) == *f, what + QStringLiteral(" shortest ") + shortest);
    }

    if (isDisplayPattern(pattern)) {
        if (d) checkFormat(*d, pattern);
        if (f) checkFormat(*f, pattern);
    } else {
        // Any other pattern still gives some text, never a fault.
        if (d) (void)varnot::formatNumber(*d, pattern);
        if (f) (void)varnot::formatNumber(*f, pattern);
    }
    return 0;
}
