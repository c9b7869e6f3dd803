// The history query: which kinds, condition columns and operators the operator chooses from, the
// statement text shown for a query (`Qstr`), and the statement actually run, whose values are
// always bound and whose column comes only from the fixed lists.
#pragma once

#include "common/channel.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace varnot {

// "TV测试", "漏电流测试", "电解液测试", in the order of the kind list.
const QStringList& historyKindNames();
std::optional<TestKind> historyKindOf(const QString& name);
// The six condition columns of a kind: three number columns, two text columns, the date column.
const QStringList& conditionColumns(TestKind kind);
// ">", "<", "介于", "=".
const QStringList& historyOperators();
inline const QString kBetween = QStringLiteral("介于");
// The grid's header texts: the kind's parameter columns in grid order.
QStringList gridColumns(TestKind kind);

// What the operator asked for: a kind, a column by its name, an operator and the typed values.
struct HistoryQuery {
    TestKind kind = TestKind::TV;
    QString column;
    QString op;
    QString value1, value2;
};

// The statement text the query stands for, with the values as typed; shown to the operator, never
// run.
QString qstr(const HistoryQuery& q);

// The condition actually run: `where` holds the column (quoted) and placeholders, `values` the
// values to bind. Empty when the query cannot match anything: a column the kind's table does not
// have, or a value its column cannot hold (a number column given a text that is not a number, a
// date column given a text that is not a yyyy-mm-dd or yyyy/mm/dd date).
struct QueryCondition {
    QString where;
    QVariantList values;
};
std::optional<QueryCondition> queryCondition(const HistoryQuery& q);

// A date as typed ("2009-09-01", "2009/9/1"), as the text the databases store; empty when it is
// not a date.
QString storedDateText(const QString& typed);

}  // namespace varnot
