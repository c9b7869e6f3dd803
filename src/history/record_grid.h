// The history grid's data: one connection to a kind's database file kept while the history window
// is open, and a table model that reads the records of the last query a page at a time, as the
// grid is scrolled.
#pragma once

#include "common/channel.h"
#include "history/query.h"

#include <QAbstractTableModel>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

namespace varnot {

// A stored test as the grid listed it: its row in the parameter table and its record name.
struct RecordRef {
    qint64 rowid = 0;
    QString name;
};

// One read-write connection to the database file of the kind last asked for. A new connection
// reads the schema of every stored test before its first statement, so it is kept open: across
// queries, deletions and scrolling. A file that was removed or replaced gets a new connection;
// a missing file is never created.
class HistoryDatabase {
  public:
    explicit HistoryDatabase(QString folder);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // The open connection to the kind's file; an invalid one when the file is missing or cannot
    // be opened.
    QSqlDatabase open(TestKind kind);
    void close();

  private:
    QString folder_;
    QString connection_;
    QString path_;
    quint64 device_ = 0, inode_ = 0;
};

class RecordGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit RecordGridModel(HistoryDatabase& database, QObject* parent = nullptr);

    // Runs a query. Nullopt when it could not run (a missing file, a column the table lacks, a
    // value its column cannot hold): the grid is emptied, nothing of an earlier query stays. Otherwise the number of records
    // found; with none the grid holds the header row only. The records found are those stored when
    // the query ran: a test saved later joins the list only with the next query.
    std::optional<qint64> run(const HistoryQuery& query);
    // Empties the grid: no rows, no query.
    void clear();
    // The order of the records: by a column, either way (rowid breaks ties); the stored order
    // when no column is given. Kept for the next query; the records are read again.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    // The last query that ran, its statement text, its kind and the number of records it found.
    const HistoryQuery& query() const { return query_; }
    QString statementText() const { return statement_; }
    qint64 found() const { return found_; }

    // The grid's rows, as the operator's commands count them: grid row 0 is the fixed row above
    // (the view's header), row 1 the column names, then the records in order, then one empty row.
    // Grid row r is model row r - 1.
    int gridRows() const { return rowCount() + 1; }
    // A record is selected when its grid row r satisfies 1 < r <= gridRows - 2.
    bool isRecordRow(int gridRow) const { return gridRow > 1 && gridRow <= gridRows() - 2; }
    // The record on grid row r and the ones listed below it, n in all at most, reading further
    // pages as needed.
    std::vector<RecordRef> recordsFrom(int gridRow, int n);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;

    static constexpr int kPage = 256;

  private:
    struct Row {
        qint64 rowid;
        QVariantList values;
    };
    // Reads up to `limit` records of the query: the first page for `after` -1, else the page
    // that follows the rows read so far (whose last has rowid `after`); false when the database
    // failed.
    bool readPage(qint64 after, int limit, std::vector<Row>& out) const;
    QString orderBy() const;

    HistoryDatabase& database_;
    HistoryQuery query_;
    QueryCondition condition_;
    QString statement_;
    QStringList columns_;
    std::vector<Row> rows_;
    qint64 maxRowid_ = 0;
    qint64 found_ = 0;
    bool ran_ = false;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// What a delete did: the records deleted, and those left with the database's reason.
struct DeleteOutcome {
    QStringList deleted;
    QStringList left;
    QString reason;  // of the first record left
};

// Deletes each record whole or not at all: its parameter row and its curve table in one
// transaction. A record whose row is no longer there (deleted meanwhile) is left alone, its
// table included; a row without a curve table is deleted. A file another program holds locked is
// waited for `waitMs` in all, not per record: once the wait is spent, every record not yet
// deleted is left.
DeleteOutcome deleteRecords(QSqlDatabase db, TestKind kind, const std::vector<RecordRef>& records,
                            int waitMs = 2000);

}  // namespace varnot
