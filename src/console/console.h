// The console model: owns every text, flag, caption and plot the operator sees, and the link and
// poll cycle. Views show it and forward the operator's commands to it; tests drive it directly.
#pragma once

#include "acquisition/acquisition.h"
#include "acquisition/display.h"
#include "acquisition/plot_axes.h"
#include "batch/batch_panel.h"
#include "calibration/calibration_steps.h"
#include "console/channel_test.h"
#include "console/console_fields.h"
#include "console/test_saver.h"
#include "history/record_display.h"
#include "state/console_state.h"
#include "common/prompter.h"
#include "common/timing.h"
#include "link/connection.h"
#include "link/poll_cycle.h"
#include "run/journal_file.h"
#include "run/test_kinds.h"
#include "settings/settings_store.h"
#include "storage/batch_store.h"
#include "storage/local_records.h"

#include <QDate>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace varnot {

// What the status bar says of a run journal that cannot be written, with the file and the reason.
QString journalNotWritten(const QString& reason);

class Console : public QObject {
    Q_OBJECT
public:
    Console(SettingsStore& settings, Prompter& prompter, Timing timing = {},
            std::function<QDate()> today = &QDate::currentDate, QObject* parent = nullptr);

    // Start-up: restore channels 1 to 3 from the store, apply the group switches, draw every axis;
    // all timers stay off.
    void load();
    // Closing: the run loop and the timers stop, the serial port and the socket are closed;
    // nothing is written.
    void unload();
    // Before closing: a run in progress, or a finished test not stored whole, is asked about
    // first (No is the default answer). True when the console may close.
    bool confirmClose();
    // Closing during a run, once confirmed: the run is given up (nothing more is sampled, no save
    // question), the instrument gets the frame a stopped run sends (run word off, the run's channels
    // off) and its answer is awaited, bounded, before `stopped` is called; the link closes after.
    // False, calling nothing, when no run drives the instrument.
    bool stopInstrumentBeforeClose(std::function<void()> stopped);

    // 关闭串口 and 以太网连接/以太网断开 as the operator gives them. Closing the link under a run asks
    // first (No is the default and keeps the run); Yes is the operator's stop: the instrument gets
    // the stop frame, then the link closes, the operator is told the run was stopped, and the run
    // ends with its save question.
    void closeSerialCommand();
    void ethernetCommand();

    // What the console has announced (newest last), shown in the status bar and logged: stored
    // settings replaced at start-up, a damaged settings file set aside, a run journal that cannot
    // be written.
    const QStringList& notices() const { return notices_; }
    // Start-up after a run that never ended in order (a crash, a kill, a power cut): its journal in
    // the folder of the local test databases is offered back. Yes puts the run's channels, fields
    // and curves back as they stood at its last sample, as a stopped run's end leaves them, and asks
    // whether to save it; No keeps the journal aside. True when a run was put back.
    bool recoverInterruptedRun();
    // The journal of the supervised run, or of a run put back, until it is saved or its save is
    // declined (empty when there is none).
    QString journalPath() const { return journal_.active() ? journal_.path() : QString(); }

    ConsoleState& state() { return state_; }
    const ConsoleState& state() const { return state_; }
    ChannelView& view() { return view_; }
    Plots& plots() { return plots_; }
    Curves& curves() { return curves_; }
    // The parts the acquisition tick and the evaluation work on.
    Live live() { return Live{state_, view_, curves_, plots_, currentVisible_}; }
    Connection& connection() { return connection_; }
    PollCycle& pollCycle() { return poll_; }
    SettingsStore& settings() { return settings_; }
    // The day the console dates what it stores and writes.
    QDate today() const { return today_(); }

    // Parameter entry: the text as typed, and the completed entry (validation, linking, redraws).
    // Both refuse an entry that entryLocked() forbids; a refused completion says why through the
    // prompter and puts the text from before the entry back.
    void setFieldText(Field f, int ch, const QString& text);
    void completeEntry(Field f, int ch);
    // While a run is supervised, what its channels run with stays as it started: the set-points,
    // every field that decides where a test ends or how it is judged, and what its record holds
    // (record name, tester, date, water temperature). An entry is locked when it would change one
    // of them, on the channel itself or, through linkage, on a running channel.
    bool entryLocked(Field f, int ch) const;

    // The instrument's address and port (IP, 端口) and the temperature window (设置温度：): a
    // completed entry is checked, an unusable one leaves the text from before it, and the text is
    // kept in the settings store for the next start.
    void enterOperatorField(OperatorField f, const QString& typed);

    // Group switches.
    enum class Boiling { Before, After };
    void selectBoiling(int group, Boiling b);
    // The switch as a displayed stored test had it; the delay fields are the record's own.
    void showBoiling(int group, Boiling b);
    void selectKind(int group, TestKind kind);
    void selectLinkage(int group, bool linked);
    Boiling boiling(int group) const { return boiling_[group]; }
    bool linkageSwitch(int group) const { return linkageSwitch_[group]; }
    const PerChannel<bool>& linked() const { return linked_; }
    // A group switch is locked while a run is supervised when choosing it would change a running
    // channel: the kind and linkage of the running group, and either boiling switch (it sets the
    // delays of the current channel range).
    enum class GroupSwitch { Kind, Linkage, Boiling };
    bool switchLocked(GroupSwitch which, int group) const;

    // 新建文件 / 新建: a new test on channels 0..lastCh; refused while a run is supervised. An ended
    // test not stored whole is asked about first; No leaves everything as it is.
    void resetChannels();
    // The test on each channel, and whether a measured test is not stored whole yet.
    const ChannelTest& test(int ch) const { return tests_[ch]; }
    // Before a command wipes the channels first..last: a measured test there that is not stored
    // whole is asked about. True when the command may go on.
    bool confirmDiscard(int first, int last);
    // 显示记录: a stored record onto the slot, the groups of the display group switched to its
    // kind. A measured test it would replace is asked about first. False (with `error` set when
    // it was not the operator's No) when nothing was shown.
    bool showStoredRecord(int displayGroup, int slot, const StoredRecord& record, QString* error);
    // 打开 on the batch tab: a stored batch onto the batch panel and its sheets onto the channel
    // plots. False when the operator kept the test on screen.
    bool showBatch(const BatchContents& contents);
    // 删除 on the batch tab, after the batch left the store: its sheets leave the screen.
    void batchDeleted();
    // Records deleted from a local database: a test on screen stored under one of the names is
    // no longer stored.
    void recordsDeleted(TestKind kind, const QStringList& names);
    // What a print shows: each channel's fields and kind as its test has them.
    ConsoleState reportState() const;
    // Whether a toolbar or menu command may be given now (新建 waits for the end of a run).
    bool commandAllowed(const QString& key) const;
    void selectTab(int tab);
    int currentTab() const { return tab_; }

    // 电压电流校准: one step of a channel's coefficient; every coefficient and zoom factor back to
    // its first value. Both are kept in the settings store at once.
    void calibrate(int ch, CalibrationItem item, StepDirection direction, StepSize size);
    void restoreCalibrationDefaults();

    // 图形设置 zoom commands.
    void zoomChannels(bool in);
    void zoomCombined(bool in);

    QString dateStamp() const { return dateStamp_; }  // "yyyymmdd" of the start-up day

    // 操作 -> 显示电流图像 / 隐藏电流图像 (Avisib): applies to the following ticks and redraws.
    void setCurrentVisible(bool visible);
    bool currentVisible() const { return currentVisible_; }

    // Mouse readouts over a channel plot (Label70) and a combined plot (Label67), in plot units.
    void mouseOverChannelPlot(int ch, double x, double y);
    void mouseOverGroupPlot(int p, double x, double y);
    const std::array<QString, kChannels>& channelReadouts() const { return channelReadout_; }
    const std::array<QString, 3>& groupReadouts() const { return groupReadout_; }
    // Whether a readout shows a mouse position (blue) or still its caption.
    bool readoutActive(bool group, int index) const { return group ? groupActive_[index] : channelActive_[index]; }

    // 文件 -> 另存为: every plot of the active range and the three combined plots, one save dialog
    // each. A cancelled dialog ends the export; a file that cannot be written is reported.
    void exportPlots();
    // 文件 -> 导出CSV: the curves of the active range as one comma-separated file (one save
    // dialog); a file that cannot be written is reported.
    void exportCsv();

    // One acquisition tick (Timer1), then a visit round of the run loop.
    void acquisitionTick();

    // Run control: a toolbar command by key; the starts and stops of the channel groups.
    void toolbarCommand(const QString& key);
    void startGroup(const QString& key);
    void stopGroup(const QString& key);
    void stopAll();
    bool supervising() const { return supervising_; }
    // Visits of the run loop still queued.
    bool visitsPending() const { return supervising_ && pendingVisits_ > 0; }
    // Save of the finished tests (save2).
    void save2Click();

    // CheckRecordExists: whether the channel's record name is stored in its kind's local
    // database. A test may put its own answer in place (recordExists).
    bool checkRecordExists(int ch) const;
    std::function<bool(int ch)> recordExists;
    QString recordNameOf(int ch) const;
    LocalRecords testDatabases() const;
    // What saving writes for a channel locally: its test's parameter row and curve.
    StoredTest storedTestOf(int ch) const { return varnot::storedTestOf(tests_[ch]); }
    int storedCount() const { return storedCount_; }
    // The save counter taken back from the settings store (before stored tests are deleted).
    void rereadStoredCount();
    // Whether the channel's test reached its end (it was not stopped and the link held).
    bool testFinished(int ch) const;
    // A test on screen that measured something and is not stored whole yet.
    bool unsavedTest() const;
    // The channel's test ends with what the channel shows now: its fields, results and curve.
    // A channel that measured nothing is left empty.
    void concludeTest(int ch);
    // The batch store behind the data source "result"; the last database error it reported.
    BatchStore& batchStore() { return batchStore_; }
    QString lastStoreError() const { return lastStoreError_; }

    // The batch tab: whole-batch fields, sheet values and the sheet grid.
    BatchPanel& batch() { return batch_; }
    const BatchPanel& batch() const { return batch_; }
    void setBatchField(BatchField f, const QString& typed);
    void setSheetValue(int k, SheetValue v, const QString& typed);
    // A serial or 规格 chosen from its list, and the batch date, as they are.
    void chooseBatchField(BatchField f, const QString& text);
    void chooseBatchDate(QDate date);

signals:
    void changed();
    // A run is being started on an open link (before its channels are reset): the history window
    // closes.
    void runStarting();
    // A run has ended (after the save question).
    void runEnded();
    // A test number of the TV frame changed (the batch serial field follows channel 1's).
    void tvTestNumberChanged(const QString& channel1Number);

private:
    void redrawAxesFor(const std::vector<int>& channels);
    void announce(const QString& text);
    void announceStartUp(const QStringList& replacedKeys);
    void closeLinkUnderRun(const std::function<void()>& close);
    void applyKindFields();
    bool runsChannel(int c) const;
    void completePendingEntries();
    void run();
    void refuseStart();
    void scheduleRound();
    void visitStep();
    void visitOnce();
    bool allChannelsStopped() const;
    void endOfRun();
    bool linkOpen() const;
    void mirrorSerial();
    int samplesOf(int ch) const;
    void clearChannels();
    void clearTest(int ch);
    void beginTest(int ch);
    void completeIdentity(int ch);
    bool confirmDiscardOf(const std::vector<int>& channels);
    QString journalFolder() const;
    RunState runState() const;
    void beginJournal();
    void restoreRun(const JournalReading& r);

    SettingsStore& settings_;
    Prompter& prompter_;
    Timing timing_;
    std::function<QDate()> today_;
    ConsoleState state_;
    ChannelView view_;
    Plots plots_;
    Connection connection_;
    PollCycle poll_;
    Curves curves_;
    BatchPanel batch_;
    // Sheets handled by saving since start-up (存储运行标志).
    int storedCount_ = 0;
    PerChannel<ChannelTest> tests_{};
    BatchStore batchStore_;
    TestSaver saver_;
    QString lastStoreError_;
    // Every sample and result of the supervised run, on disk, until the run is saved or its save
    // declined.
    RunJournal journal_;
    bool currentVisible_ = false;
    QTimer acquisitionTimer_;  // Timer1
    // The run loop: visits of channels 1, 2, 3 in turn, one per event-loop turn, a round of three
    // after every tick and after every stop.
    QTimer stepTimer_;
    bool supervising_ = false;
    // The operator closes the link under the run: its end waits until the stop frame was answered
    // and the link is closed.
    bool linkStopping_ = false;
    QStringList notices_;
    // The start buttons as they were before a start, shown again when the start is refused.
    std::array<Control, 3> startButtonsBefore_{};
    std::pair<int, int> rangeBefore_{0, 2};
    int visit_ = 0;
    int pendingVisits_ = 0;
    std::array<QString, kChannels> channelReadout_{};
    std::array<QString, 3> groupReadout_{};
    std::array<bool, kChannels> channelActive_{};
    std::array<bool, 3> groupActive_{};
    std::array<Boiling, 2> boiling_{Boiling::Before, Boiling::Before};
    std::array<bool, 2> linkageSwitch_{true, true};
    PerChannel<bool> linked_{};
    int tab_ = 0;
    QString dateStamp_;
    // The text each field held when its current entry began (field, channel).
    std::map<std::pair<int, int>, QString> beforeEntry_;
};

}  // namespace varnot
