// The plot axes drawn into their bitmaps: pixels at known grid and axis positions, and the labels.
#include "acquisition/plot_axes.h"
#include "settings/field_catalogue.h"

#include "support/built_ins.h"

#include <gtest/gtest.h>

using namespace varnot;

namespace {

using varnot::testing::builtIns;

QColor at(const PlotSurface& p, double x, double y) { return p.image().pixelColor(p.pixelAt(x, y)); }

}  // namespace

TEST(PlotAxes, ChannelPlotAxesAndGridSitWhereThePlotUnitsSay) {
    ConsoleState s = builtIns();
    Plots plots;
    zb(plots, s, 0);
    const PlotSurface& p = *plots.TV[0];
    EXPECT_EQ(p.image().width(), 320);
    EXPECT_EQ(p.image().height(), 267);
    EXPECT_EQ(at(p, 400, 1900), QColor(Qt::red));     // voltage axis, between grid lines
    EXPECT_EQ(at(p, 2500, 3600), QColor(Qt::red));    // time axis (zero line)
    // The dotted white grid: a vertical line at x = 800 and a horizontal one at y = 3200 each have
    // white pixels along them, and the space between grid lines keeps the background.
    int whiteOnVertical = 0, whiteOnHorizontal = 0;
    for (int y = 10; y < 230; ++y) whiteOnVertical += p.image().pixelColor(p.px(800), y) == QColor(Qt::white);
    for (int x = 30; x < 290; ++x) whiteOnHorizontal += p.image().pixelColor(x, p.px(3200)) == QColor(Qt::white);
    EXPECT_GT(whiteOnVertical, 50);
    EXPECT_GT(whiteOnHorizontal, 50);
    EXPECT_EQ(at(p, 1000, 1000), PlotSurface::background());
}

TEST(PlotAxes, CombinedPlotsHaveTheirOwnHeights) {
    ConsoleState s = builtIns();
    Plots plots;
    zb16(plots, s, 0);
    zb16(plots, s, 2);
    EXPECT_EQ(at(*plots.TV16[0], 6000, 4000), QColor(Qt::red));
    EXPECT_EQ(at(*plots.TV16[2], 6000, 8000), QColor(Qt::red));
    EXPECT_EQ(at(*plots.TV16[2], 400, 7000), QColor(Qt::red));
    EXPECT_EQ(plots.TV16[2]->image().height(), 587);
}

TEST(PlotAxes, ZoomStepRule) {
    EXPECT_EQ(zoomIn(1, kHxfdMin, kHxfdMax), 2);
    EXPECT_EQ(zoomIn(32, kHxfdMin, kHxfdMax), 32);
    EXPECT_EQ(zoomIn(0.01f, kHxfdMin, kHxfdMax), 32);  // below the range turns into the maximum
    EXPECT_EQ(zoomOut(0.03125f, kHxfdMin, kHxfdMax), 0.03125f);
    EXPECT_EQ(zoomOut(64, kHxfdMin, kHxfdMax), 0.03125f);  // above the range turns into the minimum
    EXPECT_EQ(zoomOut(32, kHxfd16Min, kHxfd16Max), 16);
}

TEST(PlotAxes, AllChannelReferenceIsTheLargerOfChannels1And4) {
    ConsoleState s = builtIns();
    s.field(Field::FormationVoltage, 0) = "200";
    s.field(Field::FormationVoltage, 3) = "800";
    EXPECT_EQ(referenceVoltage(s, 3, s.kind[4]), 800);
    s.kind[0] = s.kind[1] = s.kind[2] = TestKind::Leakage;
    EXPECT_EQ(referenceVoltage(s, 0, s.kind[2]), 100);  // 漏电流电压 of channel 1
}
