// The history window ("历史数据查询"): finds stored tests of one kind by one condition, lists them
// in a grid read page by page as it is scrolled, and deletes the selected record or a run of
// records from it. Modeless; closing it closes its database connection.
#pragma once

#include "acquisition/acquisition.h"
#include "common/prompter.h"
#include "history/record_display.h"
#include "history/record_grid.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace varnot {

// What the history window reaches of the console, and nothing more.
struct HistoryHost {
    // Channel 1's test kind: the columns a record may be corrected in.
    std::function<TestKind()> channel1Kind;
    // 显示记录: the console shows a record on a slot of the display group (false when it did not,
    // with the reason in `error` unless the operator chose to keep the test on screen).
    std::function<bool(int displayGroup, int slot, const StoredRecord& record, QString* error)> showStoredRecord;
    // The console comes to the front after a display.
    std::function<void()> shown;
    std::function<bool()> running;
    // Before deleting: the console takes its save counter back from the settings store.
    std::function<void()> rereadStoredCount;
    // After deleting: the records of a kind that may have left the store.
    std::function<void(TestKind kind, const QStringList& names)> recordsDeleted;
};

class HistoryWindow : public QWidget {
    Q_OBJECT
  public:
    // The local test databases in `folder`; every message goes through `prompter`.
    HistoryWindow(const QString& folder, Prompter& prompter, HistoryHost host, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // 查询, 删除记录, 确定 (the run of records), as the buttons do.
    void runQuery();
    void deleteSelected();
    void deleteRun();
    // 修改记录: the modification window over the selected record (modal, not blocking).
    void modifySelected();
    // 显示记录: the selected record into the next slot of the display group.
    void displaySelected();
    // 导出CSV: the grid as shown (the column names, then every record the last query found) into a
    // comma-separated file the operator names.
    void exportCsv();

    RecordGridModel& grid() { return *model_; }
    // The grid row of the current cell: row 1 holds the column names, the records start at row 2
    // (-1: none).
    int currentGridRow() const;

  private:
    void kindChosen();
    void columnChosen();
    void operatorChosen();
    bool selectionValid();
    // Tells the console which records a delete took.
    void deleted(const DeleteOutcome& outcome);
    // Runs `query`; the message (unless `quiet`) and the count "0" when it finds nothing, with
    // nothing left to delete, change, show or export.
    void present(const HistoryQuery& query, bool quiet = false);
    // The query again after a delete of the records from `gridRow` on, the view where it was.
    void requery(int gridRow);

    Prompter& prompter_;
    HistoryHost host_;
    HistoryDatabase database_;
    RecordGridModel* model_ = nullptr;
    QComboBox* kind_ = nullptr;          // Combo3
    QComboBox* column_ = nullptr;        // Combo1
    QComboBox* operator_ = nullptr;      // Combo2
    QLineEdit* value1_ = nullptr;        // Text1
    QLineEdit* value2_ = nullptr;        // Text2
    QLineEdit* count_ = nullptr;         // Text4
    QComboBox* displayGroup_ = nullptr;  // Combo4
    QLineEdit* slot_ = nullptr;          // Text5
    QLineEdit* runCount_ = nullptr;      // Text3
    QLabel* statement_ = nullptr;
    QTableView* view_ = nullptr;
    QPushButton* queryButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* displayButton_ = nullptr;
    QPushButton* modifyButton_ = nullptr;
    QPushButton* runButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
};

}  // namespace varnot
