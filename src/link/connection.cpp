#include "link/connection.h"

#include "link/frames.h"
#include "link/link_texts.h"

#include <QSignalBlocker>

namespace varnot {

using namespace link_texts;

Connection::Connection(ConsoleState& state, Prompter& prompter, SettingsStore& settings, Timing timing,
                       QObject* parent)
    : QObject(parent), state_(state), prompter_(prompter), settings_(settings), timing_(timing) {
    responseTimer_.setSingleShot(true);
    settleTimer_.setSingleShot(true);
    connect(&responseTimer_, &QTimer::timeout, this, [this] {
        if (scan_ == Scan::Waiting) settle();
    });
    connect(&settleTimer_, &QTimer::timeout, this, [this] {
        if (scan_ != Scan::Settling) return;
        // At least 106 bytes: the port is taken as the place of the instrument when it answers
        // the handshake; the starting port of the scan is remembered either way.
        if (serial_.bytesAvailable() >= kResponseSize) {
            settings_.write(Section::Canshu, u"comport", QString::number(state_.comPort));
            if (isHandshakeReply(serial_.readAll())) {
                scanSucceeded();
                return;
            }
        }
        serial_.close();
        ++scanPort_;
        tryPort();
    });
    tcpHandshakeTimer_.setSingleShot(true);
    connect(&tcpHandshakeTimer_, &QTimer::timeout, this, &Connection::onTcpHandshakeTimer);
    tcpConnectTimer_.setSingleShot(true);
    connect(&tcpConnectTimer_, &QTimer::timeout, this, &Connection::onTcpConnectTimeout);
    serial_.setReadBufferSize(kLinkReadBuffer);
    tcp_.setReadBufferSize(kLinkReadBuffer);
    connect(&serial_, &QSerialPort::readyRead, this, &Connection::onSerialReadyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, &Connection::onSerialError);
    connect(&tcp_, &QTcpSocket::connected, this, &Connection::onTcpConnected);
    connect(&tcp_, &QTcpSocket::readyRead, this, &Connection::onTcpReadyRead);
    connect(&tcp_, &QTcpSocket::disconnected, this, &Connection::onTcpGone);
    connect(&tcp_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) { onTcpGone(); });
}

QIODevice* Connection::pollDevice() {
    if (state_.serialMode) return (serial_.isOpen() && scan_ == Scan::Idle) ? &serial_ : nullptr;
    return (tcpConfirmed_ && tcp_.state() == QAbstractSocket::ConnectedState) ? &tcp_ : nullptr;
}

QString Connection::statusText() const {
    if (tcpConfirmed_) return kEthernetOk;
    return serialOk(state_.openPort);
}

void Connection::serialConnect(int port) {
    if (scan_ != Scan::Idle) return;  // a scan is already under way
    state_.comPort = port;
    if (!state_.serialMode) state_.serialMode = true;
    if (serial_.isOpen()) {
        prompter_.message(kAlreadyOpen, kAppTitle);
        return;
    }
    scanPort_ = port;
    tryPort();
}

void Connection::tryPort() {
    if (scanPort_ > kSerialPorts) {
        scanFailed(scanPort_);
        return;
    }
    serial_.setPortName(settings_.portPath(scanPort_));
    serial_.setBaudRate(QSerialPort::Baud9600);
    serial_.setDataBits(QSerialPort::Data8);
    serial_.setParity(QSerialPort::NoParity);
    serial_.setStopBits(QSerialPort::OneStop);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    scan_ = Scan::Waiting;
    if (!serial_.open(QIODevice::ReadWrite)) {
        // Absent or in use: the scan ends here, later ports are not tried.
        scanFailed(scanPort_);
        return;
    }
    serial_.clear(QSerialPort::AllDirections);
    serial_.readAll();
    if (serial_.write(buildHandshakeFrame()) != kCommandFrameSize) {
        serial_.close();
        scanFailed(scanPort_);
        return;
    }
    responseTimer_.start(timing_.responseMs());
}

void Connection::settle() {
    responseTimer_.stop();
    scan_ = Scan::Settling;
    settleTimer_.start(timing_.scanSettleMs());
}

void Connection::onSerialReadyRead() {
    if (scan_ == Scan::Waiting && serial_.bytesAvailable() >= kResponseSize) settle();
}

void Connection::scanSucceeded() {
    scan_ = Scan::Idle;
    state_.serialMode = true;
    state_.openPort = scanPort_;
    state_.statusPanels[6] = serialOk(scanPort_);
    state_.button(kKeyEthernet).enabled = false;
    state_.ethernetMenu.enabled = false;
    state_.toolbarVisible = true;
    emit changed();
    prompter_.message(kConnected, kAppTitle);
    emit linkReady();
}

void Connection::scanFailed(int port) {
    scan_ = Scan::Idle;
    responseTimer_.stop();
    settleTimer_.stop();
    if (serial_.isOpen()) serial_.close();
    state_.openPort = 0;
    state_.statusPanels[6] = serialFailed(port);
    state_.toolbarVisible = false;
    emit changed();
    prompter_.message(kNotConnected, kShortTitle);
}

void Connection::serialClose() {
    if (scan_ != Scan::Idle) {
        // Closing while the scan waits ends the scan quietly.
        scan_ = Scan::Idle;
        responseTimer_.stop();
        settleTimer_.stop();
    }
    if (!serial_.isOpen()) return;
    serial_.close();
    // The port that was really open is named, which is the chosen one unless the scan moved on.
    state_.statusPanels[6] = serialClosed(state_.openPort ? state_.openPort : scanPort_);
    state_.openPort = 0;
    state_.button(kKeyEthernet).enabled = true;
    state_.ethernetMenu.enabled = true;
    state_.toolbarVisible = false;
    emit changed();
    emit linkClosed();
}

void Connection::onSerialError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
    if (!serial_.isOpen()) return;  // a failed open is handled where it happens
    if (scan_ != Scan::Idle) {
        const int port = scanPort_;
        serial_.close();
        scanFailed(port);
        return;
    }
    // An open port that reports an error has lost its instrument (a pseudo-terminal whose far end
    // went away keeps reporting read errors while it stays open).
    serial_.clearError();
    emit linkLost();
}

void Connection::ethernetToggle() {
    if (state_.g_Connect != 0) {
        state_.g_Connect = 0;
        const bool wasConfirmed = tcpConfirmed_;
        tcpConfirmed_ = false;
        tcpHandshakePhase_ = Scan::Idle;
        tcpHandshakeTimer_.stop();
        tcpConnectTimer_.stop();
        tcp_.abort();
        updateEthernetDisplay();
        if (wasConfirmed) emit linkClosed();
        return;
    }
    state_.g_Connect = 2;
    tcpConfirmed_ = false;
    tcpHandshakePhase_ = Scan::Idle;
    tcpHandshake_.clear();
    const auto port = state_.tcpPort.trimmed().toUShort();
    updateEthernetDisplay();
    tcpConnectTimer_.start(kTcpConnectMs);
    tcp_.connectToHost(state_.ipAddress.trimmed(), port);
}

void Connection::onTcpConnectTimeout() {
    if (state_.g_Connect != 2) return;
    // Nobody answered the connection: given up as a silent handshake is.
    tcpHandshakeFailed();
}

void Connection::onTcpConnected() {
    tcpConnectTimer_.stop();
    state_.g_Connect = 1;
    updateEthernetDisplay();
    // The handshake waits as on the serial line: up to the response time for an answer, then the
    // settling time, and only an answer to the handshake confirms the instrument.
    tcpHandshake_.clear();
    tcpHandshakePhase_ = Scan::Waiting;
    tcp_.write(buildHandshakeFrame());
    tcpHandshakeTimer_.start(timing_.responseMs());
}

void Connection::onTcpReadyRead() {
    if (tcpConfirmed_) return;  // the poll cycle reads the confirmed link
    const QByteArray bytes = tcp_.readAll();
    if (tcpHandshakePhase_ == Scan::Idle) return;  // nothing was asked
    // The first response is all the handshake looks at; more is read and dropped.
    if (tcpHandshake_.size() < kResponseSize)
        tcpHandshake_ += bytes.left(kResponseSize - tcpHandshake_.size());
    if (tcpHandshakePhase_ == Scan::Waiting && tcpHandshake_.size() >= kResponseSize) {
        tcpHandshakePhase_ = Scan::Settling;
        tcpHandshakeTimer_.start(timing_.scanSettleMs());
    }
}

void Connection::onTcpHandshakeTimer() {
    if (tcpHandshakePhase_ == Scan::Waiting) {
        tcpHandshakePhase_ = Scan::Settling;
        tcpHandshakeTimer_.start(timing_.scanSettleMs());
        return;
    }
    if (tcpHandshakePhase_ != Scan::Settling) return;
    tcpHandshakePhase_ = Scan::Idle;
    const QByteArray bytes = std::exchange(tcpHandshake_, QByteArray());
    if (bytes.size() < kResponseSize || !isHandshakeReply(bytes)) {
        tcpHandshakeFailed();
        return;
    }
    tcpConfirmed_ = true;
    state_.serialMode = false;
    state_.statusPanels[6] = kEthernetOk;
    state_.toolbarVisible = true;
    emit changed();
    prompter_.message(kConnected, kAppTitle);
    emit linkReady();
}

void Connection::tcpHandshakeFailed() {
    // Connected, but no instrument answered: the connection is closed and the operator told.
    state_.g_Connect = 0;
    tcp_.abort();
    updateEthernetDisplay();
    state_.statusPanels[6] = kEthernetFailed;
    emit changed();
    prompter_.message(kNotConnected, kShortTitle);
}

Connection::~Connection() {
    tcp_.disconnect(this);
    tcp_.abort();
}

void Connection::onTcpGone() {
    tcpConnectTimer_.stop();
    if (state_.g_Connect == 0 && !tcpConfirmed_) return;
    tcpHandshakePhase_ = Scan::Idle;
    tcpHandshakeTimer_.stop();
    const bool wasConfirmed = tcpConfirmed_;
    state_.g_Connect = 0;
    tcpConfirmed_ = false;
    tcp_.abort();
    updateEthernetDisplay();
    if (wasConfirmed) emit linkLost();
}

void Connection::updateEthernetDisplay() {
    Control& button = state_.button(kKeyEthernet);
    switch (state_.g_Connect) {
        case 0:
            state_.ethernetMenu = {kEthernetConnect, true};
            button = {kEthernetConnect, true};
            state_.statusPanels[6] = kEthernetDown;
            state_.commMenu.enabled = true;
            break;
        case 1:
            state_.ethernetMenu = {kEthernetDisconnect, true};
            button = {kEthernetDisconnect, true};
            state_.statusPanels[6] = kEthernetOk;
            state_.toolbarEnabled = true;
            state_.commMenu.enabled = false;
            break;
        default:
            state_.ethernetMenu = {kEthernetConnect, false};
            button = {kEthernetConnect, false};
            break;
    }
    emit changed();
}

void Connection::closeAll() {
    // The console is going away: nothing listens for the close any more.
    const QSignalBlocker quiet(this);
    serialClose();
    tcpHandshakePhase_ = Scan::Idle;
    tcpHandshakeTimer_.stop();
    tcpConnectTimer_.stop();
    if (state_.g_Connect != 0) {
        state_.g_Connect = 0;
        tcpConfirmed_ = false;
        tcp_.abort();
    }
}

}  // namespace varnot
