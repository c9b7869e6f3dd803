// Stored tests for the history tests: written by the storage layer's own saving into a temporary
// folder, so the history window reads files laid out exactly as a save leaves them.
#pragma once

#include "storage/local_records.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace varnot::testing {

// A TV test: formation voltage, its other parameters, rise time, tester and date; three samples in
// its curve.
inline StoredTest tvTest(const QString& name, double volts, double rise = 10, const QString& tester = "A01",
                         QDate date = QDate(2009, 6, 1)) {
    StoredTest t;
    t.kind = TestKind::TV;
    t.recordName = name;
    t.values = {{QStringLiteral("化成电压"), volts},  {QStringLiteral("测试电流"), 2},
                {QStringLiteral("延迟时间"), 20},     {QStringLiteral("升压时间指标"), 150},
                {QStringLiteral("升压时间"), rise},
                {QStringLiteral("TV值"), volts - 40}, {QStringLiteral("TV特性"), QStringLiteral("合格")},
                {QStringLiteral("水煮前"), true},     {QStringLiteral("测试人"), tester},
                {QStringLiteral("测试日期"), date}};
    t.volts = {1.5f, 2.5f, 3.5f};
    t.amps = {0.1f, 0.1f, 0.1f};
    return t;
}

// Named tests T1..Tn with formation voltages 100, 200, ... in saving order.
inline std::vector<StoredTest> numberedTests(int n, int from = 1) {
    std::vector<StoredTest> out;
    for (int i = from; i < from + n; ++i) out.push_back(tvTest(QStringLiteral("T%1HL").arg(i), 100.0 * i));
    return out;
}

// A look into a database file from outside the window.
class FileCheck {
  public:
    explicit FileCheck(const QString& file) : name_(QStringLiteral("history-check-%1").arg(++count_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(file);
        db.open();
    }
    ~FileCheck() {
        { QSqlDatabase::database(name_).close(); }
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name_); }
    // The record names of a parameter table, in stored order.
    QStringList names(const QString& table) const {
        QSqlQuery q(db());
        q.exec(QStringLiteral("SELECT \"测试编号\" FROM \"%1\" ORDER BY rowid").arg(table));
        QStringList out;
        while (q.next()) out << q.value(0).toString();
        return out;
    }
    // Every column of a record's parameter row.
    QVariantList row(const QString& table, const QString& name) const {
        QSqlQuery q(db());
        q.prepare(QStringLiteral("SELECT * FROM \"%1\" WHERE \"测试编号\" = ?").arg(table));
        q.addBindValue(name);
        QVariantList out;
        if (q.exec() && q.next())
            for (int c = 0; c < q.record().count(); ++c) out << q.value(c);
        return out;
    }
    bool tableExists(const QString& name) const {
        QSqlQuery q(db());
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?"));
        q.addBindValue(name);
        return q.exec() && q.next() && q.value(0).toInt() == 1;
    }
    int tables() const {
        QSqlQuery q(db());
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'")) && q.next()
                   ? q.value(0).toInt()
                   : -1;
    }
    bool exec(const QString& sql) const {
        QSqlQuery q(db());
        return q.exec(sql);
    }

  private:
    QString name_;
    static inline int count_ = 0;
};

}  // namespace varnot::testing
