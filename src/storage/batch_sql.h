// What the batch store's files share: the names as written in statements, the checks that turn
// field texts into bound values, and running a statement with its values bound.
#pragma once

#include "common/text_number.h"
#include "storage/sql_support.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <cmath>

namespace varnot::batch_sql {

inline const QString kOdbc = QStringLiteral("QODBC");

// Table and column names are written plain, never quoted: a server folds them as it folds the
// same names in any other program's statements (PostgreSQL to lower case), so every program
// reading the batch database meets the same tables. Only the sample columns, bare numbers, need
// quotes.
inline QString q(const char* name) { return QString::fromLatin1(name); }

inline QString curveColumn(int i) { return quoteIdentifier(QString::number(i)); }

inline QVariant nullNumber() { return QVariant(QMetaType::fromType<double>()); }

// The characters a text column of the batch tables holds (VARCHAR(64)). A server refuses a longer
// text while a database file would keep it whole: the store refuses it itself, the same on both.
inline constexpr int kTextColumnLength = 64;

// A field text checked and turned into the value bound for its column.
struct Numbers {
    QString badField;
    // Trimmed; refused when longer than its column or holding what is not text (holdsNonText).
    QVariant text(const QString& typed, const char* column) {
        const QString t = typed.trimmed();
        if (t.toUcs4().size() <= kTextColumnLength && !holdsNonText(t)) return t;
        if (badField.isEmpty()) badField = QString::fromLatin1(column);
        return QString();
    }
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

inline QString failure(const QSqlQuery& query) { return errorText(query.lastError()); }

inline bool execBound(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    if (!query.prepare(sql)) return false;
    for (const auto& v : values) query.addBindValue(v);
    return query.exec();
}

// Inside a transaction: on a server, waits until no other transaction writes this serial, and
// holds it until this one ends. Consoles of a plant save into the same batch at once; without it
// two of them replacing the batch row would each find none and insert one. A database file needs
// nothing: its first write already excludes every other writer until the commit.
inline bool lockSerial(QSqlQuery& query, const QString& serial) {
    const QSqlDriver* driver = query.driver();
    if (!driver || driver->dbmsType() != QSqlDriver::PostgreSQL) return true;
    // The first key keeps the console's locks apart from any other program's on the server.
    constexpr int kConsoleLocks = 0x56424154;
    const bool ok = execBound(query, QStringLiteral("SELECT pg_advisory_xact_lock(%1, hashtext(?))").arg(kConsoleLocks),
                              {serial});
    query.finish();
    return ok;
}

// Inside a transaction: on a server, waits until no other console is making the tables, and holds
// that until this transaction ends, so consoles starting on an empty database at once each find or
// make the tables whole. A database file needs nothing, as above.
inline bool lockSchema(QSqlQuery& query) {
    const QSqlDriver* driver = query.driver();
    if (!driver || driver->dbmsType() != QSqlDriver::PostgreSQL) return true;
    constexpr int kConsoleLocks = 0x56424154;
    const bool ok = query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1, hashtext('schema'))").arg(kConsoleLocks));
    query.finish();
    return ok;
}

inline QString panelText(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return {};
    switch (v.typeId()) {
        case QMetaType::Double: case QMetaType::Float: return shortestText(v.toDouble());
        default: return v.toString();
    }
}


}  // namespace varnot::batch_sql
