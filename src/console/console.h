// The console model: owns every text, flag, caption and plot the operator sees, and the link and
// poll cycle. Views show it and forward the operator's commands to it; tests drive it directly.
#pragma once

#include "acquisition/plot_axes.h"
#include "common/console_state.h"
#include "common/prompter.h"
#include "common/timing.h"
#include "link/connection.h"
#include "link/poll_cycle.h"
#include "run/test_kinds.h"
#include "settings/settings_store.h"

#include <QDate>
#include <QObject>
#include <QTimer>

#include <functional>

namespace varnot {

class Console : public QObject {
    Q_OBJECT
public:
    Console(SettingsStore& settings, Prompter& prompter, Timing timing = {},
            std::function<QDate()> today = &QDate::currentDate, QObject* parent = nullptr);

    // Start-up: restore channels 1 to 3 from the store, apply the group switches, draw every axis;
    // all timers stay off.
    void load();
    // Closing: the serial port and the socket are closed; nothing is written.
    void unload();

    ConsoleState& state() { return state_; }
    const ConsoleState& state() const { return state_; }
    ChannelView& view() { return view_; }
    Plots& plots() { return plots_; }
    Connection& connection() { return connection_; }
    PollCycle& pollCycle() { return poll_; }
    SettingsStore& settings() { return settings_; }

    // Parameter entry: the text as typed, and the completed entry (validation, linking, redraws).
    void setFieldText(Field f, int ch, const QString& text);
    void completeEntry(Field f, int ch);

    // Group switches.
    enum class Boiling { Before, After };
    void selectBoiling(int group, Boiling b);
    void selectKind(int group, TestKind kind);
    void selectLinkage(int group, bool linked);
    Boiling boiling(int group) const { return boiling_[group]; }
    bool linkageSwitch(int group) const { return linkageSwitch_[group]; }
    const PerChannel<bool>& linked() const { return linked_; }

    // 新建文件 / 新建: reset channels 0..lastCh.
    void resetChannels();
    void selectTab(int tab);
    int currentTab() const { return tab_; }

    // 图形设置 zoom commands.
    void zoomChannels(bool in);
    void zoomCombined(bool in);

    QString dateStamp() const { return dateStamp_; }  // "yyyymmdd" of the start-up day

signals:
    void changed();
    // A test number of the TV frame changed (the batch serial field follows channel 1's).
    void tvTestNumberChanged(const QString& channel1Number);

private:
    void redrawAxesFor(const std::vector<int>& channels);
    void applyKindFields();

    SettingsStore& settings_;
    Prompter& prompter_;
    Timing timing_;
    std::function<QDate()> today_;
    ConsoleState state_;
    ChannelView view_;
    Plots plots_;
    Connection connection_;
    PollCycle poll_;
    QTimer acquisitionTimer_;  // Timer1; its tick comes with acquisition
    std::array<Boiling, 2> boiling_{Boiling::Before, Boiling::Before};
    std::array<bool, 2> linkageSwitch_{true, true};
    PerChannel<bool> linked_{};
    int tab_ = 0;
    QString dateStamp_;
};

}  // namespace varnot
