#include "acquisition/display.h"

#include "acquisition/sampling.h"
#include "common/text_number.h"

namespace varnot {
namespace {

const QColor kRed(Qt::red), kBlue(Qt::blue), kBlack(Qt::black);

QString readoutText(double V, double I, double t) {
    return QStringLiteral("鼠标点：") + formatNumber(V, u"0.0") + QStringLiteral("V, ") + formatNumber(I, u"##0.0") +
           QStringLiteral("mA ") + formatNumber(t, u"0") + QStringLiteral("S ");
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

void redrawChannelCurve(Live& live, int ch) {
    const ConsoleState& s = live.s;
    const Curves& c = live.curves;
    PlotSurface& own = *live.plots.TV[ch];
    const float hx = live.plots.hxfd[ch];
    const double refV = referenceVoltage(s, ch);
    const int last = std::min(s.n - 1, kLastSample);
    if (last < 1) return;
    std::vector<QPointF> volts{{400, 3600}}, amps{{400, 3600}};
    volts.reserve(last + 1);
    amps.reserve(last + 1);
    for (int k = 1; k <= last; ++k) {
        const double x = xChannel(k, hx);
        volts.emplace_back(x, yChannelVoltage(c.V[ch][k], refV));
        amps.emplace_back(x, (0.9 - c.I[ch][k] / 20.0) * 4000);
    }
    own.polyline(volts, kRed, 1);
    if (live.currentVisible) own.polyline(amps, kBlue, 2);
    // Characteristic marks: point A of a TV test, the first spark of an electrolyte test.
    const auto mark = [&](int k, const QString& label) {
        if (k < 1 || k > last) return;
        const QPointF at = volts[k];
        own.line(at.x(), 3600, at.x(), at.y(), kBlack, 1, LineStyle::Dotted);
        if (!label.isEmpty()) own.text(at.x(), at.y(), label, kBlack);
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
    const Curves& c = live.curves;
    Plots& plots = live.plots;
    const float hx = plots.hxfd16;
    const int last = std::min(s.n - 1, kLastSample);
    if (last < 1) return;
    for (int ch = s.firstCh; ch <= s.lastCh; ++ch) {
        // The redraw scales the all-channel curve by the channel's own reference.
        const double refV = referenceVoltage(s, ch);
        const int end = std::min(last, std::max(1, live.view.tEnd[ch]));
        std::vector<QPointF> group{{400.0 * (ch % 3 + 1), 4000}}, all{{400.0 * (ch + 1), 8000}};
        for (int k = 1; k <= end; ++k) {
            const double V = c.V[ch][k];
            group.emplace_back(xGroup(ch, k, hx), yGroupVoltage(V, refV));
            all.emplace_back(xAll(ch, k, hx), yAllVoltage(V, refV));
        }
        PlotSurface& gp = *plots.TV16[groupOf(ch)];
        // The first segment of channels 4-6 takes their all-channel colour.
        gp.line(group[0].x(), group[0].y(), group[1].x(), group[1].y(), ch < 3 ? groupColour(ch) : allColour(ch));
        gp.polyline({group.begin() + 1, group.end()}, groupColour(ch), 1);
        plots.TV16[2]->polyline(all, allColour(ch), 1);
        if (end >= 2) {
            plots.groupLabel[ch] = group.back();
            plots.allLabel[ch] = all.back();
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
