// The figures of the batch statistics window, from the stored sheets of the batches chosen:
// Tr and TV per batch as X̄–R charts (a batch's sheets are its subgroup), the change of Tr by
// boiling at each position, and the share of sheets judged 不合格.
#pragma once

#include "statistics/control_chart.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace varnot {

// One stored sheet with the fields of its batch that the figures need (nullopt: NULL).
struct SheetRecord {
    QString serial;
    QString date;  // ProDate as stored, "yyyy/MM/dd"
    std::optional<double> vf;
    int number = 0;  // NumCurve: 1..3 before boiling, 4..6 the same positions after
    std::optional<double> tr, vt;
};

// Tr at one position (sheet p before boiling, sheet p + 3 after), over the batches holding both.
struct BoilingChange {
    int position = 0;  // 1..3
    int pairs = 0;
    double before = 0, after = 0, change = 0;  // means; change = mean of (after - before)
};

// Sheets judged as the end of a TV test judges them: 不合格 when the TV value is below the
// batch's VF or Tr is over the rise-time limit (when one is given). A sheet without Tr, TV value
// or VF (a test that did not end) is not judged.
struct FailShare {
    int judged = 0, failed = 0, unjudged = 0;
    // failed / judged; 0 when nothing was judged.
    double share() const { return judged ? double(failed) / judged : 0.0; }
};

struct BatchStatistics {
    QStringList serials;  // the batches in the order given; chart points index into it
    int sheets = 0;
    XbarRChart tr, tv;
    std::array<BoilingChange, 3> boiling{};
    FailShare fails;
};

// `sheets` grouped by serial (a batch's sheets may come in any order, batches in the order of
// their first sheet). Sheet numbers outside 1..6 are ignored.
BatchStatistics batchStatistics(const std::vector<SheetRecord>& sheets, std::optional<double> riseTimeLimit);

}  // namespace varnot
