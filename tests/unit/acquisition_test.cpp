// The acquisition tick and the display around it: conversion of raw readings, plot coordinates,
// the spark rule, the tick's storing, peak and drawing, the automatic rescale, mouse readouts,
// the bitmap export and the column-span drawing of long curves.
#include "acquisition/acquisition.h"
#include "acquisition/display.h"
#include "acquisition/sampling.h"
#include "calibration/corrections.h"
#include "common/text_number.h"
#include "console/console.h"
#include "console/qt_prompter.h"
#include "settings/field_catalogue.h"
#include "support/scripted_prompter.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include "support/built_ins.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace varnot;

namespace {

using varnot::testing::builtIns;

// Raw words that convert to the given volts and milliamperes before the series drop on channel
// 1..3 (E, F and G, H inverted), for readings above both thresholds.
float rawVoltFor(int ch, double volts) { return static_cast<float>((volts - kFixedCorrections[ch].F) / kFixedCorrections[ch].E * 50); }

struct TickFixture {
    ConsoleState s = builtIns();
    ChannelView view;
    Curves curves;
    Plots plots;
    Live live{s, view, curves, plots, false};
    TickFixture() {
        s.firstCh = 0;
        s.lastCh = 2;
        for (int c = 0; c < 3; ++c) s.chStopped[c] = false;
        s.n = 1;
    }
    void tick(int ch, float volts, float milliamperes = 0) {
        // Readings given as the shown values: raw words inverted for the channel, no drop on 0 mA.
        s.rawVolt[ch] = rawVoltFor(ch, volts);
        s.rawCurr[ch] = milliamperes * 5000;
        acquisitionTick(live);
    }
};

}  // namespace

TEST(Sampling, ConversionCorrectsDropsCalibratesAndFloors) {
    // Raw 0 reads -24.2 V after channel 1's correction: floored to 0.
    EXPECT_EQ(convertReading(0, 0, 0, 1, 1).volts, 0.0f);
    EXPECT_FLOAT_EQ(0.0f * kFixedCorrections[0].E + kFixedCorrections[0].F, -24.1555138f);
    // 0.9 mA takes the Lo pair (slope 1, offset 0); 1.1 mA on channel 1 the Hi pair.
    EXPECT_FLOAT_EQ(convertReading(0, 0, 0.9f * 5000, 1, 1).milliamperes, 0.9f);
    EXPECT_FLOAT_EQ(convertReading(0, 0, 1.1f * 5000, 1, 1).milliamperes, 1.1f * 0.992456138f - 0.431554377f);
    // Iadjust scales the current after the correction; a negative one floors it to 0.
    EXPECT_FLOAT_EQ(convertReading(0, 0, 0.5f * 5000, 1, 2).milliamperes, 1.0f);
    EXPECT_EQ(convertReading(0, 0, 0.5f * 5000, 1, -1).milliamperes, 0.0f);
    // The series drop: 0.1 V per mA after the current's correction, before Vadjust.
    const Reading r = convertReading(3, 300 * 50, 2 * 5000, 1.5f, 1);
    EXPECT_NEAR(r.volts, (300 - 0.1 * 2) * 1.5, 1e-3);
    // What is stored is the shown text read back.
    const Reading odd = convertReading(3, 123.456f * 50, 0.12345f * 5000, 1, 1);
    EXPECT_EQ(voltageText(odd.volts), u"123.4");
    EXPECT_EQ(currentText(odd.milliamperes), u"0.123");
    EXPECT_FLOAT_EQ(shownValue(voltageText(odd.volts)), 123.4f);
}

TEST(Sampling, CoordinatesClampToTheirPlots) {
    struct Case {
        double volts, refV, yChannel, yGroup, yAll;
    };
    const Case cases[] = {
        {0, 200, 3600, 4000, 8000},
        {100, 200, (0.9 - 100 / 300.0) * 4000, (1 - 100 / 300.0) * 4000, (1 - 100 / 300.0) * 8000},
        {270, 200, 0, (1 - 270 / 300.0) * 4000, (1 - 270 / 300.0) * 8000},  // 1.35 x refV: top edge
        {400, 200, 0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(yChannelVoltage(c.volts, c.refV), c.yChannel, 1e-9) << c.volts;
        EXPECT_NEAR(yGroupVoltage(c.volts, c.refV), c.yGroup, 1e-9) << c.volts;
        EXPECT_NEAR(yAllVoltage(c.volts, c.refV), c.yAll, 1e-9) << c.volts;
    }
    EXPECT_EQ(yChannelCurrent(0), 3600.0);
    EXPECT_NEAR(yChannelCurrent(19.99).value(), -398, 1e-9);
    EXPECT_FALSE(yChannelCurrent(20.1).has_value());  // a spike above 18 mA keeps the last point
    EXPECT_FALSE(yChannelCurrent(-0.1).has_value());
    EXPECT_DOUBLE_EQ(xChannel(8, 0.5f), 600);
    EXPECT_DOUBLE_EQ(xGroup(4, 2, 1), 900);  // slot 1 of group 4-6
    EXPECT_DOUBLE_EQ(xAll(4, 2, 1), 2100);
}

TEST(Sampling, SparkIsAFallOfMoreThanTheCorrection) {
    EXPECT_TRUE(isSpark(200.0f, 196.9f, 3.0));
    EXPECT_FALSE(isSpark(200.0f, 197.0f, 3.0));
    EXPECT_FALSE(isSpark(200.0f, 201.0f, 0.0));
    EXPECT_TRUE(isSpark(200.0f, 199.9f, 0.0));
    // The correction is read as a double: 200.0 - 3.1 lies above the single 196.9.
    EXPECT_TRUE(isSpark(200.0f, 196.9f, 3.1));
}

TEST(AcquisitionTick, FirstTickStartsAtTheOriginsAndStoresTheShownValues) {
    TickFixture f;
    f.tick(0, 150.04f, 0);
    EXPECT_EQ(f.s.n, 2);
    EXPECT_EQ(f.s.field(Field::LiveVoltage, 0), u"150.0");
    EXPECT_EQ(f.curves.V[0][1], 150.0f);
    EXPECT_EQ(f.curves.V[0][0], 0.0f);  // sample 0 is never written
    EXPECT_EQ(f.view.Vmax[0], 0.0f);    // no peak before k = 3
    // The first segment runs from the channel plot's origin (400, 3600) to the point of sample 1.
    const PlotSurface& own = *f.plots.TV[0];
    const double y1 = yChannelVoltage(150.0, 800);  // channel 1 built-in formation voltage 800 V
    EXPECT_EQ(own.image().pixelColor(own.pixelAt(400 + 12.5 * 0.5, (3600 + y1) / 2)), QColor(Qt::red));
    // Group plot origin (400, 4000) and the all-channel origin (400, 8000), channel 1 in red.
    const PlotSurface& group = *f.plots.TV16[0];
    EXPECT_EQ(group.image().pixelColor(group.pixelAt(400, 4000 - 10)), QColor(Qt::red));
    // Labels do not move on the first tick.
    EXPECT_EQ(f.plots.groupLabel[0], QPointF(0, 0));
}

TEST(AcquisitionTick, PeakFollowsTheShownVoltageOfARunningChannelFromTheThirdSample) {
    TickFixture f;
    const float volts[] = {300, 310, 320, 315, 330};
    for (float v : volts) f.tick(0, v);
    EXPECT_EQ(f.view.Vmax[0], 330.0f);
    EXPECT_EQ(f.view.tVmax[0], 5.0f);
    EXPECT_EQ(f.s.field(Field::ReadoutTB, 0), u"5");
    EXPECT_EQ(f.s.field(Field::ReadoutVm, 0), u"330");
    // A stopped channel keeps storing and showing but neither peaks nor draws.
    f.s.chStopped[0] = true;
    const QImage before = f.plots.TV[0]->image();
    f.tick(0, 400);
    EXPECT_EQ(f.curves.V[0][6], 400.0f);
    EXPECT_EQ(f.view.Vmax[0], 330.0f);
    EXPECT_EQ(f.plots.TV[0]->image(), before);
}

TEST(AcquisitionTick, CombinedPlotsScaleByTheirAxisReferenceAndLabelsFollowTheHead) {
    TickFixture f;
    f.s.field(Field::FormationVoltage, 0) = QStringLiteral("200");
    f.s.field(Field::FormationVoltage, 1) = QStringLiteral("300");
    f.s.field(Field::FormationVoltage, 3) = QStringLiteral("400");
    f.tick(0, 150);
    f.tick(0, 150);
    // The all-channel axis carries the larger of channels 1 and 4, the 1-3 axis channel 1's.
    EXPECT_FLOAT_EQ(f.curves.yAll[0], static_cast<float>((1 - 150 / 600.0) * 8000));
    EXPECT_FLOAT_EQ(f.curves.yGrp[0], static_cast<float>((1 - 150 / 300.0) * 4000));
    EXPECT_EQ(f.plots.allLabel[0], QPointF(xAll(0, 2, 1), f.curves.yAll[0]));
    EXPECT_EQ(f.plots.groupLabel[0], QPointF(xGroup(0, 2, 1), f.curves.yGrp[0]));
    // Channel 2, formed at 300 V, reads against channel 1's reference on the 1-3 plot; with channel
    // 1 above channel 4 the all-channel plot follows channel 1.
    f.s.field(Field::FormationVoltage, 0) = QStringLiteral("900");
    f.tick(1, 150);
    EXPECT_FLOAT_EQ(f.curves.yGrp[1], static_cast<float>((1 - 150 / 1350.0) * 4000));
    EXPECT_FLOAT_EQ(f.curves.yAll[1], static_cast<float>((1 - 150 / 1350.0) * 8000));
}

TEST(AcquisitionTick, HiddenCurrentIsNotDrawnButItsPointFollows) {
    TickFixture f;
    f.tick(0, 100, 0.5f);
    f.tick(0, 100, 1.0f);
    EXPECT_FLOAT_EQ(f.curves.yIold[0], static_cast<float>((0.9 - 1.0 / 20) * 4000));
    int blue = 0;
    const QImage& img = f.plots.TV[0]->image();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) blue += img.pixelColor(x, y) == QColor(Qt::blue);
    EXPECT_EQ(blue, 0);
    f.live.currentVisible = true;
    f.tick(0, 100, 1.0f);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) blue += img.pixelColor(x, y) == QColor(Qt::blue);
    EXPECT_GT(blue, 0);
}

TEST(AcquisitionTick, ThreeSparksAreRecordedAndAFourthChangesNothing) {
    TickFixture f;
    for (int c = 0; c < 3; ++c) f.s.kind[c] = TestKind::Electrolyte;
    f.s.field(Field::SparkCorrection, 0) = QStringLiteral("3.0");
    const float volts[] = {100, 200, 196.9f, 199, 195, 198, 197.5f, 193, 180};
    // Sparks at samples 3 (200 -> 196.9), 5 (199 -> 195) and 8 (197.5 -> 193); 9 is a fourth fall.
    for (float v : volts) f.tick(0, v);
    EXPECT_EQ(f.view.sparkCount[0], 3);
    EXPECT_TRUE(f.view.sparkSeen[0]);
    EXPECT_TRUE(f.view.firstMark[0]);
    EXPECT_EQ(f.s.field(Field::Spark1Voltage, 0), u"196.9");
    EXPECT_EQ(f.s.field(Field::Spark1Time, 0), u"3");
    EXPECT_EQ(f.s.field(Field::ReadoutTA, 0), u"196.9");
    EXPECT_EQ(f.s.field(Field::Spark2Voltage, 0), u"195.0");
    EXPECT_EQ(f.s.field(Field::Spark2Time, 0), u"5");
    EXPECT_EQ(f.s.field(Field::Spark3Voltage, 0), u"193.0");
    EXPECT_EQ(f.s.field(Field::Spark3Time, 0), u"8");
    EXPECT_EQ(f.s.field(Field::ReadoutVT, 0), u"193.0");
    EXPECT_EQ(f.view.Vmin[0], 196.9f);
    // The first spark's dotted line on the channel plot runs from the time axis.
    const PlotSurface& own = *f.plots.TV[0];
    int black = 0;
    const int x = own.px(xChannel(3, 1));
    for (int y = 0; y < own.image().height(); ++y) black += own.image().pixelColor(x, y) == QColor(Qt::black);
    EXPECT_GT(black, 5);
    // A TV channel never counts sparks.
    EXPECT_EQ(f.view.sparkCount[1], 0);
}

TEST(AcquisitionTick, NothingIsStoredPastTheLastSample) {
    TickFixture f;
    f.s.n = kLastSample;
    f.tick(0, 120);
    EXPECT_EQ(f.curves.V[0][kLastSample], 120.0f);
    EXPECT_EQ(f.s.n, kLastSample + 1);
    f.tick(0, 130);  // would be sample 6001: nothing is written, n still moves on
    EXPECT_EQ(f.s.n, kLastSample + 2);
    EXPECT_EQ(f.s.field(Field::LiveVoltage, 0), u"120.0");
}

TEST(Display, ChannelPlotDoublesAtTheRightEdgeAndRedrawsTheCurveInItsLeftHalf) {
    TickFixture f;
    f.plots.hxfd[0] = 1;
    f.s.field(Field::FormationVoltage, 0) = QStringLiteral("200");
    for (int k = 1; k <= 320; ++k) f.tick(0, 100);
    EXPECT_EQ(f.s.n, 321);
    EXPECT_EQ(autoswpic(f.live, 0), Rescale::Channel);
    EXPECT_EQ(f.plots.hxfd[0], 2.0f);
    const PlotSurface& own = *f.plots.TV[0];
    const int y = own.px(yChannelVoltage(100, 200));
    EXPECT_EQ(own.image().pixelColor(own.px(xChannel(300, 2)), y), QColor(Qt::red));   // left half
    EXPECT_NE(own.image().pixelColor(own.px(xChannel(330, 1)), y), QColor(Qt::red));   // right half cleared
    // One rescale per visit: the next visit finds the channel plot no longer full and widens the
    // group plots, which are full too (n > 240); the one after that changes nothing.
    EXPECT_EQ(autoswpic(f.live, 0), Rescale::Groups);
    EXPECT_EQ(f.plots.hxfd16, 2.0f);
    EXPECT_EQ(autoswpic(f.live, 0), Rescale::None);
}

TEST(Display, GroupPlotsDoubleWhenNoChannelPlotIsFullAndStoppedChannelsNeverRescale) {
    TickFixture f;
    f.plots.hxfd16 = 0.125f;
    f.plots.hxfd[0] = 32;
    f.s.n = 31;
    EXPECT_EQ(autoswpic(f.live, 0), Rescale::Groups);
    EXPECT_EQ(f.plots.hxfd16, 0.25f);
    f.s.n = 100;
    f.s.chStopped[1] = true;
    f.plots.hxfd[1] = 0.03125f;
    EXPECT_EQ(autoswpic(f.live, 1), Rescale::None);
    struct Case {
        float factor, minimum, next;
    };
    for (const Case& c : {Case{1, kHxfdMin, 2}, Case{0.01f, kHxfdMin, 32}, Case{32, kHxfdMin, 32},
                          Case{0.125f, kHxfd16Min, 0.25f}, Case{0.1f, kHxfd16Min, 32}})
        EXPECT_EQ(nextZoom(c.factor, c.minimum), c.next) << c.factor;
}

TEST(Display, MouseReadouts) {
    EXPECT_EQ(channelReadout(400, 3600, 200, 1), u"鼠标点：0.0V, 0.0mA 0S ");
    EXPECT_EQ(channelReadout(400, 0, 200, 1), u"鼠标点：270.0V, 18.0mA 0S ");
    EXPECT_EQ(channelReadout(800, 1600, 200, 2), u"鼠标点：150.0V, 10.0mA 64S ");
    EXPECT_FALSE(channelReadout(399, 100, 200, 1));
    EXPECT_FALSE(channelReadout(4501, 100, 200, 1));
    EXPECT_FALSE(channelReadout(1000, 4001, 200, 1));
    EXPECT_EQ(groupReadout(0, 400, 4000, 200, 1), u"鼠标点：0.0V, 0.0mA 0S ");
    EXPECT_EQ(groupReadout(2, 800, 4000, 200, 1), u"鼠标点：150.0V, 10.0mA 8S ");
    EXPECT_TRUE(groupReadout(0, 400, 4400, 200, 1));
    EXPECT_FALSE(groupReadout(0, 400, 4401, 200, 1));
    EXPECT_TRUE(groupReadout(2, 400, 8000, 200, 1));
    EXPECT_FALSE(groupReadout(2, 13201, 100, 200, 1));
    // The combined plots' reference: channel 2 for plot 0, channel 4 for plot 1, the larger of 1
    // and 4 for the all-channel plot.
    ConsoleState s = builtIns();
    s.field(Field::FormationVoltage, 0) = QStringLiteral("300");
    s.field(Field::FormationVoltage, 1) = QStringLiteral("250");
    s.field(Field::FormationVoltage, 3) = QStringLiteral("350");
    EXPECT_EQ(groupReadoutReference(s, 0), 250);
    EXPECT_EQ(groupReadoutReference(s, 1), 350);
    EXPECT_EQ(groupReadoutReference(s, 2), 350);
}

TEST(Display, LongCurvesDrawTheSameColumnSpansAsEverySegment) {
    // 6000 noisy samples redrawn on a channel plot: the per-column drawing and a drawing of every
    // segment agree on the top and bottom of the curve in every pixel column.
    TickFixture f;
    f.s.field(Field::FormationVoltage, 0) = QStringLiteral("200");
    f.plots.hxfd[0] = 32;
    f.s.n = kLastSample + 1;
    for (int k = 1; k <= kLastSample; ++k)
        f.curves.V[0][k] = std::round((150 + 60 * std::sin(k / 150.0) + 15 * std::sin(k * 1.7)) * 10) / 10;
    PlotSurface slow(4800, 4000);
    double px = 400, py = 3600;
    for (int k = 1; k <= kLastSample; ++k) {
        const double x = xChannel(k, 32), y = yChannelVoltage(f.curves.V[0][k], 200);
        slow.line(px, py, x, y, Qt::red);
        px = x;
        py = y;
    }
    f.plots.TV[0]->clear();
    redrawChannelCurve(f.live, 0);
    const QImage& fast = f.plots.TV[0]->image();
    int columns = 0;
    for (int x = 0; x < fast.width(); ++x) {
        int fTop = -1, fBottom = -1, sTop = -1, sBottom = -1;
        for (int y = 0; y < fast.height(); ++y) {
            if (fast.pixelColor(x, y) == QColor(Qt::red)) {
                if (fTop < 0) fTop = y;
                fBottom = y;
            }
            if (slow.image().pixelColor(x, y) == QColor(Qt::red)) {
                if (sTop < 0) sTop = y;
                sBottom = y;
            }
        }
        if (sTop < 0 && fTop < 0) continue;
        ++columns;
        EXPECT_NEAR(fTop, sTop, 2) << "column " << x;
        EXPECT_NEAR(fBottom, sBottom, 2) << "column " << x;
    }
    EXPECT_GT(columns, 150);
}

TEST(Display, ExportStopsAtACancelAndReportsAFailedWrite) {
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath("s.ini"));
    varnot::testing::ScriptedPrompter prompter;
    Console console(settings, prompter, Timing{}, [] { return QDate(2026, 12, 10); });
    console.load();
    console.state().lastCh = 0;  // channel 1 alone, then the three combined plots
    prompter.fileNames = {dir.filePath("one.bmp"), dir.filePath("two.png")};
    console.exportPlots();
    // Proposed names, with the date in dashes; the third dialog is cancelled and nothing follows.
    ASSERT_EQ(prompter.shown.size(), 3u);
    EXPECT_EQ(prompter.shown[0].text, u"2026-12-10-TV1.bmp");
    EXPECT_EQ(prompter.shown[0].title, u"图本文件(.bmp)|*.bmp|*.*");
    EXPECT_EQ(prompter.shown[1].text, u"2026-12-10-TV16-0.bmp");
    EXPECT_EQ(prompter.shown[2].text, u"2026-12-10-TV16-1.bmp");
    QImage one(dir.filePath("one.bmp")), two(dir.filePath("two.png"));
    EXPECT_EQ(one.size(), console.plots().TV[0]->image().size());
    EXPECT_EQ(two.size(), console.plots().TV16[0]->image().size());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("2026-12-10-TV16-1.bmp")));
    EXPECT_TRUE(prompter.messages().isEmpty());
    // The dialog reads the filter's description|pattern pairs.
    EXPECT_EQ(QtPrompter::dialogFilter(QStringLiteral("图本文件(.bmp)|*.bmp|*.*")), u"图本文件(.bmp) (*.bmp);;*.* (*)");
    // A file that cannot be written is reported and ends the export.
    prompter.shown.clear();
    prompter.fileNames = {dir.filePath("missing/folder/x.bmp")};
    console.exportPlots();
    ASSERT_EQ(prompter.messages().size(), 1);
    EXPECT_TRUE(prompter.messages()[0].contains(u"x.bmp"));
}
