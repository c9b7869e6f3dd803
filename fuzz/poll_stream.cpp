// The poll cycle on an arbitrary byte stream from the instrument, through the console's real link
// (a loopback TCP connection with a peer in this program) and its real poll cycle.
//
// Input: operations, each one byte and its arguments: a poll tick; bytes from the peer (their
// count, then the bytes); a whole response with a right trailer (its words from the input); a
// flood of bytes; a change of the run state. The response wait never times out here (the
// console's intervals are stretched), so every outcome follows from the bytes alone. The harness
// keeps a model of the wait and checks after every operation that:
//  - a tick sends one poll frame when none is awaited, and nothing while one is;
//  - a response is taken once 106 bytes have come, whatever pieces they came in; a wrong trailer
//    is answered by a new frame, every third one counts as a time-out and the third time-out is
//    the link failure; a right one is decoded into the raw readings and temperatures and the
//    temperature window;
//  - bytes nobody asked for are dropped, and more than a flood's worth between two frames is the
//    link failure: the message once, the link closed, the channels stopped;
//  - nothing else ends in a failure.
#include "common/prompter.h"
#include "common/text_number.h"
#include "fuzz_support.h"
#include "link/connection.h"
#include "link/frames.h"
#include "link/link_texts.h"
#include "link/poll_cycle.h"
#include "settings/settings_store.h"
#include "sim/instrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/ioctl.h>

using namespace varnot;
using varnot::fuzz::Input;

namespace {

class CountingPrompter : public Prompter {
public:
    void message(const QString& text, const QString&) override { messages << text; }
    bool question(const QString&, const QString&) override { return false; }
    QString saveFileName(const QString&, const QString&) override { return {}; }
    QStringList messages;
};

// Bytes the system holds for a socket: received and not read yet, or written and not yet
// acknowledged by the far end (still on their way, or waiting behind an earlier segment).
int pendingBytes(const QAbstractSocket* socket) {
    if (!socket || socket->socketDescriptor() < 0) return 0;
    const int fd = static_cast<int>(socket->socketDescriptor());
    int unread = 0, unacknowledged = 0;
    ::ioctl(fd, FIONREAD, &unread);
    ::ioctl(fd, SIOCOUTQ, &unacknowledged);
    return unread + unacknowledged;
}

void quickAck(const QAbstractSocket* socket) {
    if (!socket || socket->socketDescriptor() < 0) return;
    const int on = 1;
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

class Link {
public:
    Link() {
        static int argc = 1;
        static char name[] = "poll_stream";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        FUZZ_CHECK(dir.isValid() && server.listen(QHostAddress::LocalHost, 0), QStringLiteral("no loopback"));
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            if (peer) peer->deleteLater();
            peer = server.nextPendingConnection();
            peer->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            received.clear();
            handshakeAnswered = false;
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [this, p = peer] {
                if (p != peer) return;
                received += peer->readAll();
                if (!handshakeAnswered && received.size() >= kCommandFrameSize) {
                    handshakeAnswered = true;
                    received.remove(0, kCommandFrameSize);
                    QByteArray reply(kResponseSize, '\0');
                    reply[6] = static_cast<char>(kHandshakeReply);
                    reply[104] = 0x0F;
                    reply[105] = static_cast<char>(0xF0);
                    peer->write(reply);
                }
            });
        });
        state.serialMode = false;
        state.ipAddress = QStringLiteral("127.0.0.1");
        state.tcpPort = QString::number(server.serverPort());
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        // The handshake settles at once; a poll's response wait and period outlast any input.
        connection = std::make_unique<Connection>(state, prompter, *settings, Timing{0.005});
        poll = std::make_unique<PollCycle>(state, prompter, *connection, Timing{10000});
        poll->stopAcquisition = [this] {
            state.testRun = false;
            state.tempOk = false;
        };
        poll->enableAcquisition = [this] { ++enables; };
        QObject::connect(poll.get(), &PollCycle::failed, [this] { ++failures; });
    }

    QAbstractSocket* consoleSocket() { return qobject_cast<QAbstractSocket*>(connection->pollDevice()); }

    void connectLink() {
        if (consoleSocket()) return;
        if (state.g_Connect != 0) connection->ethernetToggle();
        connection->ethernetToggle();
        QElapsedTimer t;
        t.start();
        while (!consoleSocket()) {
            FUZZ_CHECK(t.elapsed() < 20000, QStringLiteral("the link did not come up"));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        settle();
        received.clear();
    }

    // Runs the event loop until every byte written on either side has been read.
    void settle() {
        QElapsedTimer t;
        t.start();
        for (;;) {
            // Acknowledged at once, so a written byte is seen to arrive without the system's delay.
            quickAck(peer);
            quickAck(consoleSocket());
            QCoreApplication::processEvents();
            QAbstractSocket* console = consoleSocket();
            const bool peerDone = !peer || peer->state() != QAbstractSocket::ConnectedState ||
                                  (peer->bytesToWrite() == 0 && pendingBytes(peer) == 0);
            const bool consoleDone = !console || (console->bytesToWrite() == 0 && pendingBytes(console) == 0);
            if (peerDone && consoleDone) return;
            FUZZ_CHECK(t.elapsed() < 20000, QStringLiteral("bytes left unread on the link"));
        }
    }

    void send(const QByteArray& bytes) {
        if (!peer || bytes.isEmpty()) return;
        peer->write(bytes);
        peer->flush();
        settle();
    }

    QTemporaryDir dir;
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;
    bool handshakeAnswered = false;
    ConsoleState state;
    CountingPrompter prompter;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<PollCycle> poll;
    int failures = 0;
    int enables = 0;
};

// What the poll cycle is expected to be doing.
struct Model {
    bool waiting = false;
    QByteArray buffer;   // bytes of the awaited response so far
    qint64 unasked = 0;  // bytes beyond responses since the last frame
    int wrongTrailers = 0;
    int timeouts = 0;
};

class Harness {
public:
    explicit Harness(Link& link) : link_(link) {}

    void run(Input& in) {
        link_.connectLink();
        // Each input starts from a link at rest: no wait, and nothing of an earlier one unread.
        link_.poll->stop();
        link_.consoleSocket()->readAll();
        link_.poll->start();
        ConsoleState& s = link_.state;
        s.n = 0;
        s.testRun = s.tempOk = s.startPending = false;
        link_.prompter.messages.clear();
        for (int ops = 0; ops < 48 && !in.empty(); ++ops) {
            switch (in.byte() % 5) {
                case 0: tick(); break;
                case 1: arrive(in.bytes(in.byte())); break;
                case 2: arrive(response(in)); break;
                case 3: arrive(QByteArray(100 * (in.byte() % 16), '\x55')); break;
                case 4: {
                    const std::uint8_t b = in.byte();
                    s.n = b % 3;
                    s.testRun = b & 4;
                    s.tempOk = b & 8;
                    break;
                }
            }
        }
    }

private:
    static QByteArray response(Input& in) {
        QByteArray r(kResponseSize, '\0');
        for (int i = 0; i < 6; ++i) r[i] = static_cast<char>(in.byte());
        r[6] = static_cast<char>(in.byte());
        for (int at : {10, 26}) putWord(r, at, in.word());
        for (int c = 0; c < kChannels; ++c) {
            putWord(r, 16 + 16 * c, in.word());
            putWord(r, 18 + 16 * c, in.word());
        }
        r[104] = 0x0F;
        r[105] = static_cast<char>(0xF0);
        return r;
    }

    void reconnectIfDown() {
        if (link_.consoleSocket()) return;
        link_.connectLink();
        model_ = Model{};
    }

    // One poll frame must have reached the peer, asking with the run state's command.
    void expectFrame() {
        QByteArray& got = link_.received;
        FUZZ_CHECK(got.size() == kCommandFrameSize, QStringLiteral("%1 bytes sent for one frame").arg(got.size()));
        const auto cmd = sim::Instrument::decodeCommand(got);
        FUZZ_CHECK(cmd && got.endsWith(QByteArray::fromHex("0ff086")), QString::fromLatin1(got.toHex()));
        const ConsoleState& s = link_.state;
        FUZZ_CHECK(cmd->runCommand == runCommand(s.n, s.testRun, s.tempOk), QString::fromLatin1(got.toHex()));
        got.clear();
        model_.unasked = 0;
        model_.buffer.clear();
    }

    void expectNoFrame() {
        FUZZ_CHECK(link_.received.isEmpty(), QStringLiteral("unasked frame: %1").arg(QString::fromLatin1(link_.received.toHex())));
    }

    void expectFailure(int failuresBefore) {
        FUZZ_CHECK(link_.failures == failuresBefore + 1, QStringLiteral("no failure"));
        FUZZ_CHECK(link_.prompter.messages.count(link_texts::kPollFailure) == 1, link_.prompter.messages.join(u'|'));
        FUZZ_CHECK(!link_.connection->pollDevice() && !link_.poll->waiting() && !link_.poll->running(),
                   QStringLiteral("link left open after a failure"));
        for (int c = 0; c <= link_.state.lastCh; ++c) FUZZ_CHECK(link_.state.chStopped[c], QStringLiteral("channel left running"));
        link_.prompter.messages.clear();
        link_.received.clear();
        model_ = Model{};
    }

    void tick() {
        reconnectIfDown();
        const int failuresBefore = link_.failures;
        link_.poll->onPollTick();
        link_.settle();
        FUZZ_CHECK(link_.failures == failuresBefore, QStringLiteral("a tick failed"));
        if (model_.waiting) {
            expectNoFrame();
        } else {
            expectFrame();
            model_.waiting = true;
            model_.wrongTrailers = model_.timeouts = 0;
        }
        FUZZ_CHECK(link_.poll->waiting(), QStringLiteral("not waiting after a tick"));
    }

    void arrive(const QByteArray& bytes) {
        if (bytes.isEmpty()) return;
        reconnectIfDown();
        ConsoleState& s = link_.state;
        const ConsoleState before = s;
        const int failuresBefore = link_.failures, enablesBefore = link_.enables;
        link_.send(bytes);

        if (!model_.waiting) {
            model_.unasked += bytes.size();
            if (model_.unasked > PollCycle::kFloodBytes) return expectFailure(failuresBefore);
            FUZZ_CHECK(link_.failures == failuresBefore, QStringLiteral("failed on %1 unasked bytes").arg(model_.unasked));
            expectNoFrame();
            FUZZ_CHECK(s.rawVolt == before.rawVolt && s.testTemperature == before.testTemperature,
                       QStringLiteral("unasked bytes were decoded"));
            return;
        }
        model_.buffer += bytes;
        if (model_.buffer.size() < kResponseSize) {
            FUZZ_CHECK(link_.poll->waiting() && link_.failures == failuresBefore, QStringLiteral("a part ended the wait"));
            expectNoFrame();
            return;
        }
        const QByteArray all = std::exchange(model_.buffer, QByteArray());
        model_.unasked += all.size() - kResponseSize;
        if (model_.unasked > PollCycle::kFloodBytes) return expectFailure(failuresBefore);

        if (!checkResponse(all)) {
            if (++model_.wrongTrailers >= PollCycle::kWrongTrailersPerTimeout) {
                model_.wrongTrailers = 0;
                if (++model_.timeouts >= PollCycle::kTimeoutsPerFailure) return expectFailure(failuresBefore);
            }
            FUZZ_CHECK(link_.failures == failuresBefore && link_.poll->waiting(), QStringLiteral("wrong trailer"));
            expectFrame();
            return;
        }

        FUZZ_CHECK(link_.failures == failuresBefore && !link_.poll->waiting(), QStringLiteral("response not taken"));
        expectNoFrame();
        model_.waiting = false;
        const DecodedResponse d = *decodeResponse(all);
        FUZZ_CHECK(s.rawVolt == d.rawVolt && s.rawCurr == d.rawCurr, QString::fromLatin1(all.toHex()));
        FUZZ_CHECK(s.testTemperature == formatNumber(testTemperature(d.rawTestTemperature), u"0.0"), s.testTemperature);
        FUZZ_CHECK(s.chassisTemperature == formatNumber(chassisTemperature(d.rawChassisTemperature), u"0.0"),
                   s.chassisTemperature);
        const float t = *toSingle(s.testTemperature);
        const bool inside = !(t < *toSingle(s.tempLow)) && !(t > *toSingle(s.tempHigh));
        const bool watched = s.n == 0 || (before.testRun && before.n == 1 && !before.tempOk);
        FUZZ_CHECK(s.tempOk == (watched ? inside : before.tempOk), s.testTemperature);
        if (s.n == 0 && !s.testRun && !s.startPending)
            FUZZ_CHECK(s.button(link_texts::kKeyTest13).enabled == inside, s.testTemperature);
        FUZZ_CHECK(link_.enables == enablesBefore + ((s.tempOk && s.testRun) ? 1 : 0), QStringLiteral("acquisition"));
    }

    Link& link_;
    Model model_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Link link;
    Input in(data, size);
    Harness(link).run(in);
    return 0;
}
