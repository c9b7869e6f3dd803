// The local test databases: one SQLite file per test kind, each with a parameter table (one row
// per stored test) and one curve table per stored test, named by the test's record name.
//
// A record name is the test number directly followed by the channel's position code ("A7" on an
// "HL" channel gives "A7HL"). It is the value of `测试编号` in the parameter table and the name of
// the curve table, whose row k is sample k of the test.
#pragma once

#include "common/channel.h"

#include <QMap>
#include <QString>
#include <QVariant>

#include <vector>

namespace varnot {

enum class LocalColumnType { Text, Number, YesNo, Date };

struct LocalColumn {
    QString name;
    LocalColumnType type;
};

// "lb53A100.db", "ldl53A100.db", "djy53A100.db".
QString testDatabaseFile(TestKind kind);
// "铝箔TV参数", "漏电流参数", "电解液参数".
QString parameterTable(TestKind kind);
// The columns of the kind's parameter table, in the order the history grid shows them.
const std::vector<LocalColumn>& parameterColumns(TestKind kind);

// The record name of a channel's test: test number followed by position code.
QString recordName(const QString& testNumber, const QString& positionCode);

// The curve table's columns, in order, and the name of its index on `vi_order` ("按编号索引"
// followed by "_" and the record name: SQLite keeps index names per file, not per table, so each
// curve table's index carries its record name to stay distinct).
inline constexpr int kCurveTableColumns = 4;  // vi_order, 测试编号, 电压, 电流
QString curveIndexName(const QString& recordName);

struct StoredTest {
    TestKind kind = TestKind::TV;
    QString recordName;
    // Parameter column -> value. Number columns take numbers or number texts, Date columns a
    // QDate (or a "yyyy/mm/dd" or "yyyy-MM-dd" text), YesNo columns a bool. A column left out,
    // a null value, or a text that is not a number/date is stored as NULL.
    QMap<QString, QVariant> values;
    // Samples 1..N: row k of the curve table holds volts[k-1], amps[k-1].
    std::vector<float> volts, amps;
};

class LocalRecords {
public:
    explicit LocalRecords(QString folder);
    QString folder() const;
    QString filePath(TestKind kind) const;

    // True only when the kind's file exists and holds a curve table of that name with at least
    // one row. A missing file, a missing table or an empty table answer false. Never creates a
    // file. The read-only connection of each file stays open for the next check (a new one reads
    // the whole schema first); closeReaders() closes them all.
    bool recordExists(TestKind kind, const QString& recordName) const;
    static void closeReaders();

    // Writes the parameter row and the curve table in one transaction, creating the folder, the
    // file and the parameter table when missing. Refuses, writing nothing, when the record
    // already exists with rows; an existing empty curve table (and a parameter row left with it)
    // is replaced. Returns an empty string on success, else a readable error.
    QString save(const StoredTest& test) const;
    // Several tests of one kind in one transaction: all are written or none (an import, or a
    // prepared database for trials). Tests of different kinds are refused.
    QString save(const std::vector<StoredTest>& tests) const;

private:
    QString folder_;
};

}  // namespace varnot
