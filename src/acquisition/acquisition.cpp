#include "acquisition/acquisition.h"

#include "acquisition/sampling.h"
#include "common/text_number.h"

namespace varnot {
namespace {

const QColor kRed(Qt::red), kBlue(Qt::blue), kBlack(Qt::black);

PlotSurface& groupPlot(Plots& plots, int ch) { return *plots.TV16[groupOf(ch)]; }

// Peak and readouts of one converted sample.
void showSample(Live& live, int ch, int k, const Reading& r) {
    ConsoleState& s = live.s;
    const QString vText = voltageText(r.volts);
    const QString iText = currentText(r.milliamperes);
    s.field(Field::LiveVoltage, ch) = vText;
    s.field(Field::LiveCurrent, ch) = iText;
    live.curves.V[ch][k] = shownValue(vText);
    live.curves.I[ch][k] = shownValue(iText);
    live.curves.stored[ch] = k;
    const float shown = shownValue(vText);
    if (shown > live.view.Vmax[ch] && !s.chStopped[ch] && k > 2) {
        live.view.Vmax[ch] = shown;
        live.view.tVmax[ch] = static_cast<float>(k);
        s.field(Field::ReadoutTB, ch) = shortestText(live.view.tVmax[ch]);
        s.field(Field::ReadoutVm, ch) = shortestText(live.view.Vmax[ch]);
        // An electrolyte test keeps its 最大电压 with the peak, so a test stopped before its
        // end still holds the voltage it reached.
        if (s.kind[ch] == TestKind::Electrolyte) s.field(Field::MaxVoltage, ch) = s.field(Field::ReadoutVm, ch);
    }
}

void updateCoordinates(Live& live, int ch, int k) {
    Curves& c = live.curves;
    const double V = c.V[ch][k];
    // The channel plot is scaled by the channel's own reference; a combined plot by the reference
    // its axis is labelled with, so every curve on it reads right against the labels.
    c.yTV[ch] = static_cast<float>(yChannelVoltage(V, referenceVoltage(live.s, ch)));
    c.yGrp[ch] = static_cast<float>(yGroupVoltage(V, axisReference(live.s, groupOf(ch))));
    c.yAll[ch] = static_cast<float>(yAllVoltage(V, axisReference(live.s, 2)));
    const std::optional<double> yI = yChannelCurrent(shownValue(live.s.field(Field::LiveCurrent, ch)));
    c.yI[ch] = yI ? static_cast<float>(*yI) : c.yIold[ch];
}

void drawSegments(Live& live, int ch, int k) {
    Curves& c = live.curves;
    Plots& plots = live.plots;
    const float hx = plots.hxfd[ch];
    const float hx16 = plots.hxfd16;
    const double x = xChannel(k, hx), xg = xGroup(ch, k, hx16), xa = xAll(ch, k, hx16);
    PlotSurface& own = *plots.TV[ch];
    PlotSurface& group = groupPlot(plots, ch);
    PlotSurface& all = *plots.TV16[2];
    plots.drawnTo[ch] = k;
    if (k > 1) {
        const double x0 = xChannel(k - 1, hx), xg0 = xGroup(ch, k - 1, hx16), xa0 = xAll(ch, k - 1, hx16);
        own.line(x0, c.yTVold[ch], x, c.yTV[ch], kRed);
        group.line(xg0, c.yGrpOld[ch], xg, c.yGrp[ch], groupColour(ch));
        all.line(xa0, c.yAllOld[ch], xa, c.yAll[ch], allColour(ch));
        plots.groupLabel[ch] = QPointF(xg, c.yGrp[ch]);
        plots.allLabel[ch] = QPointF(xa, c.yAll[ch]);
        if (live.currentVisible) own.line(x0, c.yIold[ch], x, c.yI[ch], kBlue, 2);
    } else {
        own.line(400, 3600, x, c.yTV[ch], kRed);
        group.line(400.0 * (ch % 3 + 1), 4000, xg, c.yGrp[ch], groupColour(ch));
        all.line(400.0 * (ch + 1), 8000, xa, c.yAll[ch], allColour(ch));
        if (live.currentVisible) own.line(400, 3600, x, c.yI[ch], kBlue, 2);
    }
}

void detectSpark(Live& live, int ch, int k) {
    ConsoleState& s = live.s;
    ChannelView& v = live.view;
    // A channel whose test has ended (or that was stopped) records no more sparks: a fall after
    // the end belongs to no test.
    if (s.kind[ch] != TestKind::Electrolyte || s.chStopped[ch] || v.sparkCount[ch] >= 3 || k <= 2) return;
    const double correction = toDouble(s.field(Field::SparkCorrection, ch)).value_or(0);
    if (!isSpark(live.curves.V[ch][k - 1], live.curves.V[ch][k], correction)) return;
    v.sparkSeen[ch] = true;
    v.sparkCount[ch] += 1;
    const QString V = voltageText(live.curves.V[ch][k]);
    const QString t = QString::number(k);
    switch (v.sparkCount[ch]) {
        case 1: {
            v.firstMark[ch] = true;
            v.Vmin[ch] = shownValue(s.field(Field::LiveVoltage, ch));
            s.field(Field::MinVoltage, ch) = shortestText(v.Vmin[ch]);
            s.field(Field::Spark1Voltage, ch) = V;
            s.field(Field::Spark1Time, ch) = t;
            s.field(Field::ReadoutTA, ch) = V;
            markFirstSpark(live, ch, k);
            const double x = xAll(ch, k, live.plots.hxfd16);
            const double y = live.curves.yAll[ch];
            live.plots.TV16[2]->line(x, y + 100, x, y - 100, kRed);
            break;
        }
        case 2:
            s.field(Field::Spark2Voltage, ch) = V;
            s.field(Field::Spark2Time, ch) = t;
            s.field(Field::ReadoutTB, ch) = V;
            break;
        default:
            s.field(Field::Spark3Voltage, ch) = V;
            s.field(Field::Spark3Time, ch) = t;
            s.field(Field::ReadoutVT, ch) = V;
            break;
    }
}

}  // namespace

void acquisitionTick(Live& live) {
    ConsoleState& s = live.s;
    const int k = s.n;
    // Sample 0 is never written, and the buffers end at the longest test.
    if (k >= 1 && k <= kLastSample) {
        for (int ch = s.firstCh; ch <= s.lastCh; ++ch) {
            const Reading r = convertReading(ch, s.rawVolt[ch], s.rawCurr[ch], s.coefficients.Vadjust[ch],
                                             s.coefficients.Iadjust[ch]);
            showSample(live, ch, k, r);
            updateCoordinates(live, ch, k);
            Curves& c = live.curves;
            if (!s.chStopped[ch]) drawSegments(live, ch, k);
            c.yTVold[ch] = c.yTV[ch];
            c.yGrpOld[ch] = c.yGrp[ch];
            c.yAllOld[ch] = c.yAll[ch];
            c.yIold[ch] = c.yI[ch];
            detectSpark(live, ch, k);
        }
    }
    s.n = k + 1;
}

void markFirstSpark(Live& live, int ch, int k) {
    PlotSurface& own = *live.plots.TV[ch];
    const double x = xChannel(k, live.plots.hxfd[ch]);
    const double y = live.curves.yTV[ch];
    own.line(x, 3600, x, y, kBlack, 1, LineStyle::Dotted);
    own.text(x, y, QString::number(ch + 1) + QStringLiteral("1A"), kBlack);
}

QPointF markPointAC(Live& live, int ch, int k) {
    const double x = xChannel(k, live.plots.hxfd[ch]);
    const double y = live.curves.yTV[ch];
    live.plots.TV[ch]->line(x, 3600, x, y, kBlack, 1, LineStyle::Dotted);
    return {x, y};
}

QPointF markPointB(Live& live, int ch, int t) {
    const double x = xChannel(t, live.plots.hxfd[ch]);
    const double y = live.curves.yTV[ch];
    live.plots.TV[ch]->line(x, y - 100, x, y + 100, kBlack, 1, LineStyle::Dotted);
    return {x, y + 100};
}

}  // namespace varnot
