#include "sim/tcp_endpoint.h"

#include "sim/instrument.h"
#include "sim/pty_endpoint.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace varnot::sim {

TcpEndpoint::TcpEndpoint(Instrument& instrument, QObject* parent)
    : QObject(parent), instrument_(instrument), server_(new QTcpServer(this)) {
    connect(server_, &QTcpServer::newConnection, this, &TcpEndpoint::acceptClient);
}

TcpEndpoint::~TcpEndpoint() = default;

bool TcpEndpoint::listen(quint16 port) {
    if (!server_->listen(QHostAddress::LocalHost, port)) {
        error_ = server_->errorString();
        return false;
    }
    return true;
}

quint16 TcpEndpoint::port() const { return server_->serverPort(); }

bool TcpEndpoint::hasClient() const { return !client_.isNull(); }

void TcpEndpoint::acceptClient() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (client_) {
            // Busy: one console at a time.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        client_ = socket;
        assembler_.clear();
        pollsOnConnection_ = 0;
        connect(socket, &QTcpSocket::readyRead, this, &TcpEndpoint::readClient);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (client_ == socket) client_ = nullptr;
            socket->deleteLater();
        });
    }
}

void TcpEndpoint::readClient() {
    if (!client_) return;
    QPointer<QTcpSocket> socket = client_;
    const double now = monotonicSeconds();
    for (const QByteArray& frame : assembler_.feed(socket->readAll())) {
        if (observer_) observer_(frame);
        const auto reply = instrument_.answer(frame, now);
        if (!reply) continue;
        const auto cmd = Instrument::decodeCommand(frame);
        bool dropAfter = false;
        if (cmd && !cmd->handshake) {
            ++pollsOnConnection_;
            const int limit = instrument_.dropAfterPolls();
            dropAfter = limit >= 0 && pollsOnConnection_ >= limit;
        }
        const int delay = instrument_.answerDelayMs();
        if (delay <= 0) {
            send(socket, *reply, dropAfter);
        } else {
            QTimer::singleShot(delay, this, [this, socket, bytes = *reply, dropAfter] {
                send(socket, bytes, dropAfter);
            });
        }
        if (dropAfter) break;  // the rest of what this connection sent is not answered
    }
}

void TcpEndpoint::send(QPointer<QTcpSocket> socket, const QByteArray& bytes, bool dropAfter) {
    if (!socket || socket->state() != QAbstractSocket::ConnectedState) return;
    socket->write(bytes);
    if (dropAfter) {
        socket->flush();
        socket->disconnectFromHost();  // sends what is written, then closes
    }
}

}  // namespace varnot::sim
