// The link as the operator closes it: 关闭串口 and 以太网断开 under a run, and the window closing under
// a run. Either way the instrument is told the run stopped before the link goes.
#include "console/console.h"

#include "link/link_texts.h"

namespace varnot {

using namespace link_texts;

void Console::closeSerialCommand() {
    if (!supervising_ || !connection_.serialOpen()) {
        connection_.serialClose();
        return;
    }
    closeLinkUnderRun([this] { connection_.serialClose(); });
}

void Console::ethernetCommand() {
    // Connecting, or a link no run uses, needs no question.
    if (!supervising_ || state_.g_Connect == 0) {
        connection_.ethernetToggle();
        return;
    }
    closeLinkUnderRun([this] {
        if (state_.g_Connect != 0) connection_.ethernetToggle();
    });
}

void Console::closeLinkUnderRun(const std::function<void()>& close) {
    if (linkStopping_) return;  // already on its way
    if (!prompter_.askDefaultNo(kCloseLinkDuringRun, QStringLiteral("信息提示"))) {
        emit changed();
        return;
    }
    if (!supervising_ || linkStopping_) {
        // The run ended (or was stopped) while the question was open: only the link closes.
        if (!linkStopping_) close();
        return;
    }
    // The operator's stop, as 1-3测试停止 gives it; nothing more is sampled, and the frames carry no
    // run word any more.
    stopAll();
    state_.testRun = false;
    state_.tempOk = false;
    acquisitionTimer_.stop();
    linkStopping_ = true;
    emit changed();
    poll_.sendStopFrame([this, close] {
        close();
        linkStopping_ = false;
        emit changed();
        // The run ends (its save question) after this message, never before the link is closed.
        prompter_.message(kRunStoppedByClose, QStringLiteral("信息提示"));
        scheduleRound();
    });
}

bool Console::stopInstrumentBeforeClose(std::function<void()> stopped) {
    if (!supervising_ || !connection_.pollDevice() || poll_.stopFramePending()) return false;
    // The run goes with the console: no further sample, visit or question.
    acquisitionTimer_.stop();
    stepTimer_.stop();
    pendingVisits_ = 0;
    supervising_ = false;
    state_.chStopped.fill(true);
    state_.n = 0;
    state_.testRun = false;
    state_.tempOk = false;
    emit changed();
    poll_.sendStopFrame(std::move(stopped));
    return true;
}

}  // namespace varnot
