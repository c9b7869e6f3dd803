// The calibration window (电压电流校准): the operator picks a channel of the current group and one
// of its four coefficients and nudges it up or down in coarse or fine steps while watching the
// channel's live voltage and current; 恢复默认值 puts every coefficient back to 1. It works on the
// console's state, zoom factors and settings store through the references it is given and holds
// nothing of its own beyond the operator's choices.
#pragma once

#include "calibration/calibration_steps.h"
#include "state/console_state.h"
#include "common/prompter.h"
#include "settings/settings_store.h"

#include <QWidget>

#include <functional>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace varnot {

// What the window works on: the console's state (coefficients, live texts, channel range), its
// zoom factors and the settings store.
// What the calibration window reads of the console, and the console's commands it gives: a step
// of a channel's coefficient, and the coefficients and zoom factors back to their first values.
struct CalibrationHost {
    const ConsoleState& state;
    std::function<void(int ch, CalibrationItem item, StepDirection direction, StepSize size)> step;
    std::function<void()> restoreDefaults;
};

class CalibrationWindow : public QWidget {
    Q_OBJECT
  public:
    CalibrationWindow(CalibrationHost host, Prompter& prompter, QWidget* parent = nullptr);

    // Shows every listed channel's voltage and current (the running test's samples, or between
    // runs the last poll's reading corrected as the coefficients stand now) and its four
    // coefficients; the owner calls it whenever the console changes.
    void showLiveTexts();

  private:
    void step(StepDirection direction);
    void restoreDefaults();
    StepSize stepSize() const;

    CalibrationHost host_;
    Prompter& prompter_;
    QComboBox* channels_ = nullptr;
    QComboBox* items_ = nullptr;
    QRadioButton* coarse_ = nullptr;
    QRadioButton* fine_ = nullptr;
    struct Readout {
        int ch;
        QLineEdit* voltage;
        QLineEdit* current;
        QLabel* coefficients;  // the channel's four coefficients as the console holds them
    };
    std::vector<Readout> readouts_;
};

}  // namespace varnot
