#include "statistics/statistics_source.h"

#include "common/text_number.h"
#include "storage/batch_sql.h"
#include "storage/sql_support.h"

#include <QSqlQuery>

namespace varnot {

using namespace batch_sql;

namespace {

// A connection with the tables made sure of, as every batch screen operation has; empty error
// when it is ready.
QString openScreen(ScopedConnection& conn) {
    if (!conn.open()) return conn.errorText();
    return BatchStore::ensureSchemaOn(conn.db());
}

std::optional<double> number(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional(d) : std::nullopt;
}

}  // namespace

QStringList statisticsSpecifications(const BatchStore& store, QString* error) {
    QStringList specs;
    ScopedConnection conn(kOdbc, store.connectionText(), BatchStore::connectOptions(store.timeoutSeconds()));
    QString e = openScreen(conn);
    if (e.isEmpty()) {
        QSqlQuery query(conn.db());
        query.setForwardOnly(true);
        if (query.exec(QStringLiteral("SELECT Speci FROM Criterion UNION SELECT Speci FROM Whole_Parameter "
                                      "WHERE Speci IS NOT NULL ORDER BY 1"))) {
            while (query.next()) specs << query.value(0).toString();
        } else {
            e = failure(query);
        }
    }
    if (error) *error = e;
    return e.isEmpty() ? specs : QStringList();
}

SheetRecords readSheetRecords(const BatchStore& store, const QString& spec, QDate from, QDate to) {
    SheetRecords out;
    ScopedConnection conn(kOdbc, store.connectionText(), BatchStore::connectOptions(store.timeoutSeconds()));
    if (out.error = openScreen(conn); !out.error.isEmpty()) return out;
    QSqlQuery query(conn.db());
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    // One row a batch: its sheets side by side (Tr 1..6, TV 1..6) and which of them are stored,
    // as bits; far fewer rows to fetch than one a sheet. Dates are stored as "yyyy/mm/dd" text,
    // whose order is the order of the days.
    QString sheets, present;
    for (const char* column : {"Tr", "Vt"})
        for (int k = 1; k <= 6; ++k)
            sheets += QStringLiteral(", MAX(CASE WHEN p.NumCurve = %1 THEN p.%2 END)")
                          .arg(k)
                          .arg(QString::fromLatin1(column));
    for (int k = 1; k <= 6; ++k) present += QStringLiteral(" WHEN %1 THEN %2").arg(k).arg(1 << (k - 1));
    const QString sql = QStringLiteral(
                            "SELECT w.SerNum, w.ProDate, w.VF, SUM(CASE p.NumCurve%1 ELSE 0 END)%2 "
                            "FROM Whole_Parameter w JOIN Part_Parameter p ON UPPER(p.SerNum) = UPPER(w.SerNum) "
                            "WHERE w.Speci = ? AND w.ProDate >= ? AND w.ProDate <= ? "
                            "GROUP BY w.SerNum, w.ProDate, w.VF ORDER BY w.ProDate, w.SerNum")
                            .arg(present, sheets);
    if (!execBound(query, sql,
                   {spec.trimmed(), formatDate(from, u"yyyy/mm/dd"), formatDate(to, u"yyyy/mm/dd")})) {
        out.error = failure(query);
        return out;
    }
    out.sheets.reserve(1024);
    while (query.next()) {
        const QString serial = query.value(0).toString();
        const QString date = query.value(1).toString();
        const std::optional<double> vf = number(query.value(2));
        const int stored = query.value(3).toInt();
        for (int k = 1; k <= 6; ++k) {
            if (!(stored & (1 << (k - 1)))) continue;
            out.sheets.push_back(
                {serial, date, vf, k, number(query.value(3 + k)), number(query.value(9 + k))});
        }
    }
    if (query.lastError().isValid()) {
        out.error = failure(query);
        out.sheets.clear();
    }
    return out;
}

}  // namespace varnot
