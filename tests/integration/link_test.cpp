// The link through its real path: the console's serial port on pseudo-terminals and its TCP socket
// on loopback, with the simulated instrument at the other end.
#include "console/console.h"
#include "link/link_texts.h"
#include "sim/instrument.h"
#include "sim/pty_endpoint.h"
#include "sim/tcp_endpoint.h"
#include "support/event_wait.h"
#include "support/scripted_prompter.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace varnot;
using namespace varnot::link_texts;
using varnot::testing::runFor;
using varnot::testing::ScriptedPrompter;
using varnot::testing::waitFor;

namespace {

struct SimulatedPort {
    std::unique_ptr<sim::Instrument> instrument;
    std::unique_ptr<sim::PtyEndpoint> endpoint;
    int framesSeen = 0;
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
        sp->endpoint->setFrameObserver([raw](const QByteArray&) { ++raw->framesSeen; });
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
};

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
    // Three wrong trailers count as one time-out, three time-outs end the link: nine resends.
    EXPECT_EQ(com1.framesSeen, 1 + 9);
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
    simulator.start(QStringLiteral(VARNOT_SIM_PROGRAM), {"--pty", path, "--delay", "60"});
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
