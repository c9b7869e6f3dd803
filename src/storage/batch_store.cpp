#include "storage/batch_store.h"

#include "common/text_number.h"
#include "storage/batch_sql.h"
#include "storage/sql_support.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>
#include <unistd.h>

namespace varnot {

using namespace batch_sql;

namespace {

struct TableDef {
    const char* name;
    QString columns;
};

std::vector<TableDef> tableDefs() {
    const QString text = QStringLiteral(" VARCHAR(%1)").arg(kTextColumnLength);
    const QString number = QStringLiteral(" DOUBLE PRECISION");
    QString curve = q("SerNum") + text + QStringLiteral(" NOT NULL, ") + q("NumCurve") + QStringLiteral(" INTEGER NOT NULL");
    for (int i = 0; i < kCurveColumns; ++i) curve += QStringLiteral(", ") + curveColumn(i) + QStringLiteral(" REAL");
    curve += QStringLiteral(", PRIMARY KEY (") + q("SerNum") + u',' + q("NumCurve") + u')';
    return {
        {"Whole_Parameter",
         q("SerNum") + text + QStringLiteral(" NOT NULL PRIMARY KEY, ") + q("Speci") + text + u',' +
             q("VF") + number + u',' + q("Length") + number + u',' + q("Area") + number + u',' +
             q("Weight") + number + u',' + q("IQNum") + text + u',' + q("PLNum") + text + u',' +
             q("NodeNum") + QStringLiteral(" INTEGER,") + q("ProDate") + QStringLiteral(" VARCHAR(10),") +
             q("Pace") + QStringLiteral(" INTEGER,") + q("Conner") + QStringLiteral(" VARCHAR(8)")},
        {"Part_Parameter",
         q("SerNum") + text + QStringLiteral(" NOT NULL, ") + q("NumCurve") + QStringLiteral(" INTEGER NOT NULL, ") +
             q("SpecVot") + number + u',' + q("Bend") + number + u',' + q("Pull") + number + u',' +
             q("Tr") + number + u',' + q("Vm") + number + u',' + q("Vt") + number + u',' + q("TrLimit") + number +
             QStringLiteral(", PRIMARY KEY (") + q("SerNum") + u',' + q("NumCurve") + u')'},
        {"Curve", curve},
        {"Criterion", q("Speci") + text + QStringLiteral(" NOT NULL PRIMARY KEY")},
    };
}

}  // namespace

QString upperCasedLetters(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - u'a' + u'A');
    return out;
}

QString batchSerial(const QString& text) { return upperCasedLetters(text.trimmed()); }

BatchStore::BatchStore(QString connectionText) : connectionText_(std::move(connectionText)) {
    // The ODBC driver puts "DSN=" in front of a data source name itself.
    if (connectionText_.startsWith(QStringLiteral("DSN="), Qt::CaseInsensitive)) connectionText_.remove(0, 4);
}

const QStringList& BatchStore::seedSpecifications() {
    static const QStringList specs = {QStringLiteral("KDB-520VF"), QStringLiteral("KDB-460VF"),
                                      QStringLiteral("KDA-380VF"), QStringLiteral("KDC-600VF"),
                                      QStringLiteral("KDH-650VF")};
    return specs;
}

QString BatchStore::ensureSchema() {
    ScopedConnection conn(kOdbc, connectionText_, connectOptions(timeoutSeconds_));
    if (!conn.open()) return conn.errorText();
    return ensureSchemaOn(conn.db());
}

QString BatchStore::ensureSchemaOn(QSqlDatabase db) {

    std::vector<TableDef> missing;
    {
        // Probed outside any transaction: on PostgreSQL a failed statement spoils the
        // transaction it runs in.
        QSqlQuery probe(db);
        probe.setForwardOnly(true);
        for (auto& t : tableDefs()) {
            if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE 1 = 0").arg(q(t.name)))) missing.push_back(t);
            probe.finish();
        }
    }
    // Sheets keep the rise-time limit they were tested with: a sheet table made before (or by
    // another program) gets the column, empty for the sheets it holds. Nothing is removed or
    // renamed; when the column cannot be added, sheets are stored without it.
    const bool sheetsMissing = std::any_of(missing.begin(), missing.end(),
                                           [](const TableDef& t) { return QByteArrayView(t.name) == "Part_Parameter"; });
    if (!sheetsMissing) {
        QSqlQuery probe(db);
        probe.setForwardOnly(true);
        if (!probe.exec(QStringLiteral("SELECT %1 FROM %2 WHERE 1 = 0").arg(q("TrLimit"), q("Part_Parameter")))) {
            probe.finish();
            probe.exec(QStringLiteral("ALTER TABLE %1 ADD %2 DOUBLE PRECISION").arg(q("Part_Parameter"), q("TrLimit")));
        }
    }
    if (missing.empty()) return {};

    if (!db.transaction()) return errorText(db.lastError());
    QString error;
    {
        QSqlQuery query(db);
        // Another console may be making them at this moment: it is waited for, and a table it made
        // meanwhile is left as it made it.
        if (!lockSchema(query)) error = QStringLiteral("schema: ") + failure(query);
        for (const auto& t : missing) {
            if (!error.isEmpty()) break;
            if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)").arg(q(t.name), t.columns))) {
                error = QString::fromLatin1(t.name) + QStringLiteral(": ") + failure(query);
                break;
            }
            if (QByteArrayView(t.name) != "Criterion") continue;
            // Seeded once, by the console that made it.
            if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(q("Criterion"))) || !query.next()) {
                error = QStringLiteral("Criterion: ") + failure(query);
                break;
            }
            const bool seeded = query.value(0).toInt() > 0;
            query.finish();
            if (seeded) continue;
            for (const auto& spec : seedSpecifications()) {
                if (!execBound(query, QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(q("Criterion"), q("Speci")), {spec})) {
                    error = QStringLiteral("Criterion: ") + failure(query);
                    break;
                }
            }
            if (!error.isEmpty()) break;
        }
    }
    if (error.isEmpty() && !db.commit()) error = errorText(db.lastError());
    if (!error.isEmpty()) db.rollback();
    return error;
}

namespace {

// A sheet checked and turned into the values of its statements; nothing is written yet.
struct PreparedSheet {
    StoreResult refused;  // not ok: the sheet is refused before anything is written
    bool withBatch = false;
    // A sheet that does not carry the batch row makes one from these when its batch has none yet
    // (its first sheet declined, say); `batchRefused` names a batch value unfit for it.
    QString batchRefused;
    QString serial;
    int sheetNumber = 0;
    QVariantList batchValues, sheetValues, curveValues;
    QString curveColumns, curveMarks;
};

PreparedSheet prepareSheet(const BatchFields& batch, int sheetNumber, const SheetFields& sheet,
                           const std::vector<float>& curve, QDate today) {
    PreparedSheet p;
    if (curve.size() > std::size_t(kCurveColumns)) {
        p.refused = {StoreResult::CurveTooLong, QStringLiteral("%1 values, at most %2").arg(curve.size()).arg(kCurveColumns)};
        return p;
    }
    p.serial = batchSerial(batch.serial);
    p.sheetNumber = sheetNumber;
    if (p.serial.isEmpty()) {
        p.refused = {StoreResult::InvalidValue, QStringLiteral("SerNum")};
        return p;
    }
    if (sheetNumber < 1 || sheetNumber > 6) {
        p.refused = {StoreResult::InvalidValue, QStringLiteral("NumCurve")};
        return p;
    }
    p.withBatch = sheetNumber == 1 || sheetNumber == 4;
    Numbers n, forBatch;
    n.text(p.serial, "SerNum");
    {
        Numbers& b = p.withBatch ? n : forBatch;
        p.batchValues = {p.serial,
                         b.text(batch.spec, "Speci"),
                         b.take(batch.vf, "VF", true),
                         b.take(batch.length, "Length", false),
                         b.take(batch.area, "Area", false),
                         b.take(batch.weight, "Weight", false),
                         b.text(batch.iq, "IQNum"),
                         b.text(batch.line, "PLNum"),
                         b.takeWhole(batch.joints, "NodeNum"),
                         formatDate(today, u"yyyy/mm/dd"),
                         1000,
                         QStringLiteral("OQC")};
    }
    p.batchRefused = forBatch.badField;
    p.sheetValues = {p.serial,
                     sheetNumber,
                     n.take(sheet.capacitance, "SpecVot", false),
                     n.take(sheet.bending, "Bend", false),
                     n.take(sheet.tensile, "Pull", false),
                     n.take(sheet.tr, "Tr", sheet.finished),
                     n.take(sheet.vm, "Vm", sheet.finished),
                     n.take(sheet.vt, "Vt", sheet.finished),
                     n.take(sheet.trLimit, "TrLimit", false)};
    if (!n.badField.isEmpty()) {
        p.refused = {StoreResult::InvalidValue, n.badField};
        return p;
    }
    p.curveColumns = q("SerNum") + u',' + q("NumCurve");
    p.curveMarks = QStringLiteral("?,?");
    p.curveValues = {p.serial, sheetNumber};
    for (std::size_t i = 0; i < curve.size(); ++i) {
        p.curveColumns += u',' + curveColumn(int(i));
        p.curveMarks += QStringLiteral(",?");
        p.curveValues << shownDecimal(curve[i]);  // the decimal shown, not the widened float
    }
    return p;
}

// Writes a prepared sheet in one transaction on an open connection.
StoreResult writeSheet(QSqlDatabase db, const PreparedSheet& p) {
    // Probed before the transaction: on PostgreSQL a failed statement spoils the one it runs in.
    bool withLimit = false;
    {
        QSqlQuery probe(db);
        probe.setForwardOnly(true);
        withLimit = probe.exec(QStringLiteral("SELECT %1 FROM %2 WHERE 1 = 0").arg(q("TrLimit"), q("Part_Parameter")));
    }
    if (!db.transaction()) return {StoreResult::DatabaseError, errorText(db.lastError())};
    QString error;
    {
        QSqlQuery query(db);
        // A serial stored before with lower-case letters is the same batch: its rows are replaced.
        const QString whereSheet = QStringLiteral(" WHERE UPPER(%1) = UPPER(?) AND %2 = ?").arg(q("SerNum"), q("NumCurve"));
        auto step = [&](const QString& sql, const QVariantList& values) {
            if (error.isEmpty() && !execBound(query, sql, values)) error = failure(query);
        };
        if (!lockSerial(query, p.serial)) error = failure(query);
        if (p.withBatch) {
            step(QStringLiteral("DELETE FROM %1 WHERE UPPER(%2) = UPPER(?)").arg(q("Whole_Parameter"), q("SerNum")), {p.serial});
            step(QStringLiteral("INSERT INTO %1 (%2,%3,%4,%5,%6,%7,%8,%9,%10,%11,%12,%13) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)")
                     .arg(q("Whole_Parameter"), q("SerNum"), q("Speci"), q("VF"), q("Length"), q("Area"), q("Weight"),
                          q("IQNum"), q("PLNum"))
                     .arg(q("NodeNum"), q("ProDate"), q("Pace"), q("Conner")),
                 p.batchValues);
        }
        step(QStringLiteral("DELETE FROM %1").arg(q("Part_Parameter")) + whereSheet, {p.serial, p.sheetNumber});
        // (After a write: a database file's transaction that reads first and writes later would
        // give way to any other writer at once.)
        if (!p.withBatch && error.isEmpty()) {
            // The batch row is made when the batch has none yet, so 打开 finds this sheet.
            if (!execBound(query, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE UPPER(%2) = UPPER(?)").arg(q("Whole_Parameter"), q("SerNum")),
                           {p.serial}) || !query.next()) {
                error = failure(query);
            } else if (query.value(0).toInt() == 0) {
                query.finish();
                if (!p.batchRefused.isEmpty()) {
                    db.rollback();
                    return {StoreResult::InvalidValue, p.batchRefused};
                }
                step(QStringLiteral("INSERT INTO %1 (%2,%3,%4,%5,%6,%7,%8,%9,%10,%11,%12,%13) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)")
                         .arg(q("Whole_Parameter"), q("SerNum"), q("Speci"), q("VF"), q("Length"), q("Area"), q("Weight"),
                              q("IQNum"), q("PLNum"))
                         .arg(q("NodeNum"), q("ProDate"), q("Pace"), q("Conner")),
                     p.batchValues);
            }
            query.finish();
        }
        if (withLimit) {
            step(QStringLiteral("INSERT INTO %1 (%2,%3,%4,%5,%6,%7,%8,%9,%10) VALUES (?,?,?,?,?,?,?,?,?)")
                     .arg(q("Part_Parameter"), q("SerNum"), q("NumCurve"), q("SpecVot"), q("Bend"), q("Pull"), q("Tr"),
                          q("Vm"), q("Vt"))
                     .arg(q("TrLimit")),
                 p.sheetValues);
        } else {
            step(QStringLiteral("INSERT INTO %1 (%2,%3,%4,%5,%6,%7,%8,%9) VALUES (?,?,?,?,?,?,?,?)")
                     .arg(q("Part_Parameter"), q("SerNum"), q("NumCurve"), q("SpecVot"), q("Bend"), q("Pull"), q("Tr"),
                          q("Vm"), q("Vt")),
                 p.sheetValues.mid(0, 8));
        }
        step(QStringLiteral("DELETE FROM %1").arg(q("Curve")) + whereSheet, {p.serial, p.sheetNumber});
        step(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(q("Curve"), p.curveColumns, p.curveMarks), p.curveValues);
        // Stored only as 打开 finds it: under its batch row, with its values and its curve. A sheet
        // whose batch row is not there (a database that came back empty between two sheets) is
        // not written at all.
        const std::pair<const char*, QString> found[] = {
            {"Whole_Parameter", QStringLiteral(" WHERE UPPER(%1) = UPPER(?)").arg(q("SerNum"))},
            {"Part_Parameter", whereSheet},
            {"Curve", whereSheet},
        };
        for (const auto& [table, where] : found) {
            if (!error.isEmpty()) break;
            QVariantList values{p.serial};
            if (QByteArrayView(table) != "Whole_Parameter") values << p.sheetNumber;
            if (!execBound(query, QStringLiteral("SELECT COUNT(*) FROM %1").arg(q(table)) + where, values) || !query.next()) {
                error = failure(query);
            } else if (query.value(0).toInt() != 1) {
                error = QStringLiteral("第%1片无法读回：%2中没有批次 %3 的记录")
                            .arg(p.sheetNumber)
                            .arg(QString::fromLatin1(table), p.serial);
            }
            query.finish();
        }
    }
    if (error.isEmpty() && !db.commit()) error = errorText(db.lastError());
    if (!error.isEmpty()) {
        db.rollback();
        return {StoreResult::DatabaseError, error};
    }
    return {};
}

}  // namespace

StoreResult BatchStore::storeSheet(const BatchFields& batch, int sheetNumber, const SheetFields& sheet,
                                   const std::vector<float>& curve, QDate today) {
    const PreparedSheet p = prepareSheet(batch, sheetNumber, sheet, curve, today);
    if (!p.refused.ok()) return p.refused;
    ScopedConnection conn(kOdbc, connectionText_, connectOptions(timeoutSeconds_));
    if (!conn.open()) return {StoreResult::DatabaseError, conn.errorText()};
    return writeSheet(conn.db(), p);
}

QString BatchStore::connectOptions(int timeoutSeconds) {
    if (timeoutSeconds <= 0) return {};
    return QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1").arg(timeoutSeconds);
}

// ---- BatchSession ----

BatchSession::BatchSession(const BatchStore& store) : store_(store) {}

BatchSession::~BatchSession() { close(); }

void BatchSession::close() { conn_.reset(); file_.reset(); }

std::optional<BatchSession::FileId> BatchSession::fileIdOf(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

BatchSession::FileId BatchSession::openHere(const QString& path) {
    // The descriptors of this process that name the file.
    const QByteArray wanted = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray link = QFile::encodeName(fds.filePath(fd));
        char target[4096];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        if (n <= 0 || QByteArray(target, int(n)) != wanted) continue;
        struct stat st {};
        if (::stat(link.constData(), &st) == 0) return FileId{st.st_dev, st.st_ino};
    }
    return FileId{0, 0};
}

QString BatchSession::open() {
    close();
    conn_ = std::make_unique<ScopedConnection>(kOdbc, store_.connectionText(), BatchStore::connectOptions(store_.timeoutSeconds()));
    if (!conn_->open()) {
        const QString e = conn_->errorText();
        close();
        return e;
    }
    QSqlDatabase db = conn_->db();
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        // A server bounds every statement; a database file has no such setting and refuses it,
        // which does no harm outside a transaction.
        if (store_.timeoutSeconds() > 0)
            query.exec(QStringLiteral("SET statement_timeout = %1").arg(store_.timeoutSeconds() * 1000));
        query.finish();
        // A database in a file names it: the file this connection has open is remembered, so
        // a file removed or replaced under it is noticed.
        filePath_.clear();
        if (query.exec(QStringLiteral("PRAGMA database_list"))) {
            while (query.next())
                if (query.value(1).toString() == u"main") filePath_ = query.value(2).toString();
        }
        query.finish();
    }
    if (!filePath_.isEmpty()) {
        file_ = fileIdOf(filePath_);
        if (!file_) {
            close();
            return QStringLiteral("数据库文件不存在：") + filePath_;
        }
    }
    // The tables are made sure of at every session: a database that came back empty (a new
    // file, a restored server) gets them again.
    if (QString e = BatchStore::ensureSchemaOn(db); !e.isEmpty()) {
        close();
        return e;
    }
    return {};
}

bool BatchSession::stillCurrent() const {
    if (!conn_) return false;
    if (filePath_.isEmpty()) return true;
    const auto now = fileIdOf(filePath_);
    return now && file_ && now->dev == file_->dev && now->ino == file_->ino;
}

StoreResult BatchSession::storeSheet(const BatchFields& batch, int sheetNumber, const SheetFields& sheet,
                                     const std::vector<float>& curve, QDate today) {
    const PreparedSheet p = prepareSheet(batch, sheetNumber, sheet, curve, today);
    if (!p.refused.ok()) return p.refused;
    // A database file removed or replaced under the session stops the save: a new connection
    // beside this one could read the old file's journal into the new file. The next save opens the
    // file the source names then, once this connection is closed.
    const auto moved = [this] {
        const QString path = filePath_;
        // The journal files at the path are the old file's while this process holds them open;
        // the old file's connection leaves them behind when it closes, and the next connection
        // would read them into whatever file now has that name. They are put aside instead.
        const std::vector<FileId> held = {openHere(path + QStringLiteral("-wal")), openHere(path + QStringLiteral("-shm"))};
        close();
        const QString aside = QStringLiteral(".stale-%1").arg(QDateTime::currentMSecsSinceEpoch());
        for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            const QString journal = path + suffix;
            const auto now = fileIdOf(journal);
            for (const FileId& h : held)
                if (now && h.ino != 0 && now->dev == h.dev && now->ino == h.ino) QFile::rename(journal, journal + aside);
        }
        return StoreResult{StoreResult::DatabaseError, QStringLiteral("数据库文件在保存时被移走或替换：") + path};
    };
    if (!stillCurrent()) return moved();
    const StoreResult r = writeSheet(conn_->db(), p);
    if (!stillCurrent()) return moved();
    return r;
}

BatchStore::RunResult BatchStore::run(const QString& statement, const QVariantList& values) {
    static const QStringList kExecuted = {QStringLiteral("INSERT"), QStringLiteral("DELETE"),
                                          QStringLiteral("UPDATE"), QStringLiteral("EXECUTE")};
    const QString text = statement.trimmed();
    const QString first = text.section(QRegularExpression(QStringLiteral("\\s")), 0, 0);
    const QString errorPrefix = QStringLiteral("查询错误:");

    RunResult result;
    ScopedConnection conn(kOdbc, connectionText_, connectOptions(timeoutSeconds_));
    if (!conn.open()) {
        result.status = errorPrefix + conn.errorText();
        return result;
    }
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!execBound(query, text, values)) {
        result.status = errorPrefix + failure(query);
        return result;
    }
    if (kExecuted.contains(first.toUpper())) {
        result.status = first + QStringLiteral("query successful");
        return result;
    }
    while (query.next()) result.rows.push_back(query.record());
    if (query.lastError().isValid()) {
        result.rows.clear();
        result.status = errorPrefix + failure(query);
        return result;
    }
    result.status = QStringLiteral("查询到%1条记录").arg(result.rows.size());
    return result;
}

}  // namespace varnot
