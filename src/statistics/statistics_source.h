// What the batch statistics window reads from the batch store: the foil grades (规格) to choose
// from, and the sheets of one grade's batches made within a date range. Each is one statement
// with its values bound, on a connection of its own.
#pragma once

#include "statistics/batch_statistics.h"
#include "storage/batch_store.h"

#include <QDate>

namespace varnot {

// The grades of the list table and those of stored batches, each once, in order.
QStringList statisticsSpecifications(const BatchStore& store, QString* error = nullptr);

struct SheetRecords {
    std::vector<SheetRecord> sheets;  // by date, serial and sheet number
    QString error;                    // the database's reason when the read failed
};

// The sheets of the batches of grade `spec` (trimmed, compared exactly) whose date lies between
// `from` and `to`, both days included.
SheetRecords readSheetRecords(const BatchStore& store, const QString& spec, QDate from, QDate to);

}  // namespace varnot
