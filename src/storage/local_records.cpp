#include "storage/local_records.h"

#include "common/text_number.h"
#include "storage/sql_support.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStringList>

#include <QFile>

#include <sys/stat.h>

#include <limits>
#include <map>

namespace varnot {

namespace {

using T = LocalColumnType;

const std::vector<LocalColumn> kTvColumns = {
    {QStringLiteral("测试编号"), T::Text},     {QStringLiteral("化成电压"), T::Number},
    {QStringLiteral("测试电流"), T::Number},   {QStringLiteral("延迟时间"), T::Number},
    {QStringLiteral("升压时间指标"), T::Number}, {QStringLiteral("升压时间"), T::Number},
    {QStringLiteral("TV值"), T::Number},       {QStringLiteral("TV特性"), T::Text},
    {QStringLiteral("水温度"), T::Number},     {QStringLiteral("采样次数"), T::Number},
    {QStringLiteral("Vmax"), T::Number},       {QStringLiteral("水煮前"), T::YesNo},
    {QStringLiteral("水煮后"), T::YesNo},      {QStringLiteral("头位置"), T::Text},
    {QStringLiteral("尾位置"), T::Text},       {QStringLiteral("测试人"), T::Text},
    {QStringLiteral("测试日期"), T::Date},
};

const std::vector<LocalColumn> kLeakageColumns = {
    {QStringLiteral("测试编号"), T::Text},   {QStringLiteral("漏电流电压"), T::Number},
    {QStringLiteral("测试电流"), T::Number}, {QStringLiteral("漏电流指标"), T::Number},
    {QStringLiteral("测试时间"), T::Number}, {QStringLiteral("漏电流"), T::Number},
    {QStringLiteral("水温度"), T::Number},   {QStringLiteral("漏电流特性"), T::Text},
    {QStringLiteral("采样次数"), T::Number}, {QStringLiteral("水煮前"), T::YesNo},
    {QStringLiteral("水煮后"), T::YesNo},    {QStringLiteral("头位置"), T::Text},
    {QStringLiteral("尾位置"), T::Text},     {QStringLiteral("测试人"), T::Text},
    {QStringLiteral("测试日期"), T::Date},
};

const std::vector<LocalColumn> kElectrolyteColumns = {
    {QStringLiteral("测试编号"), T::Text},    {QStringLiteral("测试电流"), T::Number},
    {QStringLiteral("设定电压"), T::Number},  {QStringLiteral("参考电压"), T::Number},
    {QStringLiteral("闪火延时"), T::Number},  {QStringLiteral("闪火修正"), T::Number},
    {QStringLiteral("最大电压"), T::Number},  {QStringLiteral("最小电压"), T::Number},
    {QStringLiteral("火花电压1"), T::Number}, {QStringLiteral("火花时间1"), T::Number},
    {QStringLiteral("火花电压2"), T::Number}, {QStringLiteral("火花时间2"), T::Number},
    {QStringLiteral("火花电压3"), T::Number}, {QStringLiteral("火花时间3"), T::Number},
    {QStringLiteral("判定结果"), T::Text},    {QStringLiteral("采样次数"), T::Number},
    {QStringLiteral("测试人"), T::Text},      {QStringLiteral("测试日期"), T::Date},
};

const QString kRecordColumn = QStringLiteral("测试编号");
const QString kDuplicate = QStringLiteral("同名记录已经存在，请使用其他的表单编号！");

QString sqlType(LocalColumnType type) {
    switch (type) {
        case T::Number: return QStringLiteral("REAL");
        case T::YesNo: return QStringLiteral("INTEGER");
        case T::Text:
        case T::Date: return QStringLiteral("TEXT");  // dates as "yyyy-MM-dd": they sort and compare as dates
    }
    return QStringLiteral("TEXT");
}

bool isNumeric(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Double: case QMetaType::Float: case QMetaType::Int: case QMetaType::UInt:
        case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Short:
        case QMetaType::UShort: case QMetaType::Bool:
            return true;
        default:
            return false;
    }
}

// The value a parameter column stores. Texts that do not read as the column's kind become NULL
// rather than being stored as text: a number column holding "abc" would compare and sort as
// text in SQLite and break the history queries that compare numbers.
QVariant columnValue(LocalColumnType type, const QVariant& v) {
    if (!v.isValid() || v.isNull()) return {};
    switch (type) {
        case T::Text:
            return v.toString();
        case T::Number: {
            if (isNumeric(v)) return v.toDouble();
            if (auto d = toDouble(v.toString())) return *d;
            return {};
        }
        case T::YesNo: {
            if (isNumeric(v)) return v.toDouble() != 0 ? 1 : 0;
            const QString s = v.toString().trimmed();
            if (auto d = toDouble(s)) return *d != 0 ? 1 : 0;
            if (s.compare(u"true", Qt::CaseInsensitive) == 0) return 1;
            if (s.compare(u"false", Qt::CaseInsensitive) == 0) return 0;
            return {};
        }
        case T::Date: {
            QDate d;
            if (v.typeId() == QMetaType::QDate) d = v.toDate();
            else if (v.typeId() == QMetaType::QDateTime) d = v.toDateTime().date();
            else {
                const QString s = v.toString().trimmed();
                d = QDate::fromString(s, QStringLiteral("yyyy/M/d"));
                if (!d.isValid()) d = QDate::fromString(s, QStringLiteral("yyyy-M-d"));
            }
            if (!d.isValid()) return {};
            return d.toString(Qt::ISODate);
        }
    }
    return {};
}

QString failed(const QString& what, const QSqlQuery& q) {
    return what + QStringLiteral(": ") + errorText(q.lastError());
}

QString createParameterTableSql(TestKind kind) {
    QStringList cols;
    for (const auto& c : parameterColumns(kind)) cols << quoteIdentifier(c.name) + u' ' + sqlType(c.type);
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(quoteIdentifier(parameterTable(kind)), cols.join(QStringLiteral(", ")));
}

QString checkTest(const StoredTest& t) {
    if (t.recordName.isEmpty()) return QStringLiteral("record name is empty");
    if (t.volts.size() != t.amps.size())
        return QStringLiteral("record %1: %2 voltage samples but %3 current samples")
            .arg(t.recordName).arg(t.volts.size()).arg(t.amps.size());
    if (t.volts.size() > std::size_t(std::numeric_limits<std::int16_t>::max()))
        return QStringLiteral("record %1: more samples than vi_order can number").arg(t.recordName);
    if (holdsNonText(t.recordName)) return QStringLiteral("record name holds a NUL or an unpaired surrogate");
    const auto& cols = parameterColumns(t.kind);
    for (auto it = t.values.cbegin(); it != t.values.cend(); ++it) {
        bool known = false;
        for (const auto& c : cols) known = known || c.name == it.key();
        if (!known)
            return QStringLiteral("record %1: %2 has no column %3")
                .arg(t.recordName, parameterTable(t.kind), it.key());
        if (it.value().typeId() == QMetaType::QString && holdsNonText(it.value().toString()))
            return QStringLiteral("record %1: %2 holds a NUL or an unpaired surrogate").arg(t.recordName, it.key());
    }
    return {};
}

// Writes one test inside the open transaction of db; empty on success.
QString writeTest(QSqlDatabase& db, const StoredTest& t) {
    const QString table = quoteIdentifier(t.recordName);
    const QString params = quoteIdentifier(parameterTable(t.kind));

    // SQLite matches table names without regard to ASCII case, as the lookup does.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    q.addBindValue(t.recordName);
    if (!q.exec() || !q.next()) return failed(QStringLiteral("looking up ") + t.recordName, q);
    const bool tableExists = q.value(0).toInt() > 0;
    q.finish();

    if (tableExists) {
        if (!q.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(table)))
            return failed(QStringLiteral("reading ") + t.recordName, q);
        const bool hasRows = q.next();
        q.finish();
        if (hasRows) return kDuplicate + QStringLiteral(" (") + t.recordName + u')';
        if (!q.exec(QStringLiteral("DROP TABLE %1").arg(table)))
            return failed(QStringLiteral("replacing empty ") + t.recordName, q);
    }
    // A parameter row without a stored curve is not a stored test; it makes way for this one.
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(params, quoteIdentifier(kRecordColumn)));
    q.addBindValue(t.recordName);
    if (!q.exec()) return failed(QStringLiteral("clearing ") + t.recordName, q);

    if (!q.exec(QStringLiteral("CREATE TABLE %1 (vi_order SMALLINT, %2 VARCHAR(20), %3 REAL, %4 REAL)")
                    .arg(table, quoteIdentifier(kRecordColumn), quoteIdentifier(QStringLiteral("电压")),
                         quoteIdentifier(QStringLiteral("电流")))))
        return failed(QStringLiteral("creating ") + t.recordName, q);
    if (!q.exec(QStringLiteral("CREATE INDEX %1 ON %2 (vi_order)")
                    .arg(quoteIdentifier(curveIndexName(t.recordName)), table)))
        return failed(QStringLiteral("indexing ") + t.recordName, q);

    QStringList names, marks;
    for (const auto& c : parameterColumns(t.kind)) {
        names << quoteIdentifier(c.name);
        marks << QStringLiteral("?");
    }
    q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(params, names.join(u','), marks.join(u',')));
    for (const auto& c : parameterColumns(t.kind))
        q.addBindValue(c.name == kRecordColumn ? QVariant(t.recordName) : columnValue(c.type, t.values.value(c.name)));
    if (!q.exec()) return failed(QStringLiteral("storing parameters of ") + t.recordName, q);

    q.prepare(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?)").arg(table));
    for (std::size_t k = 0; k < t.volts.size(); ++k) {
        q.bindValue(0, int(k + 1));
        q.bindValue(1, t.recordName);
        q.bindValue(2, shownDecimal(t.volts[k]));  // the decimal shown, not the widened float
        q.bindValue(3, shownDecimal(t.amps[k]));
        if (!q.exec()) return failed(QStringLiteral("storing samples of ") + t.recordName, q);
    }
    return {};
}

}  // namespace

QString testDatabaseFile(TestKind kind) {
    switch (kind) {
        case TestKind::TV: return QStringLiteral("lb53A100.db");
        case TestKind::Leakage: return QStringLiteral("ldl53A100.db");
        case TestKind::Electrolyte: return QStringLiteral("djy53A100.db");
    }
    return {};
}

QString parameterTable(TestKind kind) {
    switch (kind) {
        case TestKind::TV: return QStringLiteral("铝箔TV参数");
        case TestKind::Leakage: return QStringLiteral("漏电流参数");
        case TestKind::Electrolyte: return QStringLiteral("电解液参数");
    }
    return {};
}

const std::vector<LocalColumn>& parameterColumns(TestKind kind) {
    switch (kind) {
        case TestKind::TV: return kTvColumns;
        case TestKind::Leakage: return kLeakageColumns;
        case TestKind::Electrolyte: break;
    }
    return kElectrolyteColumns;
}

QString recordName(const QString& testNumber, const QString& positionCode) {
    return testNumber + positionCode;
}

QString curveIndexName(const QString& recordName) {
    return QStringLiteral("按编号索引_") + recordName;
}

LocalRecords::LocalRecords(QString folder) : folder_(std::move(folder)) {}

QString LocalRecords::folder() const { return folder_; }

QString LocalRecords::filePath(TestKind kind) const {
    return QDir(folder_).filePath(testDatabaseFile(kind));
}

namespace {

// Existence checks keep one read-only connection per database file open. A new SQLite connection
// reads the whole schema (a table and an index for every stored test) before its first statement,
// some 100 ms at 10 000 stored tests; an open one reads it again only when the schema changed,
// whoever changed it. A file that was removed or replaced gets a new connection.
struct Reader {
    QString connection;
    dev_t device = 0;
    ino_t inode = 0;
};

std::map<QString, Reader>& readers() {
    static std::map<QString, Reader> r;
    return r;
}

void dropReader(std::map<QString, Reader>::iterator it) {
    {
        QSqlDatabase db = QSqlDatabase::database(it->second.connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(it->second.connection);
    readers().erase(it);
}

}  // namespace

void LocalRecords::closeReaders() {
    while (!readers().empty()) dropReader(readers().begin());
}

bool LocalRecords::recordExists(TestKind kind, const QString& name) const {
    const QString path = QFileInfo(filePath(kind)).absoluteFilePath();
    auto it = readers().find(path);
    struct stat st {};
    if (name.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (it != readers().end()) dropReader(it);
        return false;
    }
    if (it != readers().end() && (it->second.device != st.st_dev || it->second.inode != st.st_ino)) {
        dropReader(it);
        it = readers().end();
    }
    if (it == readers().end()) {
        static int readersOpened = 0;
        Reader r{QStringLiteral("varnot-reader-%1").arg(++readersOpened), st.st_dev, st.st_ino};
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), r.connection);
        db.setDatabaseName(path);
        // Read-only: opening never creates the file, even if it vanished since the check above.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(r.connection);
            return false;
        }
        it = readers().emplace(path, r).first;
    }
    QSqlQuery q(QSqlDatabase::database(it->second.connection, false));
    q.setForwardOnly(true);
    const bool found = q.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quoteIdentifier(name))) && q.next();
    q.finish();
    return found;
}

QString LocalRecords::save(const StoredTest& test) const {
    return save(std::vector<StoredTest>{test});
}

QString LocalRecords::save(const std::vector<StoredTest>& tests) const {
    if (tests.empty()) return {};
    const TestKind kind = tests.front().kind;
    for (const auto& t : tests) {
        if (t.kind != kind) return QStringLiteral("tests of different kinds in one save");
        if (QString bad = checkTest(t); !bad.isEmpty()) return bad;
    }
    if (!QDir().mkpath(folder_)) return QStringLiteral("cannot create folder ") + folder_;

    ScopedConnection conn(QStringLiteral("QSQLITE"), filePath(kind));
    if (!conn.open()) return QStringLiteral("cannot open ") + filePath(kind) + QStringLiteral(": ") + conn.errorText();
    QSqlDatabase db = conn.db();
    if (!db.transaction()) return QStringLiteral("cannot begin: ") + conn.errorText();

    QString error;
    {
        QSqlQuery q(db);
        if (!q.exec(createParameterTableSql(kind))) error = failed(QStringLiteral("creating ") + parameterTable(kind), q);
    }
    for (std::size_t i = 0; error.isEmpty() && i < tests.size(); ++i) error = writeTest(db, tests[i]);

    if (error.isEmpty() && !db.commit()) error = QStringLiteral("cannot commit: ") + conn.errorText();
    if (!error.isEmpty()) db.rollback();
    return error;
}

}  // namespace varnot
