// Correcting one column of a stored test: which columns may be corrected, how the typed text
// becomes the column's value, and the change written to the one record.
#pragma once

#include "common/channel.h"
#include "history/record_display.h"
#include "history/record_grid.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace varnot {

// The columns offered for a kind, in order. The record name (and for the TV test 采样次数 and
// Vmax) are not offered: the name also names the curve table.
const QStringList& modifiableColumns(TestKind kind);

// The value the text gives the kind's column, or nullopt when the column cannot hold it: a number
// column takes a number, the date column a yyyy-mm-dd or yyyy/mm/dd date, 水煮前 and 水煮后 a
// yes/no (True/False, Yes/No, 是/否, 1/0), a text column any text. A column not offered gives
// nullopt as well.
std::optional<QVariant> modifiedValue(TestKind kind, const QString& column, const QString& text);

// Why the record may not take the value in the column, as the operator reads it (the record
// named, the column and its range); nullopt when it may. A parameter column keeps the range its
// entry on the console has; a column that sets how many samples the record shows (rise, delay and
// test times, spark delay and first spark time) also stays within the curve the record holds, so
// it can still be shown; a judgement column holds "合格", "不合格" or "待定".
std::optional<QString> modificationRefusal(const StoredRecord& record, const QString& column,
                                           const QVariant& value);

// Writes the value into the column of the one record named; false when the database failed or
// the record is no longer there. Nothing else changes: not the record name, not its curve table.
bool modifyRecord(QSqlDatabase db, TestKind kind, const RecordRef& record, const QString& column,
                  const QVariant& value);

}  // namespace varnot
