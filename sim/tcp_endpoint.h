// The simulated instrument on a loopback TCP port, one console connection at a time.
#pragma once

#include "sim/frame_assembler.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace varnot::sim {

class Instrument;

class TcpEndpoint : public QObject {
    Q_OBJECT
public:
    explicit TcpEndpoint(Instrument& instrument, QObject* parent = nullptr);
    ~TcpEndpoint() override;

    // Listens on 127.0.0.1 (port 0: any free port). False with errorString() on failure.
    bool listen(quint16 port);
    quint16 port() const;
    QString errorString() const { return error_; }
    bool hasClient() const;

    void setFrameObserver(std::function<void(const QByteArray&)> observer) { observer_ = std::move(observer); }

private:
    void acceptClient();
    void readClient();
    void send(QPointer<QTcpSocket> socket, const QByteArray& bytes, bool dropAfter);

    Instrument& instrument_;
    QTcpServer* server_ = nullptr;
    QPointer<QTcpSocket> client_;
    FrameAssembler assembler_;
    int pollsOnConnection_ = 0;
    QString error_;
    std::function<void(const QByteArray&)> observer_;
};

}  // namespace varnot::sim
