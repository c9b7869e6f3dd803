// A local test database file opened for checking, closed with the object.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace varnot::testing {

class LocalDb {
public:
    explicit LocalDb(const QString& file) : name_(QStringLiteral("check-%1").arg(++count_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(file);
        db.open();
    }
    ~LocalDb() {
        { QSqlDatabase::database(name_).close(); }
        QSqlDatabase::removeDatabase(name_);
    }
    // The first value of the first row; invalid when there is none or the statement fails.
    QVariant value(const QString& sql, const QVariantList& bind = {}) {
        QSqlQuery q(QSqlDatabase::database(name_));
        q.prepare(sql);
        for (const QVariant& v : bind) q.addBindValue(v);
        if (!q.exec() || !q.next()) return {};
        return q.value(0);
    }

private:
    QString name_;
    static inline int count_ = 0;
};

}  // namespace varnot::testing
