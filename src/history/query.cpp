#include "history/query.h"

#include "common/text_number.h"
#include "storage/sql_support.h"
#include "storage/local_records.h"

#include <QDate>

namespace varnot {

namespace {

const QString kDateColumn = QStringLiteral("测试日期");

// Items 4 and 5 of each list are text columns, item 6 the date column.
constexpr int kFirstTextItem = 3, kDateItem = 5;

int itemOf(TestKind kind, const QString& column) {
    return int(conditionColumns(kind).indexOf(column));
}

bool isTextItem(TestKind kind, const QString& column) {
    const int i = itemOf(kind, column);
    return i >= kFirstTextItem && i < kDateItem;
}

bool isDateItem(TestKind kind, const QString& column) {
    return itemOf(kind, column) == kDateItem || column == kDateColumn;
}

std::optional<LocalColumnType> columnType(TestKind kind, const QString& column) {
    for (const LocalColumn& c : parameterColumns(kind))
        if (c.name == column) return c.type;
    return std::nullopt;
}

// The comparison operators as they reach the statement; "介于" is handled apart.
bool isComparison(const QString& op) {
    return op == u">" || op == u"<" || op == u"=";
}

}  // namespace

const QStringList& historyKindNames() {
    static const QStringList names = {QStringLiteral("TV测试"), QStringLiteral("漏电流测试"),
                                      QStringLiteral("电解液测试")};
    return names;
}

std::optional<TestKind> historyKindOf(const QString& name) {
    const qsizetype i = historyKindNames().indexOf(name);
    if (i < 0) return std::nullopt;
    return static_cast<TestKind>(i);
}

const QStringList& conditionColumns(TestKind kind) {
    static const QStringList tv = {QStringLiteral("化成电压"), QStringLiteral("测试电流"),
                                   QStringLiteral("升压时间"), QStringLiteral("测试编号"),
                                   QStringLiteral("测试人"),   kDateColumn};
    static const QStringList leakage = {QStringLiteral("漏电流电压"), QStringLiteral("漏电流"),
                                        QStringLiteral("测试时间"),   QStringLiteral("测试编号"),
                                        QStringLiteral("测试人"),     kDateColumn};
    // 火花电压 names no column of the electrolyte table (it has 火花电压1..3): a query on it finds
    // nothing, as it always has.
    static const QStringList electrolyte = {QStringLiteral("测试电流"), QStringLiteral("设定电压"),
                                            QStringLiteral("火花电压"), QStringLiteral("测试编号"),
                                            QStringLiteral("测试人"),   kDateColumn};
    switch (kind) {
        case TestKind::TV:
            return tv;
        case TestKind::Leakage:
            return leakage;
        case TestKind::Electrolyte:
            break;
    }
    return electrolyte;
}

const QStringList& historyOperators() {
    static const QStringList ops = {QStringLiteral(">"), QStringLiteral("<"), kBetween, QStringLiteral("=")};
    return ops;
}

QStringList gridColumns(TestKind kind) {
    QStringList names;
    for (const LocalColumn& c : parameterColumns(kind)) names << c.name;
    return names;
}

QString qstr(const HistoryQuery& q) {
    const QString head =
        QStringLiteral("select * from ") + parameterTable(q.kind) + QStringLiteral(" where ");
    if (isTextItem(q.kind, q.column)) return head + q.column + QStringLiteral("='") + q.value1 + u'\'';
    if (isDateItem(q.kind, q.column)) {
        if (q.op == kBetween)
            return head + QStringLiteral("测试日期 between #") + q.value1 + QStringLiteral("# AND #") +
                   q.value2 + u'#';
        return head + kDateColumn + q.op + u'#' + q.value1 + u'#';
    }
    if (q.op == kBetween)
        return head + q.column + QStringLiteral(" between ") + q.value1 + QStringLiteral(" AND ") + q.value2;
    return head + q.column + q.op + q.value1;
}

QString storedDateText(const QString& typed) {
    const QString s = typed.trimmed();
    QDate d = QDate::fromString(s, QStringLiteral("yyyy-M-d"));
    if (!d.isValid()) d = QDate::fromString(s, QStringLiteral("yyyy/M/d"));
    return d.isValid() ? d.toString(Qt::ISODate) : QString();
}

std::optional<QueryCondition> queryCondition(const HistoryQuery& q) {
    const auto type = columnType(q.kind, q.column);
    if (!type || !conditionColumns(q.kind).contains(q.column)) return std::nullopt;
    const QString column = quoteIdentifier(q.column);

    // A text column is compared for equality whatever the operator, and without regard to case
    // ("a7hl" finds A7HL), as record names are looked up.
    if (isTextItem(q.kind, q.column)) {
        if (*type != LocalColumnType::Text) return std::nullopt;
        return QueryCondition{column + QStringLiteral(" = ? COLLATE NOCASE"), {q.value1}};
    }
    if (q.op != kBetween && !isComparison(q.op)) return std::nullopt;

    // Dates are stored as yyyy-mm-dd texts, which order as the dates do.
    const auto value = [&](const QString& typed) -> QVariant {
        if (*type == LocalColumnType::Date) {
            const QString d = storedDateText(typed);
            return d.isEmpty() ? QVariant() : QVariant(d);
        }
        if (*type != LocalColumnType::Number) return {};
        const auto n = toDouble(typed);
        return n ? QVariant(*n) : QVariant();
    };
    const QVariant v1 = value(q.value1);
    if (!v1.isValid()) return std::nullopt;
    if (q.op == kBetween) {
        const QVariant v2 = value(q.value2);
        if (!v2.isValid()) return std::nullopt;
        return QueryCondition{column + QStringLiteral(" BETWEEN ? AND ?"), {v1, v2}};
    }
    return QueryCondition{column + u' ' + q.op + QStringLiteral(" ?"), {v1}};
}

}  // namespace varnot
