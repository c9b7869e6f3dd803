#include "history/record_edit.h"

#include "common/text_number.h"
#include "history/query.h"
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
