// What reaches the instrument is what the operator meant, through the window and the frames the
// simulated instrument received: refused set-points, the stop frame before the link closes under a
// run (closing the window, 以太网断开), an Ethernet connect nobody answers, why a start button is off,
// and what the status bar announces (a run journal that cannot be written, the settings file at
// start-up).
#include "console/console.h"
#include "console/console_window.h"
#include "console/qt_prompter.h"
#include "link/frames.h"
#include "link/link_texts.h"
#include "link/poll_cycle.h"
#include "settings/field_catalogue.h"
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"
#include "sim/tcp_endpoint.h"
#include "support/event_wait.h"
#include "support/in_process_run.h"
#include "support/raw_peers.h"
#include "support/scripted_prompter.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "support/modal_prompter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

using namespace varnot;
using namespace varnot::link_texts;
using varnot::testing::waitFor;

namespace {

using varnot::testing::ModalPrompter;

// A console window on a settings file of its own; prepare() writes what the console finds there
// at start-up.
class SafetyWindow : public ::testing::Test {
protected:
    void SetUp() override { bringUp(); }
    void bringUp(const std::function<void(SettingsStore&)>& prepare = {}) {
        settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
        settings->initialiseMissing();
        settings->write(Section::Canshu, u"dbpath", dir.filePath("db"));
        if (prepare) prepare(*settings);
        console = std::make_unique<Console>(*settings, prompter, Timing{0.5}, [] { return QDate(2026, 12, 10); });
        console->recordExists = [](int) { return false; };
        console->load();
        window = std::make_unique<ConsoleWindow>(*console);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override {
        window.reset();
        if (console) console->connection().closeAll();
    }

    ConsoleState& state() { return console->state(); }
    QString field(Field f, int ch) const { return console->state().field(f, ch); }
    template <typename T>
    T* named(const QString& name) {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLineEdit* box(Field f, int ch) {
        return named<QLineEdit>(QString::fromLatin1(fieldSpec(f).legacyId) + QStringLiteral("(%1)").arg(ch));
    }
    QAction* button(const QString& key) { return named<QAction>(key); }
    void click(const QString& key) {
        QToolBar* bar = window->findChild<QToolBar*>();
        QTest::mouseClick(bar->widgetForAction(button(key)), Qt::LeftButton);
    }
    QAction* menuEntry(const QString& text) {
        for (QAction* a : window->menuBar()->findChildren<QAction*>())
            if (a->text() == text) return a;
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
    QString statusText(const char* name) {
        const QLabel* label = named<QLabel>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<no label>");
    }
    // Types a whole entry as the operator does and ends it with Return.
    void enter(Field f, int ch, const QString& text) {
        window->showTab(f >= Field::ElecCurrent ? 4 : 3);
        QLineEdit* edit = box(f, ch);
        edit->setFocus();
        ASSERT_TRUE(waitFor([&] { return edit->hasFocus(); }));
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    QTemporaryDir dir;
    ModalPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::unique_ptr<ConsoleWindow> window;
};

// The window connected over Ethernet to the simulated instrument, with the frames it received.
class LinkedWindow : public SafetyWindow {
protected:
    void SetUp() override {
        SafetyWindow::SetUp();
        sim::Config config;
        config.link.steadyTemperature = true;
        instrument = std::make_unique<sim::Instrument>(config);
        endpoint = std::make_unique<sim::TcpEndpoint>(*instrument);
        endpoint->setFrameObserver([this](const QByteArray& frame) {
            if (const auto c = sim::Instrument::decodeCommand(frame); c && !c->handshake) received.push_back(*c);
        });
        ASSERT_TRUE(endpoint->listen(0));
        state().ipAddress = QStringLiteral("127.0.0.1");
        state().tcpPort = QString::number(endpoint->port());
        menuEntry(QStringLiteral("以太网连接"))->trigger();
        ASSERT_TRUE(waitFor([&] { return console->connection().ethernetConfirmed(); }));
        ASSERT_TRUE(waitFor([&] { return state().tempOk && button(QStringLiteral("test16"))->isEnabled(); }));
        for (int c = 0; c < kChannels; ++c) state().field(Field::DelayTime, c) = QStringLiteral("600");
    }
    // Lets two more frames reach the instrument and their answers come back.
    void twoPolls() {
        const int seen = instrument->pollsAnswered();
        ASSERT_TRUE(waitFor([&] { return instrument->pollsAnswered() >= seen + 2; }));
        QCoreApplication::processEvents();
    }
    void startChannel1() {
        prompter.answers = {true};
        click(QStringLiteral("test16"));
        ASSERT_TRUE(console->supervising());
        ASSERT_TRUE(waitFor([&] { return state().n > 3 && !received.empty() && received.back().runCommand == kRunCommandActive; }));
    }
    // The frame a stopped run leaves the instrument with: no run word, every channel off.
    static void expectStopFrame(const sim::DecodedCommand& c, const char* when) {
        EXPECT_EQ(c.runCommand, kRunCommandIdle) << when;
        EXPECT_EQ(c.n, 0) << when;
        for (int ch = 0; ch < 3; ++ch) EXPECT_FALSE(c.channelOn(ch)) << when << " ch" << ch + 1;
    }

    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<sim::TcpEndpoint> endpoint;
    std::vector<sim::DecodedCommand> received;
};

}  // namespace

// --- Set-points ----------------------------------------------------------------------------------

TEST_F(LinkedWindow, ARefusedSetPointNeverReachesTheInstrument) {
    struct Case {
        Field field;
        int ch;
        const char* typed;
        const char* refusal;
    };
    const Case cases[] = {
        {Field::FormationVoltage, 0, "25O", "化成电压的范围是1～1000V，请重新输入！"},  // a 250 V foil, one letter off
        {Field::FormationVoltage, 3, "1500", "化成电压的范围是1～1000V，请重新输入！"},
        {Field::TestCurrent, 1, "255", "测试电流的范围是0.2～15mA，请重新输入！"},
    };
    enter(Field::FormationVoltage, 0, QStringLiteral("250"));
    ASSERT_EQ(field(Field::FormationVoltage, 5), u"250");
    for (const Case& c : cases) {
        twoPolls();
        const sim::DecodedCommand before = received.back();
        PerChannel<QString> kept;
        for (int ch = 0; ch < kChannels; ++ch) kept[ch] = field(c.field, ch);
        prompter.shown.clear();
        enter(c.field, c.ch, QString::fromUtf8(c.typed));
        EXPECT_EQ(prompter.messages(), QStringList{QString::fromUtf8(c.refusal)}) << c.typed;
        // Neither the field nor a linked one changed, and each box shows its last valid value.
        for (int ch = 0; ch < kChannels; ++ch) {
            EXPECT_EQ(field(c.field, ch), kept[ch]) << c.typed << " ch" << ch + 1;
            EXPECT_EQ(box(c.field, ch)->text(), kept[ch]) << c.typed << " ch" << ch + 1;
        }
        twoPolls();
        const sim::DecodedCommand after = received.back();
        for (int ch = 0; ch < kChannels; ++ch) {
            EXPECT_EQ(after.voltageCode[ch], before.voltageCode[ch]) << c.typed << " ch" << ch + 1;
            EXPECT_EQ(after.currentCode[ch], before.currentCode[ch]) << c.typed << " ch" << ch + 1;
        }
    }
}

TEST_F(SafetyWindow, VrRatioTakesValidTextsAsTypedAndRefusesTheRestAtTheEnd) {
    // Every valid change is taken and copied at once; a text on its way to a value shows no box.
    window->showTab(3);
    QLineEdit* edit = box(Field::VrRatio, 0);
    edit->setFocus();
    ASSERT_TRUE(waitFor([&] { return edit->hasFocus(); }));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QStringLiteral("8"));
    EXPECT_EQ(field(Field::VrRatio, 2), u"8");
    QTest::keyClicks(edit, QStringLiteral("5"));
    EXPECT_EQ(field(Field::VrRatio, 2), u"85");
    EXPECT_TRUE(prompter.messages().isEmpty());
    QTest::keyClicks(edit, QStringLiteral("0"));  // 850: refused when the entry ends
    EXPECT_EQ(field(Field::VrRatio, 2), u"85");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("Vr取值比的范围是1～100%，请重新输入！")});
    EXPECT_EQ(edit->text(), u"85");
    EXPECT_EQ(field(Field::VrRatio, 0), u"85");
}

TEST_F(SafetyWindow, FieldsThatDecideARunningTestsEndOrRecordCannotBeEditedWhileItsGroupRuns) {
    varnot::testing::connectInstrument(*console);
    prompter.answers = {true};
    click(QStringLiteral("test13"));
    ASSERT_TRUE(console->supervising());
    const Field locked[] = {Field::DelayTime,    Field::VrRatio,    Field::RiseTimeLimit, Field::WaterTemperature,
                            Field::TvTestNumber, Field::TvOperator, Field::TvTestDate};
    for (Field f : locked) {
        EXPECT_FALSE(box(f, 2)->isEnabled()) << fieldSpec(f).legacyId;
        EXPECT_TRUE(box(f, 4)->isEnabled()) << fieldSpec(f).legacyId;  // group 4-6 runs nothing
    }
    prompter.answers = {false};  // the save question
    click(QStringLiteral("stop16"));
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    for (Field f : locked) EXPECT_TRUE(box(f, 2)->isEnabled()) << fieldSpec(f).legacyId;
}

// --- Closing and stopping ----------------------------------------------------------------------

TEST_F(LinkedWindow, ClosingTheWindowDuringARunStopsTheInstrumentBeforeTheLinkCloses) {
    startChannel1();
    prompter.answers = {true};
    EXPECT_FALSE(window->close());  // not yet: the stop frame is on its way
    const auto* asked = prompter.find(QStringLiteral("测试正在进行，确定要退出吗？"));
    ASSERT_NE(asked, nullptr);
    EXPECT_TRUE(asked->defaultNo);
    ASSERT_TRUE(waitFor([&] { return !window->isVisible(); }));
    ASSERT_FALSE(received.empty());
    expectStopFrame(received.back(), "the last frame before the link closed");
    EXPECT_FALSE(console->connection().ethernetConfirmed());
    EXPECT_EQ(prompter.count(QStringLiteral("测试结束，需要保存吗？")), 0);
    EXPECT_EQ(prompter.count(kPollFailure), 0);
    EXPECT_FALSE(console->supervising());
}

TEST_F(LinkedWindow, ClosingWaitsForTheAnswerToTheStopBoundedWhenNoneComes) {
    startChannel1();
    // The instrument reads the stop frame but never answers it.
    int stopFrames = 0;
    endpoint->setFrameObserver([&](const QByteArray& frame) {
        const auto c = sim::Instrument::decodeCommand(frame);
        if (!c || c->handshake) return;
        received.push_back(*c);
        if (c->runCommand == kRunCommandIdle && c->n == 0) {
            ++stopFrames;
            instrument->linkFaults().silent = true;
        }
    });
    prompter.answers = {true};
    EXPECT_FALSE(window->close());
    ASSERT_TRUE(waitFor([&] { return !window->isVisible(); }));
    // Sent as a poll is, once and twice more after each time-out, then the window closed anyway.
    EXPECT_EQ(stopFrames, PollCycle::kTimeoutsPerFailure);
    expectStopFrame(received.back(), "the last frame before the link closed");
    EXPECT_EQ(prompter.count(kPollFailure), 0);
}

TEST_F(LinkedWindow, DisconnectingEthernetDuringARunAsksFirstAndStopsTheRunAsTheOperators) {
    startChannel1();
    ASSERT_EQ(button(kKeyEthernet)->text(), kEthernetDisconnect);
    // No (the default) keeps the run and the link.
    prompter.answers = {false};
    click(kKeyEthernet);
    const auto* asked = prompter.find(kCloseLinkDuringRun);
    ASSERT_NE(asked, nullptr);
    EXPECT_TRUE(asked->defaultNo);
    const int n = state().n;
    ASSERT_TRUE(waitFor([&] { return state().n > n + 1; }));
    EXPECT_TRUE(console->supervising());
    EXPECT_TRUE(console->connection().ethernetConfirmed());

    // Yes: the instrument is told the run stopped, then the link closes; the operator is told it
    // was their stop, and the run ends with its save question after that.
    prompter.shown.clear();
    prompter.answers = {true, false};
    click(kKeyEthernet);
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    expectStopFrame(received.back(), "the last frame before the link closed");
    EXPECT_EQ(state().g_Connect, 0);
    EXPECT_EQ(prompter.count(kPollFailure), 0);
    const int stopped = prompter.indexOf(kRunStoppedByClose);
    const int saveQuestion = prompter.indexOf(QStringLiteral("测试结束，需要保存吗？"));
    ASSERT_GE(stopped, 0);
    EXPECT_GT(saveQuestion, stopped);
}

TEST_F(SafetyWindow, ClosingTheSerialPortDuringARunAsksFirstAndStopsTheRunAsTheOperators) {
    sim::Config config;
    config.link.steadyTemperature = true;
    sim::Instrument instrument{config};
    sim::PtyEndpoint pty(instrument, dir.filePath(QStringLiteral("com2")));
    ASSERT_TRUE(pty.open()) << pty.errorString().toStdString();
    std::vector<sim::DecodedCommand> received;
    pty.setFrameObserver([&](const QByteArray& frame) {
        if (const auto c = sim::Instrument::decodeCommand(frame); c && !c->handshake) received.push_back(*c);
    });
    settings->write(Section::Canshu, u"compath(2)", pty.linkPath());
    menuEntry(QStringLiteral("COM2"))->trigger();
    ASSERT_TRUE(waitFor([&] { return console->connection().serialOpen() && !console->connection().scanning(); }));
    ASSERT_TRUE(waitFor([&] { return state().tempOk && button(QStringLiteral("test16"))->isEnabled(); }));
    for (int c = 0; c < kChannels; ++c) state().field(Field::DelayTime, c) = QStringLiteral("600");
    prompter.answers = {true};
    click(QStringLiteral("test16"));
    ASSERT_TRUE(waitFor([&] { return state().n > 3 && !received.empty() && received.back().runCommand == kRunCommandActive; }));

    prompter.answers = {false};
    menuEntry(QStringLiteral("关闭串口"))->trigger();
    const auto* asked = prompter.find(kCloseLinkDuringRun);
    ASSERT_NE(asked, nullptr);
    EXPECT_TRUE(asked->defaultNo);
    EXPECT_TRUE(console->supervising());
    EXPECT_TRUE(console->connection().serialOpen());

    prompter.shown.clear();
    prompter.answers = {true, false};
    menuEntry(QStringLiteral("关闭串口"))->trigger();
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    EXPECT_FALSE(console->connection().serialOpen());
    EXPECT_EQ(received.back().runCommand, kRunCommandIdle);
    EXPECT_EQ(received.back().n, 0);
    EXPECT_FALSE(received.back().channelOn(0));
    EXPECT_EQ(prompter.count(kPollFailure), 0);
    const int stopped = prompter.indexOf(kRunStoppedByClose);
    ASSERT_GE(stopped, 0);
    EXPECT_GT(prompter.indexOf(QStringLiteral("测试结束，需要保存吗？")), stopped);
}

TEST_F(SafetyWindow, AQuestionThatGivesSomethingUpHasNoAsItsDefaultButton) {
    // The window's own boxes: Return answers with the default button.
    QtPrompter boxes(window.get());
    struct Case {
        const char* what;
        std::function<bool()> ask;
        bool returnMeans;
    };
    const Case cases[] = {
        {"a plain question", [&] { return boxes.question(QStringLiteral("您确定要开始运行吗？"), QStringLiteral("信息提示")); }, true},
        {"closing during a run", [&] { return boxes.askDefaultNo(QStringLiteral("测试正在进行，确定要退出吗？"), QStringLiteral("信息提示")); }, false},
    };
    for (const Case& c : cases) {
        bool pressed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || pressed) return;
            pressed = true;
            QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(10);
        EXPECT_EQ(c.ask(), c.returnMeans) << c.what;
        EXPECT_TRUE(pressed) << c.what;
    }
}

TEST_F(SafetyWindow, AnEthernetConnectNobodyAnswersFailsWithTheConnectFailureMessage) {
    varnot::testing::UnansweredTcpPort nobody;
    ASSERT_NE(nobody.port(), 0);
    ASSERT_TRUE(nobody.connectHangs(300));
    state().ipAddress = QStringLiteral("127.0.0.1");
    state().tcpPort = QString::number(nobody.port());
    menuEntry(QStringLiteral("以太网连接"))->trigger();
    EXPECT_EQ(state().g_Connect, 2);
    ASSERT_TRUE(waitFor([&] { return prompter.count(kNotConnected) == 1; }, 20000));
    EXPECT_EQ(state().g_Connect, 0);
    EXPECT_EQ(state().statusPanels[6], kEthernetFailed);
    EXPECT_TRUE(menuEntry(QStringLiteral("以太网连接"))->isEnabled());
}

// --- Reasons before the start --------------------------------------------------------------------

TEST_F(SafetyWindow, AStartButtonOffBeforeAnyReadingSaysSo) {
    EXPECT_FALSE(button(QStringLiteral("test46"))->isEnabled());
    EXPECT_EQ(button(QStringLiteral("test46"))->toolTip(), kNoTemperatureRead);
    EXPECT_EQ(statusText("startReason"), kNoTemperatureRead);
    EXPECT_EQ(button(QStringLiteral("test13"))->toolTip(), u"1-3测试开始");  // enabled: its caption
}

TEST_F(LinkedWindow, AStartButtonTheBathSwitchedOffSaysWhyWithTheReadingAndTheWindow) {
    EXPECT_TRUE(statusText("startReason").isEmpty());
    instrument->linkFaults().testTemperatureC = 80.0;
    ASSERT_TRUE(waitFor([&] { return !button(QStringLiteral("test13"))->isEnabled(); }));
    const QString why = QStringLiteral("水温 80.0 ℃ 不在 83.5–87.5 ℃ 之间，不能开始测试");
    for (const char* key : {"test13", "test46", "test16"}) EXPECT_EQ(button(QString::fromLatin1(key))->toolTip(), why) << key;
    EXPECT_EQ(statusText("startReason"), why);
    instrument->linkFaults().testTemperatureC = 85.0;
    ASSERT_TRUE(waitFor([&] { return button(QStringLiteral("test13"))->isEnabled(); }));
    EXPECT_TRUE(statusText("startReason").isEmpty());
    EXPECT_EQ(button(QStringLiteral("test13"))->toolTip(), u"1-3测试开始");
}

// --- What the status bar announces -------------------------------------------------------------------

TEST_F(SafetyWindow, ARunJournalThatCannotBeWrittenIsAnnouncedInTheStatusBar) {
    // The folder of the local databases lies under a plain file: nothing can be written there.
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    settings->write(Section::Canshu, u"dbpath", dir.filePath("blocker/db"));
    EXPECT_TRUE(statusText("notices").isEmpty());
    varnot::testing::connectInstrument(*console);
    prompter.answers = {true};
    click(QStringLiteral("test13"));
    ASSERT_TRUE(console->supervising());
    EXPECT_TRUE(statusText("notices").startsWith(QStringLiteral("运行记录无法写入，测试中断时数据无法恢复：") +
                                                 dir.filePath("blocker/db")))
        << statusText("notices").toStdString();
}

TEST_F(SafetyWindow, StartUpAnnouncesADamagedSettingsFileAndTheValuesItReplaced) {
    window.reset();
    console.reset();
    settings.reset();
    {
        QFile f(dir.filePath("s.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("[canshu]\nhcdy(0)=\0\n", 19));
    }
    QStringList logged;
    static QStringList* log = nullptr;
    log = &logged;
    const QtMessageHandler before = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
        if (log) *log << m;
    });
    // Damaged: set aside, and the console starts from the first values.
    settings = std::make_unique<SettingsStore>(dir.filePath("s.ini"));
    const QString aside = settings->setAsideFile();
    ASSERT_FALSE(aside.isEmpty());
    settings->initialiseMissing();
    // A value the first values would not hold, written as a hand edit would.
    settings->write(Section::Canshu, u"csdl(1)", QStringLiteral("255"));
    console = std::make_unique<Console>(*settings, prompter, Timing{0.5}, [] { return QDate(2026, 12, 10); });
    console->load();
    window = std::make_unique<ConsoleWindow>(*console);
    window->show();
    qInstallMessageHandler(before);
    log = nullptr;
    const QString damaged = QStringLiteral("设置文件已损坏：") + dir.filePath("s.ini") + QStringLiteral("，已移至") + aside +
                            QStringLiteral("，各项设置恢复为初始值");
    const QString replaced = QStringLiteral("设置文件中的无效值已用替代值代替：csdl(1)");
    EXPECT_EQ(statusText("notices"), damaged + QStringLiteral("  ") + replaced);
    EXPECT_EQ(logged.count(damaged), 1);
    EXPECT_EQ(logged.count(replaced), 1);
    EXPECT_EQ(field(Field::TestCurrent, 1), u"2");
}
