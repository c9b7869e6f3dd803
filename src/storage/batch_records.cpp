// The batch store's operations for the batch screen: finding, opening, saving and deleting a batch,
// the serial search and the list of foil grades. Each opens a connection of its own, makes sure
// of the tables and reports a failure with the database's reason; values are always bound.
#include "storage/batch_store.h"

#include "storage/batch_sql.h"
#include "storage/sql_support.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace varnot {

using namespace batch_sql;

namespace {

// A connection for one screen operation, its tables made sure of.
class ScreenConnection {
public:
    explicit ScreenConnection(const BatchStore& store)
        : conn_(kOdbc, store.connectionText(), BatchStore::connectOptions(store.timeoutSeconds())) {
        if (!conn_.open()) {
            error_ = conn_.errorText();
            return;
        }
        error_ = BatchStore::ensureSchemaOn(conn_.db());
    }
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    QSqlDatabase db() const { return conn_.db(); }

private:
    ScopedConnection conn_;
    QString error_;
};

void setError(QString* out, const QString& error) {
    if (out) *out = error;
}

std::optional<double> number(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional(d) : std::nullopt;
}

// Serials compare without regard to the case of their letters (see batchSerial).
const QString kWhereSerial = QStringLiteral(" WHERE UPPER(SerNum) = UPPER(?)");

// Runs `work` on the connection inside one transaction: committed when it returns no error,
// rolled back otherwise.
template <typename Work>
QString inTransaction(QSqlDatabase db, Work&& work) {
    if (!db.transaction()) return errorText(db.lastError());
    QString error = work();
    if (error.isEmpty() && !db.commit()) error = errorText(db.lastError());
    if (!error.isEmpty()) db.rollback();
    return error;
}

}  // namespace

std::optional<BatchFields> BatchStore::findBatch(const QString& serial, QString* error) {
    ScreenConnection conn(*this);
    if (!conn.ok()) {
        setError(error, conn.error());
        return std::nullopt;
    }
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT SerNum,Speci,VF,Length,Area,Weight,IQNum,PLNum,NodeNum FROM Whole_Parameter") +
                        kWhereSerial;
    if (!execBound(query, sql, {batchSerial(serial)})) {
        setError(error, failure(query));
        return std::nullopt;
    }
    if (!query.next()) return std::nullopt;
    BatchFields b;
    QString* fields[] = {&b.serial, &b.spec, &b.vf, &b.length, &b.area, &b.weight, &b.iq, &b.line, &b.joints};
    for (int i = 0; i < 9; ++i) *fields[i] = panelText(query.value(i));
    return b;
}

BatchContents BatchStore::loadBatch(const QString& serial) {
    BatchContents out;
    const QString s = batchSerial(serial);
    out.batch = findBatch(s, &out.error);
    if (!out.batch) return out;
    ScreenConnection conn(*this);
    if (!conn.ok()) {
        out.error = conn.error();
        return out;
    }
    {
        QSqlQuery query(conn.db());
        query.setForwardOnly(true);
        if (!execBound(query, QStringLiteral("SELECT * FROM Part_Parameter") + kWhereSerial, {s})) {
            out.error = failure(query);
            return out;
        }
        // By name: a table another program made may lack TrLimit, or order its columns otherwise.
        const QSqlRecord columns = query.record();
        const auto at = [&](const char* name) { return columns.indexOf(QString::fromLatin1(name)); };
        const int numCurve = at("NumCurve");
        const std::pair<std::optional<double> StoredSheet::*, const char*> kColumns[] = {
            {&StoredSheet::capacitance, "SpecVot"}, {&StoredSheet::bending, "Bend"}, {&StoredSheet::tensile, "Pull"},
            {&StoredSheet::tr, "Tr"},               {&StoredSheet::vm, "Vm"},        {&StoredSheet::vt, "Vt"},
            {&StoredSheet::trLimit, "TrLimit"}};
        std::vector<std::pair<std::optional<double> StoredSheet::*, int>> read;
        for (const auto& [member, name] : kColumns) {
            int i = at(name);
            if (i < 0) i = columns.indexOf(QString::fromLatin1(name).toLower());
            if (i >= 0) read.emplace_back(member, i);
        }
        while (query.next()) {
            StoredSheet sheet;
            sheet.number = query.value(numCurve >= 0 ? numCurve : columns.indexOf(QStringLiteral("numcurve"))).toInt();
            for (const auto& [member, i] : read) sheet.*member = number(query.value(i));
            out.sheets.push_back(sheet);
        }
    }
    // The curves: whatever columns a row has, read by position up to its first NULL.
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!execBound(query, QStringLiteral("SELECT * FROM Curve") + kWhereSerial, {s})) {
        out.curveError = failure(query);
        return out;
    }
    while (query.next()) {
        StoredCurve curve;
        curve.number = query.value(1).toInt();
        const int columns = query.record().count();
        for (int c = 2; c < columns; ++c) {
            const std::optional<double> v = number(query.value(c));
            if (!v) break;
            curve.values.push_back(*v);
        }
        out.curves.push_back(std::move(curve));
    }
    if (query.lastError().isValid()) out.curveError = failure(query);
    return out;
}

StoreResult BatchStore::saveBatch(const BatchFields& batch, QDate today) {
    const QString serial = batchSerial(batch.serial);
    if (serial.isEmpty()) return {StoreResult::InvalidValue, QStringLiteral("SerNum")};
    Numbers n;
    n.text(serial, "SerNum");
    const QVariant spec = n.text(batch.spec, "Speci"), iq = n.text(batch.iq, "IQNum"), line = n.text(batch.line, "PLNum");
    const QVariant vf = n.take(batch.vf, "VF", true), length = n.take(batch.length, "Length", false),
                   area = n.take(batch.area, "Area", false), weight = n.take(batch.weight, "Weight", false),
                   joints = n.takeWhole(batch.joints, "NodeNum");
    if (!n.badField.isEmpty()) return {StoreResult::InvalidValue, n.badField};

    ScreenConnection conn(*this);
    if (!conn.ok()) return {StoreResult::DatabaseError, conn.error()};
    const QString error = inTransaction(conn.db(), [&]() -> QString {
        QSqlQuery query(conn.db());
        query.setForwardOnly(true);
        if (!lockSerial(query, serial)) return failure(query);
        if (!execBound(query, QStringLiteral("SELECT COUNT(*) FROM Whole_Parameter") + kWhereSerial, {serial}) || !query.next())
            return failure(query);
        const bool stored = query.value(0).toInt() > 0;
        query.finish();
        const bool done =
            stored ? execBound(query,
                               QStringLiteral("UPDATE Whole_Parameter SET Speci=?,VF=?,Length=?,Area=?,Weight=?,IQNum=?,PLNum=?,NodeNum=?") +
                                   kWhereSerial,
                               {spec, vf, length, area, weight, iq, line, joints, serial})
                   : execBound(query,
                               QStringLiteral("INSERT INTO Whole_Parameter (SerNum,Speci,VF,Length,Area,Weight,IQNum,PLNum,"
                                              "NodeNum,ProDate,Pace,Conner) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)"),
                               {serial, spec, vf, length, area, weight, iq, line, joints, formatDate(today, u"yyyy/mm/dd"), 1000, QStringLiteral("OQC")});
        return done ? QString() : failure(query);
    });
    if (!error.isEmpty()) return {StoreResult::DatabaseError, error};
    return {};
}

StoreResult BatchStore::saveSheetValues(const QString& serial, const std::vector<SheetValues>& sheets,
                                        std::vector<int>* notStored) {
    const QString s = batchSerial(serial);
    if (s.isEmpty()) return {StoreResult::InvalidValue, QStringLiteral("SerNum")};
    // Checked whole before anything is written. An empty cell is no value: NULL, never 0.
    std::vector<QVariantList> rows;
    for (const SheetValues& v : sheets) {
        if (v.number < 1 || v.number > 6) return {StoreResult::InvalidValue, QStringLiteral("NumCurve")};
        Numbers n;
        rows.push_back({n.take(v.capacitance, "SpecVot", false), n.take(v.bending, "Bend", false),
                        n.take(v.tensile, "Pull", false), s, v.number});
        if (!n.badField.isEmpty()) return {StoreResult::InvalidValue, n.badField};
    }
    if (rows.empty()) return {};
    ScreenConnection conn(*this);
    if (!conn.ok()) return {StoreResult::DatabaseError, conn.error()};
    std::vector<int> missing;
    const QString error = inTransaction(conn.db(), [&]() -> QString {
        QSqlQuery query(conn.db());
        for (const QVariantList& values : rows) {
            // Whether the sheet is stored is asked, not read from the update's row count, which
            // not every driver reports.
            if (!execBound(query, QStringLiteral("SELECT COUNT(*) FROM Part_Parameter") + kWhereSerial +
                                      QStringLiteral(" AND NumCurve = ?"),
                           {s, values[4]}) ||
                !query.next())
                return failure(query);
            const bool stored = query.value(0).toInt() > 0;
            query.finish();
            if (!stored) {
                missing.push_back(values[4].toInt());
                continue;
            }
            if (!execBound(query, QStringLiteral("UPDATE Part_Parameter SET SpecVot=?,Bend=?,Pull=?") + kWhereSerial +
                                      QStringLiteral(" AND NumCurve = ?"),
                           values))
                return failure(query);
        }
        return QString();
    });
    if (!error.isEmpty()) return {StoreResult::DatabaseError, error};
    if (notStored) *notStored = missing;
    return {};
}

QStringList BatchStore::serialsLike(const QString& text, QString* error) {
    QString pattern = text.trimmed();
    pattern.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("\\%")).replace(u'_', QStringLiteral("\\_"));
    QStringList serials;
    ScreenConnection conn(*this);
    if (!conn.ok()) {
        setError(error, conn.error());
        return serials;
    }
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!execBound(query, QStringLiteral("SELECT SerNum FROM Whole_Parameter WHERE UPPER(SerNum) LIKE UPPER(?) ESCAPE '\\'"),
                   {u'%' + pattern + u'%'})) {
        setError(error, failure(query));
        return serials;
    }
    while (query.next()) serials << query.value(0).toString();
    return serials;
}

QStringList BatchStore::specifications(QString* error) {
    QStringList specs;
    ScreenConnection conn(*this);
    if (!conn.ok()) {
        setError(error, conn.error());
        return specs;
    }
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT Speci FROM Criterion"))) {
        setError(error, failure(query));
        return specs;
    }
    while (query.next()) specs << query.value(0).toString();
    return specs;
}

std::optional<bool> BatchStore::specificationListed(const QString& spec, QString* error) {
    ScreenConnection conn(*this);
    if (!conn.ok()) {
        setError(error, conn.error());
        return std::nullopt;
    }
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!execBound(query, QStringLiteral("SELECT COUNT(*) FROM Criterion WHERE Speci = ?"), {spec.trimmed()}) || !query.next()) {
        setError(error, failure(query));
        return std::nullopt;
    }
    return query.value(0).toInt() > 0;
}

QString BatchStore::addSpecification(const QString& spec) {
    const QString s = spec.trimmed();
    if (s.isEmpty()) return QStringLiteral("empty specification");
    if (Numbers n; n.text(s, "Speci").toString() != s) return QStringLiteral("数值无效：Speci");
    ScreenConnection conn(*this);
    if (!conn.ok()) return conn.error();
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!execBound(query, QStringLiteral("SELECT COUNT(*) FROM Criterion WHERE Speci = ?"), {s}) || !query.next())
        return failure(query);
    const bool known = query.value(0).toInt() > 0;
    query.finish();
    if (known) return {};
    if (!execBound(query, QStringLiteral("INSERT INTO Criterion (Speci) VALUES (?)"), {s})) return failure(query);
    return {};
}

QString BatchStore::deleteBatch(const QString& serial) {
    const QString s = batchSerial(serial);
    ScreenConnection conn(*this);
    if (!conn.ok()) return conn.error();
    return inTransaction(conn.db(), [&]() -> QString {
        QSqlQuery query(conn.db());
        if (!lockSerial(query, s)) return failure(query);
        for (const char* table : {"Whole_Parameter", "Part_Parameter", "Curve"})
            if (!execBound(query, QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(table)) + kWhereSerial, {s}))
                return failure(query);
        return QString();
    });
}

}  // namespace varnot
