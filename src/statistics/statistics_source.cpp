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
    // Dates are stored as "yyyy/mm/dd" text, whose order is the order of the days.
    const QString sql = QStringLiteral(
        "SELECT w.SerNum, w.ProDate, w.VF, p.NumCurve, p.Tr, p.Vt "
        "FROM Whole_Parameter w JOIN Part_Parameter p ON p.SerNum = w.SerNum "
        "WHERE w.Speci = ? AND w.ProDate >= ? AND w.ProDate <= ? "
        "ORDER BY w.ProDate, w.SerNum, p.NumCurve");
    if (!execBound(query, sql, {spec.trimmed(), formatDate(from, u"yyyy/mm/dd"), formatDate(to, u"yyyy/mm/dd")})) {
        out.error = failure(query);
        return out;
    }
    while (query.next()) {
        SheetRecord s;
        s.serial = query.value(0).toString();
        s.date = query.value(1).toString();
        s.vf = number(query.value(2));
        s.number = query.value(3).toInt();
        s.tr = number(query.value(4));
        s.vt = number(query.value(5));
        out.sheets.push_back(std::move(s));
    }
    if (query.lastError().isValid()) {
        out.error = failure(query);
        out.sheets.clear();
    }
    return out;
}

}  // namespace varnot
