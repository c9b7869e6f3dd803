#include "history/record_edit.h"

#include "common/text_number.h"
#include "history/query.h"
#include "settings/field_catalogue.h"
#include "state/console_state.h"
#include "storage/sql_support.h"
#include "storage/local_records.h"

#include <QSqlQuery>

namespace varnot {

const QStringList& modifiableColumns(TestKind kind) {
    static const QStringList tv = {"化成电压", "测试电流", "延迟时间", "升压时间指标", "升压时间",
                                   "TV值",     "水温度",   "TV特性",   "水煮前",       "水煮后",
                                   "头位置",   "尾位置",   "测试人",   "测试日期"};
    static const QStringList leakage = {"漏电流电压", "测试电流",   "漏电流指标", "测试时间", "漏电流",
                                        "水温度",     "漏电流特性", "水煮前",     "水煮后",   "头位置",
                                        "尾位置",     "测试人",     "测试日期"};
    static const QStringList electrolyte = {
        "测试电流",  "设定电压",  "参考电压",  "闪火延时",  "闪火修正",  "最大电压", "最小电压", "火花电压1",
        "火花时间1", "火花电压2", "火花时间2", "火花电压3", "火花时间3", "判定结果", "测试人",   "测试日期"};
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

std::optional<QVariant> modifiedValue(TestKind kind, const QString& column, const QString& text) {
    if (!modifiableColumns(kind).contains(column)) return std::nullopt;
    for (const LocalColumn& c : parameterColumns(kind)) {
        if (c.name != column) continue;
        switch (c.type) {
            case LocalColumnType::Text:
                return QVariant(text);
            case LocalColumnType::Number: {
                const auto d = toDouble(text);
                if (!d) return std::nullopt;
                return QVariant(*d);
            }
            case LocalColumnType::Date: {
                const QString d = storedDateText(text);
                if (d.isEmpty()) return std::nullopt;
                return QVariant(d);
            }
            case LocalColumnType::YesNo: {
                const QString t = text.trimmed();
                for (const char* yes : {"True", "Yes", "是", "1"})
                    if (t.compare(QString::fromUtf8(yes), Qt::CaseInsensitive) == 0) return QVariant(1);
                for (const char* no : {"False", "No", "否", "0"})
                    if (t.compare(QString::fromUtf8(no), Qt::CaseInsensitive) == 0) return QVariant(0);
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

namespace {

struct RangedColumn {
    TestKind kind;
    const char* column;
    Field field;  // the console entry whose range the column keeps
};
const RangedColumn kRangedColumns[] = {
    {TestKind::TV, "化成电压", Field::FormationVoltage},
    {TestKind::TV, "测试电流", Field::TestCurrent},
    {TestKind::TV, "延迟时间", Field::DelayTime},
    {TestKind::TV, "升压时间指标", Field::RiseTimeLimit},
    {TestKind::Leakage, "漏电流电压", Field::LeakageVoltage},
    {TestKind::Leakage, "测试电流", Field::TestCurrent},
    {TestKind::Leakage, "漏电流指标", Field::LeakageLimit},
    {TestKind::Leakage, "测试时间", Field::LeakageTestTime},
    {TestKind::Electrolyte, "测试电流", Field::ElecCurrent},
    {TestKind::Electrolyte, "设定电压", Field::ElecSetVoltage},
    {TestKind::Electrolyte, "参考电压", Field::ElecReference},
    {TestKind::Electrolyte, "闪火延时", Field::SparkDelay},
    {TestKind::Electrolyte, "闪火修正", Field::SparkCorrection},
};

// The columns the shown span is made of (see displaySpan).
bool spanColumn(TestKind kind, const QString& column) {
    switch (kind) {
        case TestKind::TV:
            return column == u"升压时间" || column == u"延迟时间";
        case TestKind::Leakage:
            return column == u"测试时间";
        case TestKind::Electrolyte:
            break;
    }
    return column == u"闪火延时" || column == u"火花时间1";
}

bool judgementColumn(const QString& column) {
    return column == u"TV特性" || column == u"漏电流特性" || column == u"判定结果";
}

}  // namespace

std::optional<QString> modificationRefusal(const StoredRecord& record, const QString& column,
                                           const QVariant& value) {
    const QString refused = QStringLiteral("记录 ") + record.name + QStringLiteral(" 未修改：");
    if (judgementColumn(column)) {
        const QString t = value.toString();
        if (t == u"合格" || t == u"不合格" || t == u"待定") return std::nullopt;
        return refused + column + QStringLiteral("只能是“合格”、“不合格”或“待定”");
    }
    std::optional<double> low, high;
    for (const RangedColumn& r : kRangedColumns) {
        if (r.kind != record.kind || column != QString::fromUtf8(r.column)) continue;
        low = fieldSpec(r.field).low;
        high = fieldSpec(r.field).high;
    }
    const double v = value.toDouble();
    if (spanColumn(record.kind, column)) {
        // The span with the new value, and what the other columns add to it.
        StoredRecord changed = record;
        changed.values.insert(column, value);
        ConsoleState filled;
        fillRecordFields(filled, 0, changed);
        const int span = displaySpan(filled, 0, record.kind);
        const int own = toInt16(shortestText(v)).value;
        const int others = span - own;
        const double curveLow = std::max(1 - others, 0);
        const double curveHigh = std::min<double>(double(record.volts.size()), double(kLastSample)) - others;
        low = low ? std::max(*low, curveLow) : curveLow;
        high = high ? std::min(*high, curveHigh) : curveHigh;
        if (!recordDisplayable(changed, nullptr) || v < *low || v > *high)
            return refused + column + QStringLiteral("的范围是") + shortestText(*low) + QStringLiteral("～") +
                   shortestText(std::max(*low, *high)) + QStringLiteral("，请重新输入！");
        return std::nullopt;
    }
    if (low && high && (v < *low || v > *high))
        return refused + column + QStringLiteral("的范围是") + shortestText(*low) + QStringLiteral("～") +
               shortestText(*high) + QStringLiteral("，请重新输入！");
    return std::nullopt;
}

bool modifyRecord(QSqlDatabase db, TestKind kind, const RecordRef& record, const QString& column,
                  const QVariant& value) {
    if (!db.isValid() || !modifiableColumns(kind).contains(column)) return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ? AND %3 = ?")
                  .arg(quoteIdentifier(parameterTable(kind)), quoteIdentifier(column),
                       quoteIdentifier(QStringLiteral("测试编号"))));
    q.addBindValue(value);
    q.addBindValue(record.rowid);
    q.addBindValue(record.name);
    return q.exec() && q.numRowsAffected() == 1;
}

}  // namespace varnot
