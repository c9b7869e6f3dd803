#include "sim/frame_assembler.h"

#include "link/frames.h"

#include <algorithm>

namespace varnot::sim {
namespace {

const QByteArray kHeader = QByteArray::fromHex("772010062901");
const QByteArray kTrailer = QByteArray::fromHex("0ff086");

}  // namespace

QList<QByteArray> FrameAssembler::feed(const QByteArray& bytes, QList<qsizetype>* ends) {
    // Where the front of buffer_ lies in `bytes` (negative while it holds bytes from before).
    qsizetype removed = -buffer_.size();
    buffer_.append(bytes);
    QList<QByteArray> frames;
    for (;;) {
        const qsizetype at = buffer_.indexOf(kHeader);
        if (at < 0) {
            // Keep a tail that could be the start of a header split across reads.
            const qsizetype keep = std::min<qsizetype>(buffer_.size(), kHeader.size() - 1);
            discarded_ += buffer_.size() - keep;
            removed += buffer_.size() - keep;
            buffer_.remove(0, buffer_.size() - keep);
            break;
        }
        if (at > 0) {
            discarded_ += at;
            removed += at;
            buffer_.remove(0, at);
        }
        if (buffer_.size() < kCommandFrameSize) break;
        if (buffer_.mid(kCommandFrameSize - kTrailer.size(), kTrailer.size()) != kTrailer) {
            ++discarded_;
            ++removed;
            buffer_.remove(0, 1);
            continue;
        }
        frames.append(buffer_.left(kCommandFrameSize));
        buffer_.remove(0, kCommandFrameSize);
        removed += kCommandFrameSize;
        if (ends) ends->append(removed);
    }
    return frames;
}

}  // namespace varnot::sim
