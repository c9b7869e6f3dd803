// How the console turns the texts of its fields into numbers and numbers back into texts.
//
// Every parameter and result lives as the text of a field; each reader converts it where it is
// used. Two rounding rules meet here and must not be confused:
//  - converting a text to a 16-bit integer (and encoding a real into a frame word) rounds a half
//    to the even neighbour: "2.5" -> 2, "3.5" -> 4, "-2.5" -> -2;
//  - the display formats ("0.0", "###0.0", "#0.000", ...) round a half away from zero, on the
//    value's own shortest decimal text, so 0.15f shown as "0.0" reads "0.2" as an operator expects.
#pragma once

#include <QDate>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace varnot {

// True for: optional blanks, optional sign, digits with at most one decimal point (at least one
// digit), optional exponent (e/E, optional sign, digits), optional blanks. Empty and all-blank
// texts are not numbers.
bool isNumber(QStringView text);

enum class Conversion { Ok, NotNumber, OutOfRange };

struct Int16Result {
    std::int16_t value = 0;
    Conversion status = Conversion::NotNumber;
    bool ok() const { return status == Conversion::Ok; }
};

// Text -> 16-bit integer, a half rounded to the even neighbour. A number whose rounded value lies
// outside -32768..32767 is reported as OutOfRange and value stays 0; nothing wraps.
Int16Result toInt16(QStringView text);

// Rounds to the nearest integer, a half to the even neighbour (the rule of CInt and of frame words).
double roundHalfEven(double v);

// Text -> single-precision real; nullopt when the text is not a number or exceeds the float range.
std::optional<float> toSingle(QStringView text);
// Text -> double; nullopt when the text is not a number.
std::optional<double> toDouble(QStringView text);

// Text -> single with a fallback for texts that are not numbers (the value fields can hold).
float toSingleOr(QStringView text, float fallback);

// Display formats: an integer part of '#' and '0' (the count of '0' is the least number of digits
// shown) and an optional decimal part of '0' (always shown) and '#' (shown when not zero). The
// value is rounded half away from zero on its shortest decimal text. A negative value that rounds
// to zero is shown without its sign. A pattern whose optional decimals all drop ("0.#" of 502)
// shows no trailing decimal point.
QString formatNumber(double value, QStringView pattern);
QString formatNumber(float value, QStringView pattern);

// The shortest decimal text that reads back as the same single-precision value ("0.05", "1.01",
// "200"); the text in which coefficients and results are written.
QString shortestText(float value);
QString shortestText(double value);
// The decimal a single-precision sample stands for, as a double: 128.2f -> 128.2 (not the
// widened 128.199996948242). Stored curves hold this value.
double shownDecimal(float value);

// Dates: "yyyy/mm/dd" (the date fields) and "yyyymmdd" (the date stamp of test numbering).
QString formatDate(const QDate& date, QStringView pattern);

}  // namespace varnot
