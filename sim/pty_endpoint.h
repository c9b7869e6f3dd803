// The simulated instrument on a pseudo-terminal: a symlink at a chosen path points at the slave
// side, which the console opens as its serial port.
#pragma once

#include "sim/frame_assembler.h"

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

    // Called with every frame received, before it is answered (the --trace option).
    void setFrameObserver(std::function<void(const QByteArray&)> observer) { observer_ = std::move(observer); }

private:
    void readMaster();
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
};

// Seconds on a monotonic clock shared by the endpoints (the origin is arbitrary).
double monotonicSeconds();

}  // namespace varnot::sim
