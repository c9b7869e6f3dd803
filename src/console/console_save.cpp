// Saving the finished tests of the current group: the checks, the local record of every channel
// and, for TV channels, the sheet in the batch store.
#include "console/console.h"

#include "common/text_number.h"

namespace varnot {
namespace {

const QString kIncomplete = QStringLiteral("测试数据不完整，本次测试无效！请确认完整后，再重新保存！");
const QString kEmptyNumber = QStringLiteral("参数设定不能为空！请确认完整后，再重新保存！");
const QString kCannotSave = QStringLiteral("无法保存，请检查实验参数设定是否完整并且正确！");
const QString kSheetFailed = QStringLiteral("无法保存，请检查实验记录是否完整，测试操作是否正确！");

QString kindName(TestKind k) {
    switch (k) {
        case TestKind::TV: return QStringLiteral("TV测试");
        case TestKind::Leakage: return QStringLiteral("漏电流测试");
        default: return QStringLiteral("电解液测试");
    }
}

}  // namespace

QString Console::recordNameOf(int ch) const {
    const bool elec = state_.kind[ch] == TestKind::Electrolyte;
    return recordName(state_.field(elec ? Field::ElecTestNumber : Field::TvTestNumber, ch),
                      state_.field(elec ? Field::ElecPosition : Field::TvPosition, ch));
}

TestDatabases Console::testDatabases() const { return TestDatabases(settings_.text("dbpath")); }

bool Console::checkRecordExists(int ch) const {
    if (recordExists) return recordExists(ch);
    return testDatabases().recordExists(state_.kind[ch], recordNameOf(ch));
}

int Console::samplesOf(int ch) const {
    const int end = view_.endSample[ch];
    return end > 0 ? end : curves_.stored[ch];
}

StoredTest Console::storedTestOf(int ch) const {
    const ConsoleState& s = state_;
    StoredTest t;
    t.kind = s.kind[ch];
    t.recordName = recordNameOf(ch);
    const auto f = [&](Field field) { return QVariant(s.field(field, ch)); };
    const bool after = boiling_[groupOf(ch)] == Boiling::After;
    // The position code names the head (H…) or the tail (T…) of the sheet.
    const QString position = s.field(Field::TvPosition, ch);
    const QVariant head = position.startsWith(u'H') ? QVariant(position) : QVariant();
    const QVariant tail = position.startsWith(u'T') ? QVariant(position) : QVariant();
    const int samples = samplesOf(ch);
    QMap<QString, QVariant>& v = t.values;
    v[QStringLiteral("测试编号")] = t.recordName;
    switch (t.kind) {
        case TestKind::TV:
            v[QStringLiteral("化成电压")] = f(Field::FormationVoltage);
            v[QStringLiteral("测试电流")] = f(Field::TestCurrent);
            v[QStringLiteral("延迟时间")] = f(Field::DelayTime);
            v[QStringLiteral("升压时间指标")] = f(Field::RiseTimeLimit);
            v[QStringLiteral("升压时间")] = f(Field::RiseTime);
            v[QStringLiteral("TV值")] = f(Field::TvValue);
            v[QStringLiteral("TV特性")] = f(Field::TvJudgement);
            v[QStringLiteral("水温度")] = f(Field::WaterTemperature);
            // Point B of a stored TV test is drawn at this sample.
            v[QStringLiteral("采样次数")] = static_cast<int>(view_.tVmax[ch]);
            v[QStringLiteral("Vmax")] = f(Field::ReadoutVm);
            break;
        case TestKind::Leakage:
            v[QStringLiteral("漏电流电压")] = f(Field::LeakageVoltage);
            v[QStringLiteral("测试电流")] = f(Field::TestCurrent);
            v[QStringLiteral("漏电流指标")] = f(Field::LeakageLimit);
            v[QStringLiteral("测试时间")] = f(Field::LeakageTestTime);
            v[QStringLiteral("漏电流")] = f(Field::LeakageCurrent);
            v[QStringLiteral("水温度")] = f(Field::WaterTemperature);
            v[QStringLiteral("漏电流特性")] = f(Field::LeakageJudgement);
            v[QStringLiteral("采样次数")] = samples;
            break;
        case TestKind::Electrolyte:
            v[QStringLiteral("测试电流")] = f(Field::ElecCurrent);
            v[QStringLiteral("设定电压")] = f(Field::ElecSetVoltage);
            v[QStringLiteral("参考电压")] = f(Field::ElecReference);
            v[QStringLiteral("闪火延时")] = f(Field::SparkDelay);
            v[QStringLiteral("闪火修正")] = f(Field::SparkCorrection);
            v[QStringLiteral("最大电压")] = f(Field::MaxVoltage);
            v[QStringLiteral("最小电压")] = f(Field::MinVoltage);
            v[QStringLiteral("火花电压1")] = f(Field::Spark1Voltage);
            v[QStringLiteral("火花时间1")] = f(Field::Spark1Time);
            v[QStringLiteral("火花电压2")] = f(Field::Spark2Voltage);
            v[QStringLiteral("火花时间2")] = f(Field::Spark2Time);
            v[QStringLiteral("火花电压3")] = f(Field::Spark3Voltage);
            v[QStringLiteral("火花时间3")] = f(Field::Spark3Time);
            v[QStringLiteral("判定结果")] = f(Field::ElecJudgement);
            v[QStringLiteral("采样次数")] = samples;
            v[QStringLiteral("测试人")] = f(Field::ElecOperator);
            v[QStringLiteral("测试日期")] = f(Field::ElecTestDate);
            break;
    }
    if (t.kind != TestKind::Electrolyte) {
        v[QStringLiteral("水煮前")] = !after;
        v[QStringLiteral("水煮后")] = after;
        v[QStringLiteral("头位置")] = head;
        v[QStringLiteral("尾位置")] = tail;
        v[QStringLiteral("测试人")] = f(Field::TvOperator);
        v[QStringLiteral("测试日期")] = f(Field::TvTestDate);
    }
    t.volts.assign(curves_.V[ch].begin() + 1, curves_.V[ch].begin() + 1 + samples);
    t.amps.assign(curves_.I[ch].begin() + 1, curves_.I[ch].begin() + 1 + samples);
    return t;
}

void Console::save2Click() {
    const QString title = QString::fromUtf8(kApplicationName);
    for (int ch = state_.firstCh; ch <= state_.lastCh; ++ch) {
        const TestKind kind = state_.kind[ch];
        const bool exists = checkRecordExists(ch);
        if (exists) {
            prompter_.message(QStringLiteral("同名记录") + kindName(kind) + QStringLiteral("编号：") + recordNameOf(ch) +
                                  QStringLiteral(" 已经存在，请使用其他的编号！"),
                              title);
            return;
        }
        const auto empty = [&](Field f) { return state_.field(f, ch).isEmpty(); };
        if (kind == TestKind::TV && (empty(Field::TvTestNumber) || empty(Field::TvOperator))) {
            prompter_.message(kIncomplete, title);
            return;
        }
        if (kind == TestKind::Leakage && (empty(Field::LeakageVoltage) || empty(Field::LeakageTestTime))) {
            prompter_.message(kIncomplete, title);
            return;
        }
        if (kind == TestKind::Electrolyte && empty(Field::ElecTestNumber)) {
            prompter_.message(kEmptyNumber, title);
            return;
        }
        // Every channel's test is kept in its kind's local database, with its curve.
        if (const QString error = testDatabases().save(storedTestOf(ch)); !error.isEmpty()) {
            prompter_.message(kCannotSave, title);
            emit changed();
            return;
        }
        const int boilOffset = boiling_[0] == Boiling::After ? 3 : 0;
        if (kind == TestKind::TV) {
            savecanshu1(ch, boilOffset + ch);
            const Int16Result stored = toInt16(settings_.read(Section::Canshu, u"存储运行标志"));
            if (!stored.ok()) {
                prompter_.message(kCannotSave, title);
                return;
            }
            if (stored.value == storedCount_) return;
        }
    }
    settings_.write(Section::Canshu, u"存储运行标志", QString::number(storedCount_));
    settings_.sync();
    state_.statusPanels[6] = QStringLiteral("存储 ") + QString::number(storedCount_) + QStringLiteral(" 条记录");
    emit changed();
}

void Console::savecanshu1(int ch, int sheetIndex) {
    const QString title = QString::fromUtf8(kApplicationName);
    const int k = sheetIndex + 1;
    if (!prompter_.question(QStringLiteral("第") + QString::number(k) + QStringLiteral("片数据是否保存?"), title)) {
        ++storedCount_;
        return;
    }
    BatchFields batch;
    const BatchPanel& p = batch_;
    batch.serial = state_.field(Field::TvTestNumber, 0);  // every sheet belongs to channel 1's serial
    batch.spec = p.field(BatchField::Spec);
    batch.vf = p.field(BatchField::VF);
    batch.length = p.field(BatchField::Length);
    batch.area = p.field(BatchField::Area);
    batch.weight = p.field(BatchField::Weight);
    batch.iq = p.field(BatchField::IQ);
    batch.line = p.field(BatchField::Line);
    batch.joints = p.field(BatchField::Joints);
    SheetFields sheet;
    sheet.capacitance = p.grid[k][1];
    sheet.bending = p.grid[k][2];
    sheet.tensile = p.grid[k][3];
    sheet.tr = state_.field(Field::RiseTime, ch);
    sheet.vm = state_.field(Field::ReadoutVm, ch);
    sheet.vt = state_.field(Field::TvValue, ch);
    // Columns 0..n-1 with n = delay + rise time: column 0 holds 0, column i sample i + 1 of the
    // channel's curve (channels 4 to 6 take channel 3's).
    const int n = toInt16(state_.field(Field::DelayTime, ch)).value + toInt16(state_.field(Field::RiseTime, ch)).value;
    const int source = std::min(ch, 2);
    std::vector<float> curve;
    if (n > 0) {
        curve.assign(n, 0.0f);
        for (int i = 1; i < n; ++i) curve[i] = i + 1 <= kLastSample ? curves_.V[source][i + 1] : 0.0f;
    }
    if (!schemaReady_) schemaReady_ = batchStore_.ensureSchema().isEmpty();
    const StoreResult r = batchStore_.storeSheet(batch, k, sheet, curve, today_());
    if (r.status == StoreResult::CurveTooLong) {
        prompter_.message(QStringLiteral("第") + QString::number(k) + QStringLiteral("片曲线有") + QString::number(n) +
                              QStringLiteral("个数据，超过批次数据库每条曲线最多") + QString::number(kCurveColumns) +
                              QStringLiteral("个数据，本片未保存！"),
                          title);
        return;
    }
    if (!r.ok()) {
        lastStoreError_ = r.detail;
        prompter_.message(kSheetFailed, title);
        return;
    }
    prompter_.message(QStringLiteral("第") + QString::number(k) + QStringLiteral("片曲线数据保存完毕!"), title);
    ++storedCount_;
}

}  // namespace varnot
