// Saving, exporting and wiping the tests on the channels: the save of the ended tests, the CSV
// export of what the channels show, the questions before anything measured is lost.
#include "console/console.h"

#include "acquisition/csv_export.h"
#include "common/text_number.h"

#include <QStringList>

namespace varnot {
namespace {

const QString kSavingDuringRun = QStringLiteral("测试正在进行，请在测试结束后保存！");
const QString kCannotSave = QStringLiteral("无法保存，请检查实验参数设定是否完整并且正确！");
const QString kNothingToSave = QStringLiteral("没有需要保存的测试数据！");
const QString kAlreadyStored = QStringLiteral("本次测试已经保存！");
const QString kDiscardQuestion = QStringLiteral("测试数据尚未保存，确定要放弃吗？");

// A test's curve as the export reads it: sample k at index k.
std::vector<float> fromSampleOne(const std::vector<float>& samples) {
    std::vector<float> v(samples.size() + 1, 0.0f);
    std::copy(samples.begin(), samples.end(), v.begin() + 1);
    return v;
}

}  // namespace

void Console::exportCsv() {
    // Every channel that holds a test, as that test is: a running or ended test with what it
    // measured, a displayed record or sheet under its own name and length.
    std::vector<std::vector<float>> curves;
    curves.reserve(2 * kChannels);
    std::vector<CurveColumns> channels;
    for (int ch = 0; ch < kChannels; ++ch) {
        const ChannelTest& t = tests_[ch];
        if (t.state == TestState::Empty) continue;
        if (t.state == TestState::Running) {
            channels.push_back({ch, t.recordName, testKindName(t.kind), &curves_.V[ch], &curves_.I[ch], samplesOf(ch)});
            continue;
        }
        curves.push_back(fromSampleOne(t.volts));
        const std::vector<float>* V = &curves.back();
        curves.push_back(fromSampleOne(t.amps));
        const std::vector<float>* I = t.amps.empty() ? nullptr : &curves.back();
        channels.push_back({ch, t.recordName, testKindName(t.kind), V, I, t.samples()});
    }
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

void Console::beginTest(int ch) {
    clearTest(ch);
    ChannelTest& t = tests_[ch];
    t.state = TestState::Running;
    t.kind = state_.kind[ch];
    const bool elec = t.kind == TestKind::Electrolyte;
    t.testNumber = state_.field(elec ? Field::ElecTestNumber : Field::TvTestNumber, ch);
    t.position = state_.field(elec ? Field::ElecPosition : Field::TvPosition, ch);
    t.recordName = recordName(t.testNumber, t.position);
    t.afterBoiling = boiling_[groupOf(ch)] == Boiling::After;
    t.serial = state_.field(Field::TvTestNumber, 0);
    t.started = QDateTime::currentDateTime();
}

void Console::concludeTest(int ch) {
    ChannelTest& t = tests_[ch];
    if (t.shown()) return;
    if (t.state != TestState::Running) beginTest(ch);  // a test put back, not started here
    const int samples = std::clamp(samplesOf(ch), 0, kLastSample);
    t.finished = testFinished(ch);
    if (samples == 0 && !t.finished) {
        t = {};  // it measured nothing: nothing of it is a test
        return;
    }
    t.state = TestState::Ended;
    for (int f = 0; f < kFieldCount; ++f) t.fields[std::size_t(f)] = state_.fields[std::size_t(f)][ch];
    t.firstMark = view_.firstMark[ch];
    t.tVmax = view_.tVmax[ch];
    t.volts.assign(curves_.V[ch].begin() + 1, curves_.V[ch].begin() + 1 + samples);
    t.amps.assign(curves_.I[ch].begin() + 1, curves_.I[ch].begin() + 1 + samples);
}

// What the operator left empty when the test started (its number, its tester) may be filled in
// before the save; nothing else typed after the end reaches its record.
void Console::completeIdentity(int ch) {
    ChannelTest& t = tests_[ch];
    if (t.state != TestState::Ended || t.stored() != Stored::Nothing) return;
    const bool elec = t.kind == TestKind::Electrolyte;
    if (t.testNumber.isEmpty()) {
        t.testNumber = state_.field(elec ? Field::ElecTestNumber : Field::TvTestNumber, ch);
        t.recordName = recordName(t.testNumber, t.position);
        t.fields[std::size_t(elec ? Field::ElecTestNumber : Field::TvTestNumber)] = t.testNumber;
    }
    if (t.serial.isEmpty()) t.serial = ch == 0 ? t.testNumber : state_.field(Field::TvTestNumber, 0);
    const Field tester = elec ? Field::ElecOperator : Field::TvOperator;
    if (t.field(tester).isEmpty()) t.fields[std::size_t(tester)] = state_.field(tester, ch);
}

void Console::clearTest(int ch) {
    ChannelTest& t = tests_[ch];
    // A display goes: the operator's own texts come back where the display put the stored ones
    // and nobody typed over them since.
    if (t.shown()) {
        for (const auto& [f, own] : t.replaced)
            if (state_.field(f, ch) == t.field(f)) state_.field(f, ch) = own;
        if (t.ownAfterBoiling) boiling_[groupOf(ch)] = *t.ownAfterBoiling ? Boiling::After : Boiling::Before;
    }
    t = {};
}

bool Console::confirmDiscard(int first, int last) {
    std::vector<int> channels;
    for (int c = first; c <= last; ++c) channels.push_back(c);
    return confirmDiscardOf(channels);
}

bool Console::confirmDiscardOf(const std::vector<int>& channels) {
    QStringList names;
    for (int c : channels)
        if (tests_[c].unsaved()) names << QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路");
    if (names.isEmpty()) return true;
    return prompter_.askDefaultNo(kDiscardQuestion + QStringLiteral("\n未保存：") + names.join(QStringLiteral("、")),
                              QStringLiteral("信息提示"));
}

void Console::recordsDeleted(TestKind kind, const QStringList& names) {
    // Asked of the store itself: a delete that failed leaves the record stored.
    for (int ch = 0; ch < kChannels; ++ch) {
        ChannelTest& t = tests_[ch];
        if (t.state == TestState::Ended && t.kind == kind && t.storedLocal && names.contains(t.recordName))
            t.storedLocal = saver_.recordExists(ch, t);
    }
    emit changed();
}

bool Console::confirmClose() {
    if (supervising_) return prompter_.askDefaultNo(QStringLiteral("测试正在进行，确定要退出吗？"), QStringLiteral("信息提示"));
    if (unsavedTest()) return prompter_.askDefaultNo(QStringLiteral("测试数据尚未保存，确定要退出吗？"), QStringLiteral("信息提示"));
    return true;
}

bool Console::unsavedTest() const {
    return std::any_of(tests_.begin(), tests_.end(), [](const ChannelTest& t) { return t.unsaved(); });
}

ConsoleState Console::reportState() const {
    ConsoleState s = state_;
    for (int ch = 0; ch < kChannels; ++ch) {
        const ChannelTest& t = tests_[ch];
        if (t.state != TestState::Ended && !t.shown()) continue;
        s.kind[ch] = t.kind;
        for (int f = 0; f < kFieldCount; ++f) s.fields[std::size_t(f)][ch] = t.fields[std::size_t(f)];
    }
    return s;
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
    for (int ch = 0; ch < kChannels; ++ch) completeIdentity(ch);
    const SaveResult r = saver_.save(tests_, batch_, storedCount_);
    if (!r.lastStoreError.isEmpty()) lastStoreError_ = r.lastStoreError;
    // The batch grid shows the sheets just stored.
    for (const auto& [k, sheet] : r.sheets) {
        auto& row = batch_.grid[std::size_t(k)];
        const auto shown = [](const QString& text) {
            const std::optional<double> v = toDouble(text.trimmed());
            return v ? QString::number(*v, 'f', 2) : QString();
        };
        row[4] = shown(sheet.tr);
        row[5] = shown(sheet.vm);
        row[6] = shown(sheet.vt);
    }
    switch (r.outcome) {
        case SaveResult::Outcome::EndedEarly:
            emit changed();
            return;
        case SaveResult::Outcome::Nothing:
            prompter_.message(kNothingToSave, title);
            emit changed();
            return;
        case SaveResult::Outcome::AlreadyStored:
            prompter_.message(kAlreadyStored, title);
            emit changed();
            return;
        case SaveResult::Outcome::Stored:
            break;
    }
    settings_.write(Section::Canshu, u"存储运行标志", QString::number(storedCount_));
    settings_.sync();
    // Every test is stored: the run's journal has served.
    if (!unsavedTest()) journal_.discard();
    state_.statusPanels[6] = QStringLiteral("存储 ") + QString::number(r.recordsWritten) + QStringLiteral(" 条记录");
    emit changed();
}

}  // namespace varnot
