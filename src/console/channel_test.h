// The test on one channel: what it is (kind, record name, the parameters it ran with, its results
// and curve) and where it stands. Saving, CSV export, printing, the close question and the
// questions before a wipe read these objects, never the fields of the moment.
#pragma once

#include "common/channel.h"
#include "common/fields.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <map>
#include <optional>
#include <vector>

namespace varnot {

enum class TestState {
    Empty,       // nothing measured or shown on the channel
    Running,     // part of the supervised run
    Ended,       // measured here; `stored()` says how much of it is stored
    ShownLocal,  // a stored record put back by 显示记录
    ShownBatch,  // a stored sheet put back by 打开
};

enum class Stored { Nothing, Part, All };

struct ChannelTest {
    TestState state = TestState::Empty;
    TestKind kind = TestKind::TV;
    // Test number and position code as the test was started with (a displayed record: its name).
    QString testNumber, position, recordName;
    bool afterBoiling = false;
    // The batch a TV test's sheet belongs to: channel 1's test number when the run started.
    QString serial;
    QDateTime started;
    // Every field as the test ended (a displayed record: as the display filled them).
    std::array<QString, kFieldCount> fields{};
    bool finished = false;   // reached its end (not stopped, the link held)
    bool firstMark = false;  // TV: point A found; electrolyte: the first spark
    float tVmax = 0;         // the sample of the highest voltage
    std::vector<float> volts, amps;  // samples 1..N
    // What a save stored of it.
    bool storedLocal = false, storedSheet = false;
    // A display fills the channel's fields with the stored test's; the operator's own texts come
    // back when the display goes.
    std::map<Field, QString> replaced;
    // The group's boiling switch as it stood before the display set it to the record's.
    std::optional<bool> ownAfterBoiling;

    const QString& field(Field f) const { return fields[static_cast<int>(f)]; }
    int samples() const { return static_cast<int>(volts.size()); }
    bool shown() const { return state == TestState::ShownLocal || state == TestState::ShownBatch; }
    bool needsSheet() const { return kind == TestKind::TV; }
    Stored stored() const {
        if (state != TestState::Ended) return Stored::Nothing;
        if (storedLocal && (!needsSheet() || storedSheet)) return Stored::All;
        return storedLocal || storedSheet ? Stored::Part : Stored::Nothing;
    }
    // A measured test that a wipe would lose.
    bool unsaved() const { return state == TestState::Ended && stored() != Stored::All; }
};

}  // namespace varnot
