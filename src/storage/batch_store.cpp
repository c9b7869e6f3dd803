#include "storage/batch_store.h"

#include "common/text_number.h"
#include "storage/sql_support.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <cmath>

namespace varnot {

namespace {

const QString kOdbc = QStringLiteral("QODBC");

QString q(const char* name) { return quoteIdentifier(QString::fromLatin1(name)); }

QString curveColumn(int i) { return quoteIdentifier(QString::number(i)); }

struct TableDef {
    const char* name;
    QString columns;
};

std::vector<TableDef> tableDefs() {
    const QString text = QStringLiteral(" VARCHAR(64)");
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
             q("Tr") + number + u',' + q("Vm") + number + u',' + q("Vt") + number +
             QStringLiteral(", PRIMARY KEY (") + q("SerNum") + u',' + q("NumCurve") + u')'},
        {"Curve", curve},
        {"Criterion", q("Speci") + text + QStringLiteral(" NOT NULL PRIMARY KEY")},
    };
}

QVariant nullNumber() { return QVariant(QMetaType::fromType<double>()); }

// A field text checked and turned into the value bound for its column.
struct Numbers {
    QString badField;
    // Required: must be a number. Optional: empty -> NULL, otherwise must be a number.
    QVariant take(const QString& text, const char* column, bool required) {
        const QString t = text.trimmed();
        if (t.isEmpty() && !required) return nullNumber();
        if (auto d = toDouble(t)) return *d;
        if (badField.isEmpty()) badField = QString::fromLatin1(column);
        return nullNumber();
    }
    QVariant takeWhole(const QString& text, const char* column) {
        QVariant v = take(text, column, true);
        if (!badField.isEmpty()) return v;
        const double d = v.toDouble();
        if (d != std::floor(d) || std::fabs(d) > 2147483647.0) {
            badField = QString::fromLatin1(column);
            return nullNumber();
        }
        return int(d);
    }
};

QString failure(const QSqlQuery& query) { return errorText(query.lastError()); }

bool execBound(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    if (!query.prepare(sql)) return false;
    for (const auto& v : values) query.addBindValue(v);
    return query.exec();
}

QString panelText(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return {};
    switch (v.typeId()) {
        case QMetaType::Double: case QMetaType::Float: return shortestText(v.toDouble());
        default: return v.toString();
    }
}

}  // namespace

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
    ScopedConnection conn(kOdbc, connectionText_);
    if (!conn.open()) return conn.errorText();
    QSqlDatabase db = conn.db();

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
    if (missing.empty()) return {};

    if (!db.transaction()) return conn.errorText();
    QString error;
    {
        QSqlQuery query(db);
        for (const auto& t : missing) {
            if (!query.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(q(t.name), t.columns))) {
                error = QString::fromLatin1(t.name) + QStringLiteral(": ") + failure(query);
                break;
            }
            if (QByteArrayView(t.name) != "Criterion") continue;
            for (const auto& spec : seedSpecifications()) {
                if (!execBound(query, QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(q("Criterion"), q("Speci")), {spec})) {
                    error = QStringLiteral("Criterion: ") + failure(query);
                    break;
                }
            }
            if (!error.isEmpty()) break;
        }
    }
    if (error.isEmpty() && !db.commit()) error = conn.errorText();
    if (!error.isEmpty()) db.rollback();
    return error;
}

StoreResult BatchStore::storeSheet(const BatchFields& batch, int sheetNumber, const SheetFields& sheet,
                                   const std::vector<float>& curve, QDate today) {
    if (curve.size() > std::size_t(kCurveColumns))
        return {StoreResult::CurveTooLong, QStringLiteral("%1 values, at most %2").arg(curve.size()).arg(kCurveColumns)};
    const QString serial = batch.serial.trimmed();
    if (serial.isEmpty()) return {StoreResult::InvalidValue, QStringLiteral("SerNum")};
    if (sheetNumber < 1 || sheetNumber > 6) return {StoreResult::InvalidValue, QStringLiteral("NumCurve")};

    const bool withBatch = sheetNumber == 1 || sheetNumber == 4;
    Numbers n;
    QVariantList batchValues;
    if (withBatch) {
        batchValues = {serial,
                       batch.spec.trimmed(),
                       n.take(batch.vf, "VF", true),
                       n.take(batch.length, "Length", false),
                       n.take(batch.area, "Area", false),
                       n.take(batch.weight, "Weight", false),
                       batch.iq.trimmed(),
                       batch.line.trimmed(),
                       n.takeWhole(batch.joints, "NodeNum"),
                       formatDate(today, u"yyyy/mm/dd"),
                       1000,
                       QStringLiteral("OQC")};
    }
    const QVariantList sheetValues = {serial,
                                      sheetNumber,
                                      n.take(sheet.capacitance, "SpecVot", false),
                                      n.take(sheet.bending, "Bend", false),
                                      n.take(sheet.tensile, "Pull", false),
                                      n.take(sheet.tr, "Tr", true),
                                      n.take(sheet.vm, "Vm", true),
                                      n.take(sheet.vt, "Vt", true)};
    if (!n.badField.isEmpty()) return {StoreResult::InvalidValue, n.badField};

    QString curveColumns = q("SerNum") + u',' + q("NumCurve");
    QString curveMarks = QStringLiteral("?,?");
    QVariantList curveValues = {serial, sheetNumber};
    for (std::size_t i = 0; i < curve.size(); ++i) {
        curveColumns += u',' + curveColumn(int(i));
        curveMarks += QStringLiteral(",?");
        curveValues << double(curve[i]);
    }

    ScopedConnection conn(kOdbc, connectionText_);
    if (!conn.open()) return {StoreResult::DatabaseError, conn.errorText()};
    QSqlDatabase db = conn.db();
    if (!db.transaction()) return {StoreResult::DatabaseError, conn.errorText()};

    QString error;
    {
        QSqlQuery query(db);
        const QString whereSheet = QStringLiteral(" WHERE %1 = ? AND %2 = ?").arg(q("SerNum"), q("NumCurve"));
        auto step = [&](const QString& sql, const QVariantList& values) {
            if (error.isEmpty() && !execBound(query, sql, values)) error = failure(query);
        };
        if (withBatch) {
            step(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(q("Whole_Parameter"), q("SerNum")), {serial});
            step(QStringLiteral("INSERT INTO %1 (%2,%3,%4,%5,%6,%7,%8,%9,%10,%11,%12,%13) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)")
                     .arg(q("Whole_Parameter"), q("SerNum"), q("Speci"), q("VF"), q("Length"), q("Area"), q("Weight"),
                          q("IQNum"), q("PLNum"))
                     .arg(q("NodeNum"), q("ProDate"), q("Pace"), q("Conner")),
                 batchValues);
        }
        step(QStringLiteral("DELETE FROM %1").arg(q("Part_Parameter")) + whereSheet, {serial, sheetNumber});
        step(QStringLiteral("INSERT INTO %1 (%2,%3,%4,%5,%6,%7,%8,%9) VALUES (?,?,?,?,?,?,?,?)")
                 .arg(q("Part_Parameter"), q("SerNum"), q("NumCurve"), q("SpecVot"), q("Bend"), q("Pull"), q("Tr"),
                      q("Vm"), q("Vt")),
             sheetValues);
        step(QStringLiteral("DELETE FROM %1").arg(q("Curve")) + whereSheet, {serial, sheetNumber});
        step(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(q("Curve"), curveColumns, curveMarks), curveValues);
    }
    if (error.isEmpty() && !db.commit()) error = conn.errorText();
    if (!error.isEmpty()) {
        db.rollback();
        return {StoreResult::DatabaseError, error};
    }
    return {};
}

BatchStore::RunResult BatchStore::run(const QString& statement, const QVariantList& values) {
    static const QStringList kExecuted = {QStringLiteral("INSERT"), QStringLiteral("DELETE"),
                                          QStringLiteral("UPDATE"), QStringLiteral("EXECUTE")};
    const QString text = statement.trimmed();
    const QString first = text.section(QRegularExpression(QStringLiteral("\\s")), 0, 0);
    const QString errorPrefix = QStringLiteral("查询错误:");

    RunResult result;
    ScopedConnection conn(kOdbc, connectionText_);
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

std::optional<BatchFields> BatchStore::findBatch(const QString& serial) {
    ScopedConnection conn(kOdbc, connectionText_);
    if (!conn.open()) return std::nullopt;
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1,%2,%3,%4,%5,%6,%7,%8,%9 FROM %10 WHERE %1 = ?")
                            .arg(q("SerNum"), q("Speci"), q("VF"), q("Length"), q("Area"), q("Weight"), q("IQNum"),
                                 q("PLNum"), q("NodeNum"))
                            .arg(q("Whole_Parameter"));
    if (!execBound(query, sql, {serial.trimmed()}) || !query.next()) return std::nullopt;
    BatchFields b;
    QString* fields[] = {&b.serial, &b.spec, &b.vf, &b.length, &b.area, &b.weight, &b.iq, &b.line, &b.joints};
    for (int i = 0; i < 9; ++i) *fields[i] = panelText(query.value(i));
    return b;
}

QStringList BatchStore::serialsLike(const QString& text) {
    QString pattern = text.trimmed();
    pattern.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("\\%")).replace(u'_', QStringLiteral("\\_"));
    QStringList serials;
    ScopedConnection conn(kOdbc, connectionText_);
    if (!conn.open()) return serials;
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!execBound(query,
                   QStringLiteral("SELECT %1 FROM %2 WHERE %1 LIKE ? ESCAPE '\\'").arg(q("SerNum"), q("Whole_Parameter")),
                   {u'%' + pattern + u'%'}))
        return serials;
    while (query.next()) serials << query.value(0).toString();
    return serials;
}

QStringList BatchStore::specifications() {
    QStringList specs;
    ScopedConnection conn(kOdbc, connectionText_);
    if (!conn.open()) return specs;
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2").arg(q("Speci"), q("Criterion")))) return specs;
    while (query.next()) specs << query.value(0).toString();
    return specs;
}

QString BatchStore::addSpecification(const QString& spec) {
    const QString s = spec.trimmed();
    if (s.isEmpty()) return QStringLiteral("empty specification");
    ScopedConnection conn(kOdbc, connectionText_);
    if (!conn.open()) return conn.errorText();
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    if (!execBound(query, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(q("Criterion"), q("Speci")), {s}) ||
        !query.next())
        return failure(query);
    const bool known = query.value(0).toInt() > 0;
    query.finish();
    if (known) return {};
    if (!execBound(query, QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(q("Criterion"), q("Speci")), {s}))
        return failure(query);
    return {};
}

QString BatchStore::deleteBatch(const QString& serial) {
    const QString s = serial.trimmed();
    ScopedConnection conn(kOdbc, connectionText_);
    if (!conn.open()) return conn.errorText();
    QSqlDatabase db = conn.db();
    if (!db.transaction()) return conn.errorText();
    QString error;
    {
        QSqlQuery query(db);
        for (const char* table : {"Whole_Parameter", "Part_Parameter", "Curve"}) {
            if (!execBound(query, QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(q(table), q("SerNum")), {s})) {
                error = failure(query);
                break;
            }
        }
    }
    if (error.isEmpty() && !db.commit()) error = conn.errorText();
    if (!error.isEmpty()) db.rollback();
    return error;
}

}  // namespace varnot
