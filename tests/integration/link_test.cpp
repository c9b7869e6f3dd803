// The link through its real path: the console's serial port on pseudo-terminals and its TCP socket
// on loopback, with the simulated instrument at the other end.
#include "console/console.h"
#include "link/link_texts.h"
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"
#include "sim/tcp_endpoint.h"
#include "support/event_wait.h"
#include "support/raw_peers.h"
#include "support/scripted_prompter.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace varnot;
using namespace varnot::link_texts;
using varnot::testing::PeerReply;
using varnot::testing::RawPtyPeer;
using varnot::testing::RawTcpPeer;
using varnot::testing::runFor;
using varnot::testing::ScriptedPrompter;
using varnot::testing::waitFor;

namespace {

struct SimulatedPort {
    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<sim::PtyEndpoint> endpoint;
    int framesSeen = 0;
    QByteArray lastFrame;
};

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settings = std::make_unique<SettingsStore>(dir.filePath("settings.ini"));
        settings->initialiseMissing();
        for (int p = 1; p <= 12; ++p)
            settings->write(Section::Canshu, indexedKey("compath", p), dir.filePath(QString("absent%1").arg(p)));
        makeConsole(Timing{0.25});
    }

    void makeConsole(Timing timing) {
        console = std::make_unique<Console>(*settings, prompter, timing);
        console->load();
    }

    ConsoleState& state() { return console->state(); }

    SimulatedPort& instrumentOn(int port, sim::Config config = {}) {
        auto sp = std::make_unique<SimulatedPort>();
        sp->instrument = std::make_unique<sim::Instrument>(config);
        const QString path = dir.filePath(QString("com%1").arg(port));
        sp->endpoint = std::make_unique<sim::PtyEndpoint>(*sp->instrument, path);
        SimulatedPort* raw = sp.get();
        sp->endpoint->setFrameObserver([raw](const QByteArray& frame) {
            ++raw->framesSeen;
            raw->lastFrame = frame;
        });
        EXPECT_TRUE(sp->endpoint->open()) << sp->endpoint->errorString().toStdString();
        settings->write(Section::Canshu, indexedKey("compath", port), path);
        ports.push_back(std::move(sp));
        return *ports.back();
    }

    static sim::Config silent() {
        sim::Config c;
        c.link.silent = true;
        return c;
    }

    void connectSerial(int port) {
        console->connection().serialConnect(port);
        ASSERT_TRUE(waitFor([&] { return !console->connection().scanning(); }));
    }

    void connectEthernet(quint16 port) {
        state().ipAddress = QStringLiteral("127.0.0.1");
        state().tcpPort = QString::number(port);
        console->connection().ethernetToggle();
    }

    // 1-3测试开始 answered Yes, with no stored record in the way.
    void startRun() {
        console->recordExists = [](int) { return false; };
        // A test left unsaved on the channels is given up first.
        if (console->unsavedTest()) prompter.answers.push_back(true);
        prompter.answers.push_back(true);
        console->toolbarCommand(kKeyTest13);
    }

    // Every text the link's status panel shows, in order.
    void recordLinkPanel() {
        QObject::connect(console.get(), &Console::changed, console.get(), [this] {
            if (linkPanel.isEmpty() || linkPanel.last() != state().statusPanels[6])
                linkPanel << state().statusPanels[6];
        });
    }

    // A run of channels 1 to 3 as the run control leaves it after its start.
    void runStarted() {
        state().n = 1;
        state().testRun = true;
        for (int c = 0; c < 3; ++c) state().chStopped[c] = false;
    }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Console> console;
    std::vector<std::unique_ptr<SimulatedPort>> ports;
    QStringList linkPanel;
};

const QString kStartQuestion = QStringLiteral("您确定要开始运行吗？");
const QString kSaveQuestion = QStringLiteral("测试结束，需要保存吗？");
const QString kPortNotOpen = QStringLiteral("通信端口未打开！");

int indexOf(const ScriptedPrompter& p, const QString& text) {
    for (std::size_t i = 0; i < p.shown.size(); ++i)
        if (p.shown[i].text == text) return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST_F(LinkTest, ScanFromCom3PassesSilentPortsAndFindsTheInstrumentOnCom5) {
    SimulatedPort& com3 = instrumentOn(3, silent());
    SimulatedPort& com4 = instrumentOn(4, silent());
    SimulatedPort& com5 = instrumentOn(5);
    connectSerial(3);

    EXPECT_EQ(prompter.messages(), QStringList{kConnected});
    EXPECT_EQ(state().statusPanels[6], u"COM5通讯正常");
    EXPECT_EQ(settings->read(Section::Canshu, u"comport"), u"3");
    EXPECT_EQ(com3.framesSeen, 1);  // the handshake, then the port was closed
    EXPECT_EQ(com4.framesSeen, 1);
    EXPECT_GE(com5.framesSeen, 1);
    EXPECT_TRUE(console->connection().serialOpen());
    EXPECT_TRUE(console->pollCycle().running());
    EXPECT_FALSE(state().button(kKeyEthernet).enabled);
    EXPECT_FALSE(state().ethernetMenu.enabled);
    EXPECT_TRUE(state().toolbarVisible);

    // Polling: the readings and both temperatures arrive, the start buttons open inside the window.
    ASSERT_TRUE(waitFor([&] { return state().testTemperature != u"25"; }));
    EXPECT_NEAR(state().testTemperature.toDouble(), 85.0, 0.5);
    EXPECT_NEAR(state().chassisTemperature.toDouble(), 25.0, 0.5);
    EXPECT_TRUE(state().tempOk);
    EXPECT_TRUE(state().button(kKeyTest13).enabled);

    connectSerial(5);
    EXPECT_EQ(prompter.messages().last(), kAlreadyOpen);

    console->connection().serialClose();
    EXPECT_EQ(state().statusPanels[6], u"COM5串口已关闭");
    EXPECT_FALSE(console->pollCycle().running());
    EXPECT_TRUE(state().button(kKeyEthernet).enabled);
    EXPECT_FALSE(state().toolbarVisible);
}

TEST_F(LinkTest, PortThatCannotBeOpenedEndsTheScanAtOnce) {
    SimulatedPort& com4 = instrumentOn(4);  // would answer, but is never tried
    connectSerial(3);                        // COM3 maps to a path that does not exist
    EXPECT_EQ(prompter.messages(), QStringList{kNotConnected});
    EXPECT_EQ(state().statusPanels[6], u"COM3通讯异常");
    EXPECT_FALSE(state().toolbarVisible);
    EXPECT_EQ(com4.framesSeen, 0);
    EXPECT_FALSE(console->connection().serialOpen());
}

TEST_F(LinkTest, NoInstrumentFromCom5UpToCom12EndsWithCom13) {
    std::vector<SimulatedPort*> silentPorts;
    for (int p = 5; p <= 12; ++p) silentPorts.push_back(&instrumentOn(p, silent()));
    connectSerial(5);
    EXPECT_EQ(prompter.messages(), QStringList{kNotConnected});
    EXPECT_EQ(state().statusPanels[6], u"COM13通讯异常");
    for (SimulatedPort* p : silentPorts) EXPECT_EQ(p->framesSeen, 1);
    EXPECT_FALSE(console->pollCycle().running());
}

TEST_F(LinkTest, SilentInstrumentFailsAfterThreeTimeoutsWithOneMessage) {
    sim::Config config;
    config.link.stopAfterPolls = 2;
    SimulatedPort& com1 = instrumentOn(1, config);
    connectSerial(1);
    runStarted();
    ASSERT_TRUE(waitFor([&] { return !console->connection().serialOpen(); }));
    runFor(400);  // nothing more happens after the failure

    EXPECT_EQ(prompter.count(kPollFailure), 1);
    EXPECT_EQ(prompter.shown.back().title, kPollFailureTitle);
    EXPECT_FALSE(console->pollCycle().running());
    EXPECT_EQ(state().statusPanels[6], u"COM1串口已关闭");
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(state().chStopped[c]) << c;
    EXPECT_FALSE(state().testRun);
    EXPECT_FALSE(state().tempOk);
    // handshake + two answered polls + three unanswered attempts of the failing tick
    EXPECT_EQ(com1.framesSeen, 1 + 2 + 3);
    EXPECT_EQ(console->pollCycle().timeouts(), 3);
    EXPECT_EQ(console->pollCycle().resends(), 2);
}

TEST_F(LinkTest, TwoTimeoutsThenAValidAnswerSucceed) {
    makeConsole(Timing{1.0});  // real intervals: the answer to the first attempt comes within the third
    SimulatedPort& com1 = instrumentOn(1);
    console->connection().serialConnect(1);
    ASSERT_TRUE(waitFor([&] { return !console->connection().scanning(); }, 15000));
    ASSERT_TRUE(console->connection().serialOpen());
    com1.instrument->linkFaults().answerDelayMs = 1250;  // the first attempt's answer lands mid-way through the third
    state().testTemperature = QStringLiteral("25");
    ASSERT_TRUE(waitFor([&] { return state().testTemperature != u"25"; }, 15000));
    EXPECT_EQ(console->pollCycle().timeoutsInLastGoodTick(), 2);
    EXPECT_EQ(console->pollCycle().timeouts(), 2);
    EXPECT_EQ(console->pollCycle().resends(), 2);
    runFor(3000);  // further ticks each start their count afresh
    EXPECT_EQ(prompter.count(kPollFailure), 0);
    EXPECT_TRUE(console->connection().serialOpen());
}

TEST_F(LinkTest, TemperatureWindowGatesTheStartButtonsOnlyBetweenRuns) {
    struct Case {
        double celsius;
        const char* shown;
        bool inside;
    };
    const Case cases[] = {{83.5, "83.5", true}, {87.5, "87.5", true}, {83.4, "83.4", false}, {90, "90.0", false}};
    int port = 1;
    for (const Case& c : cases) {
        sim::Config config;
        config.link.testTemperatureC = c.celsius;
        config.link.steadyTemperature = true;
        instrumentOn(port, config);
        connectSerial(port);
        ASSERT_TRUE(waitFor([&] { return state().testTemperature == QString(c.shown); })) << c.celsius;
        EXPECT_EQ(state().tempOk, c.inside) << c.celsius;
        for (const QString& key : {kKeyTest13, kKeyTest46, kKeyTest16})
            EXPECT_EQ(state().button(key).enabled, c.inside) << c.celsius;
        console->connection().serialClose();
        ++port;
    }

    // Once a run has started the window no longer changes tempOk.
    sim::Config steady;
    steady.link.steadyTemperature = true;
    instrumentOn(port, steady);
    connectSerial(port);
    ASSERT_TRUE(waitFor([&] { return state().tempOk; }));
    state().n = 1;
    state().tempLow = QStringLiteral("90");
    runFor(600);
    EXPECT_TRUE(state().tempOk);
}

TEST_F(LinkTest, WrongTrailersWithoutEndAreBounded) {
    sim::Config config;
    config.link.wrongTrailer = true;
    SimulatedPort& com1 = instrumentOn(1, config);
    connectSerial(1);
    ASSERT_TRUE(waitFor([&] { return !console->connection().serialOpen(); }));
    runFor(300);
    EXPECT_EQ(prompter.count(kPollFailure), 1);
    // Three wrong trailers count as one time-out, three time-outs end the link: nine frames, the
    // first and eight sent again, and the response timer never ran out.
    EXPECT_EQ(com1.framesSeen, 1 + 9);
    EXPECT_EQ(console->pollCycle().resends(), 8);
    EXPECT_EQ(console->pollCycle().timeouts(), 0);
}

TEST_F(LinkTest, ShortAnswersAreNeverDecoded) {
    sim::Config config;
    config.link.shortAnswer = true;
    instrumentOn(1, config);
    connectSerial(1);
    ASSERT_TRUE(waitFor([&] { return !console->connection().serialOpen(); }));
    EXPECT_EQ(prompter.count(kPollFailure), 1);
    EXPECT_EQ(state().testTemperature, u"25");  // never decoded
}

TEST_F(LinkTest, SimulatorKilledInTheMiddleOfAPollIsALostLink) {
    const QString path = dir.filePath("com2");
    settings->write(Section::Canshu, indexedKey("compath", 2), path);
    QProcess simulator;
    // The line runs as fast as the console's intervals (a quarter of their time).
    simulator.start(QStringLiteral(VARNOT_SIM_PROGRAM), {"--pty", path, "--delay", "60", "--speed", "4"});
    ASSERT_TRUE(simulator.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return simulator.canReadLine(); }));
    connectSerial(2);
    ASSERT_TRUE(console->connection().serialOpen()) << prompter.messages().join("|").toStdString();
    runStarted();
    state().field(Field::LiveVoltage, 0) = QStringLiteral("123.4");
    ASSERT_TRUE(waitFor([&] { return console->pollCycle().waiting(); }));
    simulator.kill();
    simulator.waitForFinished();
    ASSERT_TRUE(waitFor([&] { return !console->connection().serialOpen(); }));
    runFor(300);
    EXPECT_EQ(prompter.count(kPollFailure), 1);
    EXPECT_FALSE(console->pollCycle().running());
    EXPECT_EQ(state().field(Field::LiveVoltage, 0), u"123.4");  // what the run showed stays
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(state().chStopped[c]);
}

// The real intervals over a line that takes its real time (the simulator program's default): each
// exchange takes 222 ms of the 500 ms response time-out, and the answers arrive in pieces.
TEST_F(LinkTest, LeakageTestAtRealIntervalsOnARealLineEndsWithoutTimeouts) {
    makeConsole(Timing{1.0});
    const QString path = dir.filePath("com1");
    settings->write(Section::Canshu, indexedKey("compath", 1), path);
    QProcess simulator;
    simulator.start(QStringLiteral(VARNOT_SIM_PROGRAM),
                    {"--pty", path, "--channel", "1=leak-good", "--channel", "2=leak-bad", "--channel", "3=leak-good"});
    ASSERT_TRUE(simulator.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return simulator.canReadLine(); }));
    console->connection().serialConnect(1);
    ASSERT_TRUE(waitFor([&] { return !console->connection().scanning(); }, 15000));
    ASSERT_TRUE(console->connection().serialOpen()) << prompter.messages().join("|").toStdString();
    ASSERT_TRUE(waitFor([&] { return state().tempOk; }, 15000));

    console->selectKind(0, TestKind::Leakage);
    for (int c = 0; c < 3; ++c) {
        state().field(Field::TvTestNumber, c) = QStringLiteral("R1");
        state().field(Field::LeakageVoltage, c) = QStringLiteral("100");
        state().field(Field::LeakageTestTime, c) = QStringLiteral("6");
        state().field(Field::LeakageLimit, c) = QStringLiteral("1");
    }
    startRun();
    ASSERT_TRUE(console->supervising()) << prompter.messages().join("|").toStdString();
    prompter.answers.push_back(false);  // the save question
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }, 60000))
        << "n=" << state().n << " " << prompter.messages().join("|").toStdString();

    EXPECT_EQ(prompter.count(kPollFailure), 0);
    EXPECT_EQ(console->pollCycle().timeouts(), 0);
    EXPECT_EQ(console->pollCycle().resends(), 0);
    EXPECT_TRUE(console->connection().serialOpen());
    for (int c = 0; c < 3; ++c) EXPECT_EQ(console->view().endSample[c], 6) << c;
    // Good foil has decayed below the limit by then, bad foil has not.
    EXPECT_EQ(state().field(Field::LeakageJudgement, 0), u"合格");
    EXPECT_EQ(state().field(Field::LeakageJudgement, 1), u"不合格");
    EXPECT_EQ(state().field(Field::LeakageJudgement, 2), u"合格");
    EXPECT_GE(indexOf(prompter, kSaveQuestion), 0);
    simulator.terminate();
    simulator.waitForFinished();
}

TEST_F(LinkTest, EthernetLinkPollsThroughTheSameChecks) {
    sim::Instrument instrument{sim::Config{}};
    sim::TcpEndpoint endpoint(instrument);
    ASSERT_TRUE(endpoint.listen(0)) << endpoint.errorString().toStdString();
    state().ipAddress = QStringLiteral("127.0.0.1");
    state().tcpPort = QString::number(endpoint.port());

    console->connection().ethernetToggle();
    EXPECT_EQ(state().g_Connect, 2);
    EXPECT_FALSE(state().ethernetMenu.enabled);
    EXPECT_FALSE(state().button(kKeyEthernet).enabled);
    ASSERT_TRUE(waitFor([&] { return console->connection().ethernetConfirmed(); }));
    EXPECT_EQ(state().g_Connect, 1);
    EXPECT_EQ(state().ethernetMenu.caption, kEthernetDisconnect);
    EXPECT_FALSE(state().commMenu.enabled);
    EXPECT_FALSE(state().serialMode);
    EXPECT_EQ(prompter.messages(), QStringList{kConnected});
    EXPECT_EQ(state().statusPanels[6], kEthernetOk);
    EXPECT_TRUE(console->pollCycle().running());
    ASSERT_TRUE(waitFor([&] { return state().testTemperature != u"25"; }));
    EXPECT_NEAR(state().testTemperature.toDouble(), 85.0, 0.5);
    EXPECT_TRUE(state().tempOk);
    ASSERT_TRUE(waitFor([&] { return state().rawVolt[0] > 0 || state().rawCurr[0] > 0; }));

    console->connection().ethernetToggle();
    EXPECT_EQ(state().g_Connect, 0);
    EXPECT_EQ(state().statusPanels[6], kEthernetDown);
    EXPECT_TRUE(state().commMenu.enabled);
    EXPECT_FALSE(console->pollCycle().running());
    EXPECT_EQ(prompter.count(kPollFailure), 0);
}

TEST_F(LinkTest, EthernetErrorWhileConnectingReturnsToDisconnectedWithoutAMessage) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    state().ipAddress = QStringLiteral("127.0.0.1");
    state().tcpPort = QString::number(closedPort);
    console->connection().ethernetToggle();
    ASSERT_TRUE(waitFor([&] { return state().g_Connect == 0; }));
    EXPECT_EQ(state().statusPanels[6], kEthernetDown);
    EXPECT_EQ(state().ethernetMenu.caption, kEthernetConnect);
    EXPECT_TRUE(state().ethernetMenu.enabled);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(LinkTest, EthernetDroppedWhilePollingTakesTheFailurePath) {
    sim::Config config;
    config.link.dropAfterPolls = 2;
    sim::Instrument instrument{config};
    sim::TcpEndpoint endpoint(instrument);
    ASSERT_TRUE(endpoint.listen(0));
    state().ipAddress = QStringLiteral("127.0.0.1");
    state().tcpPort = QString::number(endpoint.port());
    console->connection().ethernetToggle();
    ASSERT_TRUE(waitFor([&] { return console->connection().ethernetConfirmed(); }));
    runStarted();
    ASSERT_TRUE(waitFor([&] { return prompter.count(kPollFailure) == 1; }));
    runFor(300);
    EXPECT_EQ(prompter.count(kPollFailure), 1);
    EXPECT_EQ(state().g_Connect, 0);
    EXPECT_FALSE(console->pollCycle().running());
    EXPECT_FALSE(state().testRun);
}

// A TCP peer that connects but does not answer the handshake is no instrument: the handshake waits
// as on the serial line and fails with its message, and no run starts on it meanwhile.
TEST_F(LinkTest, EthernetPeerThatDoesNotAnswerTheHandshakeIsRefused) {
    for (PeerReply reply : {PeerReply::Nothing, PeerReply::NotAHandshake}) {
        const int what = static_cast<int>(reply);
        prompter.shown.clear();
        RawTcpPeer peer(reply);
        connectEthernet(peer.port());
        ASSERT_TRUE(waitFor([&] { return state().g_Connect == 1; })) << what;

        startRun();  // connected, not yet answered
        EXPECT_EQ(prompter.messages(), QStringList{kPortNotOpen}) << what;
        EXPECT_FALSE(console->supervising()) << what;
        EXPECT_EQ(state().n, 0) << what;
        prompter.answers.clear();

        ASSERT_TRUE(waitFor([&] { return state().g_Connect == 0; })) << what;
        EXPECT_EQ(prompter.messages(), (QStringList{kPortNotOpen, kNotConnected})) << what;
        EXPECT_EQ(prompter.shown.back().title, kShortTitle) << what;
        EXPECT_EQ(state().statusPanels[6], u"以太网通讯异常") << what;
        EXPECT_FALSE(console->connection().ethernetConfirmed()) << what;
        EXPECT_FALSE(console->pollCycle().running()) << what;
        EXPECT_EQ(state().ethernetMenu.caption, kEthernetConnect) << what;
        EXPECT_TRUE(state().ethernetMenu.enabled) << what;
        EXPECT_TRUE(state().commMenu.enabled) << what;
    }
}

// 关闭串口 or 以太网断开 under a running test: acquisition and the run loop stop, the failure is
// reported, the save question follows and the curves stay as they were.
TEST_F(LinkTest, ClosingTheLinkDuringARunEndsTheRunAsALostLinkDoes) {
    sim::Config steady;
    steady.link.steadyTemperature = true;
    sim::Instrument tcpInstrument{steady};
    sim::TcpEndpoint endpoint(tcpInstrument);
    ASSERT_TRUE(endpoint.listen(0));
    for (const bool serial : {true, false}) {
        makeConsole(Timing{0.25});
        prompter.shown.clear();
        if (serial) {
            instrumentOn(1, steady);
            connectSerial(1);
        } else {
            connectEthernet(endpoint.port());
            ASSERT_TRUE(waitFor([&] { return console->connection().ethernetConfirmed(); }));
        }
        ASSERT_TRUE(waitFor([&] { return state().tempOk; })) << serial;
        startRun();
        ASSERT_TRUE(console->supervising()) << serial;
        ASSERT_TRUE(waitFor([&] { return state().n >= 4; })) << serial;

        const int stored = console->curves().stored[0];
        const std::vector<float> curve = console->curves().V[0];
        if (serial)
            console->connection().serialClose();
        else
            console->connection().ethernetToggle();
        ASSERT_TRUE(waitFor([&] { return !console->supervising(); })) << serial;
        // Two acquisition periods later nothing more was recorded.
        const int framesBefore = serial ? ports.back()->framesSeen : 0;
        runFor(600);

        EXPECT_EQ(prompter.count(kPollFailure), 1) << serial;
        EXPECT_LT(indexOf(prompter, kPollFailure), indexOf(prompter, kSaveQuestion)) << serial;
        EXPECT_EQ(prompter.count(kSaveQuestion), 1) << serial;
        EXPECT_FALSE(state().testRun) << serial;
        EXPECT_EQ(state().n, 0) << serial;
        EXPECT_FALSE(console->pollCycle().running()) << serial;
        EXPECT_EQ(console->curves().stored[0], stored) << serial;
        EXPECT_GT(stored, 1) << serial;
        EXPECT_EQ(console->curves().V[0], curve) << serial;  // kept, not cleared or extended
        if (serial) {
            EXPECT_EQ(ports.back()->framesSeen, framesBefore);
        }
        EXPECT_EQ(state().statusPanels[6], serial ? QStringLiteral("COM1串口已关闭") : kEthernetDown);
    }
}

// A started run that cannot acquire says why in the link's status panel, and starts acquiring as
// soon as the bath reads inside its window.
TEST_F(LinkTest, RunThatCannotAcquireSaysWhyUntilTheBathIsInside) {
    sim::Config steady;
    steady.link.steadyTemperature = true;

    // Started before the first reading: it waits for one, and that one is inside the window.
    instrumentOn(1, steady);
    connectSerial(1);
    recordLinkPanel();
    ASSERT_EQ(state().testTemperature, u"25");  // nothing read yet
    startRun();
    ASSERT_TRUE(waitFor([&] { return state().n >= 3; }));
    const QString com1Ok = QStringLiteral("COM1通讯正常");
    EXPECT_EQ(linkPanel, (QStringList{com1Ok, kWaitingForTemperature, com1Ok}));
    console->stopAll();
    ASSERT_TRUE(waitFor([&] { return !console->supervising(); }));
    console->connection().serialClose();

    // Started outside the window: it waits and shows the reading against the window, for as long
    // as the reading stays outside.
    sim::Config hot = steady;
    hot.link.testTemperatureC = 90;
    SimulatedPort& com2 = instrumentOn(2, hot);
    connectSerial(2);
    ASSERT_TRUE(waitFor([&] { return state().testTemperature == u"90.0"; }));
    EXPECT_FALSE(state().tempOk);
    linkPanel.clear();
    startRun();
    const QString outside =
        temperatureOutsideWindow(QStringLiteral("90.0"), QStringLiteral("83.5"), QStringLiteral("87.5"));
    EXPECT_EQ(outside, u"水温 90.0 ℃ 不在 83.5–87.5 ℃ 之间，等待中");
    ASSERT_TRUE(waitFor([&] { return state().statusPanels[6] == outside; }));
    const int frames = com2.framesSeen;
    ASSERT_TRUE(waitFor([&] { return com2.framesSeen >= frames + 3; }));
    EXPECT_EQ(state().n, 1);
    EXPECT_EQ(state().statusPanels[6], outside);
    EXPECT_EQ(sim::Instrument::decodeCommand(com2.lastFrame)->runCommand, kRunCommandIdle);

    com2.instrument->linkFaults().testTemperatureC = 86;
    ASSERT_TRUE(waitFor([&] { return state().n >= 3; }));
    EXPECT_EQ(state().statusPanels[6], u"COM2通讯正常");
    const QString com2Ok = QStringLiteral("COM2通讯正常");
    EXPECT_EQ(linkPanel, (QStringList{com2Ok, outside, com2Ok}));
    EXPECT_TRUE(console->supervising());
    EXPECT_EQ(prompter.count(kPollFailure), 0);
}

// A peer that sends without pause never fills the console's memory: what no poll asked for is
// dropped, and the flood is a link fault.
TEST_F(LinkTest, FloodingPeerIsALinkFaultWithBoundedBuffers) {
    for (const bool serial : {true, false}) {
        makeConsole(Timing{0.25});
        prompter.shown.clear();
        std::unique_ptr<RawTcpPeer> tcpPeer;
        std::unique_ptr<RawPtyPeer> ptyPeer;
        if (serial) {
            const QString path = dir.filePath("flood");
            ptyPeer = std::make_unique<RawPtyPeer>(PeerReply::HandshakeFlood, path);
            ASSERT_TRUE(ptyPeer->ok());
            settings->write(Section::Canshu, indexedKey("compath", 1), path);
            console->connection().serialConnect(1);
        } else {
            tcpPeer = std::make_unique<RawTcpPeer>(PeerReply::HandshakeFlood);
            connectEthernet(tcpPeer->port());
        }
        qint64 mostBuffered = 0;
        ASSERT_TRUE(waitFor([&] {
            if (QIODevice* d = console->connection().pollDevice())
                mostBuffered = std::max(mostBuffered, d->bytesAvailable());
            return prompter.count(kPollFailure) > 0;
        })) << serial;
        EXPECT_EQ(prompter.messages(), (QStringList{kConnected, kPollFailure})) << serial;
        EXPECT_LE(mostBuffered, kLinkReadBuffer) << serial;
        EXPECT_GT(serial ? ptyPeer->sent() : tcpPeer->sent(), PollCycle::kFloodBytes) << serial;
        EXPECT_FALSE(console->pollCycle().running()) << serial;
        EXPECT_EQ(console->connection().pollDevice(), nullptr) << serial;
        EXPECT_EQ(state().statusPanels[6], serial ? QStringLiteral("COM1串口已关闭") : kEthernetDown);
    }
}

// A field that does not read as a number, typed or stored, never stops the frames: the frame
// carries the field's last valid value and a run goes on.
TEST_F(LinkTest, TextThatIsNotANumberNeverSilencesThePoll) {
    settings->write(Section::Canshu, u"hcdy(0)", QStringLiteral("abc"));
    makeConsole(Timing{0.25});
    EXPECT_EQ(state().field(Field::FormationVoltage, 0), u"800");  // checked at start-up

    sim::Config steady;
    steady.link.steadyTemperature = true;
    SimulatedPort& com1 = instrumentOn(1, steady);
    connectSerial(1);
    ASSERT_TRUE(waitFor([&] { return state().tempOk; }));
    startRun();
    ASSERT_TRUE(waitFor([&] { return state().n >= 2; }));

    // Half-typed entries on channel 1 and on channel 5.
    console->setFieldText(Field::FormationVoltage, 0, QStringLiteral("-"));
    console->setFieldText(Field::TestCurrent, 4, QString());
    const int frames = com1.framesSeen;
    const int n = state().n;
    ASSERT_TRUE(waitFor([&] { return com1.framesSeen >= frames + 3 && state().n >= n + 2; }));
    const auto cmd = sim::Instrument::decodeCommand(com1.lastFrame);
    ASSERT_TRUE(cmd.has_value());
    EXPECT_NEAR(cmd->setVoltage[0], 800 * 1.25, 0.5);
    EXPECT_NEAR(cmd->setCurrent[4], 2, 0.01);
    EXPECT_EQ(state().statusPanels[6], u"COM1通讯正常");
    EXPECT_EQ(prompter.count(kPollFailure), 0);
}
