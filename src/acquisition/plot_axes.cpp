#include "acquisition/plot_axes.h"

#include "common/text_number.h"

namespace varnot {
namespace {

const QColor kBlack(Qt::black), kWhite(Qt::white), kRed(Qt::red);

}  // namespace

double referenceVoltage(const ConsoleState& s, int ch, TestKind kind) {
    const Field f = kind == TestKind::TV        ? Field::FormationVoltage
                    : kind == TestKind::Leakage ? Field::LeakageVoltage
                                                : Field::ElecSetVoltage;
    return toDouble(s.field(f, ch)).value_or(0);
}

Plots::Plots() {
    for (auto& p : TV) p = std::make_unique<PlotSurface>(4800, 4000);
    TV16[0] = std::make_unique<PlotSurface>(13200, 4400);
    TV16[1] = std::make_unique<PlotSurface>(13200, 4400);
    TV16[2] = std::make_unique<PlotSurface>(13200, 8800);
}

double axisReference(const ConsoleState& s, int p) {
    if (p < 2) return referenceVoltage(s, 3 * p, s.kind[p + 2]);
    const double r4 = referenceVoltage(s, 3, s.kind[4]);
    const double r1 = referenceVoltage(s, 0, s.kind[2]);
    return r1 > r4 ? r1 : r4;
}

void zb(Plots& plots, const ConsoleState& s, int ch) {
    PlotSurface& p = *plots.TV[ch];
    p.clear();
    p.visible = true;
    const double hx = plots.hxfd[ch];
    for (int j = 0; 400 * j <= 4400; ++j) {
        p.text(400 + 400 * j, 3600, formatNumber(j * 32 * hx, u"#0"), kBlack);
        p.line(400 + 400 * j, 0, 400 + 400 * j, 3600, kWhite, 1, LineStyle::Dotted);
    }
    p.line(400, 0, 400, 3600, kRed, 2);
    p.line(400, 3600, 4400, 3600, kRed, 2);
    p.text(400, 150, QStringLiteral("电压"), kRed);
    const QColor currentColour = colourFromBgr(plots.currentColour[ch]);
    p.text(4000, 150, QStringLiteral("电流-mA"), currentColour);
    p.text(4450, 3450, QStringLiteral("秒"), currentColour);
    const double refV = referenceVoltage(s, ch);
    for (int j = 1; 400 * j <= 3600; ++j) {
        const int y = 3600 - 400 * j;
        p.text(50, y, formatNumber(refV * j * 3 / 20, u"#0"), kBlack);
        p.text(4350, y, formatNumber(2.0 * j, u"#0.0"), kBlack);
        p.line(400, y, 4400, y, kWhite, 1, LineStyle::Dotted);
    }
}

void zb16(Plots& plots, const ConsoleState& s, int pIndex) {
    PlotSurface& p = *plots.TV16[pIndex];
    const int H = pIndex == 2 ? 8000 : 4000;
    p.clear();
    const double hx = plots.hxfd16;
    for (int j = 0; 400 * j < 13200; ++j) {
        p.text(400 + 400 * j, H, formatNumber(j * 8 * hx, u"#0"), kBlack);
        p.line(400 + 400 * j, 0, 400 + 400 * j, H, kWhite, 1, LineStyle::Dotted);
    }
    p.line(400, 0, 400, H, kRed, 2);
    p.line(400, H, 13200, H, kRed, 2);
    p.text(12800, H - 150, QStringLiteral("秒"), kRed);

    const double R = axisReference(s, pIndex);
    for (int j = 1; 400 * j <= H; ++j) {
        const int y = H - 400 * j;
        const double volts = pIndex < 2 ? R * j * 3 / 20 : R * j * 3 / 40;
        const double milliamperes = pIndex < 2 ? 2.0 * j : 1.0 * j;
        p.text(50, y, formatNumber(volts, u"#0"), kBlack);
        p.text(12800, y, formatNumber(milliamperes, u"#0.0"), kBlack);
        p.line(400, y, 13200, y, kWhite, 1, LineStyle::Dotted);
    }
}

float zoomIn(float v, float lo, float hi) { return (v >= lo && v < hi) ? v * 2 : hi; }
float zoomOut(float v, float lo, float hi) { return (v > lo && v <= hi) ? v * 0.5f : lo; }

void applyTabVisibility(Plots& plots, int tab) {
    auto show = [&](bool channels, bool g0, bool g1, bool all) {
        for (auto& p : plots.TV) p->visible = channels;
        plots.TV16[0]->visible = g0;
        plots.TV16[1]->visible = g1;
        plots.TV16[2]->visible = all;
    };
    switch (tab) {
        case 0:
            show(true, false, false, false);
            break;
        case 1:
            show(false, true, true, false);
            break;
        case 2:
            show(false, false, false, true);
            break;
        case 3:
        case 4:
            show(false, false, false, false);
            break;
        default:
            break;
    }
}

}  // namespace varnot
