#include "sim/serial_line.h"

#include <algorithm>
#include <cmath>

namespace varnot::sim {
namespace {

// An answer leaves in pieces of about this long on the line (8 bytes at 9600 baud).
constexpr double kPieceSeconds = 0.008;

int msUntil(double when, double now) {
    const double ms = std::ceil((when - now) * 1000.0);
    return ms <= 0 ? 0 : static_cast<int>(std::min(ms, 1e9));
}

}  // namespace

qint64 bytesOnTheWire(const LineTiming& line, double elapsed, qint64 total) {
    if (line.instant()) return total;
    if (!(elapsed > 0)) return 0;
    const double whole = std::floor(elapsed / line.byteSeconds());
    return whole >= static_cast<double>(total) ? total : static_cast<qint64>(whole);
}

SerialLine::SerialLine(Writer writer, Clock clock, QObject* parent)
    : QObject(parent), writer_(std::move(writer)), clock_(std::move(clock)) {
    for (QTimer* t : {&txTimer_, &actionTimer_}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(&txTimer_, &QTimer::timeout, this, &SerialLine::pump);
    connect(&actionTimer_, &QTimer::timeout, this, &SerialLine::runDue);
}

double SerialLine::received(qint64 count) {
    const double now = clock_();
    if (timing_.instant()) return now;
    const double start = std::max(now, rxFreeAt_);
    rxFreeAt_ = start + timing_.seconds(count);
    return start;
}

void SerialLine::at(double when, std::function<void()> action) {
    actions_.push_back({when, std::move(action)});
    if (actions_.size() == 1) runDue();
}

void SerialLine::runDue() {
    while (!actions_.empty()) {
        const double now = clock_();
        if (actions_.front().when > now) {
            actionTimer_.start(msUntil(actions_.front().when, now));
            return;
        }
        const auto run = std::move(actions_.front().run);
        actions_.pop_front();
        run();
    }
}

void SerialLine::send(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    if (timing_.instant()) {
        writer_(bytes);
        return;
    }
    const double start = std::max(clock_(), txFreeAt_);
    txFreeAt_ = start + timing_.seconds(bytes.size());
    outgoing_.push_back({bytes, start, 0});
    if (outgoing_.size() == 1) pump();
}

void SerialLine::pump() {
    const double now = clock_();
    while (!outgoing_.empty()) {
        Outgoing& o = outgoing_.front();
        const qint64 due = bytesOnTheWire(timing_, now - o.start, o.bytes.size());
        if (due > o.written) {
            const QByteArray piece = o.bytes.mid(o.written, due - o.written);
            o.written = due;
            writer_(piece);
        }
        if (o.written < o.bytes.size()) break;
        outgoing_.pop_front();
    }
    if (outgoing_.empty()) return;
    const Outgoing& o = outgoing_.front();
    const auto piece = std::max<qint64>(1, std::llround(kPieceSeconds / timing_.byteSeconds()));
    const qint64 next = std::min<qint64>(o.bytes.size(), o.written + piece);
    txTimer_.start(msUntil(o.start + timing_.seconds(next), now));
}

void SerialLine::clear() {
    outgoing_.clear();
    txTimer_.stop();
    txFreeAt_ = std::min(txFreeAt_, clock_());
}

}  // namespace varnot::sim
