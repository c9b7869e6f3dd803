// The console window: menus, toolbar, the six tabs and the status bar. It shows the Console model
// and forwards the operator's commands to it; all state lives in the model.
#pragma once

#include "console/console.h"
#include "console/qt_prompter.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QComboBox;
class QGroupBox;
class QRadioButton;
class QTabWidget;
class QDateEdit;
class QTableWidget;
class QToolBar;
class QGridLayout;

namespace varnot {

class PlotView;
class BatchTab;
class HistoryWindow;
class CalibrationWindow;
class HelpWindow;
class OperatorFields;
class ReportPrinter;

class ConsoleWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ConsoleWindow(Console& console, QWidget* parent = nullptr);
    ~ConsoleWindow() override;
    void refresh();
    void showTab(int tab);
    // The prompter of the windows this one opens (the history window); until set, they show real
    // message boxes over themselves.
    void setPrompter(Prompter& prompter) { prompter_ = &prompter; }
    // 查询: opens the history window, or brings the open one to the front.
    void openHistory();
    HistoryWindow* historyWindow() const;
    // 电压电流校准: opens the calibration window, or brings the open one to the front.
    void openCalibration();
    CalibrationWindow* calibrationWindow() const;
    // 帮助(&H): opens the help window, or brings the open one to the front.
    void openHelp();
    HelpWindow* helpWindow() const;
    // 打印1-3通道, 打印4-6通道, 打印1-6通道 and the toolbar's print2.
    ReportPrinter& reportPrinter() { return *reports_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    // Every command first completes the entry being typed, as leaving its field would.
    void completeFocusedEntry();
    void completeEntry(QLineEdit* edit, Field f, int ch);
    void command(const std::function<void()>& action);
    QAction* addCommand(QMenu* menu, const QString& text, std::function<void()> action);
    void buildMenus();
    void buildToolbar();
    QWidget* buildPlotTab(int tab);
    QWidget* buildParameterTab(bool electrolyte);
    QWidget* buildGroupSwitches(int group);
    QWidget* buildBatchTab();
    // The range hint under a parameter field, when it has one.
    void addRangeHint(QGridLayout* form, int& row, Field f, int ch);
    // Centred on the screen it comes up on.
    void centreOnScreen();

    Console& console_;
    QTabWidget* tabs_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::map<QString, QAction*> buttons_;
    QAction* ethernetMenu_ = nullptr;
    QMenu* commMenu_ = nullptr;
    std::array<QLabel*, 7> panels_{};
    std::vector<PlotView*> plotViews_;
    struct FieldEdit {
        Field field;
        int ch;
        QWidget* widget;
    };
    std::vector<FieldEdit> edits_;
    std::array<std::array<QRadioButton*, 3>, 2> kindSwitch_{};
    std::array<std::array<QRadioButton*, 2>, 2> boilingSwitch_{};
    std::array<std::array<QRadioButton*, 2>, 2> linkSwitch_{};
    // Per group the frames of the boiling, kind and linkage switches.
    std::array<std::array<QGroupBox*, 3>, 2> switchBoxes_{};
    QAction* newMenu_ = nullptr;  // 文件 -> 新建
    QLabel* temperature_ = nullptr;
    // Status bar: why the start buttons are off, and what the console announced.
    QLabel* startReason_ = nullptr;
    QLabel* notices_ = nullptr;
    // Closing under a run: the instrument's answer to the stop frame is awaited, then the window
    // closes for good.
    bool stoppingForClose_ = false;
    bool readyToClose_ = false;
    // Readouts beside the channel plots: V, I, TA, TB, Vm, VT (caption and value), the mouse
    // readout below each channel plot (Label70) and beside each combined plot (Label67).
    std::array<std::array<QLabel*, 6>, kChannels> readoutCaption_{};
    std::array<std::array<QLineEdit*, 6>, kChannels> readoutValue_{};
    std::array<QLabel*, kChannels> channelReadout_{};
    std::array<QLabel*, 3> groupReadout_{};
    BatchTab* batchTab_ = nullptr;
    QtPrompter ownPrompter_{this};
    Prompter* prompter_ = &ownPrompter_;
    QPointer<HistoryWindow> history_;
    QPointer<CalibrationWindow> calibration_;
    QPointer<HelpWindow> help_;
    OperatorFields* operatorFields_ = nullptr;
    std::unique_ptr<ReportPrinter> reports_;
};

}  // namespace varnot
