#include "common/text_number.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace varnot;

TEST(TextNumber, WhatCountsAsANumber) {
    struct Case {
        const char* text;
        bool number;
    };
    const Case cases[] = {
        {"200", true},    {" 200 ", true},  {"+3.5", true},  {"-2.5", true},  {".5", true},
        {"5.", true},     {"1e3", true},    {"1.5E-2", true}, {"-.5e+1", true}, {"", false},
        {"   ", false},   {"abc", false},   {".", false},    {"1.2.3", false}, {"1e", false},
        {"e5", false},    {"12a", false},   {"- 5", false},  {"1 000", false}, {"+-1", false},
        {"0x10", false},  {"１２", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isNumber(QString::fromUtf8(c.text)), c.number) << c.text;
}

TEST(TextNumber, IntegerConversionRoundsHalfToEvenAndReportsRange) {
    struct Case {
        const char* text;
        Conversion status;
        int value;
    };
    const Case cases[] = {
        {"2.5", Conversion::Ok, 2},          {"3.5", Conversion::Ok, 4},
        {"-2.5", Conversion::Ok, -2},        {"-3.5", Conversion::Ok, -4},
        {"2.51", Conversion::Ok, 3},         {" 180 ", Conversion::Ok, 180},
        {"32767", Conversion::Ok, 32767},    {"32767.5", Conversion::OutOfRange, 0},
        {"-32768", Conversion::Ok, -32768},  {"-32768.6", Conversion::OutOfRange, 0},
        {"40000", Conversion::OutOfRange, 0}, {"1e9", Conversion::OutOfRange, 0},
        {"abc", Conversion::NotNumber, 0},   {"", Conversion::NotNumber, 0},
    };
    for (const Case& c : cases) {
        const Int16Result r = toInt16(QString::fromUtf8(c.text));
        EXPECT_EQ(r.status, c.status) << c.text;
        EXPECT_EQ(r.value, c.value) << c.text;
    }
}

TEST(TextNumber, SingleConversion) {
    EXPECT_EQ(toSingle(u"0.1"), 0.1f);
    EXPECT_EQ(toSingle(u" -24.2 "), -24.2f);
    EXPECT_EQ(toSingle(u"+.5"), 0.5f);
    EXPECT_EQ(toSingle(u"-.5"), -0.5f);
    EXPECT_FALSE(toSingle(u"1e50").has_value());  // beyond the single range
    EXPECT_FALSE(toDouble(u"-1e400").has_value());
    // A number too small for the type reads as zero, keeping its sign; it is still a number.
    struct Tiny {
        const char16_t* text;
        bool negative;
    };
    for (const Tiny& t : {Tiny{u"1e-50", false}, Tiny{u"-0.000001e-45", true}, Tiny{u" 1e-400 ", false},
                          Tiny{u"-.1e-999999999999999999999", true}, Tiny{u"0.0000000000000000000000000000000000000000000001", false}}) {
        const QString text = QString::fromUtf16(t.text);
        ASSERT_TRUE(toSingle(text).has_value()) << text.toStdString();
        EXPECT_EQ(*toSingle(text), 0.0f) << text.toStdString();
        EXPECT_EQ(std::signbit(*toSingle(text)), t.negative) << text.toStdString();
    }
    EXPECT_EQ(toDouble(u"1e-400"), 0.0);
    EXPECT_EQ(toDouble(u"1e-50"), 1e-50);  // small, but inside the double range
    EXPECT_EQ(toInt16(u"-1e-400").status, Conversion::Ok);
    EXPECT_FALSE(toSingle(u"x").has_value());
    EXPECT_EQ(toSingleOr(u"", 3.1f), 3.1f);
}

// The display formats round half away from zero on the value's shortest decimal text: a float
// holding 0.15 (0.1500000059...) and a double holding 2.675 (2.67499999...) both round up, as
// their decimal texts say; the integer conversion above rounds 2.5 to 2 instead.
TEST(TextNumber, DisplayFormatsRoundHalfAwayFromZero) {
    struct Case {
        double value;
        bool asSingle;
        const char* pattern;
        const char* text;
    };
    const Case cases[] = {
        {44.27236912, true, "0.0", "44.3"},     // raw test-temperature word 0
        {301.6766, true, "0.0", "301.7"},       // raw chassis word 0
        {0.15, true, "0.0", "0.2"},
        {0.25, false, "0.0", "0.3"},            // half away from zero, not to even
        {-0.25, false, "0.0", "-0.3"},
        {-0.04, false, "0.0", "0.0"},           // no sign on a value shown as zero
        {2.675, false, "0.00", "2.68"},
        {196.95, true, "###0.0", "197.0"},
        {0, true, "###0.0", "0.0"},
        {12345.67, false, "###0.0", "12345.7"},  // the integer part is never cut
        {0.0005, true, "#0.000", "0.001"},
        {1.1, true, "#0.000", "1.100"},
        {0.5, false, "0.000", "0.500"},
        {2.5, false, "0", "3"},
        {-2.5, false, "0", "-3"},
        {999.95, false, "0.0", "1000.0"},        // carry through every digit
        {502, true, "0.#", "502"},               // optional decimal dropped, no trailing point
        {502.04, true, "0.#", "502"},
        {501.96, true, "0.#", "502"},
        {482.3, true, "0.#", "482.3"},
        {352, false, "#0", "352"},
        {0.4, false, "#0", "0"},
        {1.5, false, "##0.0", "1.5"},
        // Large values are shown as their shortest decimal text says, not as the exact binary value.
        {1e38, true, "##0.0", "100000000000000000000000000000000000000.0"},
        {1e23, false, "0", "100000000000000000000000"},
        {1e-7, true, "0.0000000#", "0.0000001"},
    };
    for (const Case& c : cases) {
        const QString got = c.asSingle ? formatNumber(static_cast<float>(c.value), QString::fromUtf8(c.pattern))
                                       : formatNumber(c.value, QString::fromUtf8(c.pattern));
        EXPECT_EQ(got.toStdString(), c.text) << c.value << " as " << c.pattern;
    }
}

TEST(TextNumber, ShortestTextReadsBackTheSameValue) {
    EXPECT_EQ(shortestText(0.05f), u"0.05");
    EXPECT_EQ(shortestText(200.0f), u"200");
    EXPECT_EQ(shortestText(-3.1f), u"-3.1");
    EXPECT_EQ(shortestText(0.0f), u"0");
    const float tenSteps = std::pow(1.01f, 10.0f);
    EXPECT_EQ(toSingle(shortestText(tenSteps)), tenSteps);
    const float tiny = 1e-7f;
    EXPECT_EQ(toSingle(shortestText(tiny)), tiny);
}

TEST(TextNumber, Dates) {
    const QDate d(2026, 3, 7);
    EXPECT_EQ(formatDate(d, u"yyyy/mm/dd"), u"2026/03/07");
    EXPECT_EQ(formatDate(d, u"yyyymmdd"), u"20260307");
}
