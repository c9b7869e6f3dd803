// Saving the finished tests of the current group: the checks, the local record of every channel
// and, for TV channels, the sheet in the batch store.
#include "console/console.h"

#include "acquisition/csv_export.h"
#include "common/text_number.h"

namespace varnot {
namespace {

const QString kIncomplete = QStringLiteral("测试数据不完整，本次测试无效！请确认完整后，再重新保存！");
const QString kEmptyNumber = QStringLiteral("参数设定不能为空！请确认完整后，再重新保存！");
const QString kCannotSave = QStringLiteral("无法保存，请检查实验参数设定是否完整并且正确！");
const QString kSheetFailed = QStringLiteral("无法保存，请检查实验记录是否完整，测试操作是否正确！");
const QString kSavingDuringRun = QStringLiteral("测试正在进行，请在测试结束后保存！");

QString kindName(TestKind k) {
    switch (k) {
        case TestKind::TV: return QStringLiteral("TV测试");
        case TestKind::Leakage: return QStringLiteral("漏电流测试");
        default: return QStringLiteral("电解液测试");
    }
}

}  // namespace

void Console::exportCsv() {
    std::vector<CurveColumns> channels;
    for (int ch = state_.firstCh; ch <= state_.lastCh; ++ch)
        channels.push_back({ch, recordNameOf(ch), kindName(state_.kind[ch]), &curves_.V[ch], &curves_.I[ch], samplesOf(ch)});
    const QString proposed = today_().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("-TV.csv");
    const QString name = prompter_.saveFileName(proposed, QStringLiteral("CSV文件(.csv)|*.csv|*.*"));
    if (name.isEmpty()) return;
    if (!writeCsv(name, curveTable(channels)))
        prompter_.message(QStringLiteral("CSV文件无法写入：") + name, QStringLiteral("信息提示"));
}

QString Console::recordNameOf(int ch) const {
    const bool elec = state_.kind[ch] == TestKind::Electrolyte;
    return recordName(state_.field(elec ? Field::ElecTestNumber : Field::TvTestNumber, ch),
                      state_.field(elec ? Field::ElecPosition : Field::TvPosition, ch));
}

LocalRecords Console::testDatabases() const { return LocalRecords(settings_.text("dbpath")); }

bool Console::checkRecordExists(int ch) const {
    if (recordExists) return recordExists(ch);
    return testDatabases().recordExists(state_.kind[ch], recordNameOf(ch));
}

int Console::samplesOf(int ch) const {
    const int end = view_.endSample[ch];
    return end > 0 ? end : curves_.stored[ch];
}

bool Console::testFinished(int ch) const { return state_.chEnded[ch] && view_.endSample[ch] > 0; }

QString Console::ranWith(Field f, int ch) const {
    if (ranWith_[ch] && isRunParameter(f)) return (*ranWith_[ch])[static_cast<int>(f)];
    return state_.field(f, ch);
}

bool Console::isRunParameter(Field f) {
    switch (f) {
        case Field::FormationVoltage: case Field::VrRatio: case Field::TestCurrent: case Field::DelayTime:
        case Field::RiseTimeLimit: case Field::LeakageVoltage: case Field::LeakageLimit: case Field::LeakageTestTime:
        case Field::ElecCurrent: case Field::ElecSetVoltage: case Field::ElecReference: case Field::SparkDelay:
        case Field::SparkCorrection:
        case Field::RiseTime: case Field::TvValue: case Field::TvJudgement: case Field::LeakageCurrent:
        case Field::LeakageJudgement: case Field::MaxVoltage: case Field::MinVoltage: case Field::ElecJudgement:
        case Field::Spark1Voltage: case Field::Spark1Time: case Field::Spark2Voltage: case Field::Spark2Time:
        case Field::Spark3Voltage: case Field::Spark3Time: case Field::ReadoutVm: case Field::WaterTemperature:
            return true;
        default:
            return false;
    }
}

void Console::recordRanWith(int ch) {
    std::array<QString, kFieldCount> values;
    for (int f = 0; f < kFieldCount; ++f) values[f] = state_.fields[f][ch];
    ranWith_[ch] = values;
}

StoredTest Console::storedTestOf(int ch) const {
    const ConsoleState& s = state_;
    StoredTest t;
    t.kind = s.kind[ch];
    t.recordName = recordNameOf(ch);
    const auto f = [&](Field field) { return QVariant(ranWith(field, ch)); };
    // A result the test never reached is stored as NULL, never as a measured 0.
    const bool finished = testFinished(ch);
    const auto result = [&](Field field, bool reached) { return reached ? f(field) : QVariant(QMetaType::fromType<QString>()); };
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
            v[QStringLiteral("升压时间")] = result(Field::RiseTime, view_.firstMark[ch]);
            v[QStringLiteral("TV值")] = result(Field::TvValue, finished);
            v[QStringLiteral("TV特性")] = f(Field::TvJudgement);
            v[QStringLiteral("水温度")] = f(Field::WaterTemperature);
            // Point B of a stored TV test is drawn at this sample.
            v[QStringLiteral("采样次数")] = samples > 0 ? QVariant(static_cast<int>(view_.tVmax[ch])) : QVariant(QMetaType::fromType<int>());
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
            const auto spark = [&](Field voltage) { return finished || ranWith(voltage, ch) != u"0"; };
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

void Console::forgetSaves() {
    for (SaveProgress& p : saveProgress_) p = {};
    ranWith_.fill(std::nullopt);
}

bool Console::confirmClose() {
    if (supervising_) return prompter_.askDefaultNo(QStringLiteral("测试正在进行，确定要退出吗？"), QStringLiteral("信息提示"));
    if (unsavedTest()) return prompter_.askDefaultNo(QStringLiteral("测试数据尚未保存，确定要退出吗？"), QStringLiteral("信息提示"));
    return true;
}

bool Console::unsavedTest() const {
    for (int ch = state_.firstCh; ch <= state_.lastCh; ++ch) {
        if (!testFinished(ch) && curves_.stored[ch] == 0) continue;  // nothing measured on it
        if (!channelStored(ch)) return true;
    }
    return false;
}

bool Console::channelStored(int ch) const {
    const SaveProgress& p = saveProgress_[ch];
    return p.local && p.recordName == recordNameOf(ch) && (state_.kind[ch] != TestKind::TV || p.sheet);
}

// The line a save that ends early adds to its message: the channels of the group not stored.
QString Console::unstoredLine() const {
    QStringList names;
    for (int c = state_.firstCh; c <= state_.lastCh; ++c)
        if (!channelStored(c)) names << QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路");
    return names.isEmpty() ? QString() : QStringLiteral("\n未保存：") + names.join(QStringLiteral("、"));
}

void Console::rereadStoredCount() {
    // A value that is not a 16-bit number leaves the counter as it is.
    if (const Int16Result stored = toInt16(settings_.read(Section::Canshu, u"存储运行标志")); stored.ok())
        storedCount_ = stored.value;
}

void Console::save2Click() {
    const QString title = QString::fromUtf8(kApplicationName);
    // A save while a run is supervised would store half tests.
    if (supervising_) {
        prompter_.message(kSavingDuringRun, title);
        return;
    }
    const Int16Result flag = toInt16(settings_.read(Section::Canshu, u"存储运行标志"));
    if (!flag.ok()) {
        prompter_.message(kCannotSave, title);
        return;
    }
    const auto endEarly = [&](const QString& text) {
        prompter_.message(text + unstoredLine(), title);
        emit changed();
    };
    BatchSession session(batchStore_);
    int localWritten = 0;
    bool anyTv = false;
    for (int ch = state_.firstCh; ch <= state_.lastCh; ++ch) {
        const TestKind kind = state_.kind[ch];
        anyTv = anyTv || kind == TestKind::TV;
        SaveProgress& progress = saveProgress_[ch];
        const QString name = recordNameOf(ch);
        // What this same test stored earlier is never refused as a duplicate and not stored twice.
        const bool ownRecord = progress.local && progress.recordName == name;
        if (ownRecord && (kind != TestKind::TV || progress.sheet)) continue;
        if (!ownRecord && checkRecordExists(ch)) {
            endEarly(QStringLiteral("同名记录") + kindName(kind) + QStringLiteral("编号：") + name +
                         QStringLiteral(" 已经存在，请使用其他的编号！"));
            return;
        }
        const auto empty = [&](Field f) { return state_.field(f, ch).isEmpty(); };
        if (kind == TestKind::TV && (empty(Field::TvTestNumber) || empty(Field::TvOperator))) {
            endEarly(kIncomplete);
            return;
        }
        // A leakage test needs its number too: without it the record would be named by the
        // position code alone.
        if (kind == TestKind::Leakage &&
            (empty(Field::TvTestNumber) || empty(Field::LeakageVoltage) || empty(Field::LeakageTestTime))) {
            endEarly(kIncomplete);
            return;
        }
        if (kind == TestKind::Electrolyte && empty(Field::ElecTestNumber)) {
            endEarly(kEmptyNumber);
            return;
        }
        if (kind == TestKind::TV && !progress.sheet) {
            const int boilOffset = boiling_[0] == Boiling::After ? 3 : 0;
            const SheetOutcome outcome = savecanshu1(session, ch, boilOffset + ch);
            if (outcome == SheetOutcome::Declined) continue;  // nothing of this channel is written
            if (outcome == SheetOutcome::Failed) {
                emit changed();
                return;
            }
            progress.sheet = true;
            progress.recordName = name;
        }
        // The sheet first, then the local record: a failure of either leaves this test on screen
        // to be saved again, and the next save stores what is missing.
        if (!ownRecord) {
            if (const QString error = testDatabases().save(storedTestOf(ch)); !error.isEmpty()) {
                qWarning("local test database: %s", qUtf8Printable(error));
                endEarly(kCannotSave + u'\n' + error.simplified());
                return;
            }
            progress.local = true;
            progress.recordName = name;
            ++localWritten;
        }
    }
    settings_.write(Section::Canshu, u"存储运行标志", QString::number(storedCount_));
    settings_.sync();
    // Every channel is stored or its sheet declined: the run's journal has served.
    journal_.discard();
    // A group of leakage or electrolyte tests stores no sheet: the status names its records.
    const int shown = anyTv ? storedCount_ : localWritten;
    state_.statusPanels[6] = QStringLiteral("存储 ") + QString::number(shown) + QStringLiteral(" 条记录");
    emit changed();
}

Console::SheetOutcome Console::savecanshu1(BatchSession& session, int ch, int sheetIndex) {
    const QString title = QString::fromUtf8(kApplicationName);
    const int k = sheetIndex + 1;
    const bool finished = testFinished(ch);
    // A test that did not end is named as such in the question.
    const QString question = QStringLiteral("第") + QString::number(k) + QStringLiteral("片数据是否保存?") +
                             (finished ? QString() : QStringLiteral("\n第") + QString::number(ch + 1) +
                                                         QStringLiteral("路测试未完成，未测得的结果保存为空。"));
    if (!prompter_.question(question, title)) {
        ++storedCount_;
        return SheetOutcome::Declined;
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
    sheet.finished = finished;
    sheet.tr = view_.firstMark[ch] ? ranWith(Field::RiseTime, ch) : QString();
    sheet.vm = curves_.stored[ch] > 2 ? ranWith(Field::ReadoutVm, ch) : QString();
    sheet.vt = finished ? ranWith(Field::TvValue, ch) : QString();
    // Columns 0..n-1 with n = delay + rise time: column 0 holds 0, column i sample i + 1 of the
    // channel's curve (channels 4 to 6 take channel 3's). A test that did not end keeps what it
    // measured: the columns after its last sample stay empty.
    const int source = std::min(ch, 2);
    const int n = finished ? toInt16(ranWith(Field::DelayTime, ch)).value + toInt16(ranWith(Field::RiseTime, ch)).value
                           : curves_.stored[source];
    std::vector<float> curve;
    if (n > 0) {
        curve.assign(n, 0.0f);
        for (int i = 1; i < n; ++i) curve[i] = i + 1 <= kLastSample ? curves_.V[source][i + 1] : 0.0f;
    }
    StoreResult r;
    if (curve.size() > std::size_t(kCurveColumns)) {
        r = {StoreResult::CurveTooLong, {}};
    } else if (!session.isOpen()) {
        if (const QString e = session.open(); !e.isEmpty()) r = {StoreResult::DatabaseError, e};
    }
    if (r.ok()) r = session.storeSheet(batch, k, sheet, curve, today_());
    if (r.status == StoreResult::CurveTooLong) {
        prompter_.message(QStringLiteral("第") + QString::number(k) + QStringLiteral("片曲线有") + QString::number(n) +
                              QStringLiteral("个数据，超过批次数据库每条曲线最多") + QString::number(kCurveColumns) +
                              QStringLiteral("个数据，本片未保存！") + unstoredLine(),
                          title);
        return SheetOutcome::Failed;
    }
    if (!r.ok()) {
        lastStoreError_ = r.detail;
        // The database's own reason on a second line: a server that cannot be reached is not the
        // operator's fault. It is logged as well.
        qWarning("batch store, sheet %d: %s", k, qUtf8Printable(r.detail));
        const QString reason =
            r.status == StoreResult::InvalidValue ? QStringLiteral("数值无效：") + r.detail : r.detail.simplified();
        prompter_.message(kSheetFailed + u'\n' + reason + unstoredLine(), title);
        return SheetOutcome::Failed;
    }
    prompter_.message(QStringLiteral("第") + QString::number(k) + QStringLiteral("片曲线数据保存完毕!"), title);
    ++storedCount_;
    return SheetOutcome::Stored;
}

}  // namespace varnot
