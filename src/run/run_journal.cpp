#include "run/run_journal.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>

namespace varnot {
namespace {

constexpr quint32 kVersion = 1;
constexpr qsizetype kMaxContents = 1 << 20;  // far above any record; a larger length is damage
constexpr qsizetype kFraming = 4 + 1 + 4;    // length, type, CRC

void prepare(QDataStream& s) {
    s.setVersion(QDataStream::Qt_6_0);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

void putMarks(QDataStream& s, const ChannelMarks& m) {
    s << m.stopped << m.ended << m.firstMark << m.sparkSeen << m.sparkCount << m.endSample << m.tLimit << m.tEnd
      << m.Vmax << m.tVmax << m.Vmin << m.hxfd;
}

void getMarks(QDataStream& s, ChannelMarks& m) {
    s >> m.stopped >> m.ended >> m.firstMark >> m.sparkSeen >> m.sparkCount >> m.endSample >> m.tLimit >> m.tEnd >>
        m.Vmax >> m.tVmax >> m.Vmin >> m.hxfd;
}

void putChanges(QDataStream& s, const JournalChanges& c) {
    s << qint32(c.sample) << quint8(c.volts.size());
    for (std::size_t i = 0; i < c.volts.size(); ++i) s << c.volts[i] << c.amps[i];
    s << quint32(c.texts.size());
    for (const JournalChanges::Text& t : c.texts) s << quint8(t.ch) << quint8(t.index) << t.text;
    s << quint8(c.marks.size());
    for (const auto& [ch, m] : c.marks) {
        s << quint8(ch);
        putMarks(s, m);
    }
    s << c.hxfd16.has_value() << c.hxfd16.value_or(0.0f);
}

// Reads changes as putChanges wrote them; false on anything outside the run's channels.
bool getChanges(QDataStream& s, JournalChanges& c, const JournalMeta& meta) {
    const auto inRange = [&](int ch) { return ch >= meta.firstCh && ch <= meta.lastCh; };
    qint32 sample = 0;
    quint8 count = 0;
    s >> sample >> count;
    if (sample < 0 || sample > kLastSample) return false;
    if (count != (sample > 0 ? meta.lastCh - meta.firstCh + 1 : 0)) return false;
    c.sample = sample;
    c.volts.resize(count);
    c.amps.resize(count);
    for (int i = 0; i < count; ++i) s >> c.volts[i] >> c.amps[i];
    quint32 texts = 0;
    s >> texts;
    if (texts > quint32(kChannels * (kFieldCount + 1))) return false;
    c.texts.resize(texts);
    for (JournalChanges::Text& t : c.texts) {
        quint8 ch = 0, index = 0;
        s >> ch >> index >> t.text;
        if (!inRange(ch) || index > kFieldCount) return false;
        t.ch = ch;
        t.index = index;
    }
    quint8 marks = 0;
    s >> marks;
    if (marks > kChannels) return false;
    c.marks.resize(marks);
    for (auto& [ch, m] : c.marks) {
        quint8 c8 = 0;
        s >> c8;
        if (!inRange(c8)) return false;
        ch = c8;
        getMarks(s, m);
    }
    bool scaled = false;
    float hxfd16 = 0;
    s >> scaled >> hxfd16;
    if (scaled) c.hxfd16 = hxfd16;
    return s.status() == QDataStream::Ok;
}

void apply(JournalReading& r, const JournalChanges& c) {
    if (c.sample > 0) {
        for (std::size_t i = 0; i < c.volts.size(); ++i) {
            const int ch = r.meta.firstCh + int(i);
            r.V[ch][c.sample] = c.volts[i];
            r.I[ch][c.sample] = c.amps[i];
        }
        r.lastSample = c.sample;
    }
    for (const JournalChanges::Text& t : c.texts) {
        if (t.index == kFieldCount)
            r.state.panels[t.ch] = t.text;
        else
            r.state.fields[t.index][t.ch] = t.text;
    }
    for (const auto& [ch, m] : c.marks) r.state.marks[ch] = m;
    if (c.hxfd16) r.state.hxfd16 = *c.hxfd16;
}

void putLe32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}

quint32 getLe32(const QByteArray& in, qsizetype at) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i) v |= quint32(quint8(in[at + i])) << (8 * i);
    return v;
}

}  // namespace

RunState runStateOf(const ConsoleState& s, const ChannelView& view, const Plots& plots) {
    RunState r;
    r.fields = s.fields;
    for (int ch = 0; ch < kChannels; ++ch) {
        r.panels[ch] = s.statusPanels[ch];
        ChannelMarks& m = r.marks[ch];
        m.stopped = s.chStopped[ch];
        m.ended = s.chEnded[ch];
        m.firstMark = view.firstMark[ch];
        m.sparkSeen = view.sparkSeen[ch];
        m.sparkCount = view.sparkCount[ch];
        m.endSample = view.endSample[ch];
        m.tLimit = view.tLimit[ch];
        m.tEnd = view.tEnd[ch];
        m.Vmax = view.Vmax[ch];
        m.tVmax = view.tVmax[ch];
        m.Vmin = view.Vmin[ch];
        m.hxfd = plots.hxfd[ch];
    }
    r.hxfd16 = plots.hxfd16;
    return r;
}

JournalChanges changesBetween(const RunState& before, const RunState& now, int first, int last) {
    JournalChanges c;
    for (int ch = first; ch <= last; ++ch) {
        for (int f = 0; f < kFieldCount; ++f)
            if (now.fields[f][ch] != before.fields[f][ch]) c.texts.push_back({ch, f, now.fields[f][ch]});
        if (now.panels[ch] != before.panels[ch]) c.texts.push_back({ch, kFieldCount, now.panels[ch]});
        if (!(now.marks[ch] == before.marks[ch])) c.marks.emplace_back(ch, now.marks[ch]);
    }
    if (now.hxfd16 != before.hxfd16) c.hxfd16 = now.hxfd16;
    return c;
}

std::uint32_t crc32(const QByteArray& bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char b : bytes) c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray encodeRecord(JournalRecord type, const QByteArray& contents) {
    QByteArray checked;
    checked.reserve(contents.size() + 1);
    checked.append(char(type));
    checked.append(contents);
    QByteArray out;
    out.reserve(contents.size() + kFraming);
    putLe32(out, quint32(contents.size()));
    out.append(checked);
    putLe32(out, crc32(checked));
    return out;
}

QByteArray encodeHeader(const JournalMeta& meta, const RunState& start) {
    QByteArray contents;
    QDataStream s(&contents, QIODevice::WriteOnly);
    prepare(s);
    s << kVersion << qint8(meta.group) << qint8(meta.firstCh) << qint8(meta.lastCh) << meta.startedMs << meta.folder;
    for (int ch = 0; ch < kChannels; ++ch) s << quint8(meta.kind[ch]) << meta.linked[ch];
    for (int g = 0; g < kGroups; ++g) s << meta.afterBoiling[g] << meta.linkageSwitch[g];
    s << meta.currentVisible;
    // The whole starting state of the range, as changes against a state with nothing in it.
    putChanges(s, changesBetween(RunState{}, start, meta.firstCh, meta.lastCh));
    return encodeRecord(JournalRecord::Header, contents);
}

QByteArray encodeChanges(JournalRecord type, const JournalChanges& changes) {
    QByteArray contents;
    QDataStream s(&contents, QIODevice::WriteOnly);
    prepare(s);
    putChanges(s, changes);
    return encodeRecord(type, contents);
}

QByteArray encodeStored(int ch, StoredPart part) {
    QByteArray contents;
    {
        QDataStream s(&contents, QIODevice::WriteOnly);
        prepare(s);
        s << qint8(ch) << quint8(part);
    }
    return encodeRecord(JournalRecord::Stored, contents);
}

JournalReading readJournal(const QByteArray& bytes) {
    JournalReading r;
    qsizetype at = 0;
    while (bytes.size() - at >= kFraming) {
        const qsizetype length = getLe32(bytes, at);
        if (length > kMaxContents || bytes.size() - at - kFraming < length) break;
        const QByteArray checked = bytes.mid(at + 4, length + 1);
        if (crc32(checked) != getLe32(bytes, at + 4 + 1 + length)) break;
        const auto type = JournalRecord(quint8(checked[0]));
        const QByteArray contents = checked.mid(1);
        QDataStream s(contents);
        prepare(s);
        bool whole = false;
        if (type == JournalRecord::Header && !r.valid) {
            quint32 version = 0;
            qint8 group = 0, first = 0, last = 0;
            s >> version >> group >> first >> last >> r.meta.startedMs >> r.meta.folder;
            JournalMeta& m = r.meta;
            m.group = group;
            m.firstCh = first;
            m.lastCh = last;
            for (int ch = 0; ch < kChannels; ++ch) {
                quint8 kind = 0;
                s >> kind >> m.linked[ch];
                m.kind[ch] = TestKind(std::min<quint8>(kind, quint8(TestKind::Electrolyte)));
            }
            for (int g = 0; g < kGroups; ++g) s >> m.afterBoiling[g] >> m.linkageSwitch[g];
            s >> m.currentVisible;
            JournalChanges start;
            whole = version == kVersion && group >= 0 && group < kGroups && first >= 0 && first <= last &&
                    last < kChannels && getChanges(s, start, m) && start.sample == 0 && s.atEnd();
            if (whole) {
                for (auto& v : r.V) v.assign(kLastSample + 1, 0.0f);
                for (auto& v : r.I) v.assign(kLastSample + 1, 0.0f);
                apply(r, start);
                r.valid = true;
            }
        } else if (r.valid && !r.ended &&
                   (type == JournalRecord::Tick || type == JournalRecord::Changes || type == JournalRecord::End)) {
            JournalChanges c;
            whole = getChanges(s, c, r.meta) && s.atEnd() && (type == JournalRecord::Tick) == (c.sample > 0);
            if (whole) {
                apply(r, c);
                r.ended = type == JournalRecord::End;
            }
        } else if (r.valid && type == JournalRecord::Stored) {
            qint8 ch = -1;
            quint8 part = kStoredParts;
            s >> ch >> part;
            whole = s.status() == QDataStream::Ok && s.atEnd() && ch >= 0 && ch < kChannels && part < kStoredParts;
            if (whole) r.stored[ch][part] = true;
        }
        if (!whole) break;
        at += length + kFraming;
    }
    r.wholeBytes = at;
    r.droppedBytes = bytes.size() - at;
    return r;
}

}  // namespace varnot
