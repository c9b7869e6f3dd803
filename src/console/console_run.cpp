// Run control of the console: starting and stopping channel groups from the toolbar, the checks
// before a start, the run loop and the end of a run.
#include "console/console.h"

#include "link/link_texts.h"
#include "run/evaluation.h"

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

const char* kindWord(TestKind k) {
    switch (k) {
        case TestKind::TV: return "TV测试";
        case TestKind::Leakage: return "漏电流测试";
        default: return "电解液测试";
    }
}

}  // namespace

bool Console::linkOpen() const { return state_.openPort != 0 || state_.g_Connect == 1; }

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
        connection_.ethernetToggle();
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
    for (std::size_t i = 0; i < std::size(kGroupButtons); ++i)
        startButtonsBefore_[i] = state_.button(QString::fromLatin1(kGroupButtons[i].key));
    state_.startPending = true;
    state_.firstCh = 0;
    state_.lastCh = b->lastCh;
    resetChannels();
    if (key == u"test13") initialiseGrid(batch_);
    for (const GroupButton& other : kGroupButtons) {
        Control& button = state_.button(QString::fromLatin1(other.key));
        if (&other == b)
            button.caption = QString::fromUtf8(b->stopCaption);
        else
            button.enabled = false;
    }
    for (int c = 0; c < kChannels; ++c) {
        const bool in = c <= state_.lastCh;
        state_.chEnded[c] = !in;
        state_.chStopped[c] = !in;
        curves_.stored[c] = 0;
        view_.endSample[c] = 0;
    }
    emit changed();
    run();
}

void Console::run() {
    for (int c = state_.firstCh; c <= state_.lastCh; ++c) {
        const TestKind kind = state_.kind[c];
        if (checkRecordExists(c)) {
            const bool elec = kind == TestKind::Electrolyte;
            const QString number = state_.field(elec ? Field::ElecTestNumber : Field::TvTestNumber, c) +
                                   state_.field(elec ? Field::ElecPosition : Field::TvPosition, c);
            prompter_.message(QStringLiteral("同名记录") + QString::fromUtf8(kindWord(kind)) + QStringLiteral("编号：") +
                                  number + QStringLiteral(" 已经存在，请使用其他的编号！"),
                              QString::fromUtf8(kApplicationName));
            refuseStart();
            return;
        }
        state_.statusPanels[c] = QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路开始") +
                                 QString::fromUtf8(kindWord(kind));
    }
    emit changed();
    if (!prompter_.question(QStringLiteral("您确定要开始运行吗？"), QStringLiteral("信息提示"))) {
        for (int c = state_.firstCh; c <= state_.lastCh; ++c)
            state_.statusPanels[c] = QStringLiteral("第") + QString::number(c + 1) + QStringLiteral("路测试关闭");
        refuseStart();
        return;
    }
    state_.startPending = false;
    state_.n = 1;
    state_.testRun = true;
    supervising_ = true;
    visit_ = 0;
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
    emit changed();
}

void Console::acquisitionTick() {
    Live l = live();
    varnot::acquisitionTick(l);
    scheduleRound();
    emit changed();
}

void Console::scheduleRound() {
    if (!supervising_) return;
    pendingVisits_ = std::max(pendingVisits_, 3);
    if (!stepTimer_.isActive()) stepTimer_.start(0);
}

void Console::visitStep() {
    if (!supervising_) return;
    // Behind an open box the loop waits, as it would inside the box's caller.
    if (prompter_.showing()) {
        stepTimer_.start(timing_.scaled(50));
        return;
    }
    Live l = live();
    evaluateChannel(l, settings_, visit_);
    visit_ = (visit_ + 1) % 3;
    if (pendingVisits_ > 0) --pendingVisits_;
    emit changed();
    if (state_.chStopped[0] && state_.chStopped[1] && state_.chStopped[2]) {
        endOfRun();
        return;
    }
    if (pendingVisits_ > 0) stepTimer_.start(0);
}

void Console::endOfRun() {
    supervising_ = false;
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
    emit changed();
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
