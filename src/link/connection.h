// Opening and closing the instrument link: the serial scan from the chosen port up to COM12 with
// the handshake on each, the serial close, and the Ethernet toggle with its handshake on connect.
// Waits are timer steps, never sleeps: the scan's 500 ms response wait and 200 ms settling time
// run as states of this object.
#pragma once

#include "common/console_state.h"
#include "common/prompter.h"
#include "common/timing.h"
#include "settings/settings_store.h"

#include <QObject>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

namespace varnot {

class Connection : public QObject {
    Q_OBJECT
public:
    Connection(ConsoleState& state, Prompter& prompter, SettingsStore& settings, Timing timing,
               QObject* parent = nullptr);

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
    void onTcpGone();
    void updateEthernetDisplay();
    void applyDecodedReadings(const QByteArray& bytes);

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
    QByteArray tcpHandshake_;
};

}  // namespace varnot
