#include "run/evaluation.h"

#include "acquisition/display.h"
#include "acquisition/sampling.h"
#include "common/text_number.h"

#include <span>

namespace varnot {
namespace {

const QColor kBlack(Qt::black), kRed(Qt::red);

float num(const ConsoleState& s, Field f, int ch) { return toSingleOr(s.field(f, ch), 0); }
int integer(const ConsoleState& s, Field f, int ch) { return toInt16(s.field(f, ch)).value; }
QString channelText(int ch) { return QString::number(ch + 1); }
QString passText(bool pass) { return pass ? QStringLiteral("合格") : QStringLiteral("不合格"); }

void storeRescale(Live& live, SettingsStore& settings, int ch, Rescale r) {
    if (r == Rescale::Channel)
        settings.write(Section::Canshu, indexedKey("hxfd", ch), shortestText(live.plots.hxfd[ch]));
    else if (r == Rescale::Groups)
        settings.write(Section::Canshu, u"hxfd16", shortestText(live.plots.hxfd16));
}

// What a channel's end writes back to the store, per kind: key (with the channel index) and field.
struct StoredParameter {
    Section section;
    const char* key;
    Field field;
};
const StoredParameter kTvStored[] = {{Section::Canshu, "hcdy", Field::FormationVoltage},
                                     {Section::Canshu, "csdl", Field::TestCurrent},
                                     {Section::Canshu, "Thl", Field::DelayTime},
                                     {Section::Canshu, "TVcsbh", Field::TvTestNumber},
                                     {Section::Topic, "LBUSER", Field::TvOperator}};
const StoredParameter kLeakageStored[] = {{Section::Canshu, "csdl", Field::TestCurrent},
                                          {Section::Canshu, "ldldy", Field::LeakageVoltage},
                                          {Section::Canshu, "Thy", Field::LeakageTestTime},
                                          {Section::Canshu, "LDLcsbh", Field::TvTestNumber},
                                          {Section::Topic, "LBUSER", Field::TvOperator}};
const StoredParameter kElectrolyteStored[] = {{Section::Canshu, "djycsdl", Field::ElecCurrent},
                                              {Section::Canshu, "djysddy", Field::ElecSetVoltage},
                                              {Section::Canshu, "djyckdy", Field::ElecReference},
                                              {Section::Canshu, "djyshys", Field::SparkDelay},
                                              {Section::Canshu, "djyshxz", Field::SparkCorrection},
                                              {Section::Canshu, "DJYcsbh", Field::ElecTestNumber},
                                              {Section::Topic, "DJYUSER", Field::ElecOperator}};

QString longestTimePanel(int ch) {
    return QStringLiteral("第") + channelText(ch) + QStringLiteral("路测试达到最长时间") +
           QString::number(kLastSample) + QStringLiteral("秒");
}

// The end of a channel's test: parameters written back and the status panel.
void finish(SettingsStore& settings, ConsoleState& s, int ch, std::span<const StoredParameter> stored, bool longest,
            const char* kindWord) {
    for (const StoredParameter& p : stored) settings.write(p.section, indexedKey(p.key, ch), s.field(p.field, ch));
    s.statusPanels[ch] = longest ? longestTimePanel(ch)
                                 : QStringLiteral("第") + channelText(ch) + QStringLiteral("路") +
                                       QString::fromUtf8(kindWord) + QStringLiteral("测试结束");
}

// The end's line on the channel's group plot: dotted black from the time axis to the newest point.
QPointF groupEndLine(Live& live, int ch, int k) {
    const double x = xGroup(ch, k, live.plots.hxfd16);
    const double y = live.curves.yGrp[ch];
    live.plots.TV16[groupOf(ch)]->line(x, 4000, x, y, kBlack, 1, LineStyle::Dotted);
    return {x, y};
}

void endChannel(Live& live, int ch) {
    live.s.chEnded[ch] = true;
    live.s.chStopped[ch] = true;
    live.view.endSample[ch] = std::min(live.s.n - 1, kLastSample);
}


void evaluateTv(Live& live, SettingsStore& settings, int ch, bool longest) {
    ConsoleState& s = live.s;
    ChannelView& v = live.view;
    const int n = s.n, k = n - 1;
    v.tLimit[ch] = integer(s, Field::RiseTime, ch) + integer(s, Field::DelayTime, ch);
    v.tEnd[ch] = v.tLimit[ch] == integer(s, Field::DelayTime, ch) ? n : v.tLimit[ch];
    storeRescale(live, settings, ch, autoswpic(live, ch));

    const double Vr = static_cast<double>(num(s, Field::FormationVoltage, ch)) * num(s, Field::VrRatio, ch) * 0.01;
    if (Vr <= num(s, Field::LiveVoltage, ch) && !v.firstMark[ch] && n > 1 && k <= kLastSample) {
        s.field(Field::RiseTime, ch) = QString::number(k);
        s.field(Field::ReadoutTA, ch) = QString::number(k);
        v.firstMark[ch] = true;
        PlotSurface& group = *live.plots.TV16[groupOf(ch)];
        const double xg = xGroup(ch, k, live.plots.hxfd16);
        const double yg = live.curves.yGrp[ch];
        group.line(xg, yg - 100, xg, yg + 100, ch < 3 ? groupColour(ch) : kBlack);
        group.text(xg, live.curves.yTV[ch] + 200, QStringLiteral("A点"), kBlack);
        const double xa = xAll(ch, k, live.plots.hxfd16);
        const double ya = live.curves.yAll[ch];
        live.plots.TV16[2]->line(xa, ya - 100, xa, ya + 100, kRed);
        s.statusPanels[ch] = channelText(ch) + QStringLiteral("路A点：") + s.field(Field::RiseTime, ch) +
                             QStringLiteral("s-") + s.field(Field::LiveVoltage, ch) + QStringLiteral("V");
        const QPointF at = markPointAC(live, ch, k);
        live.plots.TV[ch]->text(at.x(), at.y(), QStringLiteral("A点"), kBlack);
    }

    const bool due = integer(s, Field::DelayTime, ch) > 0 && n > v.tEnd[ch] && v.firstMark[ch];
    if (s.chEnded[ch] || !(due || longest)) return;
    endChannel(live, ch);
    const int tk = std::min(k, kLastSample);
    drawEndMarks(live, ch);
    s.field(Field::ReadoutTB, ch) = shortestText(v.tVmax[ch]);
    s.field(Field::ReadoutVm, ch) = shortestText(v.Vmax[ch]);
    s.field(Field::TvValue, ch) = formatNumber(live.curves.V[ch][tk], u"0.#");
    s.field(Field::ReadoutVT, ch) = s.field(Field::TvValue, ch);
    // A test that never reached point A has no rise time and cannot pass.
    const bool pass = v.firstMark[ch] && tvPasses(num(s, Field::FormationVoltage, ch), num(s, Field::TvValue, ch),
                                                  num(s, Field::RiseTimeLimit, ch), num(s, Field::RiseTime, ch));
    s.field(Field::TvJudgement, ch) = passText(pass);
    finish(settings, s, ch, kTvStored, longest, "TV");
}

void evaluateLeakage(Live& live, SettingsStore& settings, int ch, bool longest) {
    ConsoleState& s = live.s;
    ChannelView& v = live.view;
    const int n = s.n, k = n - 1;
    v.tLimit[ch] = integer(s, Field::LeakageTestTime, ch);
    v.tEnd[ch] = v.tLimit[ch];
    storeRescale(live, settings, ch, autoswpic(live, ch));

    const bool due = n > v.tEnd[ch];
    if (s.chEnded[ch] || !(due || longest)) return;
    endChannel(live, ch);
    const int tk = std::min(k, kLastSample);
    drawEndMarks(live, ch);
    s.field(Field::ReadoutTB, ch) = QString::number(tk);
    s.field(Field::ReadoutVm, ch) = shortestText(v.Vmax[ch]);
    s.field(Field::ReadoutVT, ch) = s.field(Field::LiveCurrent, ch);
    s.field(Field::LeakageCurrent, ch) = s.field(Field::LiveCurrent, ch);
    s.field(Field::LeakageJudgement, ch) =
        passText(leakagePasses(num(s, Field::LeakageLimit, ch), num(s, Field::LeakageCurrent, ch)));
    // A test time of 6000 s ends by its own rule on the last sample the curve holds.
    finish(settings, s, ch, kLeakageStored, longest && !due, "漏电流");
}

void evaluateElectrolyte(Live& live, SettingsStore& settings, int ch, bool longest) {
    ConsoleState& s = live.s;
    ChannelView& v = live.view;
    const int n = s.n;
    if (v.sparkSeen[ch]) {
        v.tLimit[ch] = integer(s, Field::SparkDelay, ch) + integer(s, Field::Spark1Time, ch);
        v.tEnd[ch] = v.tLimit[ch];
    } else {
        v.tLimit[ch] = integer(s, Field::SparkDelay, ch) + 2000;
        v.tEnd[ch] = n;
    }
    storeRescale(live, settings, ch, autoswpic(live, ch));
    // The lowest voltage after the first spark, while the channel acquires; 最小电压 follows it,
    // so a test stopped before its end keeps it.
    if (!s.chStopped[ch] && integer(s, Field::Spark1Voltage, ch) > 0 && num(s, Field::LiveVoltage, ch) < v.Vmin[ch]) {
        v.Vmin[ch] = num(s, Field::LiveVoltage, ch);
        s.field(Field::MinVoltage, ch) = shortestText(v.Vmin[ch]);
    }

    if (s.chEnded[ch] || !(n > v.tEnd[ch] || longest)) return;
    endChannel(live, ch);
    drawEndMarks(live, ch);
    s.field(Field::MaxVoltage, ch) = shortestText(v.Vmax[ch]);
    s.field(Field::ReadoutVm, ch) = shortestText(v.Vmax[ch]);
    s.field(Field::MinVoltage, ch) = shortestText(v.Vmin[ch]);
    // Without a spark the first spark voltage reads 0 and fails against any reference.
    s.field(Field::ElecJudgement, ch) =
        passText(electrolytePasses(num(s, Field::Spark1Voltage, ch), num(s, Field::ElecReference, ch)));
    finish(settings, s, ch, kElectrolyteStored, longest, "电解液");
}

}  // namespace

void drawEndMarks(Live& live, int ch) {
    const int tk = live.view.endSample[ch];
    PlotSurface& own = *live.plots.TV[ch];
    if (live.s.kind[ch] == TestKind::TV) {
        const QPointF b = markPointB(live, ch, static_cast<int>(live.view.tVmax[ch]));
        own.text(b.x(), b.y(), QStringLiteral("B点"), kBlack);
    }
    const QPointF c = markPointAC(live, ch, tk);
    own.text(c.x(), c.y(), QStringLiteral("C点"), kBlack);
    const QPointF g = groupEndLine(live, ch, tk);
    if (live.s.kind[ch] == TestKind::Electrolyte)
        live.plots.TV16[groupOf(ch)]->text(g.x(), live.curves.yTV[ch], channelText(ch) + QStringLiteral("C点"), kBlack);
}

bool leakagePasses(float limit, float current) { return !(limit < current); }
bool electrolytePasses(float firstSpark, float reference) { return !(firstSpark < reference); }

void evaluateChannel(Live& live, SettingsStore& settings, int ch) {
    // A channel outside the run (or already ended) only gets its end time and rescale checked.
    const bool longest = !live.s.chStopped[ch] && live.s.n > kLastSample;
    switch (live.s.kind[ch]) {
        case TestKind::TV:
            evaluateTv(live, settings, ch, longest);
            break;
        case TestKind::Leakage:
            evaluateLeakage(live, settings, ch, longest);
            break;
        case TestKind::Electrolyte:
            evaluateElectrolyte(live, settings, ch, longest);
            break;
    }
}

}  // namespace varnot
