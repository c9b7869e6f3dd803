#include "statistics/batch_statistics.h"

#include "run/evaluation.h"

#include <QHash>

#include <limits>

namespace varnot {

namespace {

struct Batch {
    std::array<const SheetRecord*, 6> sheets{};
};

}  // namespace

BatchStatistics batchStatistics(const std::vector<SheetRecord>& sheets, std::optional<double> riseTimeLimit) {
    BatchStatistics out;
    std::vector<Batch> batches;
    QHash<QString, int> index;
    for (const SheetRecord& s : sheets) {
        if (s.number < 1 || s.number > 6) continue;
        auto it = index.find(s.serial);
        if (it == index.end()) {
            it = index.insert(s.serial, int(batches.size()));
            batches.emplace_back();
            out.serials << s.serial;
        }
        batches[std::size_t(*it)].sheets[std::size_t(s.number - 1)] = &s;
        ++out.sheets;
    }

    // The console judges with single-precision numbers; so does this.
    const float limit = riseTimeLimit ? float(*riseTimeLimit) : std::numeric_limits<float>::infinity();
    std::vector<std::vector<double>> tr(batches.size()), tv(batches.size());
    std::array<double, 3> before{}, after{};
    for (std::size_t b = 0; b < batches.size(); ++b) {
        for (const SheetRecord* s : batches[b].sheets) {
            if (!s) continue;
            if (s->tr) tr[b].push_back(*s->tr);
            if (s->vt) tv[b].push_back(*s->vt);
            if (s->tr && s->vt && s->vf) {
                ++out.fails.judged;
                if (!tvPasses(float(*s->vf), float(*s->vt), limit, float(*s->tr))) ++out.fails.failed;
            } else {
                ++out.fails.unjudged;
            }
        }
        for (std::size_t p = 0; p < 3; ++p) {
            const SheetRecord* a = batches[b].sheets[p];
            const SheetRecord* z = batches[b].sheets[p + 3];
            if (!a || !z || !a->tr || !z->tr) continue;
            ++out.boiling[p].pairs;
            before[p] += *a->tr;
            after[p] += *z->tr;
        }
    }
    for (std::size_t p = 0; p < 3; ++p) {
        BoilingChange& c = out.boiling[p];
        c.position = int(p) + 1;
        if (!c.pairs) continue;
        c.before = before[p] / c.pairs;
        c.after = after[p] / c.pairs;
        c.change = c.after - c.before;
    }
    out.tr = xbarRChart(tr);
    out.tv = xbarRChart(tv);
    return out;
}

}  // namespace varnot
