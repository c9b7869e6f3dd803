// The simulator's frame assembly and its answers on an arbitrary byte stream read in arbitrary
// pieces.
//
// Input: pieces, each its length (one byte) followed by its bytes. Properties:
//  - the frames found do not depend on how the stream was cut into reads;
//  - every frame is 107 bytes with header and trailer, taken from the stream in order, and every
//    byte is either part of a frame, counted as discarded, or less than a frame still waiting;
//  - a whole handshake frame after any garbage is found;
//  - the instrument answers every frame with a response the console accepts, the handshake with
//    the handshake mark, a poll with its run command.
#include "fuzz_support.h"
#include "link/frames.h"
#include "sim/frame_assembler.h"
#include "sim/instrument.h"

using namespace varnot;
using varnot::fuzz::Input;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    QList<QByteArray> pieces;
    QByteArray stream;
    while (!in.empty()) {
        pieces.append(in.bytes(in.byte()));
        stream += pieces.back();
    }
    const QString what = QStringLiteral("stream %1").arg(QString::fromLatin1(stream.toHex()));

    sim::FrameAssembler pieceWise;
    QList<QByteArray> frames;
    for (const QByteArray& p : pieces) frames += pieceWise.feed(p);
    sim::FrameAssembler whole;
    FUZZ_CHECK(whole.feed(stream) == frames, what);
    FUZZ_CHECK(whole.discarded() == pieceWise.discarded(), what);

    qsizetype from = 0;
    for (const QByteArray& f : frames) {
        FUZZ_CHECK(f.size() == kCommandFrameSize, what);
        FUZZ_CHECK(f.startsWith(QByteArray::fromHex("772010062901")) && f.endsWith(QByteArray::fromHex("0ff086")),
                   what);
        const qsizetype at = stream.indexOf(f, from);
        FUZZ_CHECK(at >= from, what);
        from = at + f.size();
    }
    const qsizetype waiting = stream.size() - pieceWise.discarded() - frames.size() * kCommandFrameSize;
    FUZZ_CHECK(waiting >= 0 && waiting < kCommandFrameSize, what);

    // After whatever came before, a whole frame is found.
    const QByteArray handshake = buildHandshakeFrame();
    const QList<QByteArray> after = pieceWise.feed(handshake);
    FUZZ_CHECK(!after.isEmpty() && after.back() == handshake, what);

    // The instrument answers what it was sent. Far sample indexes are left out: the model steps
    // through every second up to them.
    sim::Instrument instrument{sim::Config{}};
    double wall = 0;
    for (const QByteArray& f : frames + after) {
        const auto cmd = sim::Instrument::decodeCommand(f);
        FUZZ_CHECK(cmd.has_value(), what);
        if (cmd->n > 600) continue;
        (void)sim::Instrument::describe(*cmd);
        const auto answer = instrument.answer(f, wall += 0.8);
        FUZZ_CHECK(answer.has_value(), what);
        FUZZ_CHECK(answer->size() == kResponseSize && checkResponse(*answer), what);
        FUZZ_CHECK(answer->left(6) == f.left(6), what);
        if (cmd->handshake)
            FUZZ_CHECK(isHandshakeReply(*answer), what);
        else
            FUZZ_CHECK(static_cast<std::uint8_t>(answer->at(6)) == cmd->runCommand, what);
        FUZZ_CHECK(decodeResponse(*answer).has_value(), what);
    }
    return 0;
}
