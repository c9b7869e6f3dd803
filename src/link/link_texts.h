// The texts the link shows the operator.
#pragma once

#include <QString>

namespace varnot::link_texts {

inline const QString kAppTitle = QStringLiteral("Varnot-2010062901ERP-1.15智能TV仪测试系统");
inline const QString kShortTitle = QStringLiteral("智能TV仪测试系统");
inline const QString kPollFailureTitle = QStringLiteral("Varnot-2010062901-1.25智能TV仪测试系统");
inline const QString kAlreadyOpen = QStringLiteral("串口已经打开！");
inline const QString kConnected = QStringLiteral("Varnot-2010062901ERP-1.15连接成功！您可以进行下一步操作测试");
inline const QString kNotConnected = QStringLiteral("智能TV仪未能连接！请检查串口并再次连接试试！");
inline const QString kPollFailure = QStringLiteral("Varnot通信异常！请检查后再重新测试");

inline QString serialOk(int port) { return QStringLiteral("COM") + QString::number(port) + QStringLiteral("通讯正常"); }
inline QString serialFailed(int port) { return QStringLiteral("COM") + QString::number(port) + QStringLiteral("通讯异常"); }
inline QString serialClosed(int port) { return QStringLiteral("COM") + QString::number(port) + QStringLiteral("串口已关闭"); }
inline const QString kEthernetOk = QStringLiteral("以太网") + QStringLiteral("通讯正常");
inline const QString kEthernetDown = QStringLiteral("以太网") + QStringLiteral("通讯中断");
inline const QString kEthernetFailed = QStringLiteral("以太网") + QStringLiteral("通讯异常");
inline const QString kEthernetConnect = QStringLiteral("以太网连接");
inline const QString kEthernetDisconnect = QStringLiteral("以太网断开");

// Closing the link under a run: the question first, and what the operator is told after Yes.
inline const QString kCloseLinkDuringRun = QStringLiteral("测试正在进行，断开通讯将停止测试，确定要断开吗？");
inline const QString kRunStoppedByClose = QStringLiteral("测试已由操作员停止，通讯已断开");

// Why the start buttons are off between runs.
inline const QString kNoTemperatureRead = QStringLiteral("尚未读到水温，不能开始测试");
inline QString temperatureBlocksStart(const QString& t, const QString& low, const QString& high) {
    return QStringLiteral("水温 ") + t + QStringLiteral(" ℃ 不在 ") + low + QStringLiteral("–") + high +
           QStringLiteral(" ℃ 之间，不能开始测试");
}

// Why a started run does not acquire yet.
inline const QString kWaitingForTemperature = QStringLiteral("等待温度读数…");
inline QString temperatureOutsideWindow(const QString& t, const QString& low, const QString& high) {
    return QStringLiteral("水温 ") + t + QStringLiteral(" ℃ 不在 ") + low + QStringLiteral("–") + high +
           QStringLiteral(" ℃ 之间，等待中");
}

inline const QString kKeyEthernet = QStringLiteral("RJ45_connect");
inline const QString kKeyTest13 = QStringLiteral("test13");
inline const QString kKeyTest46 = QStringLiteral("test46");
inline const QString kKeyTest16 = QStringLiteral("test16");

}  // namespace varnot::link_texts
