// Reading a run journal back on arbitrary contents.
//
// Input: one byte (bit 0 clear: the journal starts with a genuine header), then records, each a
// type byte, a length byte and that many content bytes, framed with their true length and CRC so
// that the contents themselves are read; whatever is left is appended unframed. Properties:
//  - the whole records and the dropped tail make up the input, and reading the whole records
//    alone gives the same run with nothing dropped;
//  - a run read has its channels inside 1..6, its samples inside the curves, and nothing outside
//    its channel range filled.
#include "fuzz_support.h"
#include "run/run_journal.h"

using namespace varnot;
using varnot::fuzz::Input;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    QByteArray journal;
    if ((in.byte() & 1) == 0) {
        JournalMeta meta;
        meta.folder = QStringLiteral("/data");
        RunState start;
        start.fields[int(Field::TvTestNumber)][0] = QStringLiteral("B7");
        journal += encodeHeader(meta, start);
    }
    while (in.left() > 2) {
        const auto type = JournalRecord(in.byte());
        journal += encodeRecord(type, in.bytes(in.byte()));
    }
    journal += in.rest();

    const JournalReading r = readJournal(journal);
    FUZZ_CHECK(r.wholeBytes + r.droppedBytes == journal.size(), QString::number(r.wholeBytes));
    const JournalReading whole = readJournal(journal.left(r.wholeBytes));
    FUZZ_CHECK(whole.droppedBytes == 0 && whole.valid == r.valid && whole.lastSample == r.lastSample &&
                   whole.ended == r.ended,
               QString::number(whole.droppedBytes));
    if (!r.valid) return 0;
    const JournalMeta& m = r.meta;
    FUZZ_CHECK(m.firstCh >= 0 && m.firstCh <= m.lastCh && m.lastCh < kChannels, QString::number(m.lastCh));
    FUZZ_CHECK(r.lastSample >= 0 && r.lastSample <= kLastSample, QString::number(r.lastSample));
    for (int ch = 0; ch < kChannels; ++ch) {
        FUZZ_CHECK(r.V[ch].size() == std::size_t(kLastSample + 1), QString::number(ch));
        if (ch >= m.firstCh && ch <= m.lastCh) continue;
        for (int f = 0; f < kFieldCount; ++f) FUZZ_CHECK(r.state.fields[f][ch].isEmpty(), QString::number(f));
        FUZZ_CHECK(r.state.panels[ch].isEmpty(), QString::number(ch));
        for (int k = 0; k <= r.lastSample; ++k) FUZZ_CHECK(r.V[ch][k] == 0 && r.I[ch][k] == 0, QString::number(k));
    }
    return 0;
}
