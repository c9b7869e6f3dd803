// Opening and closing the instrument link: the serial scan from the chosen port up to COM12 with
// the handshake on each, the serial close, and the Ethernet toggle with its handshake on connect.
// Waits are timer steps, never sleeps: the 500 ms response wait and 200 ms settling time of a
// handshake (serial and TCP alike) run as states of this object. A TCP peer that does not answer
// the handshake within them is refused like a silent serial line.
//
// Neither device ever holds more than kLinkReadBuffer received bytes: what a peer sends beyond
// that waits in the system until it is read.
//
// A TCP connection that does not come about within kTcpConnectMs (no answer to the connection
// itself) is given up with the connect failure message, as a silent handshake is.
#pragma once

#include "state/console_state.h"
#include "common/prompter.h"
#include "common/timing.h"
#include "settings/settings_store.h"

#include <QObject>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

namespace varnot {

inline constexpr qint64 kLinkReadBuffer = 4096;
// How long an Ethernet connect may take before it counts as failed. Not shortened with the
// console's intervals: the network does not run faster with them.
inline constexpr int kTcpConnectMs = 3000;

class Connection : public QObject {
    Q_OBJECT
public:
    Connection(ConsoleState& state, Prompter& prompter, SettingsStore& settings, Timing timing,
               QObject* parent = nullptr);
    // A socket still open says it is gone while it is destroyed, after the timers and state it
    // would touch: it is silenced first.
    ~Connection() override;

    // 通讯设置 -> 打开串口 -> COMn
    void serialConnect(int port);
    // 通讯设置 -> 关闭串口 (also the poll cycle's failure path)
    void serialClose();
    // 以太网连接 / 以太网断开
    void ethernetToggle();
    // Closes whatever link is open (the console going away).
    void closeAll();

    bool scanning() const { return scan_ != Scan::Idle; }
    bool serialOpen() const { return serial_.isOpen(); }
    bool ethernetConfirmed() const { return tcpConfirmed_; }
    // The link's own status-panel text while it is confirmed.
    QString statusText() const;
    // The device the poll cycle talks through: the open serial port, or the TCP socket once its
    // handshake was answered; nullptr when no link is ready.
    QIODevice* pollDevice();

signals:
    void linkReady();   // handshake answered: polling may start
    void linkClosed();  // closed on request
    void linkLost();    // the device failed while open (pty far end gone, TCP dropped)
    void changed();

private:
    enum class Scan { Idle, Waiting, Settling };

    void tryPort();
    void settle();
    void scanSucceeded();
    void scanFailed(int port);
    void onSerialReadyRead();
    void onSerialError(QSerialPort::SerialPortError error);
    void onTcpConnected();
    void onTcpReadyRead();
    void onTcpHandshakeTimer();
    void onTcpConnectTimeout();
    void tcpHandshakeFailed();
    void onTcpGone();
    void updateEthernetDisplay();

    ConsoleState& state_;
    Prompter& prompter_;
    SettingsStore& settings_;
    Timing timing_;
    QSerialPort serial_;
    QTcpSocket tcp_;
    QTimer responseTimer_;  // Timer3 of the scan
    QTimer settleTimer_;
    Scan scan_ = Scan::Idle;
    int scanPort_ = 0;
    bool tcpConfirmed_ = false;
    Scan tcpHandshakePhase_ = Scan::Idle;
    QTimer tcpHandshakeTimer_;  // response wait, then settling time
    QTimer tcpConnectTimer_;    // the connection itself
    QByteArray tcpHandshake_;
};

}  // namespace varnot
