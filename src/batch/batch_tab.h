// The batch tab's widgets: the whole-batch fields with 打开, 保存 and 删除, the serial and
// specification lists shown over their fields on a double-click, the sheet values with their
// 保存, and the sheet grid. They show the batch panel and forward the operator's commands to the
// batch screen.
#pragma once

#include "batch/batch_screen.h"

#include <QWidget>

#include <array>
#include <functional>

class QLineEdit;
class QListWidget;
class QDateEdit;
class QTableWidget;

namespace varnot {

class BatchTab : public QWidget {
    Q_OBJECT
public:
    // Typed texts go to `enterField` and `enterSheetValue` (the console completes them).
    BatchTab(BatchHost host, std::function<void(BatchField, const QString&)> enterField,
             std::function<void(int k, SheetValue, const QString&)> enterSheetValue, QWidget* parent = nullptr);

    BatchScreen& screen() { return screen_; }
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeList(QListWidget* list, QLineEdit* over, const SearchList& content);

    const BatchPanel& panel_;
    std::function<void(QDate)> chooseDate_;
    BatchScreen screen_;
    std::function<void(BatchField, const QString&)> enterField_;
    std::array<QLineEdit*, kBatchFieldCount> edits_{};
    std::array<std::array<QLineEdit*, 3>, kSheets> sheetEdits_{};
    QListWidget* serialList_ = nullptr;  // List1
    QListWidget* specList_ = nullptr;    // List2
    QDateEdit* date_ = nullptr;
    QTableWidget* grid_ = nullptr;
};

}  // namespace varnot
