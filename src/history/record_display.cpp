#include "history/record_display.h"

#include "acquisition/display.h"
#include "acquisition/plot_axes.h"
#include "acquisition/sampling.h"
#include "common/text_number.h"
#include "settings/validation.h"
#include "storage/sql_support.h"
#include "storage/local_records.h"

#include <QDate>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <span>

namespace varnot {

namespace {

const QColor kRed(Qt::red), kBlack(Qt::black);

struct FieldSource {
    Field field;
    const char* column;
};

// Which column fills which field of the slot.
const FieldSource kTvFields[] = {
    {Field::FormationVoltage, "化成电压"}, {Field::TestCurrent, "测试电流"},
    {Field::DelayTime, "延迟时间"},        {Field::RiseTimeLimit, "升压时间指标"},
    {Field::RiseTime, "升压时间"},         {Field::TvValue, "TV值"},
    {Field::WaterTemperature, "水温度"},   {Field::TvJudgement, "TV特性"},
    {Field::TvTestNumber, "测试编号"},     {Field::ReadoutVm, "Vmax"},
    {Field::ReadoutTA, "升压时间"},        {Field::TvOperator, "测试人"},
    {Field::TvTestDate, "测试日期"},
};
const FieldSource kLeakageFields[] = {
    {Field::LeakageVoltage, "漏电流电压"},   {Field::TestCurrent, "测试电流"},
    {Field::LeakageLimit, "漏电流指标"},     {Field::LeakageTestTime, "测试时间"},
    {Field::LeakageCurrent, "漏电流"},       {Field::WaterTemperature, "水温度"},
    {Field::LeakageJudgement, "漏电流特性"}, {Field::TvTestNumber, "测试编号"},
    {Field::ReadoutTB, "采样次数"},          {Field::TvOperator, "测试人"},
    {Field::TvTestDate, "测试日期"},
};
const FieldSource kElectrolyteFields[] = {
    {Field::ElecCurrent, "测试电流"},     {Field::ElecSetVoltage, "设定电压"},
    {Field::ElecReference, "参考电压"},   {Field::SparkDelay, "闪火延时"},
    {Field::SparkCorrection, "闪火修正"}, {Field::MaxVoltage, "最大电压"},
    {Field::MinVoltage, "最小电压"},      {Field::Spark1Voltage, "火花电压1"},
    {Field::Spark1Time, "火花时间1"},     {Field::Spark2Voltage, "火花电压2"},
    {Field::Spark2Time, "火花时间2"},     {Field::Spark3Voltage, "火花电压3"},
    {Field::Spark3Time, "火花时间3"},     {Field::ElecJudgement, "判定结果"},
    {Field::ElecTestNumber, "测试编号"},  {Field::ReadoutTA, "采样次数"},
    {Field::ElecOperator, "测试人"},      {Field::ElecTestDate, "测试日期"},
};

std::span<const FieldSource> fieldsOf(TestKind kind) {
    switch (kind) {
        case TestKind::TV:
            return kTvFields;
        case TestKind::Leakage:
            return kLeakageFields;
        case TestKind::Electrolyte:
            break;
    }
    return kElectrolyteFields;
}

// A stored value as a field shows it: numbers in their shortest text, dates as yyyy/mm/dd.
QString fieldText(const QVariant& v, bool date) {
    if (v.isNull()) return {};
    if (date) {
        const QDate d = QDate::fromString(v.toString(), Qt::ISODate);
        return d.isValid() ? d.toString(QStringLiteral("yyyy/MM/dd")) : v.toString();
    }
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
        return shortestText(v.toDouble());
    return v.toString();
}

int integer(const ConsoleState& s, Field f, int ch) {
    const Int16Result r = toInt16(s.field(f, ch));
    return r.ok() ? r.value : 0;
}

}  // namespace

std::optional<StoredRecord> readStoredRecord(QSqlDatabase db, TestKind kind, const RecordRef& record,
                                             QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("记录 ") + record.name + QStringLiteral(" 无法显示：") + why;
        return std::nullopt;
    };
    if (!db.isValid()) return fail(QStringLiteral("数据库文件不存在"));
    StoredRecord r;
    r.kind = kind;
    r.name = record.name;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM %1 WHERE rowid = ? AND %2 = ?")
                  .arg(quoteIdentifier(parameterTable(kind)), quoteIdentifier(QStringLiteral("测试编号"))));
    q.addBindValue(record.rowid);
    q.addBindValue(record.name);
    if (!q.exec() || !q.next()) return fail(QStringLiteral("记录已不存在"));
    const QSqlRecord columns = q.record();
    for (int c = 0; c < columns.count(); ++c) r.values.insert(columns.fieldName(c), q.value(c));
    q.finish();
    // Row k of the curve table is sample k, in the order the table holds them.
    if (!q.exec(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY rowid")
                    .arg(quoteIdentifier(QStringLiteral("电压")), quoteIdentifier(QStringLiteral("电流")),
                         quoteIdentifier(record.name))))
        return fail(QStringLiteral("曲线表不存在"));
    while (q.next() && r.volts.size() < std::size_t(kLastSample)) {
        r.volts.push_back(q.value(0).toFloat());
        r.amps.push_back(q.value(1).toFloat());
    }
    return r;
}

DisplaySlot displaySlot(int displayGroup, const QString& nextText) {
    bool ok = false;
    const int n = nextText.trimmed().toInt(&ok);
    const int first = displayGroup == 1 ? 3 : 0;
    const int last = displayGroup == 0 ? 2 : 5;
    const int slot = ok && n >= first && n <= last ? n : first;
    return {slot, slot + 1 == 6 ? 0 : slot + 1};
}

std::vector<int> switchedGroups(int displayGroup) {
    if (displayGroup == 2) return {0, 1};
    return {displayGroup == 1 ? 1 : 0};
}

int displaySpan(const ConsoleState& s, int slot, TestKind kind) {
    switch (kind) {
        case TestKind::TV:
            return integer(s, Field::RiseTime, slot) + integer(s, Field::DelayTime, slot);
        case TestKind::Leakage:
            return integer(s, Field::LeakageTestTime, slot);
        case TestKind::Electrolyte:
            break;
    }
    return integer(s, Field::SparkDelay, slot) + integer(s, Field::Spark1Time, slot);
}

float zoomForSpan(int span) {
    float zoom = 0.03125f;
    for (int limit = 10; limit <= 5120 && span >= limit; limit *= 2) zoom *= 2;
    return zoom;
}

void fillRecordFields(ConsoleState& state, int s, const StoredRecord& record, QStringList* refused) {
    for (const FieldSource& f : fieldsOf(record.kind)) {
        const QString column = QString::fromUtf8(f.column);
        const QString text = fieldText(record.values.value(column), column == u"测试日期");
        // A value the record does not hold (NULL) shows as empty: nothing of it to check.
        if (refused && !text.isEmpty()) {
            if (const QString why = storedValueRefusal(f.field, s, text); !why.isEmpty()) {
                *refused << why;
                continue;
            }
        }
        state.field(f.field, s) = text;
    }
}

namespace {

// The samples a record's own columns ask to draw (what recordDisplayable checked the curve for).
int recordSpan(const StoredRecord& record) {
    ConsoleState filled;
    fillRecordFields(filled, 0, record);
    return std::min(displaySpan(filled, 0, record.kind), kLastSample);
}

}  // namespace

bool recordDisplayable(const StoredRecord& record, QString* error) {
    // The span depends on the record's own columns only.
    const int span = recordSpan(record);
    if (span >= 1 && std::size_t(span) <= record.volts.size()) return true;
    if (error)
        *error = QStringLiteral("记录 ") + record.name + QStringLiteral(" 无法显示：曲线只有 ") +
                 QString::number(record.volts.size()) + QStringLiteral(" 个点，需要 ") +
                 QString::number(span) + QStringLiteral(" 个");
    return false;
}

std::optional<bool> recordAfterBoiling(const StoredRecord& record) {
    if (record.kind == TestKind::Electrolyte) return std::nullopt;
    const auto truth = [&](const char* column) {
        const QVariant v = record.values.value(QString::fromUtf8(column));
        if (v.isNull()) return false;
        // Stored as a yes/no column: SQLite hands back 0/1 (or a text an older save wrote).
        const QString text = v.toString().trimmed();
        return text == u"1" || text.compare(u"true", Qt::CaseInsensitive) == 0 || text == u"-1";
    };
    // The switch takes 水煮前, then 水煮后: a record marked both is shown as after boiling.
    if (truth("水煮后")) return true;
    if (truth("水煮前")) return false;
    return std::nullopt;
}

bool displayRecord(Live& live, int s, const StoredRecord& record, QString* error, QStringList* refused) {
    if (!recordDisplayable(record, error)) return false;
    ConsoleState& state = live.s;
    QStringList left;
    fillRecordFields(state, s, record, &left);
    if (refused) *refused << left;
    // Drawn as far as the record's own columns say, whatever a refused field kept.
    const int span = recordSpan(record);

    Plots& plots = live.plots;
    Curves& curves = live.curves;
    plots.hxfd[s] = zoomForSpan(span);
    zb(plots, state, s);
    if (s == 0) {
        zb16(plots, state, 0);
        zb16(plots, state, 2);
    } else if (s == 3) {
        zb16(plots, state, 1);
    }
    for (int k = 1; k <= span; ++k) {
        curves.V[s][std::size_t(k)] = record.volts[std::size_t(k - 1)];
        curves.I[s][std::size_t(k)] = record.amps[std::size_t(k - 1)];
    }
    curves.stored[s] = span;
    plots.drawnTo[s] = span;
    // The curve is drawn as a zoom redraws a live one.
    redrawChannelCurve(live, s, span);
    PerChannel<int> only{};
    only[s] = span;
    redrawCombinedCurves(live, only);

    // Marks: a dotted line from the time axis up to the point, and its text there.
    const double refV = referenceVoltage(state, s);
    const double groupRef = axisReference(state, groupOf(s));
    PlotSurface& own = *plots.TV[s];
    PlotSurface& group = *plots.TV16[groupOf(s)];
    const QString channel = QString::number(s + 1);
    const auto volts = [&](int k) { return shortestText(curves.V[s][std::size_t(k)]); };
    const auto point = [&](int k, const QString& value, const char* unit) {
        return QString::number(k) + QStringLiteral("s-") + value + QString::fromUtf8(unit);
    };
    const auto markOwn = [&](int k, const QString& text, const QColor& colour) {
        curves.yTV[s] = float(yChannelVoltage(curves.V[s][std::size_t(k)], refV));
        const QPointF at = markPointAC(live, s, k);
        if (colour != kBlack) own.line(at.x(), 3600, at.x(), at.y(), colour, 1, LineStyle::Dotted);
        own.text(at.x(), at.y(), text, colour);
    };
    const auto markGroup = [&](int k, const QString& text) {
        const double x = xGroup(s, k, plots.hxfd16), y = yGroupVoltage(curves.V[s][std::size_t(k)], groupRef);
        group.line(x, 4000, x, y, kBlack, 1, LineStyle::Dotted);
        group.text(x, y, text, kBlack);
    };
    const auto markA = [&](int k) {
        if (k < 1 || k > span) return;
        state.statusPanels[s] = channel + QStringLiteral("路A点：") + point(k, volts(k), "V");
        markOwn(k, QStringLiteral("A点:") + point(k, volts(k), "V"), kRed);
        markGroup(k, channel + QStringLiteral("-A点:") + point(k, volts(k), "V"));
    };
    const auto markC = [&](int k, const QString& value, const char* unit) {
        const QString text = channel + QStringLiteral("路C点：") + point(k, value, unit);
        markOwn(k, text, kBlack);
        markGroup(k, text);
        state.statusPanels[s] = channel + QStringLiteral("路C点") + point(k, value, unit);
        const double x = xGroup(s, k, plots.hxfd16), y = yGroupVoltage(curves.V[s][std::size_t(k)], groupRef);
        group.text(x, y + 200,
                   QStringLiteral("Vmax") + channel + u'-' + state.field(Field::ReadoutVm, s) + u'V', kBlack);
    };

    // The Vmax label speaks of this record: the TV record's own Vmax column; a leakage record keeps
    // no peak, so the highest voltage of its curve as drawn; an electrolyte record its 最大电压.
    // Nothing of the slot's previous test stays behind.
    const auto curvePeak = [&] {
        float peak = 0;
        for (int k = 1; k <= span; ++k) peak = std::max(peak, curves.V[s][std::size_t(k)]);
        return shortestText(peak);
    };
    switch (record.kind) {
        case TestKind::TV:
            if (state.field(Field::ReadoutVm, s).isEmpty()) state.field(Field::ReadoutVm, s) = curvePeak();
            break;
        case TestKind::Leakage:
            state.field(Field::ReadoutVm, s) = curvePeak();
            break;
        case TestKind::Electrolyte:
            state.field(Field::ReadoutVm, s) = state.field(Field::MaxVoltage, s);
            break;
    }

    switch (record.kind) {
        case TestKind::TV: {
            const int a = integer(state, Field::RiseTime, s);
            if (a >= 1 && a <= span) state.field(Field::ReadoutTA, s) = state.field(Field::RiseTime, s);
            markA(a);
            const int b = toInt16(fieldText(record.values.value(QStringLiteral("采样次数")), false)).value;
            if (b >= 1 && b <= span) {
                state.field(Field::ReadoutTB, s) = QString::number(b);
                curves.yTV[s] = float(yChannelVoltage(curves.V[s][std::size_t(b)], refV));
                const QPointF at = markPointB(live, s, b);
                own.text(at.x(), at.y(), QStringLiteral("B点:"), kBlack);
                const double x = xGroup(s, b, plots.hxfd16);
                group.text(x, yGroupVoltage(curves.V[s][std::size_t(b)], groupRef), QStringLiteral("B点:"),
                           kBlack);
            }
            state.field(Field::ReadoutVT, s) = volts(span);
            markC(span, volts(span), "V");
            break;
        }
        case TestKind::Leakage: {
            const QString amps = shortestText(curves.I[s][std::size_t(span)]);
            state.field(Field::ReadoutVT, s) = amps;
            markC(span, amps, "mA");
            break;
        }
        case TestKind::Electrolyte:
            markA(integer(state, Field::Spark1Time, s));
            state.field(Field::ReadoutTA, s) = state.field(Field::Spark1Voltage, s);
            state.field(Field::ReadoutTB, s) = state.field(Field::Spark2Voltage, s);
            state.field(Field::ReadoutVT, s) = state.field(Field::Spark3Voltage, s);
            markC(span, volts(span), "V");
            break;
    }
    return true;
}

}  // namespace varnot
