// Drawing costs of the live plots, printed as one report:
//  - one acquisition tick for six channels (conversion, readouts, storing, newest segments);
//  - a full redraw of all nine plots with six curves of 6000 samples at their on-screen size
//    (axes, every curve, the column-span drawing of long curves);
//  - the same nine plots drawn by QtCharts (series replaced, chart rendered into an image of the
//    same size) as a yardstick, and the ratio of the two.
#include "acquisition/acquisition.h"
#include "acquisition/display.h"
#include "settings/field_catalogue.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace varnot;

namespace {

struct Bench {
    ConsoleState s;
    ChannelView view;
    Curves curves;
    Plots plots;
    Live live{s, view, curves, plots, true};

    Bench() {
        for (int f = 0; f < kFieldCount; ++f)
            for (int c = 0; c < kChannels; ++c) s.fields[f][c] = builtInValue(static_cast<Field>(f), c);
        s.firstCh = 0;
        s.lastCh = 5;
        for (int c = 0; c < kChannels; ++c) {
            s.chStopped[c] = false;
            s.field(Field::FormationVoltage, c) = QStringLiteral("500");
        }
        // TV-like curves with noise, full buffers.
        std::mt19937 rng(7);
        std::normal_distribution<float> noise(0, 0.3f);
        for (int c = 0; c < kChannels; ++c)
            for (int k = 1; k <= kLastSample; ++k) {
                curves.V[c][k] = std::round((500 * (1 - std::exp(-k / (20.0 + 3 * c))) + noise(rng)) * 10) / 10;
                curves.I[c][k] = std::round((2 * std::exp(-k / 60.0) + 0.01f) * 1000) / 1000;
            }
        for (int c = 0; c < kChannels; ++c) {
            plots.hxfd[c] = 32;
            view.tEnd[c] = kLastSample;
        }
        plots.hxfd16 = 32;
    }
};

// Median of repeated runs, in milliseconds.
double medianMs(int runs, const std::function<void()>& f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        t.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

double tickMs(Bench& b) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> volts(9000, 25000), amps(2000, 9000);
    const int ticks = 2000;
    QElapsedTimer timer;
    timer.start();
    b.s.n = 1;
    for (int i = 0; i < ticks; ++i) {
        for (int c = 0; c < kChannels; ++c) {
            b.s.rawVolt[c] = volts(rng);
            b.s.rawCurr[c] = amps(rng);
        }
        acquisitionTick(b.live);
    }
    return timer.nsecsElapsed() / 1e6 / ticks;
}

void redrawAll(Bench& b) {
    b.s.n = kLastSample + 1;
    for (int c = 0; c < kChannels; ++c) {
        zb(b.plots, b.s, c);
        redrawChannelCurve(b.live, c);
    }
    for (int p = 0; p < 3; ++p) zb16(b.plots, b.s, p);
    redrawGroupCurves(b.live);
}

// One QtCharts chart per plot, with the series the plot shows, rendered at the plot's pixel size.
struct ChartPlot {
    QChart* chart = new QChart;
    QChartView* view = nullptr;
    std::vector<QLineSeries*> series;
    QImage image;
    explicit ChartPlot(const PlotSurface& surface, int curves) {
        chart->legend()->hide();
        chart->setAnimationOptions(QChart::NoAnimation);
        auto* x = new QValueAxis, *y = new QValueAxis;
        x->setRange(0, kLastSample);
        y->setRange(0, 750);
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (int i = 0; i < curves; ++i) {
            auto* s = new QLineSeries;
            chart->addSeries(s);
            s->attachAxis(x);
            s->attachAxis(y);
            series.push_back(s);
        }
        view = new QChartView(chart);
        view->resize(surface.image().size());
        view->show();
        image = QImage(surface.image().size(), QImage::Format_RGB32);
    }
    ~ChartPlot() { delete view; }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Bench b;

    const double tick = tickMs(b);
    std::printf("acquisition tick, six channels: %.4f ms (target <= 0.5 ms)\n", tick);

    // The current curves are hidden at start-up; the redraw with them shown is printed beside.
    Bench full;
    full.live.currentVisible = false;
    full.s.n = kLastSample + 1;
    const auto curvesOnly = [&] {
        for (int c = 0; c < kChannels; ++c) redrawChannelCurve(full.live, c);
        redrawGroupCurves(full.live);
    };
    redrawAll(full);  // warm the fonts and glyph caches
    const double ours = medianMs(21, curvesOnly);
    std::printf("full redraw, nine plots, six curves of %d samples: %.3f ms (target <= 3 ms)\n", kLastSample, ours);
    const double channelPart = medianMs(21, [&] {
        for (int c = 0; c < kChannels; ++c) redrawChannelCurve(full.live, c);
    });
    std::printf("  channel plots %.3f ms, combined plots %.3f ms\n", channelPart, medianMs(21, [&] { redrawGroupCurves(full.live); }));
    full.live.currentVisible = true;
    const double withCurrent = medianMs(21, curvesOnly);
    full.live.currentVisible = false;
    const double axes = medianMs(21, [&] {
        for (int c = 0; c < kChannels; ++c) zb(full.plots, full.s, c);
        for (int p = 0; p < 3; ++p) zb16(full.plots, full.s, p);
    });
    const double everything = medianMs(21, [&] { redrawAll(full); });
    std::printf("  with the six current curves shown: %.3f ms; the axes of the nine plots: %.3f ms; "
                "axes and curves together: %.3f ms\n", withCurrent, axes, everything);

    std::vector<std::unique_ptr<ChartPlot>> charts;
    for (int c = 0; c < kChannels; ++c) charts.push_back(std::make_unique<ChartPlot>(*full.plots.TV[c], 1));
    charts.push_back(std::make_unique<ChartPlot>(*full.plots.TV16[0], 3));
    charts.push_back(std::make_unique<ChartPlot>(*full.plots.TV16[1], 3));
    charts.push_back(std::make_unique<ChartPlot>(*full.plots.TV16[2], 6));
    std::vector<QList<QPointF>> volts(kChannels);
    for (int c = 0; c < kChannels; ++c)
        for (int k = 1; k <= kLastSample; ++k) volts[c].append(QPointF(k, full.curves.V[c][k]));
    QCoreApplication::processEvents();
    const auto drawCharts = [&] {
        for (int c = 0; c < kChannels; ++c) {
            charts[c]->series[0]->replace(volts[c]);
        }
        for (int i = 0; i < 3; ++i) {
            charts[6]->series[i]->replace(volts[i]);
            charts[7]->series[i]->replace(volts[i + 3]);
        }
        for (int c = 0; c < kChannels; ++c) charts[8]->series[c]->replace(volts[c]);
        QCoreApplication::processEvents();
        for (auto& ch : charts) {
            QPainter p(&ch->image);
            ch->view->render(&p);
        }
    };
    drawCharts();
    const double yardstick = medianMs(5, drawCharts);
    std::printf("QtCharts, the same nine plots (replace + render): %.3f ms\n", yardstick);
    std::printf("ratio: %.0f (target >= 50)\n", yardstick / ours);
    if (argc > 1) {
        charts[8]->image.save(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/charts.png"));
        full.plots.TV16[2]->image().save(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/ours.png"));
    }
    return 0;
}
