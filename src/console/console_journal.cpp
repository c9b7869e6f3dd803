// The run journal of the console: written while a run is supervised, offered back at start-up
// when its run never ended in order.
#include "console/console.h"

#include "acquisition/display.h"
#include "acquisition/sampling.h"
#include "run/evaluation.h"

#include <algorithm>

#include <QDateTime>
#include <QDir>

namespace varnot {
namespace {

const QString kRecoverQuestion = QStringLiteral("上次测试未正常结束，是否恢复？");

}  // namespace

QString journalNotWritten(const QString& reason) {
    return QStringLiteral("运行记录无法写入，测试中断时数据无法恢复：") + reason;
}

QString Console::journalFolder() const { return QDir(settings_.text("dbpath")).absolutePath(); }

RunState Console::runState() const { return runStateOf(state_, view_, plots_); }

void Console::beginJournal() {
    JournalMeta m;
    m.group = groupOf(state_.firstCh);
    m.firstCh = state_.firstCh;
    m.lastCh = state_.lastCh;
    m.startedMs = QDateTime::currentMSecsSinceEpoch();
    m.folder = journalFolder();
    m.kind = state_.kind;
    m.linked = linked_;
    for (int g = 0; g < kGroups; ++g) {
        m.afterBoiling[g] = boiling_[g] == Boiling::After;
        m.linkageSwitch[g] = linkageSwitch_[g];
    }
    m.currentVisible = currentVisible_;
    // A folder that cannot be written keeps no journal; the run itself goes on, and the operator
    // is told that a crash would lose it.
    if (QString error; !journal_.begin(m, runState(), &error)) announce(journalNotWritten(error));
}

bool Console::recoverInterruptedRun() {
    if (supervising_) return false;
    const QString folder = journalFolder();
    for (const QString& path : RunJournal::journalsIn(folder)) {
        QByteArray bytes;
        if (!journal_.claim(path, &bytes)) continue;  // a running console's journal
        const JournalReading reading = readJournal(bytes);
        if (!reading.valid) {
            // Nothing whole to put back (the console ended while the header was written).
            journal_.setAside();
            continue;
        }
        if (reading.meta.folder != folder) {
            // Copied or moved here from the folder of other databases: not this console's.
            journal_.release();
            continue;
        }
        if (!prompter_.question(kRecoverQuestion, QStringLiteral("信息提示"))) {
            journal_.setAside();
            continue;
        }
        journal_.keep(reading.wholeBytes);
        restoreRun(reading);
        // Declined, the journal stays with the test on screen until it is stored or given up.
        if (prompter_.question(QStringLiteral("测试结束，需要保存吗？"), QStringLiteral("信息提示"))) save2Click();
        return true;
    }
    return false;
}

void Console::restoreRun(const JournalReading& r) {
    const JournalMeta& m = r.meta;
    for (int ch = 0; ch < kChannels; ++ch) clearTest(ch);
    state_.firstCh = m.firstCh;
    state_.lastCh = m.lastCh;
    for (int g = 0; g < kGroups; ++g) {
        boiling_[g] = m.afterBoiling[g] ? Boiling::After : Boiling::Before;
        linkageSwitch_[g] = m.linkageSwitch[g];
    }
    linked_ = m.linked;
    currentVisible_ = m.currentVisible;
    for (int ch = m.firstCh; ch <= m.lastCh; ++ch) state_.kind[ch] = m.kind[ch];
    applyKindFields();
    // As a stopped run's end leaves them: every channel stopped, the ended ones with their end.
    state_.n = 0;
    state_.testRun = false;
    state_.chStopped.fill(true);
    state_.chEnded.fill(true);
    plots_.hxfd16 = r.state.hxfd16;
    PerChannel<int> drawn{};
    for (int ch = m.firstCh; ch <= m.lastCh; ++ch) {
        for (int f = 0; f < kFieldCount; ++f) state_.fields[f][ch] = r.state.fields[f][ch];
        state_.statusPanels[ch] = r.state.panels[ch];
        const ChannelMarks& k = r.state.marks[ch];
        state_.chEnded[ch] = k.ended;
        view_.firstMark[ch] = k.firstMark;
        view_.sparkSeen[ch] = k.sparkSeen;
        view_.sparkCount[ch] = 0;  // as at the end of a run
        view_.endSample[ch] = k.endSample;
        view_.tLimit[ch] = k.tLimit;
        view_.tEnd[ch] = k.tEnd;
        view_.Vmax[ch] = k.Vmax;
        view_.tVmax[ch] = k.tVmax;
        view_.Vmin[ch] = k.Vmin;
        plots_.hxfd[ch] = k.hxfd;
        curves_.V[ch] = r.V[ch];
        curves_.I[ch] = r.I[ch];
        curves_.stored[ch] = r.lastSample;
        // An ended channel's curve was drawn up to its end only.
        drawn[ch] = k.endSample > 0 ? std::min(k.endSample, r.lastSample) : r.lastSample;
        plots_.drawnTo[ch] = drawn[ch];
    }
    Live l = live();
    for (int ch = m.firstCh; ch <= m.lastCh; ++ch) {
        zb(plots_, state_, ch);
        redrawChannelCurve(l, ch, drawn[ch]);
    }
    for (int p = 0; p < 3; ++p) zb16(plots_, state_, p);
    redrawCombinedCurves(l, drawn);
    // The channels that ended get their end marks back, drawn from their end sample.
    for (int ch = m.firstCh; ch <= m.lastCh; ++ch) {
        const int end = view_.endSample[ch];
        if (!state_.chEnded[ch] || end < 1 || end > r.lastSample) continue;
        const double V = curves_.V[ch][end];
        curves_.yTV[ch] = float(yChannelVoltage(V, referenceVoltage(state_, ch)));
        curves_.yGrp[ch] = float(yGroupVoltage(V, axisReference(state_, groupOf(ch))));
        drawEndMarks(l, ch);
    }
    // What a save had stored before the console went stays stored: the save of the run put back
    // completes it. A local record it had begun is the run's own when its file holds it.
    for (int ch = m.firstCh; ch <= m.lastCh; ++ch) {
        concludeTest(ch);
        ChannelTest& t = tests_[ch];
        if (t.state != TestState::Ended) continue;
        const auto& done = r.stored[ch];
        t.storedSheet = done[int(StoredPart::Sheet)];
        t.storedLocal = done[int(StoredPart::Local)] ||
                        (done[int(StoredPart::LocalBegun)] && saver_.recordExists(ch, t));
    }
    if (m.firstCh == 0) mirrorSerial();
    emit changed();
}

}  // namespace varnot
