// The foil batch on the console's sixth tab: the whole-batch fields, the sheet values of the six
// sheets (1, 2, 3 before boiling, 1', 2', 3' after) and the sheet grid that shows them with the
// stored results.
#pragma once

#include <QColor>
#include <QDate>
#include <QString>

#include <array>

namespace varnot {

enum class BatchField {
    Serial,     // txtWhole  编号：   upper-cased
    Spec,       // txtWhole1 规格：   upper-cased
    VF,         // VFText    VF值：
    Length,     // txtWhole3 长度：
    Area,       // txtWhole4 面积：
    Joints,     // txtWhole5 接头数： built-in "0"
    Weight,     // txtWhole6 重量：
    Line,       // txtWhole7 线别：   upper-cased
    IQ,         // txtWhole8 IQ编号： upper-cased
};
inline constexpr int kBatchFieldCount = 9;
const char* batchFieldCaption(BatchField f);

enum class SheetValue { Capacitance, Bending, Tensile };  // Cap1..6 比容:, Bend1..6 折弯:, Pull1..6 抗拉:

inline constexpr int kSheets = 6;
inline constexpr int kGridRows = 7, kGridColumns = 7;  // Grid2, first row and column fixed

struct BatchPanel {
    BatchPanel();

    std::array<QString, kBatchFieldCount> fields;
    QString& field(BatchField f) { return fields[static_cast<int>(f)]; }
    const QString& field(BatchField f) const { return fields[static_cast<int>(f)]; }
    QDate date;  // DTPicker1 日期：

    // Sheet values, k = 1..6 at index k - 1.
    std::array<std::array<QString, 3>, kSheets> sheet{};
    QString& value(int k, SheetValue v) { return sheet[k - 1][static_cast<int>(v)]; }

    // Grid2: row 0 the headers, column 0 the row labels; row k holds sheet k; columns 1..6 比容,
    // 折弯, 抗拉, Tr, Vm, Vt.
    std::array<std::array<QString, kGridColumns>, kGridRows> grid{};
};

// Letters a to z typed into the serial, specification, line and IQ fields become A to Z.
QString enteredBatchText(BatchField f, const QString& typed);
void enterBatchField(BatchPanel& panel, BatchField f, const QString& typed);

// A sheet value typed: the value and its grid cell, formatted "0.000" (capacitance) or "0".
void enterSheetValue(BatchPanel& panel, int k, SheetValue v, const QString& typed);

// Headers, row labels, every data cell cleared.
void initialiseGrid(BatchPanel& panel);
// A new run of channels 1-3: the results shown (Tr, Vm, Vt) go; the sheet values the operator
// typed for the sheets stay, in their fields and the grid, and are stored with the sheets.
void clearSheetResults(BatchPanel& panel);
// A new batch of sheets: the grid initialised and the typed sheet values cleared with it, so the
// values shown are the ones a save stores.
void clearSheets(BatchPanel& panel);
// Background of the data cells of grid row 1..6: rows 1 and 4, 2 and 5, 3 and 6 share theirs.
QColor gridRowColour(int row);
// Column widths (twips): 300 for the labels, 850 for each data column; data rows 250 high.
inline constexpr int kGridLabelWidth = 300, kGridColumnWidth = 850, kGridRowHeight = 250;

}  // namespace varnot
