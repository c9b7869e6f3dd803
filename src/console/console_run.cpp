// Run control of the console: starting and stopping channel groups from the toolbar, the checks
// before a start, the run loop and the end of a run.
#include "console/console.h"

#include "link/link_texts.h"
#include "run/evaluation.h"

#include <QStringList>

namespace varnot {
namespace {

struct GroupButton {
    const char* key;
    int lastCh;
    const char* startCaption;     // after a run
    const char* stopCaption;
    const char* ownStopCaption;   // set by its own stop
};

const GroupButton kGroupButtons[] = {
    {"test13", 2, "1-3测试开始", "1-3测试停止", "1-3路测试开始"},
    {"test46", 1, "1-2测试开始", "1-2测试停止", "1-2路测试开始"},
    {"test16", 0, "1路测试开始", "1路测试停止", "1路测试开始"},
};

const GroupButton* groupButton(const QString& key) {
    for (const GroupButton& b : kGroupButtons)
        if (key == QLatin1String(b.key)) return &b;
    return nullptr;
}

}  // namespace

// An instrument answered on the link: the serial port found by its scan, or a TCP connection whose
// handshake was answered (a connection alone is not enough).
bool Console::linkOpen() const { return state_.openPort != 0 || connection_.ethernetConfirmed(); }

void Console::toolbarCommand(const QString& key) {
    if (const GroupButton* b = groupButton(key)) {
        if (state_.button(key).caption == QString::fromUtf8(b->stopCaption))
            stopGroup(key);
        else
            startGroup(key);
    } else if (key == u"stop16") {
        stopAll();
    } else if (key == u"new2") {
        resetChannels();
    } else if (key == u"save2") {
        save2Click();
    } else if (key == link_texts::kKeyEthernet) {
        ethernetCommand();
    }
}

void Console::startGroup(const QString& key) {
    const GroupButton* b = groupButton(key);
    if (!b || supervising_) return;
    // Either link serves: the serial port or the Ethernet connection.
    if (!linkOpen()) {
        prompter_.message(QStringLiteral("通信端口未打开！"), QStringLiteral("Varnot智能TV仪测试系统"));
        return;
    }
    // The test on screen is asked about before anything of it is cleared; No keeps it whole.
    if (!confirmDiscard(0, b->lastCh)) {
        emit changed();
        return;
    }
    emit runStarting();
    // A run locks its set-points: an entry still being typed is completed (checked, replaced,
    // linked) first, so no run starts on a half-typed value.
    completePendingEntries();
    // A record shown on the channels goes first: the checks and the run see the operator's own
    // texts, not the stored test's.
    for (int c = 0; c <= b->lastCh; ++c)
        if (tests_[c].shown()) clearTest(c);
    for (std::size_t i = 0; i < std::size(kGroupButtons); ++i)
        startButtonsBefore_[i] = state_.button(QString::fromLatin1(kGroupButtons[i].key));
    rangeBefore_ = {state_.firstCh, state_.lastCh};
    state_.startPending = true;
    state_.firstCh = 0;
    state_.lastCh = b->lastCh;
    for (const GroupButton& other : kGroupButtons) {
        Control& button = state_.button(QString::fromLatin1(other.key));
        if (&other == b)
            button.caption = QString::fromUtf8(b->stopCaption);
        else
            button.enabled = false;
    }
    emit changed();
    run();
}

void Console::run() {
    // Two channels under one record name would overwrite each other's test: the first shared name
    // is named with its channels, and the run does not start.
    for (int c = state_.firstCh; c <= state_.lastCh; ++c) {
        QStringList sharing{QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路")};
        for (int d = c + 1; d <= state_.lastCh; ++d)
            if (recordNameOf(d) == recordNameOf(c))
                sharing << QStringLiteral("第") + QString::number(d + 1) + QStringLiteral("路");
        if (sharing.size() < 2) continue;
        const QString last = sharing.takeLast();
        prompter_.message(sharing.join(QStringLiteral("、")) + QStringLiteral("和") + last +
                              QStringLiteral("的测试编号与位置相同（") + recordNameOf(c) +
                              QStringLiteral("），请修改后再开始测试！"),
                          QString::fromUtf8(kApplicationName));
        refuseStart();
        return;
    }
    for (int c = state_.firstCh; c <= state_.lastCh; ++c) {
        const TestKind kind = state_.kind[c];
        if (checkRecordExists(c)) {
            const bool elec = kind == TestKind::Electrolyte;
            const QString number = state_.field(elec ? Field::ElecTestNumber : Field::TvTestNumber, c) +
                                   state_.field(elec ? Field::ElecPosition : Field::TvPosition, c);
            prompter_.message(QStringLiteral("同名记录") + testKindName(kind) + QStringLiteral("编号：") +
                                  number + QStringLiteral(" 已经存在，请使用其他的编号！"),
                              QString::fromUtf8(kApplicationName));
            refuseStart();
            return;
        }
        state_.statusPanels[c] = QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路开始") +
                                 testKindName(kind);
    }
    emit changed();
    if (!prompter_.question(QStringLiteral("您确定要开始运行吗？"), QStringLiteral("信息提示"))) {
        for (int c = state_.firstCh; c <= state_.lastCh; ++c)
            state_.statusPanels[c] = QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路测试关闭");
        refuseStart();
        return;
    }
    // Only now, with the start confirmed, the channels are cleared for the new test.
    clearChannels();
    for (int c = state_.firstCh; c <= state_.lastCh; ++c)
        state_.statusPanels[c] = QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路开始") +
                                 testKindName(state_.kind[c]);
    // The sheet values typed for this run's sheets stay: they are stored with the sheets.
    if (state_.lastCh == 2) clearSheetResults(batch_);
    for (int c = 0; c < kChannels; ++c) {
        const bool in = c <= state_.lastCh;
        state_.chEnded[c] = !in;
        state_.chStopped[c] = !in;
        curves_.stored[c] = 0;
        view_.endSample[c] = 0;
        if (in) beginTest(c);
    }
    // The sheets go to the batch of channel 1's test number, tested at its formation voltage.
    mirrorSerial();
    if (state_.kind[0] == TestKind::TV) batch_.field(BatchField::VF) = state_.field(Field::FormationVoltage, 0);
    state_.startPending = false;
    state_.n = 1;
    state_.testRun = true;
    supervising_ = true;
    visit_ = 0;
    beginJournal();
    scheduleRound();
    emit changed();
}

void Console::refuseStart() {
    // A refused start leaves no half-started run behind: the start buttons show what they showed
    // before it and no channel of the group waits for a run.
    for (std::size_t i = 0; i < std::size(kGroupButtons); ++i)
        state_.button(QString::fromLatin1(kGroupButtons[i].key)) = startButtonsBefore_[i];
    for (int c = 0; c < kChannels; ++c) {
        state_.chStopped[c] = true;
        state_.chEnded[c] = true;
    }
    state_.startPending = false;
    state_.firstCh = rangeBefore_.first;
    state_.lastCh = rangeBefore_.second;
    emit changed();
}

void Console::acquisitionTick() {
    // Every running channel is visited on sample n before sample n + 1 is stored: the visits of
    // the last round that the event loop has not reached yet run here, in their order. A test
    // therefore ends at the same sample on a busy machine as on an idle one.
    if (supervising_) {
        while (pendingVisits_ > 0 && !allChannelsStopped()) visitOnce();
        if (allChannelsStopped()) {
            // The run is over: its end follows from the run loop, and no further sample is stored.
            if (!stepTimer_.isActive()) stepTimer_.start(0);
            emit changed();
            return;
        }
    }
    Live l = live();
    varnot::acquisitionTick(l);
    // The sample just stored, with what changed since the last record, is on disk before the
    // next one is taken.
    if (supervising_) journal_.tick(runState(), curves_, state_.n - 1);
    scheduleRound();
    emit changed();
}

void Console::scheduleRound() {
    if (!supervising_) return;
    pendingVisits_ = std::max(pendingVisits_, 3);
    if (!stepTimer_.isActive()) stepTimer_.start(0);
}

bool Console::allChannelsStopped() const {
    return state_.chStopped[0] && state_.chStopped[1] && state_.chStopped[2];
}

void Console::visitOnce() {
    Live l = live();
    const int ch = visit_;
    const bool wasEnded = state_.chEnded[ch];
    evaluateChannel(l, settings_, ch);
    // A test is stored with what it ran with: limits changed after its end do not reach its record.
    if (!wasEnded && state_.chEnded[ch]) concludeTest(ch);
    visit_ = (visit_ + 1) % 3;
    if (pendingVisits_ > 0) --pendingVisits_;
    if (pendingVisits_ == 0 && supervising_) journal_.note(runState());
}

void Console::visitStep() {
    if (!supervising_) return;
    if (pendingVisits_ > 0) {
        visitOnce();
        emit changed();
    }
    if (allChannelsStopped()) {
        // The end of the run asks its question only once no box is open, so it never overtakes
        // the message it follows (a lost link's failure message, say), and only once a link the
        // operator closes under the run is closed.
        if (prompter_.showing() || linkStopping_) {
            stepTimer_.start(timing_.scaled(50));
            return;
        }
        endOfRun();
        return;
    }
    if (pendingVisits_ > 0) stepTimer_.start(0);
}

void Console::endOfRun() {
    supervising_ = false;
    for (int c = state_.firstCh; c <= state_.lastCh; ++c)
        if (tests_[c].state == TestState::Running) concludeTest(c);
    pendingVisits_ = 0;
    stepTimer_.stop();
    view_.sparkCount.fill(0);
    settings_.storeCoefficients(state_.coefficients);
    acquisitionTimer_.stop();
    state_.testRun = false;
    for (const GroupButton& b : kGroupButtons) {
        Control& button = state_.button(QString::fromLatin1(b.key));
        button.enabled = true;
        button.caption = QString::fromUtf8(b.startCaption);
    }
    settings_.sync();
    journal_.end(runState());
    emit changed();
    // The journal stays as long as the test is on screen and not stored whole: until it is saved,
    // given up for a new test, or the console is closed in order.
    if (prompter_.question(QStringLiteral("测试结束，需要保存吗？"), QStringLiteral("信息提示"))) save2Click();
    state_.n = 0;
    emit changed();
    emit runEnded();
}

void Console::stopGroup(const QString& key) {
    const GroupButton* b = groupButton(key);
    if (!b) return;
    for (int c = 0; c < 3; ++c) state_.chStopped[c] = true;
    state_.n = 0;
    state_.button(key).caption = QString::fromUtf8(b->ownStopCaption);
    // Until the run has ended (and its end enables the starts) no start button looks usable.
    if (supervising_) state_.button(key).enabled = false;
    scheduleRound();
    emit changed();
}

void Console::stopAll() {
    for (const GroupButton& b : kGroupButtons) {
        Control& button = state_.button(QString::fromLatin1(b.key));
        button.enabled = !supervising_;  // a supervised run's end enables them
        button.caption = QString::fromUtf8(b.startCaption);
    }
    for (int c = 0; c <= 3; ++c) state_.chStopped[c] = true;
    state_.n = 0;
    scheduleRound();
    emit changed();
}

}  // namespace varnot
