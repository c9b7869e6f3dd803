// Waiting in tests: runs the event loop until a condition holds or a generous deadline passes.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace varnot::testing {

inline bool waitFor(const std::function<bool()>& condition, int deadlineMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > deadlineMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

// Runs the event loop for a while (to see that something does NOT happen).
inline void runFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
}

}  // namespace varnot::testing
