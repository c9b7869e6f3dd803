// The simulated instrument on a pseudo-terminal: a symlink at a chosen path points at the slave
// side, which the console opens as its serial port. The pseudo-terminal itself carries bytes at
// once; the line's time (setLine) is played by the endpoint: a command is answered only once its
// last byte would have arrived, and the answer leaves at the line's rate.
#pragma once

#include "sim/frame_assembler.h"
#include "sim/serial_line.h"

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

namespace varnot::sim {

class Instrument;

class PtyEndpoint : public QObject {
    Q_OBJECT
public:
    PtyEndpoint(Instrument& instrument, QString linkPath, QObject* parent = nullptr);
    ~PtyEndpoint() override;

    // Opens the pseudo-terminal and creates the symlink (a stale symlink is replaced; any other
    // file at the path is left alone and is an error). False with errorString() on failure.
    bool open();
    QString errorString() const { return error_; }
    QString linkPath() const { return linkPath_; }
    QString slavePath() const { return slavePath_; }

    // The line's baud rate and speed; the default line takes no time.
    void setLine(LineTiming timing) { line_.setTiming(timing); }
    const LineTiming& line() const { return line_.timing(); }

    // Called with every frame received, before it is answered (the --trace option).
    void setFrameObserver(std::function<void(const QByteArray&)> observer) { observer_ = std::move(observer); }

private:
    void readMaster();
    void answer(const QByteArray& frame);
    void send(const QByteArray& bytes);
    void close();

    Instrument& instrument_;
    QString linkPath_;
    QString slavePath_;
    QString error_;
    int master_ = -1;
    int slave_ = -1;  // held open so the console can close and reopen without the master seeing EIO
    bool linked_ = false;
    QSocketNotifier* notifier_ = nullptr;
    FrameAssembler assembler_;
    std::function<void(const QByteArray&)> observer_;
    SerialLine line_;
};

// Seconds on a monotonic clock shared by the endpoints (the origin is arbitrary).
double monotonicSeconds();

}  // namespace varnot::sim
