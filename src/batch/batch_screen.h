// The operations of the batch tab: 打开 (a stored batch into the fields, the sheet grid and the
// channel plots), 保存 of the whole-batch fields, 保存 of the sheet values, 删除, the serial search
// list, the list of foil 规格 and 合并报表. The screen reads the console's batch panel, changes
// the console only through the commands its host names, and works on the batch store; every
// message goes through the prompter.
#pragma once

#include "acquisition/plot_axes.h"
#include "batch/batch_panel.h"
#include "common/prompter.h"
#include "report/certificate_layout.h"
#include "state/console_state.h"
#include "storage/batch_store.h"

#include <QColor>
#include <QDate>
#include <QPointF>
#include <QStringList>

#include <functional>
#include <vector>

namespace varnot {

struct BatchHost {
    BatchHost(const BatchPanel& p, BatchStore& st, std::function<Prompter&()> pr)
        : panel(p), store(st), prompter(std::move(pr)) {}

    const BatchPanel& panel;
    BatchStore& store;
    // Every message and question goes through it.
    std::function<Prompter&()> prompter;
    // The console's commands: a batch read from the store onto the screen (false when the
    // operator kept the test on screen); a measured test not stored whole asked about before a
    // delete wipes it; the deleted batch off the screen; a chosen serial or 规格 into its field.
    std::function<bool(const BatchContents&)> showBatch;
    std::function<bool()> confirmDiscard;
    std::function<void()> batchDeleted;
    std::function<void(BatchField, const QString&)> chooseField;
    std::function<void(QDate)> chooseDate;
    // Whether a run is supervised: opening and deleting reset the channels, so they wait.
    std::function<bool()> running;
    std::function<QDate()> today;
    // The screen's own lists changed: its tab shows them.
    std::function<void()> changed;
    // The folder the console's program lives in (合并报表 starts a program from there).
    QString programFolder;
    // Where 合并报表 writes the batch certificate when that program is not there, and the company
    // text it carries.
    std::function<QString()> documentsFolder;
    std::function<QString()> company;
};

// A search list over a field: hidden until its field is double-clicked.
struct SearchList {
    bool shown = false;
    QStringList entries;
};

// A stored curve as drawn on its channel plot: one polyline from its start point through every
// value read, in plot units.
struct StoredCurvePath {
    QColor colour;
    std::vector<QPointF> points;
};

// Sheet k's curve (values of columns "0", "1", ...): points j = 0 … tr + 177 as far as there are
// values, height 4000 × (0.9 − value ÷ (1.5 × refV)), x = 400 + j × 12.5 ÷ hxfd (500 for sheet
// 4, which also starts at (500, 4500) instead of (400, 3600)); red for sheets 1 and 4, green for
// 2 and 5, blue for 3 and 6.
StoredCurvePath storedCurvePath(int k, const std::vector<double>& values, int tr, double refV, float hxfd);

// The zoom factor at which a channel plot shows `points` samples whole.
float zoomToShow(int points);

// The grid texts of a stored sheet: capacitance "0.000", the others "0.00", NULL empty.
std::array<QString, 6> sheetGridTexts(const StoredSheet& sheet);

// A stored batch onto the panel: its fields, sheet values and grid rows. Returns each sheet's
// stored rise time (0 when it has none), which bounds the curve drawn for it.
std::array<int, 6> fillBatchPanel(BatchPanel& panel, const BatchContents& contents);
// The batch's curves onto the channel plots, every plot scaled to show the longest whole and its
// axes drawn first; axes and curves alike for the batch's VF.
void drawBatchCurves(Plots& plots, const ConsoleState& state, const BatchContents& contents,
                     const std::array<int, 6>& tr);

class BatchScreen {
public:
    explicit BatchScreen(BatchHost host);

    void open();
    void saveBatch();
    void saveSheets();
    void deleteBatch();

    // Double-click on the serial field: the list of serials containing its text; hidden again
    // when nothing matches. Choosing an entry puts it into the field and hides the list.
    void searchSerials();
    void chooseSerial(const QString& serial);
    const SearchList& serialList() const { return serialList_; }

    // Double-click on the 规格 field: an empty field lists every stored 规格; a 规格 not yet
    // listed is offered for the list first.
    void listSpecifications();
    void chooseSpecification(const QString& spec);
    const SearchList& specificationList() const { return specList_; }

    // 合并报表: starts the merged-report program from the console's folder and returns at once.
    // Without the program, the certificate of the stored batch of the serial field is written as
    // a PDF file into the documents folder instead, and the operator is told its path.
    void mergedReport();
    void writeCertificate();
    static QString mergedReportProgram(const QString& folder);

private:
    void refused(const QString& what, const StoreResult& r);
    void failed(const QString& what, const QString& reason);
    void changed();

    BatchHost host_;
    SearchList serialList_, specList_;
};

}  // namespace varnot
