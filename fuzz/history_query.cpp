// The history query with arbitrary columns, operators and values, run against a small real
// database of every kind.
//
// Input: the kind, the column (one of the kind's condition columns, one of its other columns, or
// any text), the operator (one of the list or any text) and the two values. Properties:
//  - the condition run is the quoted column and placeholders only, the values are bound, and a
//    value is never part of the statement;
//  - the query finds exactly the stored records the condition stands for (a text compared without
//    regard to ASCII case, numbers as numbers, dates as dates, NULL never), or does not run when
//    the column cannot hold the value;
//  - a query changes nothing in the database.
#include "common/text_number.h"
#include "fuzz_support.h"
#include "history/query.h"
#include "history/record_grid.h"
#include "storage/local_records.h"
#include "storage/sql_support.h"

#include <QCoreApplication>
#include <QDate>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <array>

using namespace varnot;
using varnot::fuzz::Input;

namespace {

// One stored record: the values of the kind's six condition columns (an invalid value is NULL).
struct Row {
    QVariant number1, number2, number3;
    QString name, tester;
    QDate date;
};

const std::array<Row, 6> kRows = {{
    {100, 2, 5, QStringLiteral("A7HL"), QStringLiteral("A01"), QDate(2009, 1, 1)},
    {150.5, 0.25, 50, QStringLiteral("b2tm"), QStringLiteral("a01"), QDate(2009, 6, 30)},
    {-3, 1e6, 0, QStringLiteral("O'Neil"), QStringLiteral("\"x\" or 1=1"), QDate(2010, 1, 1)},
    {0, 2, 1000, QStringLiteral("Z9HL"), QStringLiteral("张三"), QDate(2008, 12, 31)},
    {QVariant(), QVariant(), QVariant(), QStringLiteral("测试1"), QString(), QDate()},
    {1e-3, -0.0, 99.5, QStringLiteral("a7hlx"), QStringLiteral("A01 "), QDate(2009, 1, 2)},
}};

QString columnName(TestKind kind, int item) { return conditionColumns(kind)[item]; }

bool hasColumn(TestKind kind, const QString& name) {
    const auto& columns = parameterColumns(kind);
    return std::any_of(columns.begin(), columns.end(), [&](const LocalColumn& c) { return c.name == name; });
}

std::vector<StoredTest> storedTests(TestKind kind) {
    std::vector<StoredTest> tests;
    for (const Row& r : kRows) {
        StoredTest t;
        t.kind = kind;
        t.recordName = r.name;
        const QVariant numbers[3] = {r.number1, r.number2, r.number3};
        for (int item = 0; item < 3; ++item)
            if (hasColumn(kind, columnName(kind, item))) t.values[columnName(kind, item)] = numbers[item];
        t.values[columnName(kind, 4)] = r.tester.isNull() ? QVariant() : QVariant(r.tester);
        t.values[columnName(kind, 5)] = r.date.isValid() ? QVariant(r.date) : QVariant();
        t.volts = {1.5f, 2.5f};
        t.amps = {0.1f, 0.2f};
        tests.push_back(t);
    }
    return tests;
}

struct Fixture {
    Fixture() {
        static int argc = 1;
        static char name[] = "history_query";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) app = new QCoreApplication(argc, argv);
        FUZZ_CHECK(dir.isValid(), QStringLiteral("no temporary folder"));
        LocalRecords records(dir.path());
        for (TestKind kind : {TestKind::TV, TestKind::Leakage, TestKind::Electrolyte}) {
            const QString error = records.save(storedTests(kind));
            FUZZ_CHECK(error.isEmpty(), error);
        }
        LocalRecords::closeReaders();
    }
    QCoreApplication* app = nullptr;
    QTemporaryDir dir;
};

bool asciiCaseEqual(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        QChar x = a[i], y = b[i];
        if (x.unicode() < 128) x = x.toLower();
        if (y.unicode() < 128) y = y.toLower();
        if (x != y) return false;
    }
    return true;
}

// The records the query stands for; nullopt when it cannot run.
std::optional<qint64> expectedCount(const HistoryQuery& q) {
    const int item = int(conditionColumns(q.kind).indexOf(q.column));
    if (item < 0) return std::nullopt;
    if (!hasColumn(q.kind, q.column)) return std::nullopt;
    qint64 n = 0;
    if (item == 3 || item == 4) {
        for (const Row& r : kRows) {
            const QString& stored = item == 3 ? r.name : r.tester;
            if (!stored.isNull() && asciiCaseEqual(stored, q.value1)) ++n;
        }
        return n;
    }
    const bool between = q.op == kBetween;
    if (!between && q.op != u">" && q.op != u"<" && q.op != u"=") return std::nullopt;
    const auto matches = [&](const auto& stored, const auto& v1, const auto& v2) {
        if (between) return v1 <= stored && stored <= v2;
        if (q.op == u">") return stored > v1;
        if (q.op == u"<") return stored < v1;
        return stored == v1;
    };
    if (item == 5) {
        const QString d1 = storedDateText(q.value1), d2 = storedDateText(q.value2);
        if (d1.isEmpty() || (between && d2.isEmpty())) return std::nullopt;
        for (const Row& r : kRows)
            if (r.date.isValid() && matches(r.date.toString(Qt::ISODate), d1, d2)) ++n;
        return n;
    }
    const auto v1 = toDouble(q.value1), v2 = toDouble(q.value2);
    if (!v1 || (between && !v2)) return std::nullopt;
    for (const Row& r : kRows) {
        const QVariant stored = item == 0 ? r.number1 : item == 1 ? r.number2 : r.number3;
        if (stored.isValid() && matches(stored.toDouble(), *v1, v2.value_or(0))) ++n;
    }
    return n;
}

// What a query could change: rows written on the connection, the schema, the rows of the table.
QString databaseState(QSqlDatabase db, TestKind kind) {
    QSqlQuery q(db);
    QString state;
    for (const QString& sql :
         {QStringLiteral("SELECT total_changes()"), QStringLiteral("PRAGMA schema_version"),
          QStringLiteral("SELECT COUNT(*) FROM sqlite_master"),
          QStringLiteral("SELECT COUNT(*), TOTAL(rowid) FROM %1").arg(quoteIdentifier(parameterTable(kind)))}) {
        FUZZ_CHECK(q.exec(sql) && q.next(), sql);
        state += q.value(0).toString() + u' ' + q.value(1).toString() + u';';
    }
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    static HistoryDatabase database(fixture.dir.path());
    static RecordGridModel model(database);

    Input in(data, size);
    HistoryQuery q;
    q.kind = static_cast<TestKind>(in.byte() % 3);
    const std::uint8_t column = in.byte();
    if (column < 6)
        q.column = columnName(q.kind, column);
    else if (column < 8)
        q.column = parameterColumns(q.kind)[column % parameterColumns(q.kind).size()].name;
    else
        q.column = in.text();
    const std::uint8_t op = in.byte();
    q.op = op < 4 ? historyOperators()[op] : in.text();
    q.value1 = in.text();
    q.value2 = in.text();
    const QString what = QStringLiteral("%1 | %2 | %3 | \"%4\" | \"%5\"")
                             .arg(int(q.kind))
                             .arg(q.column, q.op, q.value1, q.value2);

    (void)qstr(q);
    const auto condition = queryCondition(q);
    if (condition) {
        const QString col = quoteIdentifier(q.column);
        const bool known = condition->where == col + QStringLiteral(" = ? COLLATE NOCASE") ||
                           condition->where == col + QStringLiteral(" BETWEEN ? AND ?") ||
                           condition->where == col + QStringLiteral(" > ?") ||
                           condition->where == col + QStringLiteral(" < ?") ||
                           condition->where == col + QStringLiteral(" = ?");
        FUZZ_CHECK(known, what + QStringLiteral(" -> ") + condition->where);
        FUZZ_CHECK(condition->values.size() == condition->where.count(u'?'), what);
    }

    QSqlDatabase db = database.open(q.kind);
    FUZZ_CHECK(db.isValid(), what);
    const QString before = databaseState(db, q.kind);
    const auto found = model.run(q);
    FUZZ_CHECK(found == expectedCount(q),
               what + QStringLiteral(": found %1, expected %2")
                          .arg(found ? QString::number(*found) : QStringLiteral("-"))
                          .arg(expectedCount(q) ? QString::number(*expectedCount(q)) : QStringLiteral("-")));
    // The column names, the records and, after any record, one empty row.
    if (found && *found < RecordGridModel::kPage)
        FUZZ_CHECK(model.rowCount() == 1 + *found + (*found > 0 ? 1 : 0), what);
    db = database.open(q.kind);
    FUZZ_CHECK(databaseState(db, q.kind) == before, what);
    return 0;
}
