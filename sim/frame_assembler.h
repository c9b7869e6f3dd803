// Cuts the byte stream from the console into 107-byte command frames. Bytes before a frame
// header are dropped, and a candidate whose trailer is wrong is given up one byte at a time, so
// the stream falls back into step after garbage or a lost byte.
#pragma once

#include <QByteArray>
#include <QList>

namespace varnot::sim {

class FrameAssembler {
public:
    // Appends received bytes and returns the complete frames they finish, in order. With `ends`,
    // also where each frame's last byte lies in `bytes`: the count of them up to and including it.
    QList<QByteArray> feed(const QByteArray& bytes, QList<qsizetype>* ends = nullptr);

    // Bytes dropped so far while looking for a frame.
    qsizetype discarded() const { return discarded_; }
    void clear() { buffer_.clear(); }

private:
    QByteArray buffer_;
    qsizetype discarded_ = 0;
};

}  // namespace varnot::sim
