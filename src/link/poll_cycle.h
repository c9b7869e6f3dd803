// The poll cycle: every poll period one command frame goes out, the response is awaited (bounded
// by the response timer), checked, retried and decoded into the raw readings and temperatures.
// Between runs the test temperature gates the start buttons; during a run a valid response lets
// acquisition run. Three time-outs within one tick, or a link that fails while polling, stop all
// acquisition and close the link, and so does closing the link while a run is active.
//
// The wait is a state of this object driven by readyRead and the response timer; a poll tick that
// comes while a previous one still waits is skipped. The link is read from the moment it is ready:
// bytes no poll asked for are dropped, and far more of them than a response between two frames
// (a flooding peer) is a link fault.
//
// A started run acquires once the test temperature is inside its window; until then it waits,
// and the link's status panel says what for.
#pragma once

#include "state/console_state.h"
#include "common/prompter.h"
#include "common/timing.h"
#include "link/connection.h"
#include "link/frames.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace varnot {

// Builds the frame input from the console state.
PollInput pollInputFrom(const ConsoleState& state);

// Why a started run does not acquire yet: empty when it does not wait (no run, or the run may
// acquire), else the text of its wait: no temperature read yet, or the reading outside the window.
QString acquisitionWait(const ConsoleState& state, bool temperatureRead);

class PollCycle : public QObject {
    Q_OBJECT
public:
    PollCycle(ConsoleState& state, Prompter& prompter, Connection& connection, Timing timing,
              QObject* parent = nullptr);

    // Stops acquisition (channels of the group stopped, run flags off); the run control supplies it.
    std::function<void()> stopAcquisition;
    // Lets the acquisition timer run (a run is active inside the temperature window).
    std::function<void()> enableAcquisition;

    void start();  // poll timer on
    void stop();   // poll timer off, any wait abandoned (a stop frame's wait ends too)

    // Before the link closes under a run: the polls stop and one more frame goes out, built from
    // the run state as it is now (the run stopped, as 1-3测试停止 leaves it), once any answer still
    // awaited is in. Its answer is awaited as a poll's is, sent again after a time-out, at most
    // kTimeoutsPerFailure times; then, answered or not (or at once when no link is ready, or when
    // the link fails meanwhile), `done` is called. The poll timer stays off.
    void sendStopFrame(std::function<void()> done);
    bool stopFramePending() const { return static_cast<bool>(stopDone_); }
    bool running() const { return pollTimer_.isActive(); }
    bool waiting() const { return phase_ == Phase::Waiting; }
    // Time-outs counted in the last tick that ended with a valid response.
    int timeoutsInLastGoodTick() const { return lastGoodTimeouts_; }
    // Counted over the cycle's life: response time-outs, and frames sent again within a tick
    // (after a time-out, a wrong trailer or a device that went away under the tick).
    int timeouts() const { return timeouts_; }
    int resends() const { return resends_; }

    // One tick of the poll timer (Timer2).
    void onPollTick();

    // Bytes received since the last frame went out that no response accounts for.
    qint64 unaskedBytes() const { return unasked_; }

    // Immediate resends after wrong trailers within one tick; this many count as one time-out.
    static constexpr int kWrongTrailersPerTimeout = 3;
    static constexpr int kTimeoutsPerFailure = 3;
    // More bytes than this between two frames, beyond the response, are a flooding peer.
    static constexpr qint64 kFloodBytes = 8 * kResponseSize;

signals:
    void changed();
    void failed();

private:
    enum class Phase { Idle, Waiting, Stopping };

    void attempt();
    void onReadyRead();
    void onResponseTimeout();
    void countTimeout();
    void handleResponse(const QByteArray& bytes);
    void failure();
    void endTick();
    void bindDevice(QIODevice* device);
    bool countUnasked(qint64 bytes);
    void showAcquisitionWait();
    void sendStop();
    void finishStop();

    ConsoleState& state_;
    Prompter& prompter_;
    Connection& connection_;
    Timing timing_;
    QTimer pollTimer_;      // Timer2
    QTimer responseTimer_;  // Timer3
    QPointer<QIODevice> device_;
    Phase phase_ = Phase::Idle;
    bool timedOut_ = false;
    int failCount_ = 0;
    int wrongTrailers_ = 0;
    bool retriedError_ = false;
    int lastGoodTimeouts_ = 0;
    int timeouts_ = 0;
    int resends_ = 0;
    bool sentInTick_ = false;  // a frame of this tick went out already
    qint64 unasked_ = 0;
    LastValidFields lastValid_{};
    bool temperatureRead_ = false;  // a response was decoded since the link became ready
    bool waitShown_ = false;        // the link's status panel shows the acquisition wait
    bool failing_ = false;
    std::function<void()> stopDone_;  // a stop frame is under way
    bool stopQueued_ = false;         // it goes out when the answer awaited now is in
    int stopAttempts_ = 0;
};

}  // namespace varnot
