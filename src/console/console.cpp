#include "console/console.h"

#include "common/text_number.h"
#include "link/link_texts.h"
#include "settings/field_catalogue.h"
#include "settings/validation.h"

#include <QStringList>

namespace varnot {

namespace {

// Toolbar keys with their first captions.
const std::pair<const char*, const char*> kToolbar[] = {
    {"new2", "新建文件"},       {"save2", "保存"},          {"query2", "查询"},
    {"test13", "1-3测试开始"},  {"test46", "1-2测试开始"},  {"test16", "1路测试开始"},
    {"stop16", "1-3测试停止"},  {"RJ45_connect", "以太网连接"},
};

// Which stored key fills which field at start-up, channels 1 to 3.
const std::pair<const char*, Field> kRestored[] = {
    {"hcdy", Field::FormationVoltage}, {"vrb", Field::VrRatio},         {"csdl", Field::TestCurrent},
    {"Thl", Field::DelayTime},         {"TVzb", Field::RiseTimeLimit},  {"ldldy", Field::LeakageVoltage},
    {"ldlzb", Field::LeakageLimit},    {"Thy", Field::LeakageTestTime}, {"TVcsbh", Field::TvTestNumber},
    {"LBUSER", Field::TvOperator},     {"djycsdl", Field::ElecCurrent}, {"djysddy", Field::ElecSetVoltage},
    {"djyckdy", Field::ElecReference}, {"djyshys", Field::SparkDelay},  {"djyshxz", Field::SparkCorrection},
    {"DJYcsbh", Field::ElecTestNumber}, {"DJYUSER", Field::ElecOperator},
};

TestKind storedKind(const SettingsStore& s, int g) {
    if (s.boolean("option7", g)) return TestKind::Electrolyte;
    if (s.boolean("option6", g)) return TestKind::Leakage;
    return TestKind::TV;
}

}  // namespace

Console::Console(SettingsStore& settings, Prompter& prompter, Timing timing, std::function<QDate()> today,
                 QObject* parent)
    : QObject(parent),
      settings_(settings),
      prompter_(prompter),
      timing_(timing),
      today_(std::move(today)),
      connection_(state_, prompter, settings, timing),
      poll_(state_, prompter, connection_, timing),
      saver_(settings_, prompter_, batchStore_, today_) {
    saver_.recordExists = [this](int ch, const ChannelTest& t) {
        if (recordExists) return recordExists(ch);
        return testDatabases().recordExists(t.kind, t.recordName);
    };
    saver_.progress = [this](int ch, StoredPart part) { journal_.stored(ch, part); };
    for (int f = 0; f < kFieldCount; ++f)
        for (int c = 0; c < kChannels; ++c) state_.fields[f][c] = builtInValue(static_cast<Field>(f), c);
    for (const auto& [key, caption] : kToolbar)
        state_.toolbar[QString::fromLatin1(key)] = {QString::fromUtf8(caption), true};
    acquisitionTimer_.setInterval(timing_.acquisitionMs());
    poll_.enableAcquisition = [this] {
        if (!acquisitionTimer_.isActive()) acquisitionTimer_.start();
    };
    poll_.stopAcquisition = [this] {
        for (int c = 0; c <= state_.lastCh; ++c) state_.chStopped[c] = true;
        state_.tempOk = false;
        state_.testRun = false;
        acquisitionTimer_.stop();
        scheduleRound();
    };
    connect(&acquisitionTimer_, &QTimer::timeout, this, &Console::acquisitionTick);
    stepTimer_.setSingleShot(true);
    stepTimer_.setInterval(0);
    connect(&stepTimer_, &QTimer::timeout, this, &Console::visitStep);
    groupReadout_ = {QStringLiteral("坐标123："), QStringLiteral("坐标456："), QStringLiteral("坐标1-6：")};
    connect(&connection_, &Connection::changed, this, &Console::changed);
    connect(&poll_, &PollCycle::changed, this, &Console::changed);
    journal_.onWriteFailure = [this](const QString& reason) { announce(journalNotWritten(reason)); };
}

void Console::load() {
    settings_.initialiseMissing();
    restoreOperatorFields(state_, settings_);
    state_.firstCh = 0;
    state_.lastCh = 2;
    const ChannelMemory memory = settings_.loadChannelMemory();
    state_.coefficients = memory.coefficients;
    plots_.hxfd = memory.hxfd;
    plots_.currentColour = memory.currentColour;
    const QString today = formatDate(today_(), u"yyyy/mm/dd");
    QStringList replaced;
    for (int i = 0; i < 3; ++i) {
        // A stored value that does not read as a number, or lies out of range, is replaced, and the
        // keys replaced are named.
        for (const auto& [key, field] : kRestored) {
            const QString shown = validatedText(field, i, settings_.text(key, i));
            const SettingKey* k = findSettingKey(QString::fromUtf8(key));
            if (k && settings_.read(k->section, indexedKey(key, i)) != shown) replaced << indexedKey(key, i);
            state_.field(field, i) = shown;
        }
        state_.field(Field::TvTestDate, i) = today;
        state_.field(Field::ElecTestDate, i) = today;
    }
    // The switches come back as they were left. The boiling switch only shows its state here: the
    // delays are the ones every channel has just brought back from the store.
    for (int g = 0; g < kGroups; ++g) {
        boiling_[g] = settings_.boolean("option2", g) ? Boiling::After : Boiling::Before;
        selectKind(g, storedKind(settings_, g));
        selectLinkage(g, !settings_.boolean("option9", g));
    }
    // Channels 1 to 3 always start with the TV test and linked, whatever their group's switches.
    for (int i = 0; i < 3; ++i) {
        state_.kind[i] = TestKind::TV;
        linked_[i] = true;
        state_.chStopped[i] = true;
        state_.chEnded[i] = true;
    }
    varnot::selectKind(state_, view_, 0, TestKind::TV);
    dateStamp_ = formatDate(today_(), u"yyyymmdd");
    plots_.hxfd16 = settings_.real("hxfd16");
    settings_.write(Section::Canshu, u"存储运行标志", QStringLiteral("0"));
    {
        // An unreachable batch server may hold a save for this long at most, never for ever.
        bool ok = false;
        const int seconds = settings_.text("dbtimeout").toInt(&ok);
        batchStore_.setTimeoutSeconds(ok && seconds > 0 ? std::min(seconds, 120) : 5);
    }
    storedCount_ = 0;
    // The batch tab starts from channel 1's test number and formation voltage.
    batch_.field(BatchField::Serial) = state_.field(Field::TvTestNumber, 0);
    batch_.field(BatchField::VF) = state_.field(Field::FormationVoltage, 0);
    batch_.date = today_();
    initialiseGrid(batch_);
    state_.g_Connect = 0;
    state_.n = 0;
    applyKindFields();
    for (int ch = 0; ch < kChannels; ++ch) zb(plots_, state_, ch);
    for (int p = 0; p < 3; ++p) zb16(plots_, state_, p);
    applyTabVisibility(plots_, tab_);
    state_.toolbarVisible = true;
    for (const QString& key : {link_texts::kKeyTest46, link_texts::kKeyTest16, link_texts::kKeyEthernet})
        state_.button(key).enabled = false;
    state_.startBlocked = link_texts::kNoTemperatureRead;
    settings_.sync();
    announceStartUp(replaced);
    emit changed();
}

void Console::announce(const QString& text) {
    notices_ << text;
    qWarning("%s", qUtf8Printable(text));
    emit changed();
}

void Console::announceStartUp(const QStringList& replacedKeys) {
    if (const QString aside = settings_.setAsideFile(); !aside.isEmpty())
        announce(QStringLiteral("设置文件已损坏：") + settings_.fileName() + QStringLiteral("，已移至") + aside +
                 QStringLiteral("，各项设置恢复为初始值"));
    if (!replacedKeys.isEmpty())
        announce(QStringLiteral("设置文件中的无效值已用替代值代替：") + replacedKeys.join(QStringLiteral("、")));
}

void Console::applyKindFields() {
    // Each group's fields follow the kind its channels run, so the fields of the kind that will
    // run are the editable ones.
    varnot::selectKind(state_, view_, 0, state_.kind[0]);
    varnot::selectKind(state_, view_, 1, state_.kind[3]);
}

void Console::unload() {
    // A run going away with the console stores no sample and ends no test any more: nothing of it
    // reaches the store.
    acquisitionTimer_.stop();
    stepTimer_.stop();
    pendingVisits_ = 0;
    supervising_ = false;
    // Closing was confirmed: the run or the unsaved test is given up.
    journal_.discard();
    state_.testRun = false;
    poll_.stop();
    connection_.closeAll();
    LocalRecords::closeReaders();
}

void Console::enterOperatorField(OperatorField f, const QString& typed) {
    const QString text = acceptedOperatorText(state_, f, typed);
    operatorText(state_, f) = text;
    settings_.write(Section::Canshu, QString::fromUtf8(operatorFieldSpec(f).settingsKey), text);
    emit changed();
}

bool Console::runsChannel(int c) const { return supervising_ && c >= state_.firstCh && c <= state_.lastCh; }

bool Console::entryLocked(Field f, int ch) const {
    if (!supervising_ || !lockedWhileRunning(f)) return false;
    if (runsChannel(ch)) return true;
    // An entry copied to linked channels is locked when it would reach a running one.
    if (!linkedOnEntry(f)) return false;
    for (int c : linkTargets(f, ch, linked_))
        if (runsChannel(c)) return true;
    return false;
}

bool Console::switchLocked(GroupSwitch which, int group) const {
    if (!supervising_) return false;
    // The channels a choice changes: the group's own, or for the boiling switch the delays of the
    // current range, whichever group's switch it is.
    const int first = which == GroupSwitch::Boiling ? 0 : firstOfGroup(group);
    const int last = which == GroupSwitch::Boiling ? state_.lastCh : first + 2;
    for (int c = first; c <= last; ++c)
        if (runsChannel(c)) return true;
    return false;
}

bool Console::commandAllowed(const QString& key) const { return !(key == u"new2" && supervising_); }

void Console::setFieldText(Field f, int ch, const QString& text) {
    if (entryLocked(f, ch)) {
        emit changed();  // the views show the text the channel runs with again
        return;
    }
    beforeEntry_.try_emplace({static_cast<int>(f), ch}, state_.field(f, ch));
    state_.field(f, ch) = text;
    if (f == Field::TvTestNumber) mirrorSerial();
}

void Console::mirrorSerial() {
    // The batch serial follows channel 1's TV test number.
    batch_.field(BatchField::Serial) = state_.field(Field::TvTestNumber, 0);
    emit tvTestNumberChanged(state_.field(Field::TvTestNumber, 0));
}

void Console::setBatchField(BatchField f, const QString& typed) {
    enterBatchField(batch_, f, typed);
    emit changed();
}

void Console::setSheetValue(int k, SheetValue v, const QString& typed) {
    enterSheetValue(batch_, k, v, typed);
    emit changed();
}

void Console::completePendingEntries() {
    while (!beforeEntry_.empty()) {
        const auto [f, ch] = beforeEntry_.begin()->first;
        completeEntry(static_cast<Field>(f), ch);  // takes the entry off the list
    }
}

void Console::completeEntry(Field f, int ch) {
    QString before = state_.field(f, ch);
    if (const auto started = beforeEntry_.find({static_cast<int>(f), ch}); started != beforeEntry_.end()) {
        before = started->second;
        beforeEntry_.erase(started);
    }
    if (entryLocked(f, ch)) {
        emit changed();
        return;
    }
    const FieldSpec& spec = fieldSpec(f);
    QString& text = state_.field(f, ch);
    if (spec.entry == FieldEntry::Numeric || spec.entry == FieldEntry::Free) {
        const CompletedEntry done = completeEntryText(f, ch, text, before, today_());
        text = done.text;
        if (!done.refusal.isEmpty()) {
            // Refused: the field is as it was before the entry, and nothing is copied or redrawn.
            emit changed();  // the field shows the kept text behind the message
            prompter_.message(done.refusal, QString::fromUtf8(kApplicationName));
            return;
        }
        if (spec.entry == FieldEntry::Free) {
            emit changed();
            return;
        }
    } else if (spec.entry == FieldEntry::FromStore) {
        if (text.isEmpty()) text = settings_.text(spec.settingsKey, 0);
    } else {
        emit changed();
        return;
    }
    // Entries follow within the group, 化成电压 among all six.
    const std::vector<int> targets = linkTargets(f, ch, linked_);
    for (int c : targets) state_.field(f, c) = text;
    if (f == Field::TvTestNumber) mirrorSerial();
    if (f == Field::FormationVoltage || f == Field::LeakageVoltage || f == Field::ElecSetVoltage) {
        std::vector<int> affected = targets;
        affected.push_back(ch);
        redrawAxesFor(affected);
    }
    emit changed();
}

void Console::redrawAxesFor(const std::vector<int>& channels) {
    for (int c : channels) zb(plots_, state_, c);
    for (int p = 0; p < 3; ++p) zb16(plots_, state_, p);
}

void Console::selectBoiling(int group, Boiling b) {
    if (switchLocked(GroupSwitch::Boiling, group)) {
        emit changed();
        return;
    }
    boiling_[group] = b;
    const QString delay = b == Boiling::Before ? QStringLiteral("180") : QStringLiteral("60");
    for (int c = 0; c <= state_.lastCh; ++c) state_.field(Field::DelayTime, c) = delay;
    emit changed();
}

void Console::showBoiling(int group, Boiling b) {
    if (!switchLocked(GroupSwitch::Boiling, group)) boiling_[group] = b;
    emit changed();
}

void Console::selectKind(int group, TestKind kind) {
    if (switchLocked(GroupSwitch::Kind, group)) {
        emit changed();
        return;
    }
    varnot::selectKind(state_, view_, group, kind);
    emit changed();
}

void Console::selectLinkage(int group, bool linked) {
    if (switchLocked(GroupSwitch::Linkage, group)) {
        emit changed();
        return;
    }
    linkageSwitch_[group] = linked;
    if (!linked) {
        for (int c = firstOfGroup(group); c < firstOfGroup(group) + 3; ++c) linked_[c] = false;
    } else if (group == 0) {
        linked_.fill(true);
    } else {
        // 参数联动 of group 4-6 links channels 4 to 6, as the switch says.
        for (int c = 3; c < 6; ++c) linked_[c] = true;
    }
    emit changed();
}

void Console::resetChannels() {
    // A reset during a run would re-open ended channels and judge them again.
    if (!commandAllowed(QStringLiteral("new2")) || !confirmDiscard(0, state_.lastCh)) {
        emit changed();
        return;
    }
    clearChannels();
}

void Console::clearChannels() {
    for (int c = 0; c <= state_.lastCh; ++c) clearTest(c);
    varnot::resetChannels(state_, view_);
    journal_.discard();  // the test on screen is given up for a new one
    for (int c = 0; c <= state_.lastCh; ++c) {
        plots_.groupLabel[c] = QPointF(0, 0);
        plots_.allLabel[c] = QPointF(0, 0);
        plots_.drawnTo[c] = 0;
    }
    for (int c = 0; c <= state_.lastCh; ++c) plots_.hxfd[c] = kHxfdMin;
    plots_.hxfd16 = kHxfd16Min;
    for (int c = 0; c <= state_.lastCh; ++c) {
        zb(plots_, state_, c);
        if (c < 3) zb16(plots_, state_, c);
    }
    emit changed();
}

void Console::setCurrentVisible(bool visible) {
    currentVisible_ = visible;
    emit changed();
}

void Console::mouseOverChannelPlot(int ch, double x, double y) {
    if (const auto text = channelReadout(x, y, referenceVoltage(state_, ch), plots_.hxfd[ch])) {
        channelReadout_[ch] = *text;
        channelActive_[ch] = true;
        emit changed();
    }
}

void Console::mouseOverGroupPlot(int p, double x, double y) {
    if (const auto text = groupReadout(p, x, y, groupReadoutReference(state_, p), plots_.hxfd16)) {
        groupReadout_[p] = *text;
        groupActive_[p] = true;
        emit changed();
    }
}

void Console::exportPlots() {
    for (const ExportItem& item : exportPlan(state_, plots_, today_())) {
        const QString name = prompter_.saveFileName(item.proposedName, QStringLiteral("图本文件(.bmp)|*.bmp|*.*"));
        if (name.isEmpty()) return;  // cancelled: nothing is written, the export ends
        if (!writeBitmap(*item.surface, name)) {
            prompter_.message(QStringLiteral("图像文件无法写入：") + name, QStringLiteral("信息提示"));
            return;
        }
    }
}

void Console::selectTab(int tab) {
    tab_ = tab;
    applyTabVisibility(plots_, tab);
    emit changed();
}

void Console::calibrate(int ch, CalibrationItem item, StepDirection direction, StepSize size) {
    calibrationStep(settings_, state_.coefficients, ch, item, direction, size);
    emit changed();
}

void Console::restoreCalibrationDefaults() {
    varnot::restoreCalibrationDefaults(settings_, state_.coefficients, plots_.hxfd, plots_.hxfd16);
    // The zoom factors changed: every plot gets the axes of its new zoom and its curves again, as
    // the zoom commands leave them, so the drawing and the mouse readout agree.
    Live l = live();
    for (int ch = 0; ch < kChannels; ++ch) {
        zb(plots_, state_, ch);
        redrawChannelCurve(l, ch, plots_.drawnTo[ch]);
    }
    for (int p = 0; p < 3; ++p) zb16(plots_, state_, p);
    redrawCombinedCurves(l, plots_.drawnTo);
    emit changed();
}

void Console::zoomChannels(bool in) {
    for (int ch = 0; ch < kChannels; ++ch) {
        float& h = plots_.hxfd[ch];
        h = in ? zoomIn(h, kHxfdMin, kHxfdMax) : zoomOut(h, kHxfdMin, kHxfdMax);
        settings_.write(Section::Canshu, indexedKey("hxfd", ch), shortestText(h));
        zb(plots_, state_, ch);
        // The curve drawn so far comes back at the new scale.
        Live l = live();
        redrawChannelCurve(l, ch, plots_.drawnTo[ch]);
    }
    emit changed();
}

void Console::zoomCombined(bool in) {
    float& h = plots_.hxfd16;
    h = in ? zoomIn(h, kHxfd16Min, kHxfd16Max) : zoomOut(h, kHxfd16Min, kHxfd16Max);
    settings_.write(Section::Canshu, u"hxfd16", shortestText(h));
    for (int p = 0; p < 3; ++p) zb16(plots_, state_, p);
    Live l = live();
    redrawCombinedCurves(l, plots_.drawnTo);
    emit changed();
}

}  // namespace varnot
