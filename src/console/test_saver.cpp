#include "console/test_saver.h"

#include "common/text_number.h"
#include "run/test_kinds.h"
#include "settings/setting_keys.h"

#include <QStringList>

namespace varnot {
namespace {

const QString kIncomplete = QStringLiteral("测试数据不完整，本次测试无效！请确认完整后，再重新保存！");
const QString kEmptyNumber = QStringLiteral("参数设定不能为空！请确认完整后，再重新保存！");
const QString kCannotSave = QStringLiteral("无法保存，请检查实验参数设定是否完整并且正确！");
const QString kSheetFailed = QStringLiteral("无法保存，请检查实验记录是否完整，测试操作是否正确！");

const QVariant kNullText{QMetaType::fromType<QString>()};

}  // namespace

StoredTest storedTestOf(const ChannelTest& t) {
    StoredTest st;
    st.kind = t.kind;
    st.recordName = t.recordName;
    const auto f = [&](Field field) { return QVariant(t.field(field)); };
    // A result the test never reached is stored as NULL, never as a measured 0.
    const bool finished = t.finished;
    const auto result = [&](Field field, bool reached) { return reached ? f(field) : kNullText; };
    // The position code names the head (H…) or the tail (T…) of the sheet.
    const QVariant head = t.position.startsWith(u'H') ? QVariant(t.position) : QVariant();
    const QVariant tail = t.position.startsWith(u'T') ? QVariant(t.position) : QVariant();
    const int samples = t.samples();
    QMap<QString, QVariant>& v = st.values;
    v[QStringLiteral("测试编号")] = t.recordName;
    switch (t.kind) {
        case TestKind::TV:
            v[QStringLiteral("化成电压")] = f(Field::FormationVoltage);
            v[QStringLiteral("测试电流")] = f(Field::TestCurrent);
            v[QStringLiteral("延迟时间")] = f(Field::DelayTime);
            v[QStringLiteral("升压时间指标")] = f(Field::RiseTimeLimit);
            v[QStringLiteral("升压时间")] = result(Field::RiseTime, t.firstMark);
            v[QStringLiteral("TV值")] = result(Field::TvValue, finished);
            v[QStringLiteral("TV特性")] = f(Field::TvJudgement);
            v[QStringLiteral("水温度")] = f(Field::WaterTemperature);
            // Point B of a stored TV test is drawn at this sample.
            v[QStringLiteral("采样次数")] =
                samples > 0 ? QVariant(static_cast<int>(t.tVmax)) : QVariant(QMetaType::fromType<int>());
            v[QStringLiteral("Vmax")] = result(Field::ReadoutVm, samples > 2);
            break;
        case TestKind::Leakage:
            v[QStringLiteral("漏电流电压")] = f(Field::LeakageVoltage);
            v[QStringLiteral("测试电流")] = f(Field::TestCurrent);
            v[QStringLiteral("漏电流指标")] = f(Field::LeakageLimit);
            v[QStringLiteral("测试时间")] = f(Field::LeakageTestTime);
            v[QStringLiteral("漏电流")] = result(Field::LeakageCurrent, finished);
            v[QStringLiteral("水温度")] = f(Field::WaterTemperature);
            v[QStringLiteral("漏电流特性")] = f(Field::LeakageJudgement);
            v[QStringLiteral("采样次数")] = samples;
            break;
        case TestKind::Electrolyte: {
            // A spark slot the test never filled holds no spark: no voltage and no time.
            const auto spark = [&](Field voltage) { return finished || t.field(voltage) != u"0"; };
            v[QStringLiteral("测试电流")] = f(Field::ElecCurrent);
            v[QStringLiteral("设定电压")] = f(Field::ElecSetVoltage);
            v[QStringLiteral("参考电压")] = f(Field::ElecReference);
            v[QStringLiteral("闪火延时")] = f(Field::SparkDelay);
            v[QStringLiteral("闪火修正")] = f(Field::SparkCorrection);
            v[QStringLiteral("最大电压")] = result(Field::MaxVoltage, finished || samples > 2);
            v[QStringLiteral("最小电压")] = result(Field::MinVoltage, finished || spark(Field::Spark1Voltage));
            v[QStringLiteral("火花电压1")] = result(Field::Spark1Voltage, spark(Field::Spark1Voltage));
            v[QStringLiteral("火花时间1")] = result(Field::Spark1Time, spark(Field::Spark1Voltage));
            v[QStringLiteral("火花电压2")] = result(Field::Spark2Voltage, spark(Field::Spark2Voltage));
            v[QStringLiteral("火花时间2")] = result(Field::Spark2Time, spark(Field::Spark2Voltage));
            v[QStringLiteral("火花电压3")] = result(Field::Spark3Voltage, spark(Field::Spark3Voltage));
            v[QStringLiteral("火花时间3")] = result(Field::Spark3Time, spark(Field::Spark3Voltage));
            v[QStringLiteral("判定结果")] = f(Field::ElecJudgement);
            v[QStringLiteral("采样次数")] = samples;
            v[QStringLiteral("测试人")] = f(Field::ElecOperator);
            v[QStringLiteral("测试日期")] = f(Field::ElecTestDate);
            break;
        }
    }
    if (t.kind != TestKind::Electrolyte) {
        v[QStringLiteral("水煮前")] = !t.afterBoiling;
        v[QStringLiteral("水煮后")] = t.afterBoiling;
        v[QStringLiteral("头位置")] = head;
        v[QStringLiteral("尾位置")] = tail;
        v[QStringLiteral("测试人")] = f(Field::TvOperator);
        v[QStringLiteral("测试日期")] = f(Field::TvTestDate);
    }
    st.volts = t.volts;
    st.amps = t.amps;
    return st;
}

std::vector<float> sheetCurve(const ChannelTest& t) {
    const int n = t.finished ? toInt16(t.field(Field::DelayTime)).value + toInt16(t.field(Field::RiseTime)).value
                             : t.samples();
    std::vector<float> curve;
    if (n > 0) {
        curve.assign(std::size_t(n), 0.0f);
        // Sample i + 1 is volts[i].
        for (int i = 1; i < n; ++i) curve[std::size_t(i)] = i < t.samples() ? t.volts[std::size_t(i)] : 0.0f;
    }
    return curve;
}

TestSaver::TestSaver(SettingsStore& settings, Prompter& prompter, BatchStore& batchStore, std::function<QDate()> today)
    : settings_(settings), prompter_(prompter), batchStore_(batchStore), today_(std::move(today)) {}

LocalRecords TestSaver::localRecords() const { return LocalRecords(settings_.text("dbpath")); }

// The line a save that ends early adds to its message: the measured tests not stored whole.
QString TestSaver::unstoredLine(const PerChannel<ChannelTest>& tests) const {
    QStringList names;
    for (int c = 0; c < kChannels; ++c)
        if (tests[c].unsaved()) names << QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路");
    return names.isEmpty() ? QString() : QStringLiteral("\n未保存：") + names.join(QStringLiteral("、"));
}

SaveResult TestSaver::save(PerChannel<ChannelTest>& tests, const BatchPanel& panel, int& storedCount) {
    const QString title = QString::fromUtf8(kApplicationName);
    SaveResult result;
    const auto endEarly = [&](const QString& text) {
        prompter_.message(text + unstoredLine(tests), title);
        result.outcome = SaveResult::Outcome::EndedEarly;
        return result;
    };
    const auto exists = [&](int ch, const ChannelTest& t) {
        if (recordExists) return recordExists(ch, t);
        return localRecords().recordExists(t.kind, t.recordName);
    };
    BatchSession session(batchStore_);
    bool measured = false, storedBefore = true;
    for (int ch = 0; ch < kChannels; ++ch) {
        ChannelTest& t = tests[ch];
        if (t.state != TestState::Ended) continue;
        measured = true;
        // A record deleted since it was stored (in the history window, say) is stored again.
        if (t.storedLocal && !exists(ch, t)) t.storedLocal = false;
        if (t.stored() == Stored::All) continue;
        storedBefore = false;
        if (!t.storedLocal && exists(ch, t))
            return endEarly(QStringLiteral("同名记录") + testKindName(t.kind) + QStringLiteral("编号：") + t.recordName +
                            QStringLiteral(" 已经存在，请使用其他的编号！"));
        const auto empty = [&](Field f) { return t.field(f).isEmpty(); };
        if (t.kind == TestKind::TV && (t.testNumber.isEmpty() || empty(Field::TvOperator))) return endEarly(kIncomplete);
        // A leakage test needs its number too: without it the record would be named by the
        // position code alone.
        if (t.kind == TestKind::Leakage &&
            (t.testNumber.isEmpty() || empty(Field::LeakageVoltage) || empty(Field::LeakageTestTime)))
            return endEarly(kIncomplete);
        if (t.kind == TestKind::Electrolyte && t.testNumber.isEmpty()) return endEarly(kEmptyNumber);
        if (t.needsSheet() && !t.storedSheet) {
            const SheetOutcome outcome = storeSheet(session, ch, t, panel, storedCount, result, tests);
            if (outcome == SheetOutcome::Declined) continue;  // nothing of this test is written
            if (outcome == SheetOutcome::Failed) {
                result.outcome = SaveResult::Outcome::EndedEarly;
                return result;
            }
        }
        // The sheet first, then the local record: a failure of either leaves this test on screen
        // to be saved again, and the next save stores what is missing.
        if (!t.storedLocal) {
            if (progress) progress(ch, StoredPart::LocalBegun);
            if (const QString error = localRecords().save(storedTestOf(t)); !error.isEmpty()) {
                qWarning("local test database: %s", qUtf8Printable(error));
                return endEarly(kCannotSave + u'\n' + error.simplified());
            }
            t.storedLocal = true;
            if (progress) progress(ch, StoredPart::Local);
            ++result.recordsWritten;
        }
    }
    result.outcome = !measured       ? SaveResult::Outcome::Nothing
                     : storedBefore ? SaveResult::Outcome::AlreadyStored
                                    : SaveResult::Outcome::Stored;
    return result;
}

TestSaver::SheetOutcome TestSaver::storeSheet(BatchSession& session, int ch, ChannelTest& t, const BatchPanel& p, int& storedCount, SaveResult& result,
                                              const PerChannel<ChannelTest>& tests) {
    const QString title = QString::fromUtf8(kApplicationName);
    // Sheets 1 to 3 before boiling, 4 to 6 after, as the test was run.
    const int k = (t.afterBoiling ? 3 : 0) + ch + 1;
    // A test that did not end is named as such in the question.
    const QString question = QStringLiteral("第") + QString::number(k) + QStringLiteral("片数据是否保存?") +
                             (t.finished ? QString()
                                         : QStringLiteral("\n第") + QString::number(ch + 1) +
                                               QStringLiteral("路测试未完成，未测得的结果保存为空。"));
    if (!prompter_.question(question, title)) {
        ++storedCount;
        return SheetOutcome::Declined;
    }
    BatchFields batch;
    batch.serial = t.serial;
    batch.spec = p.field(BatchField::Spec);
    // The formation voltage the sheet was tested at.
    batch.vf = t.field(Field::FormationVoltage);
    batch.length = p.field(BatchField::Length);
    batch.area = p.field(BatchField::Area);
    batch.weight = p.field(BatchField::Weight);
    batch.iq = p.field(BatchField::IQ);
    batch.line = p.field(BatchField::Line);
    batch.joints = p.field(BatchField::Joints);
    SheetFields sheet;
    sheet.capacitance = p.grid[std::size_t(k)][1];
    sheet.bending = p.grid[std::size_t(k)][2];
    sheet.tensile = p.grid[std::size_t(k)][3];
    sheet.finished = t.finished;
    sheet.tr = t.firstMark ? t.field(Field::RiseTime) : QString();
    sheet.vm = t.samples() > 2 ? t.field(Field::ReadoutVm) : QString();
    sheet.vt = t.finished ? t.field(Field::TvValue) : QString();
    // The limit the sheet was judged by goes with it: a certificate judges the sheet by it later.
    if (toDouble(t.field(Field::RiseTimeLimit).trimmed())) sheet.trLimit = t.field(Field::RiseTimeLimit);
    const std::vector<float> curve = sheetCurve(t);
    StoreResult r;
    if (curve.size() > std::size_t(kCurveColumns)) {
        r = {StoreResult::CurveTooLong, {}};
    } else if (!session.isOpen()) {
        if (const QString e = session.open(); !e.isEmpty()) r = {StoreResult::DatabaseError, e};
    }
    if (r.ok()) r = session.storeSheet(batch, k, sheet, curve, today_());
    if (r.status == StoreResult::CurveTooLong) {
        prompter_.message(QStringLiteral("第") + QString::number(k) + QStringLiteral("片曲线有") +
                              QString::number(curve.size()) + QStringLiteral("个数据，超过批次数据库每条曲线最多") +
                              QString::number(kCurveColumns) + QStringLiteral("个数据，本片未保存！") +
                              unstoredLine(tests),
                          title);
        return SheetOutcome::Failed;
    }
    if (!r.ok()) {
        result.lastStoreError = r.detail;
        // The database's own reason on a second line: a server that cannot be reached is not the
        // operator's fault. It is logged as well.
        qWarning("batch store, sheet %d: %s", k, qUtf8Printable(r.detail));
        const QString reason =
            r.status == StoreResult::InvalidValue ? QStringLiteral("数值无效：") + r.detail : r.detail.simplified();
        prompter_.message(kSheetFailed + u'\n' + reason + unstoredLine(tests), title);
        return SheetOutcome::Failed;
    }
    prompter_.message(QStringLiteral("第") + QString::number(k) + QStringLiteral("片曲线数据保存完毕!"), title);
    ++storedCount;
    t.storedSheet = true;
    if (progress) progress(ch, StoredPart::Sheet);
    result.sheets.emplace_back(k, sheet);
    return SheetOutcome::Stored;
}

}  // namespace varnot
