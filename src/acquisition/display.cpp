#include "acquisition/display.h"

#include "acquisition/sampling.h"
#include "common/text_number.h"

#include <algorithm>
#include <cmath>

namespace varnot {
namespace {

const QColor kRed(Qt::red), kBlue(Qt::blue), kBlack(Qt::black);

QString readoutText(double V, double I, double t) {
    return QStringLiteral("鼠标点：") + formatNumber(V, u"0.0") + QStringLiteral("V, ") + formatNumber(I, u"##0.0") +
           QStringLiteral("mA ") + formatNumber(t, u"0") + QStringLiteral("S ");
}

// The pixel path of samples 1..last of one curve, after a start point: x = x0 + k * dx (plot
// units), y = yOf(value), where yOf falls as the value rises. Where several samples share a pixel
// column only the column's first, highest, lowest and last points are kept, found from the
// samples' own minimum and maximum, so the cost of a long curve follows the plot's width.
template <typename YOf>
const std::vector<QPoint>& samplePath(QPointF start, const std::vector<float>& v, int last, double x0, double dx,
                                      YOf yOf) {
    thread_local std::vector<QPoint> path;
    path.clear();
    path.push_back(QPoint(PlotSurface::px(start.x()), PlotSurface::px(start.y())));
    const auto px = [](double u) { return PlotSurface::px(u); };
    if (dx >= kUnitsPerPixel / 2) {
        for (int k = 1; k <= last; ++k) path.emplace_back(px(x0 + k * dx), px(yOf(v[k])));
        return path;
    }
    int k = 1;
    while (k <= last) {
        const int col = px(x0 + k * dx);
        // Samples of this column: px(x) == col while x < (col + 0.5) pixels.
        int end = static_cast<int>(std::ceil(((col + 0.5) * kUnitsPerPixel - x0) / dx)) - 1;
        end = std::clamp(end, k, last);
        while (end < last && px(x0 + (end + 1) * dx) == col) ++end;
        while (end > k && px(x0 + end * dx) != col) --end;
        float lo = v[k], hi = v[k];
        for (int j = k + 1; j <= end; ++j) {
            lo = std::min(lo, v[j]);
            hi = std::max(hi, v[j]);
        }
        const int first = px(yOf(v[k])), final = px(yOf(v[end]));
        const int top = px(yOf(hi)), bottom = px(yOf(lo));
        path.emplace_back(col, first);
        if (top != first && top != final) path.emplace_back(col, top);
        if (bottom != first && bottom != final && bottom != top) path.emplace_back(col, bottom);
        if (final != first) path.emplace_back(col, final);
        k = end + 1;
    }
    return path;
}

}  // namespace

float nextZoom(float factor, float minimum) {
    if (factor < minimum || factor >= 32) return 32;
    return factor * 2;
}

Rescale autoswpic(Live& live, int ch) {
    ConsoleState& s = live.s;
    Plots& plots = live.plots;
    if (s.chStopped[ch]) return Rescale::None;
    if (s.n > 320 * plots.hxfd[ch]) {
        plots.hxfd[ch] = nextZoom(plots.hxfd[ch], kHxfdMin);
        zb(plots, s, ch);
        redrawChannelCurve(live, ch);
        return Rescale::Channel;
    }
    if (s.n > 240 * plots.hxfd16) {
        plots.hxfd16 = nextZoom(plots.hxfd16, kHxfd16Min);
        for (int p = 0; p < 3; ++p) zb16(plots, s, p);
        redrawGroupCurves(live);
        return Rescale::Groups;
    }
    return Rescale::None;
}

void redrawChannelCurve(Live& live, int ch) { redrawChannelCurve(live, ch, std::min(live.s.n - 1, kLastSample)); }

void redrawChannelCurve(Live& live, int ch, int last) {
    const ConsoleState& s = live.s;
    const Curves& c = live.curves;
    PlotSurface& own = *live.plots.TV[ch];
    const float hx = live.plots.hxfd[ch];
    const double refV = referenceVoltage(s, ch);
    last = std::min(last, kLastSample);
    if (last < 1) return;
    const double dx = 12.5 / hx;
    own.pixelPath(samplePath({400, 3600}, c.V[ch], last, 400, dx, [refV](float V) { return yChannelVoltage(V, refV); }),
                  kRed, 1);
    if (live.currentVisible)
        own.pixelPath(samplePath({400, 3600}, c.I[ch], last, 400, dx, [](float I) { return (0.9 - I / 20.0) * 4000; }),
                      kBlue, 2);
    // Characteristic marks: point A of a TV test, the first spark of an electrolyte test.
    const auto mark = [&](int k, const QString& label) {
        if (k < 1 || k > last) return;
        const double x = xChannel(k, hx), y = yChannelVoltage(c.V[ch][k], refV);
        own.line(x, 3600, x, y, kBlack, 1, LineStyle::Dotted);
        if (!label.isEmpty()) own.text(x, y, label, kBlack);
    };
    if (s.kind[ch] == TestKind::TV) {
        const Int16Result tr = toInt16(s.field(Field::RiseTime, ch));
        if (tr.ok()) mark(tr.value, QStringLiteral("A点"));
    } else if (s.kind[ch] == TestKind::Electrolyte) {
        const Int16Result t1 = toInt16(s.field(Field::Spark1Time, ch));
        if (t1.ok()) mark(t1.value, QString());
    }
}

void redrawGroupCurves(Live& live) {
    const ConsoleState& s = live.s;
    const int last = std::min(s.n - 1, kLastSample);
    if (last < 1) return;
    // Samples after a channel's end are not drawn again.
    PerChannel<int> ends{};
    for (int ch = s.firstCh; ch <= s.lastCh; ++ch) ends[ch] = std::min(last, std::max(1, live.view.tEnd[ch]));
    redrawCombinedCurves(live, ends);
}

void redrawCombinedCurves(Live& live, const PerChannel<int>& last) {
    const ConsoleState& s = live.s;
    const Curves& c = live.curves;
    Plots& plots = live.plots;
    const float hx = plots.hxfd16;
    // Every curve is scaled by the reference its plot's axis is labelled with.
    const double allRef = axisReference(s, 2);
    const auto yAll = [allRef](float V) { return yAllVoltage(V, allRef); };
    for (int ch = 0; ch < kChannels; ++ch) {
        const int end = std::min(last[ch], kLastSample);
        if (end < 1) continue;
        const double groupRef = axisReference(s, groupOf(ch));
        PlotSurface& gp = *plots.TV16[groupOf(ch)];
        const double dx = 50.0 / hx;
        const double gx0 = 400.0 * (ch % 3 + 1), ax0 = 400.0 * (ch + 1);
        const auto yGroup = [groupRef](float V) { return yGroupVoltage(V, groupRef); };
        gp.pixelPath(samplePath({gx0, 4000}, c.V[ch], end, gx0, dx, yGroup), groupColour(ch), 1);
        // The first segment of channels 4-6 takes their all-channel colour.
        if (ch >= 3) gp.line(gx0, 4000, xGroup(ch, 1, hx), yGroup(c.V[ch][1]), allColour(ch));
        plots.TV16[2]->pixelPath(samplePath({ax0, 8000}, c.V[ch], end, ax0, dx, yAll), allColour(ch), 1);
        if (end >= 2) {
            plots.groupLabel[ch] = QPointF(xGroup(ch, end, hx), yGroup(c.V[ch][end]));
            plots.allLabel[ch] = QPointF(xAll(ch, end, hx), yAll(c.V[ch][end]));
        }
    }
}

std::optional<QString> channelReadout(double x, double y, double refV, float hxfd) {
    if (x < 400 || x > 4500 || y < 0 || y > 4000) return std::nullopt;
    const double t = (x - 400) * 32 * hxfd / 400;
    const double share = 1 - (y + 400) / 4000;
    return readoutText(refV * share * 1.5, share * 20, t);
}

std::optional<QString> groupReadout(int p, double x, double y, double R, float hxfd16) {
    const double H = p == 2 ? 8000 : 4000;
    const double yMax = p == 2 ? 8000 : 4400;
    if (x < 400 || x > 13200 || y < 0 || y > yMax) return std::nullopt;
    const double t = (x - 400) * 8 * hxfd16 / 400;
    const double share = 1 - y / H;
    return readoutText(R * share * 1.5, share * 20, t);
}

double groupReadoutReference(const ConsoleState& s, int p) {
    if (p < 2) return referenceVoltage(s, 2 * p + 1, s.kind[p + 2]);
    const double r4 = referenceVoltage(s, 3, s.kind[4]);
    const double r1 = referenceVoltage(s, 0, s.kind[2]);
    return r1 > r4 ? r1 : r4;
}

std::vector<ExportItem> exportPlan(const ConsoleState& s, const Plots& plots, const QDate& today) {
    // The date in the names uses dashes: a short date with slashes would name folders.
    const QString date = today.toString(QStringLiteral("yyyy-MM-dd"));
    std::vector<ExportItem> items;
    for (int ch = s.firstCh; ch <= s.lastCh; ++ch)
        items.push_back({plots.TV[ch].get(), date + QStringLiteral("-TV") + QString::number(ch + 1) + QStringLiteral(".bmp")});
    for (int p = 0; p < 3; ++p)
        items.push_back({plots.TV16[p].get(), date + QStringLiteral("-TV16-") + QString::number(p) + QStringLiteral(".bmp")});
    return items;
}

bool writeBitmap(const PlotSurface& surface, const QString& fileName) {
    const bool png = fileName.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
    return surface.image().save(fileName, png ? "PNG" : "BMP");
}

}  // namespace varnot
