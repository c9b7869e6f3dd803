// What the console knows at any moment: run state, link state, the raw readings of the last valid
// response, every per-channel field text, the single fields, status-bar panels and the enabled
// state and captions of toolbar buttons and menu entries. The Console model owns one of these; its
// parts read and change it, the window only shows it.
#pragma once

#include "calibration/corrections.h"
#include "common/channel.h"
#include "common/fields.h"

#include <QString>

#include <array>
#include <map>

namespace varnot {

struct Control {
    QString caption;
    bool enabled = true;
};

struct ConsoleState {
    // Run state.
    int n = 0;  // sample index: 0 idle, 1 at the start of a run, +1 per stored sample
    bool testRun = false;
    bool tempOk = false;
    // A start is between its checks and the run (its confirmation may be open): the start buttons
    // are the run control's until the run starts or the start is refused.
    bool startPending = false;
    int firstCh = 0, lastCh = 2;
    PerChannel<bool> chStopped{true, true, true, true, true, true};
    PerChannel<bool> chEnded{true, true, true, true, true, true};
    PerChannel<TestKind> kind{TestKind::TV, TestKind::TV, TestKind::TV,
                              TestKind::TV, TestKind::TV, TestKind::TV};

    // Link state.
    bool serialMode = true;  // the serial transport is the active one
    int comPort = 0;         // the port the operator chose last (0 until one is chosen)
    int openPort = 0;        // the port the scan found the instrument on (0 when closed)
    int g_Connect = 0;       // Ethernet: 0 disconnected, 1 connected, 2 connecting

    // Raw readings of the last valid response.
    PerChannel<float> rawVolt{};
    PerChannel<float> rawCurr{};

    Coefficients coefficients;

    // Per-channel field texts.
    std::array<PerChannel<QString>, kFieldCount> fields{};
    QString& field(Field f, int ch) { return fields[static_cast<int>(f)][ch]; }
    const QString& field(Field f, int ch) const { return fields[static_cast<int>(f)][ch]; }

    // Single fields.
    QString ipAddress = QStringLiteral("192.168.1.200");  // Text41
    QString tcpPort = QStringLiteral("4001");             // Text42
    QString testTemperature = QStringLiteral("25");       // Text43 测试温度：
    QString tempLow = QStringLiteral("83.5");             // Text44 设置温度：
    QString tempHigh = QStringLiteral("87.5");            // Text45
    QString chassisTemperature = QStringLiteral("25");    // Text46 机箱温度：

    // Status bar: panels 1..6 the channels, panel 7 the link (index 0..6).
    std::array<QString, 7> statusPanels{};

    // Toolbar buttons by key, and the menu entries the parts switch.
    std::map<QString, Control> toolbar;
    bool toolbarVisible = true;
    bool toolbarEnabled = true;
    Control ethernetMenu{QStringLiteral("以太网连接"), true};  // 通讯设置 -> 以太网连接
    Control commMenu{QStringLiteral("通讯设置(&C)"), true};

    // Why the start buttons the temperature window switched off are off (no temperature read yet,
    // or the reading outside the window, with both), for the operator to read beside them.
    QString startBlocked;

    Control& button(const QString& key) { return toolbar[key]; }
};

}  // namespace varnot
