// The operator fields' entry rules and their restore at start-up, the range hints beside the
// parameter fields, and where the console window is placed.
#include "console/console.h"
#include "console/console_fields.h"
#include "settings/field_catalogue.h"
#include "settings/validation.h"
#include "support/console_fixture.h"

#include <gtest/gtest.h>

using namespace varnot;

TEST(OperatorFields, AnUnusableEntryLeavesTheTextFromBefore) {
    struct Case {
        OperatorField field;
        const char* typed;
        const char* kept;
    };
    // Around the first texts: 192.168.1.200, 4001, 83.5 .. 87.5.
    const Case cases[] = {
        {OperatorField::IpAddress, " 10.0.0.7 ", "10.0.0.7"},
        {OperatorField::IpAddress, "  ", "192.168.1.200"},
        {OperatorField::TcpPort, "502", "502"},
        {OperatorField::TcpPort, " 65535", "65535"},
        {OperatorField::TcpPort, "65536", "4001"},
        {OperatorField::TcpPort, "0", "4001"},
        {OperatorField::TcpPort, "40a1", "4001"},
        {OperatorField::TcpPort, "", "4001"},
        {OperatorField::TempLow, "80", "80"},
        {OperatorField::TempLow, "87.5", "87.5"},  // a window of one temperature
        {OperatorField::TempLow, "87.6", "83.5"},  // above the upper bound
        {OperatorField::TempLow, "warm", "83.5"},
        {OperatorField::TempHigh, "90", "90"},
        {OperatorField::TempHigh, "83.4", "87.5"},  // below the lower bound
        {OperatorField::TempHigh, "", "87.5"},
    };
    const ConsoleState first;
    for (const Case& c : cases)
        EXPECT_EQ(acceptedOperatorText(first, c.field, QString::fromUtf8(c.typed)), QString::fromUtf8(c.kept))
            << operatorFieldSpec(c.field).legacyId << " '" << c.typed << "'";
}

TEST(OperatorFields, StartUpBringsBackWhatWasStoredAndFirstValuesForWhatIsNotUsable) {
    struct Case {
        const char* what;
        const char* ip;
        const char* port;
        const char* low;
        const char* high;
        const char* shown[4];
    };
    const Case cases[] = {
        {"stored", "10.1.2.3", "5020", "80", "82.5", {"10.1.2.3", "5020", "80", "82.5"}},
        {"blank address, port out of range", "", "70000", "84", "86", {"192.168.1.200", "4001", "84", "86"}},
        {"reversed window", "h1", "7", "90", "85", {"h1", "7", "83.5", "87.5"}},
        {"bound not a number", "h1", "7", "x", "85", {"h1", "7", "83.5", "85"}},
        {"bound not a number, the other below its first value", "h1", "7", "x", "80", {"h1", "7", "83.5", "87.5"}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath("s.ini"));
        settings.initialiseMissing();
        settings.write(Section::Canshu, u"IPADDRESS", QString::fromUtf8(c.ip));  // keys match in any case
        settings.write(Section::Canshu, u"tcpport", QString::fromUtf8(c.port));
        settings.write(Section::Canshu, u"templow", QString::fromUtf8(c.low));
        settings.write(Section::Canshu, u"temphigh", QString::fromUtf8(c.high));
        varnot::testing::ScriptedPrompter prompter;
        Console console(settings, prompter);
        console.load();
        for (OperatorField f : kOperatorFields)
            EXPECT_EQ(operatorText(console.state(), f), QString::fromUtf8(c.shown[static_cast<int>(f)]))
                << c.what << " " << operatorFieldSpec(f).legacyId;
    }
}

class OperatorEntry : public varnot::testing::ConsoleFixture {};

TEST_F(OperatorEntry, ACompletedEntryIsKeptInTheStoreForTheNextStart) {
    console->enterOperatorField(OperatorField::TcpPort, QStringLiteral("5020"));
    console->enterOperatorField(OperatorField::TempHigh, QStringLiteral("91"));
    console->enterOperatorField(OperatorField::TempLow, QStringLiteral("95"));  // above 91: not taken
    EXPECT_EQ(console->state().tcpPort, u"5020");
    EXPECT_EQ(console->state().tempLow, u"83.5");
    EXPECT_EQ(settings->read(Section::Canshu, u"tcpport"), u"5020");
    EXPECT_EQ(settings->read(Section::Canshu, u"temphigh"), u"91");
    EXPECT_EQ(settings->read(Section::Canshu, u"templow"), u"83.5");
    Console next(*settings, prompter);
    next.load();
    EXPECT_EQ(next.state().tcpPort, u"5020");
    EXPECT_EQ(next.state().tempHigh, u"91");
}

// A hint tells the range the field's check accepts: both bounds stay, a value just outside either
// is replaced.
TEST(RangeHints, EachHintNamesTheRangeItsFieldAccepts) {
    struct Case {
        Field field;
        const char* hint;
        const char* low;
        const char* below;
        const char* high;
        const char* above;
    };
    const Case cases[] = {
        {Field::FormationVoltage, "电压范围1～1000", "1", "0.9", "1000", "1000.1"},
        {Field::TestCurrent, "电流范围0.2～15mA", "0.2", "0.19", "15", "15.01"},
        {Field::LeakageVoltage, "电压范围10～1000", "10", "9.9", "1000", "1001"},
        {Field::ElecCurrent, "电流范围0.5～20mA", "0.5", "0.49", "20", "20.1"},
        {Field::ElecSetVoltage, "电压范围10～1000", "10", "9", "1000", "1000.5"},
    };
    for (const Case& c : cases) {
        const char* id = fieldSpec(c.field).legacyId;
        EXPECT_EQ(rangeHint(c.field), QString::fromUtf8(c.hint)) << id;
        for (int ch : {0, 4}) {
            EXPECT_EQ(validatedText(c.field, ch, QString::fromUtf8(c.low)), QString::fromUtf8(c.low)) << id;
            EXPECT_EQ(validatedText(c.field, ch, QString::fromUtf8(c.high)), QString::fromUtf8(c.high)) << id;
            EXPECT_NE(validatedText(c.field, ch, QString::fromUtf8(c.below)), QString::fromUtf8(c.below)) << id;
            EXPECT_NE(validatedText(c.field, ch, QString::fromUtf8(c.above)), QString::fromUtf8(c.above)) << id;
        }
    }
    for (Field f : {Field::VrRatio, Field::DelayTime, Field::TvTestNumber, Field::ElecReference})
        EXPECT_TRUE(rangeHint(f).isEmpty()) << fieldSpec(f).legacyId;
}

TEST(WindowPlacement, CentredOnTheAvailableAreaWithTheTitleBarOnTheScreen) {
    struct Case {
        QRect screen;
        QSize frame;
        QPoint topLeft;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, {1280, 860}, {320, 110}},
        {{0, 30, 1280, 994}, {1000, 700}, {140, 177}},   // below a panel at the top
        {{1920, 0, 1280, 1024}, {1280, 860}, {1920, 82}},  // the second of two screens
        {{0, 0, 800, 600}, {1280, 860}, {0, 0}},          // larger than the screen
    };
    for (const Case& c : cases) EXPECT_EQ(centredTopLeft(c.screen, c.frame), c.topLeft) << c.screen.width();
}
