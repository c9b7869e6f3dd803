// The run journal's records read back: a whole journal gives the run as it stood at its last
// record, and a torn or damaged tail is dropped at the last whole record, never misread.
#include "run/run_journal.h"

#include <gtest/gtest.h>

#include <functional>

using namespace varnot;

namespace {

JournalMeta meta() {
    JournalMeta m;
    m.group = 0;
    m.firstCh = 0;
    m.lastCh = 2;
    m.startedMs = 1'765'000'000'000;
    m.folder = QStringLiteral("/data/本地");
    m.kind = {TestKind::Leakage, TestKind::Leakage, TestKind::Leakage, TestKind::TV, TestKind::TV, TestKind::TV};
    m.linked = {true, false, true, false, true, false};
    m.afterBoiling = {true, false};
    m.linkageSwitch = {false, true};
    m.currentVisible = true;
    return m;
}

RunState start() {
    RunState s;
    for (int ch = 0; ch < kChannels; ++ch) {
        s.fields[int(Field::TvTestNumber)][ch] = QStringLiteral("B7");
        s.fields[int(Field::LeakageJudgement)][ch] = QStringLiteral("待定");
        s.panels[ch] = QStringLiteral("第%1路开始漏电流测试").arg(ch + 1);
        s.marks[ch].stopped = false;
        s.marks[ch].ended = false;
        s.marks[ch].hxfd = 0.5f;
    }
    s.hxfd16 = 0.25f;
    return s;
}

// The state after tick k of a made-up run: channel 2 ends at tick 2 with a judgement.
RunState after(int k) {
    RunState s = start();
    for (int ch = 0; ch < 3; ++ch) s.fields[int(Field::LiveVoltage)][ch] = QString::number(100 + 10 * k + ch);
    if (k >= 2) {
        s.fields[int(Field::LeakageJudgement)][1] = QStringLiteral("合格");
        s.panels[1] = QStringLiteral("第2路漏电流测试结束");
        s.marks[1] = {true, true, false, false, 0, 2, 2, 2, 101.5f, 2, 0, 0.5f};
    }
    if (k >= 3) s.hxfd16 = 0.5f;
    return s;
}

struct Built {
    QByteArray bytes;
    std::vector<qsizetype> recordEnds;  // the end of each record, header first
};

Built journalOf(int ticks, bool ended = false) {
    Built b;
    b.bytes = encodeHeader(meta(), start());
    b.recordEnds.push_back(b.bytes.size());
    RunState before = start();
    for (int k = 1; k <= ticks; ++k) {
        const RunState now = after(k);
        JournalChanges c = changesBetween(before, now, 0, 2);
        c.sample = k;
        for (int ch = 0; ch < 3; ++ch) {
            c.volts.push_back(100.5f * k + ch);
            c.amps.push_back(0.125f * k + ch);
        }
        b.bytes += encodeChanges(JournalRecord::Tick, c);
        b.recordEnds.push_back(b.bytes.size());
        before = now;
    }
    if (ended) {
        b.bytes += encodeChanges(JournalRecord::End, {});
        b.recordEnds.push_back(b.bytes.size());
    }
    return b;
}

// The reading holds exactly the run after `ticks` ticks.
void expectRunAfter(const JournalReading& r, int ticks) {
    ASSERT_TRUE(r.valid);
    EXPECT_EQ(r.meta, meta());
    EXPECT_EQ(r.lastSample, ticks);
    const RunState want = after(ticks);
    for (int ch = 0; ch < 3; ++ch) {
        for (int f = 0; f < kFieldCount; ++f) EXPECT_EQ(r.state.fields[f][ch], want.fields[f][ch]) << ch << " " << f;
        EXPECT_EQ(r.state.panels[ch], want.panels[ch]);
        EXPECT_EQ(r.state.marks[ch], want.marks[ch]) << ch;
        for (int k = 1; k <= ticks; ++k) {
            EXPECT_EQ(r.V[ch][k], 100.5f * k + ch);
            EXPECT_EQ(r.I[ch][k], 0.125f * k + ch);
        }
        EXPECT_EQ(r.V[ch][ticks + 1], 0.0f);
    }
    EXPECT_EQ(r.state.hxfd16, want.hxfd16);
    // Channels outside the run's range are never filled.
    EXPECT_TRUE(r.state.fields[int(Field::TvTestNumber)][3].isEmpty());
}

}  // namespace

TEST(RunJournal, AWholeJournalGivesTheRunAtItsLastRecord) {
    const Built b = journalOf(3, true);
    const JournalReading r = readJournal(b.bytes);
    expectRunAfter(r, 3);
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.wholeBytes, b.bytes.size());
    EXPECT_EQ(r.droppedBytes, 0);
    EXPECT_FALSE(readJournal(journalOf(3).bytes).ended);
}

TEST(RunJournal, ATickRecordCarriesOnlyWhatChanged) {
    const JournalChanges c = changesBetween(after(1), after(2), 0, 2);
    QStringList changed;
    for (const auto& t : c.texts) changed << QStringLiteral("%1/%2").arg(t.ch).arg(t.index);
    // The live voltage of every channel, channel 2's judgement and its status panel.
    EXPECT_EQ(changed, (QStringList{QStringLiteral("0/%1").arg(int(Field::LiveVoltage)),
                                    QStringLiteral("1/%1").arg(int(Field::LeakageJudgement)),
                                    QStringLiteral("1/%1").arg(int(Field::LiveVoltage)),
                                    QStringLiteral("1/%1").arg(kFieldCount),
                                    QStringLiteral("2/%1").arg(int(Field::LiveVoltage))}));
    ASSERT_EQ(c.marks.size(), 1u);
    EXPECT_EQ(c.marks[0].first, 1);
    EXPECT_FALSE(c.hxfd16);
    // Channels outside the range are not compared.
    RunState other = after(2);
    other.fields[int(Field::LiveVoltage)][4] = QStringLiteral("9");
    EXPECT_TRUE(changesBetween(after(2), other, 0, 2).empty());
}

TEST(RunJournal, ALastRecordCutAtAnyByteIsDroppedWhole) {
    const Built b = journalOf(3);
    const qsizetype lastStart = b.recordEnds[2];
    for (qsizetype cut = lastStart; cut < b.bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        const JournalReading r = readJournal(b.bytes.left(cut));
        expectRunAfter(r, 2);
        EXPECT_EQ(r.wholeBytes, lastStart);
        EXPECT_EQ(r.droppedBytes, cut - lastStart);
    }
    // A header cut short leaves nothing to put back.
    for (qsizetype cut = 0; cut < b.recordEnds[0]; ++cut) EXPECT_FALSE(readJournal(b.bytes.left(cut)).valid) << cut;
}

TEST(RunJournal, AFlippedByteInTheLastRecordDropsIt) {
    const Built b = journalOf(3);
    for (qsizetype at = b.recordEnds[2]; at < b.bytes.size(); ++at) {
        for (const char mask : {char(0x01), char(0x80)}) {
            SCOPED_TRACE(at);
            QByteArray damaged = b.bytes;
            damaged[at] = char(damaged[at] ^ mask);
            const JournalReading r = readJournal(damaged);
            expectRunAfter(r, 2);
            EXPECT_EQ(r.wholeBytes, b.recordEnds[2]);
        }
    }
}

TEST(RunJournal, WhatFollowsTheLastWholeRecordIsDropped) {
    const Built b = journalOf(3);
    JournalChanges outside;  // checks out, but names a channel the run does not have
    outside.texts.push_back({4, int(Field::LiveVoltage), QStringLiteral("1")});
    JournalChanges noValues;  // a tick without the values of its channels
    noValues.sample = 4;
    JournalChanges past;  // a sample past the last the curves hold
    past.sample = kLastSample + 1;
    past.volts = past.amps = {1, 2, 3};
    QByteArray hugeLength("\xff\xff\xff\x7f", 4);
    hugeLength += QByteArray(20, 'x');
    const struct {
        const char* name;
        QByteArray tail;
    } cases[] = {
        {"zeros", QByteArray(64, '\0')},
        {"text", QByteArray("garbage appended after the last record")},
        {"a length far beyond the file", hugeLength},
        {"a second header", encodeHeader(meta(), start())},
        {"a channel outside the run", encodeChanges(JournalRecord::Changes, outside)},
        {"a tick without values", encodeChanges(JournalRecord::Tick, noValues)},
        {"a sample past the curves", encodeChanges(JournalRecord::Tick, past)},
        {"an unknown type", encodeRecord(JournalRecord(quint8('X')), QByteArray(8, '\0'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const JournalReading r = readJournal(b.bytes + c.tail);
        expectRunAfter(r, 3);
        EXPECT_EQ(r.wholeBytes, b.bytes.size());
        EXPECT_EQ(r.droppedBytes, c.tail.size());
    }
    // Nothing is read after the end of the run.
    const Built ended = journalOf(2, true);
    JournalChanges late;
    late.sample = 3;
    late.volts = late.amps = {9, 9, 9};
    const JournalReading r = readJournal(ended.bytes + encodeChanges(JournalRecord::Tick, late));
    EXPECT_EQ(r.lastSample, 2);
    EXPECT_EQ(r.wholeBytes, ended.bytes.size());
}

TEST(RunJournal, ChecksumIsCrc32) {
    EXPECT_EQ(crc32(QByteArray("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32(QByteArray()), 0u);
}
