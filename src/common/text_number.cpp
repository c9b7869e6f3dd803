#include "common/text_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

namespace varnot {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Strips blanks and a leading '+', returns the Latin-1 text that std::from_chars reads, or an
// empty string when the text is not a number.
std::string numericCore(QStringView text) {
    if (!isNumber(text)) return {};
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    if (text[b] == u'+') ++b;
    return text.mid(b, e - b).toLatin1().toStdString();
}

// Whether a number text (optional '-', digits with at most one point, optional exponent) is
// below 1 in magnitude: its leading significant digit stands before the decimal point's place.
bool belowOne(const std::string& s) {
    const std::size_t from = (s[0] == '-') ? 1 : 0;
    const std::size_t expAt = std::min(s.find_first_of("eE"), s.size());
    const std::string mantissa = s.substr(from, expAt - from);
    const std::size_t dot = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t lead = mantissa.find_first_not_of("0.");
    if (lead == std::string::npos) return true;  // all zeros
    // Decimal exponent of the leading significant digit.
    long long place = lead < dot ? static_cast<long long>(dot - lead) - 1 : -static_cast<long long>(lead - dot);
    long long exponent = 0;
    bool negative = false;
    std::size_t i = expAt + 1;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    for (; i < s.size(); ++i) exponent = std::min(exponent * 10 + (s[i] - '0'), 1000000000LL);
    return place + (negative ? -exponent : exponent) < 0;
}

template <typename T>
std::optional<T> parse(QStringView text) {
    const std::string core = numericCore(text);
    if (core.empty()) return std::nullopt;
    // from_chars does not take a leading decimal point after a sign ("-.5"), so give it a zero.
    std::string s = core;
    const std::size_t digitsAt = (s[0] == '-') ? 1 : 0;
    if (s[digitsAt] == '.') s.insert(digitsAt, "0");
    T v{};
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ptr != s.data() + s.size()) return std::nullopt;
    // A number too small for the type is zero ("1e-400"); only one too large is refused.
    if (ec == std::errc::result_out_of_range && belowOne(s)) return s[0] == '-' ? -T(0) : T(0);
    if (ec != std::errc{}) return std::nullopt;
    return v;
}

// The digits of the value's shortest text (shortestText) written out without exponent. Below 1e15
// that is the fixed form; above, the fixed form of to_chars would give the exact integer where it
// is no longer (1e38f as 99999996802856924650656260769173209088), so the shortest digits of the
// exponent form are written out instead ("1" and 38 zeros).
template <typename T>
std::string shortestFixed(T value) {
    char buf[512];
    if (value < T(1e15)) {
        const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
        return r.ec == std::errc{} ? std::string(buf, r.ptr) : std::string("0");
    }
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    if (r.ec != std::errc{}) return "0";
    const std::string text(buf, r.ptr);  // d[.ddd]e+XX
    const std::size_t e = text.find('e');
    std::string digits = text.substr(0, e);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    // Digits before the decimal point.
    const long point = std::strtol(text.c_str() + e + 1, nullptr, 10) + 1;
    const auto count = static_cast<long>(digits.size());
    if (point <= 0) return "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    if (point >= count) return digits + std::string(static_cast<std::size_t>(point - count), '0');
    return digits.substr(0, static_cast<std::size_t>(point)) + '.' + digits.substr(static_cast<std::size_t>(point));
}

// Rounds the magnitude digits of a fixed decimal text to `decimals` places, half away from zero.
// Returns integer digits and exactly `decimals` fraction digits.
void roundDecimalText(const std::string& magnitude, int decimals, std::string& intPart,
                      std::string& fracPart) {
    const auto dot = magnitude.find('.');
    intPart = magnitude.substr(0, dot);
    std::string frac = dot == std::string::npos ? std::string() : magnitude.substr(dot + 1);
    const bool roundUp = static_cast<int>(frac.size()) > decimals && frac[decimals] >= '5';
    frac.resize(decimals, '0');
    if (roundUp) {
        std::string all = intPart + frac;
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[i] == '9') all[i--] = '0';
        if (i < 0)
            all.insert(all.begin(), '1');
        else
            ++all[i];
        intPart = all.substr(0, all.size() - decimals);
        frac = all.substr(all.size() - decimals);
    }
    fracPart = frac;
}

template <typename T>
QString formatWith(T value, QStringView pattern) {
    if (!std::isfinite(value)) return QStringLiteral("0");
    const qsizetype dot = pattern.indexOf(u'.');
    const QStringView intPat = dot < 0 ? pattern : pattern.left(dot);
    const QStringView fracPat = dot < 0 ? QStringView() : pattern.mid(dot + 1);
    const int minIntDigits = static_cast<int>(intPat.count(u'0'));
    const int mandatoryDecimals = static_cast<int>(fracPat.count(u'0'));
    const int decimals = static_cast<int>(fracPat.size());

    const bool negative = std::signbit(value);
    std::string magnitude = shortestFixed(negative ? -value : value);
    std::string intPart, fracPart;
    roundDecimalText(magnitude, decimals, intPart, fracPart);

    // Leading zeros of the integer part down to the least number of digits.
    std::size_t firstNonZero = intPart.find_first_not_of('0');
    if (firstNonZero == std::string::npos) firstNonZero = intPart.size();
    intPart.erase(0, firstNonZero);
    if (static_cast<int>(intPart.size()) < minIntDigits)
        intPart.insert(0, static_cast<std::size_t>(minIntDigits) - intPart.size(), '0');
    // Optional decimals drop when they are zero.
    while (static_cast<int>(fracPart.size()) > mandatoryDecimals && fracPart.back() == '0') fracPart.pop_back();

    const bool allZero = intPart.find_first_not_of('0') == std::string::npos &&
                         fracPart.find_first_not_of('0') == std::string::npos;
    std::string out;
    if (negative && !allZero) out += '-';
    out += intPart;
    if (!fracPart.empty()) out += '.' + fracPart;
    if (out.empty() || out == "-") out = "0";
    return QString::fromLatin1(out);
}

template <typename T>
QString shortestWith(T value) {
    if (!std::isfinite(value)) return QStringLiteral("0");
    if (value == 0) return QStringLiteral("0");
    char buf[64];
    // Plain decimal for the magnitudes a console shows, the general form beyond them.
    const T mag = std::fabs(value);
    const auto fmt = (mag >= T(1e-4) && mag < T(1e15)) ? std::chars_format::fixed : std::chars_format::general;
    const auto r = std::to_chars(buf, buf + sizeof buf, value, fmt);
    return QString::fromLatin1(buf, static_cast<qsizetype>(r.ptr - buf));
}

}  // namespace

bool isNumber(QStringView text) {
    qsizetype i = 0, e = text.size();
    while (i < e && isBlank(text[i])) ++i;
    while (e > i && isBlank(text[e - 1])) --e;
    if (i == e) return false;
    if (text[i] == u'+' || text[i] == u'-') ++i;
    int digits = 0;
    bool point = false;
    for (; i < e; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (i < e && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < e && (text[i] == u'+' || text[i] == u'-')) ++i;
        int expDigits = 0;
        while (i < e && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) return false;
    }
    return i == e;
}

double roundHalfEven(double v) {
    const double r = std::round(v);  // half away from zero
    if (std::fabs(v - std::trunc(v)) == 0.5) return 2.0 * std::round(v / 2.0);
    return r;
}

Int16Result toInt16(QStringView text) {
    const auto v = parse<double>(text);
    if (!v) return {0, Conversion::NotNumber};
    const double r = roundHalfEven(*v);
    if (!(r >= -32768.0 && r <= 32767.0)) return {0, Conversion::OutOfRange};
    return {static_cast<std::int16_t>(r), Conversion::Ok};
}

std::optional<float> toSingle(QStringView text) { return parse<float>(text); }

std::optional<double> toDouble(QStringView text) { return parse<double>(text); }

float toSingleOr(QStringView text, float fallback) { return toSingle(text).value_or(fallback); }

QString formatNumber(double value, QStringView pattern) { return formatWith(value, pattern); }
QString formatNumber(float value, QStringView pattern) { return formatWith(value, pattern); }

QString shortestText(float value) { return shortestWith(value); }
QString shortestText(double value) { return shortestWith(value); }

QString formatDate(const QDate& date, QStringView pattern) {
    QString out = pattern.toString();
    out.replace(QLatin1String("yyyy"), QString::number(date.year()).rightJustified(4, u'0'));
    out.replace(QLatin1String("mm"), QString::number(date.month()).rightJustified(2, u'0'));
    out.replace(QLatin1String("dd"), QString::number(date.day()).rightJustified(2, u'0'));
    return out;
}

double shownDecimal(float value) {
    bool ok = false;
    const double d = shortestText(value).toDouble(&ok);
    return ok ? d : double(value);
}

}  // namespace varnot
