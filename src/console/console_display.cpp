// Stored tests shown on the channels: a record of the local databases (显示记录) and a batch of
// the batch store (打开). They are shown for what they are, never taken for a measured test.
#include "console/console.h"

#include "batch/batch_screen.h"
#include "settings/validation.h"

#include <QStringList>

#include <algorithm>

namespace varnot {

bool Console::showStoredRecord(int displayGroup, int slot, const StoredRecord& record, QString* error) {
    if (supervising_ || slot < 0 || slot >= kChannels) {
        if (error) *error = QStringLiteral("测试正在进行，不能显示记录！");
        return false;
    }
    if (!recordDisplayable(record, error)) return false;
    const std::vector<int> groups = switchedGroups(displayGroup);
    // What the display replaces: the slot, and in every group switched to the record's kind the
    // channels whose test is of another kind (a group shows one kind at a time).
    std::vector<int> replaced{slot};
    for (int g : groups)
        for (int c = firstOfGroup(g); c < firstOfGroup(g) + 3; ++c)
            if (c != slot && tests_[c].state != TestState::Empty && tests_[c].kind != record.kind) replaced.push_back(c);
    if (!confirmDiscardOf(replaced)) {
        if (error) error->clear();
        return false;
    }
    PerChannel<TestKind> kindBefore = state_.kind;
    for (int c : replaced) {
        clearTest(c);
        curves_.stored[c] = 0;
        plots_.drawnTo[c] = 0;
    }
    for (int g : groups) varnot::selectKind(state_, view_, g, record.kind);
    // A plot whose channel changed kind gets the axes of its new kind (its old curve goes).
    for (int g : groups)
        for (int c = firstOfGroup(g); c < firstOfGroup(g) + 3; ++c)
            if (c != slot && (kindBefore[c] != record.kind || std::count(replaced.begin(), replaced.end(), c)))
                zb(plots_, state_, c);
    std::array<QString, kFieldCount> own;
    for (int f = 0; f < kFieldCount; ++f) own[std::size_t(f)] = state_.fields[std::size_t(f)][slot];
    Live l = live();
    QStringList refused;
    if (!displayRecord(l, slot, record, error, &refused)) {
        emit changed();
        return false;
    }
    ChannelTest& t = tests_[slot];
    t.state = TestState::ShownLocal;
    t.kind = record.kind;
    t.recordName = record.name;
    t.testNumber = record.name;
    t.finished = true;
    t.volts = record.volts;
    t.amps = record.amps;
    for (int f = 0; f < kFieldCount; ++f) {
        t.fields[std::size_t(f)] = state_.fields[std::size_t(f)][slot];
        if (t.fields[std::size_t(f)] != own[std::size_t(f)]) t.replaced[Field(f)] = own[std::size_t(f)];
    }
    if (const auto after = recordAfterBoiling(record)) {
        const int g = groupOf(slot);
        t.ownAfterBoiling = boiling_[g] == Boiling::After;
        boiling_[g] = *after ? Boiling::After : Boiling::Before;
    }
    emit changed();
    // A stored value its field refused is named once the record shows.
    if (!refused.isEmpty()) prompter_.message(refused.join(u'\n'), QStringLiteral("信息提示"));
    return true;
}

bool Console::showBatch(const BatchContents& contents) {
    if (supervising_ || !confirmDiscard(0, kChannels - 1)) return false;
    for (int c = 0; c < kChannels; ++c) clearTest(c);
    clearChannels();
    clearSheets(batch_);
    if (!contents.batch) {  // not stored: nothing to show
        emit changed();
        return true;
    }
    const std::array<int, 6> tr = fillBatchPanel(batch_, contents);
    // Channels 1 to 3 show the batch's serial and formation voltage while its sheets are shown.
    PerChannel<std::array<QString, kFieldCount>> own{};
    for (int c = 0; c < kChannels; ++c)
        for (int f = 0; f < kFieldCount; ++f) own[c][std::size_t(f)] = state_.fields[std::size_t(f)][c];
    // The batch's VF enters 化成电压 1-3 only as the field would take it typed.
    QStringList refusals;
    for (int c = 0; c < 3; ++c) {
        if (const QString why = storedValueRefusal(Field::FormationVoltage, c, contents.batch->vf); why.isEmpty())
            state_.field(Field::FormationVoltage, c) = contents.batch->vf;
        else if (!refusals.contains(why))
            refusals << why;
        state_.field(Field::TvTestNumber, c) = contents.batch->serial;
    }
    drawBatchCurves(plots_, state_, contents, tr);
    for (int c = 0; c < kChannels; ++c) {
        const int k = c + 1;
        const auto curve = std::find_if(contents.curves.begin(), contents.curves.end(),
                                        [k](const StoredCurve& sc) { return sc.number == k; });
        if (c >= 3 && curve == contents.curves.end()) continue;
        ChannelTest& t = tests_[c];
        t.state = TestState::ShownBatch;
        t.kind = TestKind::TV;
        t.testNumber = contents.batch->serial;
        t.recordName = contents.batch->serial + QStringLiteral("-") + QString::number(k);
        t.finished = true;
        if (curve != contents.curves.end()) t.volts.assign(curve->values.begin(), curve->values.end());
        for (int f = 0; f < kFieldCount; ++f) {
            t.fields[std::size_t(f)] = state_.fields[std::size_t(f)][c];
            if (t.fields[std::size_t(f)] != own[c][std::size_t(f)]) t.replaced[Field(f)] = own[c][std::size_t(f)];
        }
    }
    emit changed();
    if (!refusals.isEmpty()) prompter_.message(refusals.join(u'\n'), QStringLiteral("信息提示"));
    return true;
}

void Console::batchDeleted() {
    for (int c = 0; c < kChannels; ++c)
        if (tests_[c].state == TestState::ShownBatch) clearTest(c);
    clearChannels();
    clearSheets(batch_);
    for (BatchField f : {BatchField::Serial, BatchField::Spec, BatchField::Length, BatchField::Area, BatchField::Joints,
                         BatchField::Weight, BatchField::Line, BatchField::IQ})
        batch_.field(f) = QStringLiteral(" ");
    emit changed();
}

void Console::chooseBatchField(BatchField f, const QString& text) {
    batch_.field(f) = text;
    emit changed();
}

void Console::chooseBatchDate(QDate date) {
    batch_.date = date;
    emit changed();
}

}  // namespace varnot
