#include "storage/sql_support.h"

#include <atomic>

namespace varnot {

QString quoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

bool holdsNonText(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isNull()) return true;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate()) return true;
    }
    return false;
}

namespace {
QString uniqueConnectionName() {
    static std::atomic<unsigned long long> counter{0};
    return QStringLiteral("varnot-storage-%1").arg(++counter);
}
}  // namespace

ScopedConnection::ScopedConnection(const QString& driver, const QString& databaseName,
                                   const QString& connectOptions)
    : name_(uniqueConnectionName()) {
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, name_);
    db.setDatabaseName(databaseName);
    if (!connectOptions.isEmpty()) db.setConnectOptions(connectOptions);
}

ScopedConnection::~ScopedConnection() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

bool ScopedConnection::open() { return db().open(); }

QSqlDatabase ScopedConnection::db() const { return QSqlDatabase::database(name_, false); }

QString ScopedConnection::errorText() const { return varnot::errorText(db().lastError()); }

QString errorText(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) text = error.text().trimmed();
    if (text.isEmpty()) text = error.driverText().trimmed();
    return text;
}

}  // namespace varnot
