// The run journal's records: what a supervised run has shown so far, kept on disk so that a run
// cut short by a crash or a power cut can be put back on screen and saved.
//
// A journal is a sequence of self-checking records: a header (the run's group, channel range,
// start time, folder and its whole starting state), then one record per tick (the sample index,
// each channel's stored voltage and current, and the fields and channel marks that changed since
// the record before), records of what a round of visits changed, and an end record when the run
// loop ended the run. Each record is its length, its type, its contents and a CRC-32 over type and
// contents: reading stops at the first record that is cut short or damaged, so a torn last write
// is dropped whole and never misread.
//
// Pure logic: no files, no clock.
#pragma once

#include "acquisition/curves.h"
#include "acquisition/plot_axes.h"
#include "common/channel.h"
#include "common/channel_view.h"
#include "common/fields.h"
#include "state/console_state.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace varnot {

// What the evaluation keeps for a channel beside its field texts.
struct ChannelMarks {
    bool stopped = true;
    bool ended = true;
    bool firstMark = false;
    bool sparkSeen = false;
    qint32 sparkCount = 0;
    qint32 endSample = 0;
    qint32 tLimit = 0;
    qint32 tEnd = 0;
    float Vmax = 0;
    float tVmax = 0;
    float Vmin = 0;
    float hxfd = 1;
    bool operator==(const ChannelMarks&) const = default;
};

// The run's frame: which channels run which kind, how the group switches stood, and where.
struct JournalMeta {
    int group = 0;
    int firstCh = 0;
    int lastCh = 2;
    qint64 startedMs = 0;  // milliseconds since the epoch
    QString folder;        // the absolute folder of the local test databases the run belongs to
    PerChannel<TestKind> kind{};
    PerChannel<bool> linked{};
    std::array<bool, kGroups> afterBoiling{};
    std::array<bool, kGroups> linkageSwitch{};
    bool currentVisible = false;
    bool operator==(const JournalMeta&) const = default;
};

// The shown state of the run's channels apart from the curves.
struct RunState {
    std::array<PerChannel<QString>, kFieldCount> fields{};
    PerChannel<QString> panels{};  // status-bar panels of the channels
    PerChannel<ChannelMarks> marks{};
    float hxfd16 = 1;
};

RunState runStateOf(const ConsoleState& s, const ChannelView& view, const Plots& plots);

// One record's changes against the state before it: sample > 0 carries that sample's values for
// every channel of the range.
struct JournalChanges {
    int sample = 0;
    std::vector<float> volts, amps;  // channel firstCh + i at index i
    struct Text {
        int ch = 0;
        int index = 0;  // a field, or kFieldCount for the channel's status panel
        QString text;
    };
    std::vector<Text> texts;
    std::vector<std::pair<int, ChannelMarks>> marks;
    std::optional<float> hxfd16;
    bool empty() const { return sample == 0 && texts.empty() && marks.empty() && !hxfd16; }
};

// What changed from `before` to `now` on channels first..last.
JournalChanges changesBetween(const RunState& before, const RunState& now, int first, int last);

enum class JournalRecord : quint8 { Header = 'H', Tick = 'T', Changes = 'C', End = 'E', Stored = 'S' };

// What a save of the run's tests has done, after the run: a channel's local record about to be
// written (it may or may not have reached its file when the console went), its local record
// written, its sheet stored in the batch store.
enum class StoredPart : quint8 { LocalBegun = 0, Local = 1, Sheet = 2 };
inline constexpr int kStoredParts = 3;

std::uint32_t crc32(const QByteArray& bytes);
// A whole record: length, type, contents, CRC-32.
QByteArray encodeRecord(JournalRecord type, const QByteArray& contents);
QByteArray encodeHeader(const JournalMeta& meta, const RunState& start);
QByteArray encodeChanges(JournalRecord type, const JournalChanges& changes);
QByteArray encodeStored(int ch, StoredPart part);

// A journal read back: the header's frame and the state after the last whole record.
struct JournalReading {
    bool valid = false;  // a whole header was read
    JournalMeta meta;
    RunState state;
    PerChannel<std::vector<float>> V, I;  // samples 0..lastSample (0 never written)
    int lastSample = 0;
    bool ended = false;   // the run loop ended the run before the journal stopped
    PerChannel<std::array<bool, kStoredParts>> stored{};  // what its save had done, per channel
    qsizetype wholeBytes = 0;    // the bytes of whole records
    qsizetype droppedBytes = 0;  // a torn or damaged tail after them
};

JournalReading readJournal(const QByteArray& bytes);

}  // namespace varnot
