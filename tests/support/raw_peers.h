// Peers at the far end of the console's link that are not the simulated instrument: a TCP peer and
// a pseudo-terminal that answer the handshake as told and then stay silent or send without pause.
#pragma once

#include "link/frames.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <memory>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace varnot::testing {

enum class PeerReply {
    Nothing,         // reads the handshake and never answers
    NotAHandshake,   // answers with a whole response whose byte 6 is not the handshake mark
    HandshakeFlood,  // answers the handshake, then sends junk without pause
};

inline QByteArray handshakeReply(bool marked) {
    QByteArray r(kResponseSize, '\0');
    r[6] = static_cast<char>(marked ? kHandshakeReply : 0x01);
    r[104] = 0x0F;
    r[105] = static_cast<char>(0xF0);
    return r;
}

inline QByteArray junk(int size) { return QByteArray(size, '\x55'); }

// One connection at a time on a loopback port.
class RawTcpPeer : public QObject {
public:
    explicit RawTcpPeer(PeerReply reply) : reply_(reply) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
            client_ = server_.nextPendingConnection();
            QObject::connect(client_, &QTcpSocket::readyRead, this, [this] { onRead(); });
            QObject::connect(client_, &QTcpSocket::bytesWritten, this, [this] { flood(); });
        });
    }
    quint16 port() const { return server_.serverPort(); }
    qint64 sent() const { return sent_; }

private:
    void onRead() {
        received_ += client_->readAll();
        if (answered_ || received_.size() < kCommandFrameSize) return;
        answered_ = true;
        if (reply_ == PeerReply::Nothing) return;
        client_->write(handshakeReply(reply_ == PeerReply::HandshakeFlood));
        flooding_ = reply_ == PeerReply::HandshakeFlood;
        flood();
    }
    void flood() {
        if (!flooding_ || !client_ || client_->state() != QAbstractSocket::ConnectedState) return;
        while (client_->bytesToWrite() < (1 << 18)) sent_ += client_->write(junk(1 << 16));
    }

    PeerReply reply_;
    QTcpServer server_;
    QTcpSocket* client_ = nullptr;
    QByteArray received_;
    bool answered_ = false;
    bool flooding_ = false;
    qint64 sent_ = 0;
};

// A pseudo-terminal whose slave side a symlink at linkPath names, the console's serial port.
class RawPtyPeer : public QObject {
public:
    RawPtyPeer(PeerReply reply, const QString& linkPath) : reply_(reply), linkPath_(linkPath) {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
        termios tio{};
        if (::tcgetattr(slave_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave_, TCSANOW, &tio);
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        QFile::remove(linkPath_);
        ok_ = QFile::link(QString::fromLocal8Bit(name), linkPath_);
        reader_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(reader_.get(), &QSocketNotifier::activated, this, [this] { onRead(); });
        writer_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Write);
        writer_->setEnabled(false);
        QObject::connect(writer_.get(), &QSocketNotifier::activated, this, [this] { flood(); });
    }
    ~RawPtyPeer() override {
        reader_.reset();
        writer_.reset();
        QFile::remove(linkPath_);
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
    }
    bool ok() const { return ok_; }
    qint64 sent() const { return sent_; }

private:
    void onRead() {
        char buf[512];
        ssize_t got;
        while ((got = ::read(master_, buf, sizeof buf)) > 0) received_ += got;
        if (answered_ || received_ < kCommandFrameSize) return;
        answered_ = true;
        if (reply_ == PeerReply::Nothing) return;
        const QByteArray r = handshakeReply(reply_ == PeerReply::HandshakeFlood);
        sent_ += ::write(master_, r.constData(), r.size());
        if (reply_ == PeerReply::HandshakeFlood) writer_->setEnabled(true);
    }
    void flood() {
        const QByteArray chunk = junk(4096);
        ssize_t put;
        while ((put = ::write(master_, chunk.constData(), chunk.size())) > 0) sent_ += put;
    }

    PeerReply reply_;
    QString linkPath_;
    int master_ = -1;
    int slave_ = -1;
    bool ok_ = false;
    std::unique_ptr<QSocketNotifier> reader_;
    std::unique_ptr<QSocketNotifier> writer_;
    qint64 received_ = 0;
    bool answered_ = false;
    qint64 sent_ = 0;
};

// A loopback port whose connections never come about: it listens with no room for a connection
// besides the one it holds itself and never accepts, so the system drops every further SYN and a
// connect to it waits without an answer (as to an address nobody is at).
class UnansweredTcpPort {
public:
    UnansweredTcpPort() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
        // The one connection the queue has room for.
        filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (filler_ < 0 || ::connect(filler_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) port_ = 0;
    }
    ~UnansweredTcpPort() {
        if (filler_ >= 0) ::close(filler_);
        if (listener_ >= 0) ::close(listener_);
    }
    UnansweredTcpPort(const UnansweredTcpPort&) = delete;
    UnansweredTcpPort& operator=(const UnansweredTcpPort&) = delete;
    quint16 port() const { return port_; }  // 0 when it could not be set up

    // Whether a connect to it is still unanswered after waitMs (the set-up works on this system).
    bool connectHangs(int waitMs) const {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        ::fcntl(probe, F_SETFL, ::fcntl(probe, F_GETFL) | O_NONBLOCK);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port_);
        const int rc = ::connect(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
        bool hangs = false;
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{probe, POLLOUT, 0};
            hangs = ::poll(&p, 1, waitMs) == 0;
        }
        ::close(probe);
        return hangs;
    }

private:
    int listener_ = -1;
    int filler_ = -1;
    quint16 port_ = 0;
};

}  // namespace varnot::testing
