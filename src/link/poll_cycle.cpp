#include "link/poll_cycle.h"

#include "common/text_number.h"
#include "link/link_texts.h"

#include <QScopedValueRollback>
#include <QSerialPort>

#include <utility>

namespace varnot {

using namespace link_texts;

PollInput pollInputFrom(const ConsoleState& s) {
    PollInput in;
    in.n = s.n;
    in.testRun = s.testRun;
    in.tempOk = s.tempOk;
    in.chStopped = s.chStopped;
    in.kind = s.kind;
    in.KV = s.coefficients.KV;
    in.KI = s.coefficients.KI;
    for (int c = 0; c < kChannels; ++c) {
        auto& f = in.fields[c];
        f.formationVoltage = s.field(Field::FormationVoltage, c);
        f.testCurrent = s.field(Field::TestCurrent, c);
        f.riseTime = s.field(Field::RiseTime, c);
        f.tvValue = s.field(Field::TvValue, c);
        f.leakageVoltage = s.field(Field::LeakageVoltage, c);
        f.elecCurrent = s.field(Field::ElecCurrent, c);
        f.elecSetVoltage = s.field(Field::ElecSetVoltage, c);
        f.liveVoltage = s.field(Field::LiveVoltage, c);
        f.liveCurrent = s.field(Field::LiveCurrent, c);
    }
    return in;
}

QString acquisitionWait(const ConsoleState& s, bool temperatureRead) {
    if (!s.testRun || s.n != 1 || s.tempOk) return {};
    if (!temperatureRead) return kWaitingForTemperature;
    return temperatureOutsideWindow(s.testTemperature, s.tempLow, s.tempHigh);
}

PollCycle::PollCycle(ConsoleState& state, Prompter& prompter, Connection& connection, Timing timing,
                     QObject* parent)
    : QObject(parent), state_(state), prompter_(prompter), connection_(connection), timing_(timing) {
    pollTimer_.setInterval(timing_.pollMs());
    responseTimer_.setSingleShot(true);
    connect(&pollTimer_, &QTimer::timeout, this, &PollCycle::onPollTick);
    connect(&responseTimer_, &QTimer::timeout, this, &PollCycle::onResponseTimeout);
    connect(&connection_, &Connection::linkReady, this, &PollCycle::start);
    connect(&connection_, &Connection::linkClosed, this, [this] {
        // Closing the link under a running test loses its instrument just as a failing link does.
        if (state_.testRun)
            failure();
        else
            stop();
    });
    connect(&connection_, &Connection::linkLost, this, [this] {
        if (phase_ == Phase::Stopping) {
            finishStop();  // no answer will come
            return;
        }
        if (running() || waiting()) failure();
    });
}

void PollCycle::start() {
    phase_ = Phase::Idle;
    unasked_ = 0;
    temperatureRead_ = false;
    waitShown_ = false;
    // Read from the start: what the instrument sends before the first poll is not left to pile up.
    bindDevice(connection_.pollDevice());
    pollTimer_.start();
}

void PollCycle::stop() {
    pollTimer_.stop();
    responseTimer_.stop();
    phase_ = Phase::Idle;
    waitShown_ = false;
    bindDevice(nullptr);
    if (stopDone_) finishStop();
}

void PollCycle::sendStopFrame(std::function<void()> done) {
    stopDone_ = std::move(done);
    stopAttempts_ = 0;
    pollTimer_.stop();
    // An answer still awaited would be taken for the answer to the stop frame: it comes in first.
    if (phase_ == Phase::Waiting) {
        stopQueued_ = true;
        return;
    }
    sendStop();
}

void PollCycle::sendStop() {
    stopQueued_ = false;
    PollInput in = pollInputFrom(state_);
    keepLastValid(in, lastValid_);
    const auto frame = buildPollFrame(in);
    QIODevice* device = connection_.pollDevice();
    if (!frame || !device || stopAttempts_ >= kTimeoutsPerFailure) {
        finishStop();
        return;
    }
    ++stopAttempts_;
    bindDevice(device);
    if (auto* port = qobject_cast<QSerialPort*>(device)) port->clear(QSerialPort::Input);
    device->readAll();
    device->write(*frame);
    phase_ = Phase::Stopping;
    responseTimer_.start(timing_.responseMs());
}

void PollCycle::finishStop() {
    phase_ = Phase::Idle;
    stopQueued_ = false;
    responseTimer_.stop();
    if (const std::function<void()> done = std::exchange(stopDone_, nullptr)) done();
}

void PollCycle::bindDevice(QIODevice* device) {
    if (device_ == device) return;
    if (device_) disconnect(device_, nullptr, this, nullptr);
    device_ = device;
    if (device_) connect(device_, &QIODevice::readyRead, this, &PollCycle::onReadyRead);
}

void PollCycle::onPollTick() {
    if (phase_ != Phase::Idle) return;  // the previous tick still waits
    failCount_ = 0;
    wrongTrailers_ = 0;
    retriedError_ = false;
    sentInTick_ = false;
    showAcquisitionWait();
    attempt();
}

void PollCycle::attempt() {
    timedOut_ = false;
    // A field that does not hold a number goes out as its last valid text.
    PollInput in = pollInputFrom(state_);
    keepLastValid(in, lastValid_);
    const auto frame = buildPollFrame(in);
    QIODevice* device = connection_.pollDevice();
    if (!frame || !device) {
        // A link that went away under the tick: the attempt is made once more, then the tick ends.
        if (!retriedError_) {
            retriedError_ = true;
            attempt();
        } else {
            endTick();
        }
        return;
    }
    bindDevice(device);
    if (auto* port = qobject_cast<QSerialPort*>(device)) port->clear(QSerialPort::Input);
    if (!countUnasked(device->readAll().size())) return;  // whatever remains of an earlier answer
    device->write(*frame);
    if (sentInTick_) ++resends_;
    sentInTick_ = true;
    unasked_ = 0;
    phase_ = Phase::Waiting;
    responseTimer_.start(timing_.responseMs());
}

void PollCycle::onReadyRead() {
    if (!device_) return;
    if (phase_ == Phase::Stopping) {
        // Any whole answer will do: the instrument has read the stop frame.
        if (device_->bytesAvailable() < kResponseSize) return;
        device_->readAll();
        finishStop();
        return;
    }
    if (phase_ != Phase::Waiting) {
        countUnasked(device_->readAll().size());  // nothing was asked: dropped
        return;
    }
    if (device_->bytesAvailable() < kResponseSize) return;
    responseTimer_.stop();
    const QByteArray bytes = device_->readAll();
    // Bytes beyond the first response are read and ignored, but counted.
    if (!countUnasked(bytes.size() - kResponseSize)) return;
    handleResponse(bytes);
}

bool PollCycle::countUnasked(qint64 bytes) {
    unasked_ += bytes;
    if (unasked_ <= kFloodBytes) return true;
    failure();
    return false;
}

void PollCycle::showAcquisitionWait() {
    const QString wait = acquisitionWait(state_, temperatureRead_);
    QString& panel = state_.statusPanels[6];
    const QString before = panel;
    if (!wait.isEmpty()) {
        panel = wait;
        waitShown_ = true;
    } else if (waitShown_) {
        waitShown_ = false;
        if (connection_.pollDevice()) panel = connection_.statusText();
    }
    if (panel != before) emit changed();
}

void PollCycle::onResponseTimeout() {
    if (phase_ == Phase::Stopping) {
        ++timeouts_;
        sendStop();
        return;
    }
    if (phase_ != Phase::Waiting) return;
    timedOut_ = true;
    ++timeouts_;
    countTimeout();
}

void PollCycle::countTimeout() {
    ++failCount_;
    if (failCount_ < kTimeoutsPerFailure)
        attempt();
    else
        failure();
}

void PollCycle::handleResponse(const QByteArray& bytes) {
    if (!checkResponse(bytes)) {
        // A wrong trailer is sent again at once; an instrument that never gets it right would keep
        // the tick resending without end, so every few wrong trailers count as one time-out.
        if (++wrongTrailers_ >= kWrongTrailersPerTimeout) {
            wrongTrailers_ = 0;
            countTimeout();
        } else {
            attempt();
        }
        return;
    }
    const auto d = decodeResponse(bytes);
    state_.rawVolt = d->rawVolt;
    state_.rawCurr = d->rawCurr;
    state_.chassisTemperature = formatNumber(chassisTemperature(d->rawChassisTemperature), u"0.0");
    state_.testTemperature = formatNumber(testTemperature(d->rawTestTemperature), u"0.0");

    temperatureRead_ = true;

    // The window is watched between runs, and by a started run that waits for its first sample
    // (started before any reading, or outside the window) until the bath is inside it. Once a run
    // acquires, tempOk keeps its value.
    const bool runWaits = state_.testRun && state_.n == 1 && !state_.tempOk;
    if (state_.n == 0 || runWaits) {
        const auto t = toSingle(state_.testTemperature);
        const auto lo = toSingle(state_.tempLow);
        const auto hi = toSingle(state_.tempHigh);
        const bool inside = t && lo && hi && !(*t < *lo) && !(*t > *hi);
        state_.tempOk = inside;
        // The window gates the start buttons only between runs, while no start owns them.
        if (state_.n == 0 && !state_.startPending && !state_.testRun) {
            for (const QString& key : {kKeyTest13, kKeyTest46, kKeyTest16}) state_.button(key).enabled = inside;
            state_.startBlocked =
                inside ? QString() : temperatureBlocksStart(state_.testTemperature, state_.tempLow, state_.tempHigh);
        }
    }
    if (state_.tempOk && state_.testRun && enableAcquisition) enableAcquisition();
    showAcquisitionWait();
    lastGoodTimeouts_ = failCount_;
    endTick();
}

void PollCycle::endTick() {
    phase_ = Phase::Idle;
    responseTimer_.stop();
    emit changed();
    if (stopQueued_) sendStop();
}

void PollCycle::failure() {
    // Closing the link below reports the close; that is this failure, not another one.
    if (failing_) return;
    const QScopedValueRollback failing(failing_, true);
    if (stopDone_) {
        // The link failed while the stop frame waited: the link is closed by whoever asked for the
        // stop, and the failure says nothing more.
        pollTimer_.stop();
        finishStop();
        return;
    }
    // Everything is stopped before the message is shown, so nothing polls behind the open box.
    phase_ = Phase::Idle;
    timedOut_ = false;
    failCount_ = 0;
    unasked_ = 0;
    waitShown_ = false;
    responseTimer_.stop();
    pollTimer_.stop();
    for (int c = 0; c <= state_.lastCh; ++c) state_.chStopped[c] = true;
    if (stopAcquisition) stopAcquisition();
    if (state_.serialMode)
        connection_.serialClose();
    else if (state_.g_Connect != 0)
        connection_.ethernetToggle();
    bindDevice(nullptr);
    emit changed();
    emit failed();
    prompter_.message(kPollFailure, kPollFailureTitle);
}

}  // namespace varnot
