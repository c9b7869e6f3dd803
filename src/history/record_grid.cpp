#include "history/record_grid.h"

#include "common/text_number.h"
#include "storage/sql_support.h"
#include "storage/local_records.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>

namespace varnot {

namespace {

const QString kRecordColumn = QStringLiteral("测试编号");
// Another console may be saving into the same file: its write is waited for, this long.
constexpr int kHistoryBusyWaitMs = 5000;

QString cellText(LocalColumnType type, const QVariant& v) {
    if (v.isNull()) return {};
    switch (type) {
        case LocalColumnType::Number: {
            bool ok = false;
            const double d = v.toDouble(&ok);
            return ok ? shortestText(d) : v.toString();
        }
        case LocalColumnType::YesNo:
            return v.toInt() != 0 ? QStringLiteral("True") : QStringLiteral("False");
        case LocalColumnType::Date: {
            const QDate d = QDate::fromString(v.toString(), Qt::ISODate);
            return d.isValid() ? d.toString(QStringLiteral("yyyy/MM/dd")) : v.toString();
        }
        case LocalColumnType::Text:
            break;
    }
    return v.toString();
}

}  // namespace

HistoryDatabase::HistoryDatabase(QString folder) : folder_(std::move(folder)) {
    static std::atomic<int> opened{0};
    connection_ = QStringLiteral("varnot-history-%1").arg(++opened);
}

HistoryDatabase::~HistoryDatabase() {
    close();
}

void HistoryDatabase::close() {
    if (!QSqlDatabase::contains(connection_)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    path_.clear();
}

QSqlDatabase HistoryDatabase::open(TestKind kind) {
    const QString path = QFileInfo(QDir(folder_).filePath(testDatabaseFile(kind))).absoluteFilePath();
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        return {};
    }
    if (path_ == path && device_ == quint64(st.st_dev) && inode_ == quint64(st.st_ino)) {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen()) return db;
    }
    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path);
    // Another console may be saving into the same file: wait for its write instead of failing.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kHistoryBusyWaitMs));
    if (!db.open()) {
        db = QSqlDatabase();
        close();
        return {};
    }
    path_ = path;
    device_ = quint64(st.st_dev);
    inode_ = quint64(st.st_ino);
    return db;
}

RecordGridModel::RecordGridModel(HistoryDatabase& database, QObject* parent)
    : QAbstractTableModel(parent), database_(database) {}

void RecordGridModel::clear() {
    beginResetModel();
    rows_.clear();
    columns_.clear();
    statement_.clear();
    found_ = 0;
    ran_ = false;
    endResetModel();
}

void RecordGridModel::sort(int column, Qt::SortOrder order) {
    sortColumn_ = column >= 0 && column < int(parameterColumns(query_.kind).size()) ? column : -1;
    sortOrder_ = order;
    if (ran_) run(query_);
}

QString RecordGridModel::orderBy() const {
    const QString dir = sortOrder_ == Qt::DescendingOrder ? QStringLiteral(" DESC") : QString();
    const auto& cols = parameterColumns(query_.kind);
    if (sortColumn_ < 0 || sortColumn_ >= int(cols.size())) return QStringLiteral("rowid") + dir;
    return quoteIdentifier(cols[std::size_t(sortColumn_)].name) + dir + QStringLiteral(", rowid") + dir;
}

std::optional<qint64> RecordGridModel::run(const HistoryQuery& query) {
    const auto condition = queryCondition(query);
    if (!condition) {
        clear();
        return std::nullopt;
    }
    QSqlDatabase db = database_.open(query.kind);
    if (!db.isValid()) {
        clear();
        return std::nullopt;
    }

    // The list is what was stored when the query ran: later pages stop at the last row there was.
    qint64 maxRowid = 0;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT MAX(rowid) FROM %1")
                        .arg(quoteIdentifier(parameterTable(query.kind)))) ||
            !q.next()) {
            clear();
            return std::nullopt;
        }
        maxRowid = q.value(0).toLongLong();
    }

    if (query.kind != query_.kind) sortColumn_ = -1;
    HistoryQuery previousQuery = query_;
    QueryCondition previousCondition = condition_;
    const qint64 previousMax = maxRowid_;
    query_ = query;
    condition_ = *condition;
    maxRowid_ = maxRowid;
    std::vector<Row> first;
    qint64 found = 0;
    bool ok = readPage(-1, kPage, first);
    if (ok && int(first.size()) < kPage) {
        found = qint64(first.size());
    } else if (ok) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE (%2) AND rowid <= ?")
                      .arg(quoteIdentifier(parameterTable(query.kind)), condition_.where));
        for (const QVariant& v : condition_.values) q.addBindValue(v);
        q.addBindValue(maxRowid_);
        ok = q.exec() && q.next();
        if (ok) found = q.value(0).toLongLong();
    }
    if (!ok) {
        query_ = previousQuery;
        condition_ = previousCondition;
        maxRowid_ = previousMax;
        clear();
        return std::nullopt;
    }

    beginResetModel();
    statement_ = qstr(query);
    columns_ = gridColumns(query.kind);
    rows_ = std::move(first);
    found_ = found;
    ran_ = true;
    endResetModel();
    return found_;
}

bool RecordGridModel::readPage(qint64 offset, int limit, std::vector<Row>& out) const {
    QSqlDatabase db = database_.open(query_.kind);
    if (!db.isValid()) return false;
    const auto& cols = parameterColumns(query_.kind);
    QStringList names;
    for (const LocalColumn& c : cols) names << quoteIdentifier(c.name);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // In stored order a page starts after the last row read (offset -1: the first page); in
    // another order it starts at its position in that order.
    const bool stored = sortColumn_ < 0 && sortOrder_ == Qt::AscendingOrder;
    const qint64 after = offset < 0 ? 0 : offset;
    if (stored) {
        q.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE (%3) AND rowid > ? AND rowid <= ? ORDER BY rowid "
                                 "LIMIT ?")
                      .arg(names.join(u','), quoteIdentifier(parameterTable(query_.kind)), condition_.where));
    } else {
        q.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE (%3) AND rowid <= ? ORDER BY %4 LIMIT ? OFFSET ?")
                      .arg(names.join(u','), quoteIdentifier(parameterTable(query_.kind)), condition_.where,
                           orderBy()));
    }
    for (const QVariant& v : condition_.values) q.addBindValue(v);
    if (stored) {
        q.addBindValue(after);
        q.addBindValue(maxRowid_);
        q.addBindValue(limit);
    } else {
        q.addBindValue(maxRowid_);
        q.addBindValue(limit);
        q.addBindValue(qint64(rows_.size()) * (offset < 0 ? 0 : 1));
    }
    if (!q.exec()) return false;
    while (q.next()) {
        Row r{q.value(0).toLongLong(), {}};
        r.values.reserve(int(cols.size()));
        for (int c = 0; c < int(cols.size()); ++c) r.values << q.value(c + 1);
        out.push_back(std::move(r));
    }
    return true;
}

std::vector<RecordRef> RecordGridModel::recordsFrom(int gridRow, int n) {
    std::vector<RecordRef> out;
    if (!isRecordRow(gridRow) || n <= 0) return out;
    const std::size_t first = std::size_t(gridRow - 2);
    while (rows_.size() < first + std::size_t(n) && canFetchMore()) fetchMore();
    for (std::size_t i = first; i < rows_.size() && out.size() < std::size_t(n); ++i)
        out.push_back({rows_[i].rowid, rows_[i].values.value(0).toString()});
    return out;
}

int RecordGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !ran_) return 0;
    // The column names, the records read so far and, after any record, one empty row.
    return 1 + int(rows_.size()) + (found_ > 0 ? 1 : 0);
}

int RecordGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant RecordGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    if (role == Qt::ToolTipRole) return statement_;
    const int row = index.row(), col = index.column();
    if (row == 0) return columns_.value(col);
    if (row - 1 >= int(rows_.size())) return QString();
    const auto& cols = parameterColumns(query_.kind);
    return cellText(cols[std::size_t(col)].type, rows_[std::size_t(row - 1)].values.value(col));
}

QVariant RecordGridModel::headerData(int section, Qt::Orientation o, int role) const {
    // The column names head the grid where it is scrolled to as well. 测试编号 and 测试日期 sort
    // the newest first at the first click.
    if (o == Qt::Horizontal && role == Qt::InitialSortOrderRole) {
        const QString name = columns_.value(section);
        return name == u"测试日期" || name == u"测试编号" ? QVariant(int(Qt::DescendingOrder))
                                                          : QVariant(int(Qt::AscendingOrder));
    }
    if (role != Qt::DisplayRole) return {};
    return o == Qt::Horizontal ? QVariant(columns_.value(section)) : QVariant(QString());
}

bool RecordGridModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && ran_ && qint64(rows_.size()) < found_;
}

void RecordGridModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) return;
    std::vector<Row> more;
    if (rows_.empty() || !readPage(rows_.back().rowid, kPage, more) || more.empty()) {
        // The rest is gone (deleted meanwhile): the list ends here.
        found_ = qint64(rows_.size());
        return;
    }
    const int at = 1 + int(rows_.size());
    beginInsertRows({}, at, at + int(more.size()) - 1);
    for (Row& r : more) rows_.push_back(std::move(r));
    endInsertRows();
}

DeleteOutcome deleteRecords(QSqlDatabase db, TestKind kind, const std::vector<RecordRef>& records, int waitMs) {
    DeleteOutcome out;
    const QString table = parameterTable(kind);
    QElapsedTimer waited;
    waited.start();
    // The wait for a lock is one budget for the whole delete, set afresh before each record.
    const auto setBusyWait = [&db](qint64 ms) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(std::max<qint64>(ms, 0)));
    };
    const auto leave = [&out](const QString& name, const QString& why) {
        out.left << name;
        if (out.reason.isEmpty()) out.reason = why;
    };
    if (!db.isValid()) {
        for (const RecordRef& r : records) leave(r.name, QStringLiteral("数据库文件不存在"));
        return out;
    }
    for (const RecordRef& r : records) {
        const qint64 left = waitMs - waited.elapsed();
        if (left <= 0 && !out.left.isEmpty()) {
            leave(r.name, out.reason);
            continue;
        }
        setBusyWait(left);
        // A write lock from the start: the wait for another program's lock happens here, once.
        QSqlQuery begin(db);
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            leave(r.name, begin.lastError().databaseText());
            continue;
        }
        bool ok = false;
        QString why;
        {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ? AND %2 = ?")
                          .arg(quoteIdentifier(table), quoteIdentifier(kRecordColumn)));
            q.addBindValue(r.rowid);
            q.addBindValue(r.name);
            ok = q.exec();
            if (!ok) why = q.lastError().databaseText();
            if (ok && q.numRowsAffected() != 1) {
                ok = false;
                why = QStringLiteral("记录已不存在");
            }
            // The curve table goes with its row; a parameter table is never a record's curve.
            bool parameterName = false;
            for (TestKind k : {TestKind::TV, TestKind::Leakage, TestKind::Electrolyte})
                parameterName = parameterName || r.name.compare(parameterTable(k), Qt::CaseInsensitive) == 0;
            if (ok && !parameterName && !r.name.isEmpty()) {
                ok = q.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(quoteIdentifier(r.name)));
                if (!ok) why = q.lastError().databaseText();
            }
        }
        QSqlQuery end(db);
        if (ok && end.exec(QStringLiteral("COMMIT"))) {
            out.deleted << r.name;
        } else {
            if (ok) why = end.lastError().databaseText();
            end.exec(QStringLiteral("ROLLBACK"));
            leave(r.name, why);
        }
    }
    setBusyWait(kHistoryBusyWaitMs);
    return out;
}

}  // namespace varnot
