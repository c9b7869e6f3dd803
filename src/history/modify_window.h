// The record-modification window ("记录修改"): corrects one column of the record selected in the
// history window. Modal; its columns are those of channel 1's test kind.
#pragma once

#include "common/prompter.h"
#include "history/record_grid.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace varnot {

class ModifyWindow : public QDialog {
    Q_OBJECT
  public:
    // `record`: the record selected when the window was opened, listed by `grid`'s query.
    ModifyWindow(TestKind channel1Kind, const RecordGridModel& grid, std::optional<RecordRef> record,
                 HistoryDatabase& database, Prompter& prompter, QWidget* parent = nullptr);

    // 记录修改.
    void modify();

  private:
    TestKind kind_;
    TestKind listedKind_;
    std::optional<RecordRef> record_;
    HistoryDatabase& database_;
    Prompter& prompter_;
    QComboBox* column_ = nullptr;  // Combo1
    QLineEdit* value_ = nullptr;   // Text1
};

}  // namespace varnot
