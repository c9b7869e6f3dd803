// The poll cycle: every poll period one command frame goes out, the response is awaited (bounded
// by the response timer), checked, retried and decoded into the raw readings and temperatures.
// Between runs the test temperature gates the start buttons; during a run a valid response lets
// acquisition run. Three time-outs within one tick, or a link that fails while polling, stop all
// acquisition and close the link.
//
// The wait is a state of this object driven by readyRead and the response timer; a poll tick that
// comes while a previous one still waits is skipped.
#pragma once

#include "common/console_state.h"
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
    void stop();   // poll timer off, any wait abandoned
    bool running() const { return pollTimer_.isActive(); }
    bool waiting() const { return phase_ == Phase::Waiting; }
    // Time-outs counted in the last tick that ended with a valid response.
    int timeoutsInLastGoodTick() const { return lastGoodTimeouts_; }

    // One tick of the poll timer (Timer2).
    void onPollTick();

    // Immediate resends after wrong trailers within one tick; this many count as one time-out.
    static constexpr int kWrongTrailersPerTimeout = 3;
    static constexpr int kTimeoutsPerFailure = 3;

signals:
    void changed();
    void failed();

private:
    enum class Phase { Idle, Waiting };

    void attempt();
    void onReadyRead();
    void onResponseTimeout();
    void countTimeout();
    void handleResponse(const QByteArray& bytes);
    void failure();
    void endTick();
    void bindDevice(QIODevice* device);

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
};

}  // namespace varnot
