// The TV judgement, the one rule by which a TV test is judged wherever it is judged: at the end of
// the test, on the batch certificate and in the batch statistics. Single precision, as the
// console keeps its fields; equality passes.
#pragma once

namespace varnot {

// Passes when the TV value reaches the formation voltage and the rise time stays within its
// limit.
inline bool tvPasses(float formationVoltage, float tvValue, float riseTimeLimit, float riseTime) {
    return !(formationVoltage > tvValue || riseTimeLimit < riseTime);
}

}  // namespace varnot
