// Showing a stored test again on the console: the record read back whole (parameter row and
// curve), the slot it goes to, and the console's fields, zoom, curve and marks of that slot,
// drawn by the same routines that draw a live test.
#pragma once

#include "acquisition/acquisition.h"
#include "history/record_grid.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace varnot {

struct StoredRecord {
    TestKind kind = TestKind::TV;
    QString name;
    QMap<QString, QVariant> values;  // parameter column -> stored value
    std::vector<float> volts, amps;  // samples 1..N
};

// Reads a record listed by the grid: its parameter row and its whole curve. Nullopt with `error`
// set (a text naming the record) when the file, the row or the curve table is missing.
std::optional<StoredRecord> readStoredRecord(QSqlDatabase db, TestKind kind, const RecordRef& record,
                                             QString* error);

// The display groups "1-3通道", "4-6通道", "1-6通道", as indices 0, 1, 2.
struct DisplaySlot {
    int slot;  // the channel index the record goes to
    int next;  // what the next-slot field shows afterwards
};
// The slot for the next-slot field's text: inside the group as typed, else the group's first.
DisplaySlot displaySlot(int displayGroup, const QString& nextText);
// The groups whose kind switch takes the record's kind.
std::vector<int> switchedGroups(int displayGroup);

// The slot's console fields as the record fills them (the columns of its kind, nothing else). With
// `refused`, a stored value the field would refuse typed is left out and its reason noted.
void fillRecordFields(ConsoleState& state, int slot, const StoredRecord& record, QStringList* refused = nullptr);

// The samples drawn: rise time + delay (TV), test time (leakage), spark delay + first spark time
// (electrolyte), from the slot's fields as filled from the record.
int displaySpan(const ConsoleState& s, int slot, TestKind kind);
// The time-axis zoom that fits a span: 0.03125 up to 9 samples, doubling per doubled span, 32 from
// 5120 on.
float zoomForSpan(int span);

// The boiling switch a TV or leakage record was tested under: true after boiling, false before,
// nullopt when the record names neither (an electrolyte record, or both columns empty or false).
std::optional<bool> recordAfterBoiling(const StoredRecord& record);

// Whether the curve holds the span the record's columns ask for; else `error` names the record.
bool recordDisplayable(const StoredRecord& record, QString* error);

// Puts the record into the slot, whose group already runs the record's kind: fields, zoom and axes,
// curve and marks, status text. The curve must hold at least the span; false when it does not,
// with `error` set and nothing changed. A stored parameter its field would refuse typed stays out:
// the field keeps what it held, and `refused` (when given) gets the reason.
bool displayRecord(Live& live, int slot, const StoredRecord& record, QString* error, QStringList* refused = nullptr);

}  // namespace varnot
