// The time a serial line takes between the console and the instrument. At 9600 baud, 8N1, a byte
// is 10 bits on the wire: the 107-byte command takes 111.5 ms to arrive and the 106-byte answer
// 110.4 ms to leave. A line with baud 0 takes no time at all (in-process tests).
//
// SerialLine plays both directions for an endpoint: a command frame is handed on only once its
// last byte would have arrived, and an answer leaves in small pieces at the line's rate, so the
// console sees partial frames as it does on a real port.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

namespace varnot::sim {

struct LineTiming {
    static constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
    static constexpr int kRealBaud = 9600;

    int baud = 0;        // 0: the line takes no time
    double speed = 1.0;  // the line runs this many times faster, as the console's intervals do

    bool instant() const { return baud <= 0 || !(speed > 0); }
    double byteSeconds() const { return instant() ? 0.0 : kBitsPerByte / (baud * speed); }
    double seconds(qint64 bytes) const { return static_cast<double>(bytes) * byteSeconds(); }
};

// How many of `total` bytes whose transmission began `elapsed` seconds ago have wholly left the
// line: never a byte before its last bit.
qint64 bytesOnTheWire(const LineTiming& line, double elapsed, qint64 total);

class SerialLine : public QObject {
public:
    using Writer = std::function<void(const QByteArray&)>;
    using Clock = std::function<double()>;

    SerialLine(Writer writer, Clock clock, QObject* parent = nullptr);

    void setTiming(LineTiming timing) { timing_ = timing; }
    const LineTiming& timing() const { return timing_; }

    // `count` bytes read from the console now: returns when the first of them began to arrive on
    // the line (after whatever the line was still carrying). Byte k (1-based) of them has arrived
    // at the returned time + seconds(k).
    double received(qint64 count);
    // Runs `action` once the line's clock reaches `when`, after every action due earlier.
    void at(double when, std::function<void()> action);
    // Sends bytes after everything already queued, at the line's rate.
    void send(const QByteArray& bytes);
    // Forgets what is queued but not yet sent (the actions stay).
    void clear();
    bool idle() const { return outgoing_.empty() && actions_.empty(); }

private:
    struct Outgoing {
        QByteArray bytes;
        double start = 0;  // when its first bit goes on the line
        qint64 written = 0;
    };
    struct Action {
        double when = 0;
        std::function<void()> run;
    };

    void pump();
    void runDue();

    Writer writer_;
    Clock clock_;
    LineTiming timing_;
    double rxFreeAt_ = 0;  // the receive direction carries bytes until then
    double txFreeAt_ = 0;  // the send direction carries bytes until then
    std::deque<Outgoing> outgoing_;
    std::deque<Action> actions_;
    QTimer txTimer_;
    QTimer actionTimer_;
};

}  // namespace varnot::sim
