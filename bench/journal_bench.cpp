// Cost of the run journal per tick: the state compared with the last record, the record encoded
// and appended (handed to the system; synced to the disk at most every 250 ms), and of reading a
// whole 6000-sample journal back at start-up.
#include "run/journal_file.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace varnot;

namespace {

JournalMeta metaIn(const QString& folder) {
    JournalMeta m;
    m.folder = folder;
    m.startedMs = 1'765'000'000'000;
    return m;
}

// The state after tick k: the live readouts change every tick, as in a run.
RunState stateAt(int k) {
    RunState s;
    for (int ch = 0; ch < 3; ++ch) {
        s.fields[int(Field::LiveVoltage)][ch] = QString::number(100.0 + k * 0.1 + ch, 'f', 1);
        s.fields[int(Field::LiveCurrent)][ch] = QString::number(1.0 + k * 0.001, 'f', 3);
        s.fields[int(Field::TvTestNumber)][ch] = QStringLiteral("B7");
    }
    return s;
}

}  // namespace

static void BM_JournalTick(benchmark::State& state) {
    QTemporaryDir dir;
    Curves curves;
    RunJournal journal;
    journal.begin(metaIn(dir.path()), stateAt(0));
    int k = 0;
    for (auto _ : state) {
        k = k % kLastSample + 1;
        const RunState now = stateAt(k);
        for (int ch = 0; ch < 3; ++ch) curves.V[ch][k] = 100.0f + k * 0.1f;
        journal.tick(now, curves, k);
    }
}
BENCHMARK(BM_JournalTick);

static void BM_ReadWholeJournal(benchmark::State& state) {
    QByteArray bytes = encodeHeader(metaIn(QStringLiteral("/data")), stateAt(0));
    RunState before = stateAt(0);
    for (int k = 1; k <= kLastSample; ++k) {
        const RunState now = stateAt(k);
        JournalChanges c = changesBetween(before, now, 0, 2);
        c.sample = k;
        c.volts = {100.0f, 101.0f, 102.0f};
        c.amps = {1.0f, 1.1f, 1.2f};
        bytes += encodeChanges(JournalRecord::Tick, c);
        before = now;
    }
    state.counters["bytes"] = double(bytes.size());
    for (auto _ : state) benchmark::DoNotOptimize(readJournal(bytes).lastSample);
}
BENCHMARK(BM_ReadWholeJournal)->Unit(benchmark::kMillisecond);
