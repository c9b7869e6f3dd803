// The batch tab: upper-casing, sheet values into the grid, the grid's initialisation and the serial
// that mirrors channel 1's test number.
#include "batch/batch_panel.h"
#include "console/console.h"
#include "support/scripted_prompter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnot;

TEST(BatchPanel, LettersAreUpperCasedInTheCodedFieldsOnly) {
    struct Case {
        BatchField field;
        const char* typed;
        const char* kept;
    };
    const Case cases[] = {{BatchField::Serial, "ab12", "AB12"}, {BatchField::Spec, "kdb-520vf", "KDB-520VF"},
                          {BatchField::Line, "l3x", "L3X"},     {BatchField::IQ, "iq-7ä", "IQ-7ä"},
                          {BatchField::Length, "12m", "12m"},   {BatchField::VF, "abc", "abc"}};
    for (const Case& c : cases)
        EXPECT_EQ(enteredBatchText(c.field, QString::fromUtf8(c.typed)), QString::fromUtf8(c.kept)) << c.typed;
}

TEST(BatchPanel, SheetValuesReachTheGridFormatted) {
    BatchPanel p;
    enterSheetValue(p, 2, SheetValue::Capacitance, QStringLiteral("12.3456"));
    enterSheetValue(p, 2, SheetValue::Bending, QStringLiteral("7.6"));
    enterSheetValue(p, 5, SheetValue::Tensile, QStringLiteral("31.5"));
    enterSheetValue(p, 6, SheetValue::Capacitance, QStringLiteral(""));
    EXPECT_EQ(p.grid[2][1], u"12.346");
    EXPECT_EQ(p.grid[2][2], u"8");
    EXPECT_EQ(p.grid[5][3], u"32");
    EXPECT_EQ(p.grid[6][1], u"");
    EXPECT_EQ(p.value(2, SheetValue::Capacitance), u"12.3456");
}

TEST(BatchPanel, InitialisationClearsEveryDataCellAndPairsTheRowColours) {
    BatchPanel p;
    for (int r = 1; r < kGridRows; ++r)
        for (int c = 1; c < kGridColumns; ++c) p.grid[r][c] = QStringLiteral("x");
    initialiseGrid(p);
    for (int r = 1; r < kGridRows; ++r)
        for (int c = 1; c < kGridColumns; ++c) EXPECT_TRUE(p.grid[r][c].isEmpty()) << r << "," << c;
    EXPECT_EQ(p.grid[0][1], u"  比容");
    EXPECT_EQ(p.grid[0][6], u"  Vt");
    EXPECT_EQ(p.grid[4][0], u"1'");
    EXPECT_EQ(gridRowColour(1), QColor(255, 192, 192));
    EXPECT_EQ(gridRowColour(4), gridRowColour(1));
    EXPECT_EQ(gridRowColour(5), QColor(255, 255, 192));
    EXPECT_EQ(gridRowColour(6), QColor(192, 192, 255));
}

TEST(BatchPanel, SerialMirrorsChannelOnesTestNumberAndStartsFromIt) {
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath("s.ini"));
    settings.initialiseMissing();
    settings.write(Section::Canshu, u"TVcsbh(0)", QStringLiteral("A7"));
    settings.write(Section::Canshu, u"hcdy(0)", QStringLiteral("520"));
    varnot::testing::ScriptedPrompter prompter;
    Console console(settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
    console.load();
    EXPECT_EQ(console.batch().field(BatchField::Serial), u"A7");
    EXPECT_EQ(console.batch().field(BatchField::VF), u"520");
    EXPECT_EQ(console.batch().field(BatchField::Joints), u"0");
    console.setFieldText(Field::TvTestNumber, 1, QStringLiteral("B2"));
    EXPECT_EQ(console.batch().field(BatchField::Serial), u"A7");  // channel 2 leaves it alone
    console.setFieldText(Field::TvTestNumber, 0, QStringLiteral("C3"));
    EXPECT_EQ(console.batch().field(BatchField::Serial), u"C3");
    console.setSheetValue(1, SheetValue::Capacitance, QStringLiteral("1"));
    console.state().openPort = 1;
    prompter.answers = {false};
    console.startGroup(QStringLiteral("test13"));  // a 1-3 start refused: the typed value stays
    EXPECT_EQ(console.batch().grid[1][1], u"1.000");
}
