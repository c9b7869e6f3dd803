#include "settings/setting_keys.h"

#include <array>

namespace varnot {
namespace {

using S = Section;
using Sc = KeyScope;
using T = KeyType;

// Colours are 24-bit values in blue-green-red order: 16711680 is pure blue, 255 pure red.
constexpr std::array kKeys = {
    SettingKey{S::Topic, "LBUSER", Sc::PerChannel, T::Text, ""},
    SettingKey{S::Topic, "DJYUSER", Sc::PerChannel, T::Text, ""},
    SettingKey{S::Canshu, "Vadjust", Sc::PerChannel, T::Float, "1"},
    SettingKey{S::Canshu, "Iadjust", Sc::PerChannel, T::Float, "1"},
    SettingKey{S::Canshu, "KV", Sc::PerChannel, T::Float, "1"},
    SettingKey{S::Canshu, "KI", Sc::PerChannel, T::Float, "1"},
    SettingKey{S::Canshu, "hxfd", Sc::PerChannel, T::Float, "1"},
    SettingKey{S::Canshu, "comport", Sc::Single, T::Integer, "1"},
    SettingKey{S::Canshu, "Currency_C", Sc::PerChannel, T::Integer, "16711680"},
    SettingKey{S::Canshu, "Voltage_C", Sc::PerChannel, T::Integer, "255"},
    SettingKey{S::Canshu, "hcdy", Sc::PerChannel, T::Text, "200"},
    SettingKey{S::Canshu, "vrb", Sc::PerChannel, T::Text, "90"},
    SettingKey{S::Canshu, "csdl", Sc::PerChannel, T::Text, "2"},
    SettingKey{S::Canshu, "Thl", Sc::PerChannel, T::Text, "180"},
    SettingKey{S::Canshu, "TVzb", Sc::PerChannel, T::Text, "150"},
    SettingKey{S::Canshu, "ldldy", Sc::PerChannel, T::Text, "200"},
    SettingKey{S::Canshu, "Thy", Sc::PerChannel, T::Text, "60"},
    SettingKey{S::Canshu, "ldlzb", Sc::PerChannel, T::Text, "0.05"},
    SettingKey{S::Canshu, "option1", Sc::PerGroup, T::Boolean, "True"},
    SettingKey{S::Canshu, "option2", Sc::PerGroup, T::Boolean, "False"},
    SettingKey{S::Canshu, "option5", Sc::PerGroup, T::Boolean, "True"},
    SettingKey{S::Canshu, "option6", Sc::PerGroup, T::Boolean, "False"},
    SettingKey{S::Canshu, "option7", Sc::PerGroup, T::Boolean, "False"},
    SettingKey{S::Canshu, "option8", Sc::PerGroup, T::Boolean, "True"},
    SettingKey{S::Canshu, "option9", Sc::PerGroup, T::Boolean, "False"},
    SettingKey{S::Canshu, "djycsdl", Sc::PerChannel, T::Text, "2"},
    SettingKey{S::Canshu, "djysddy", Sc::PerChannel, T::Text, "200"},
    SettingKey{S::Canshu, "djyckdy", Sc::PerChannel, T::Text, "80"},
    SettingKey{S::Canshu, "djyshys", Sc::PerChannel, T::Text, "180"},
    SettingKey{S::Canshu, "djyshxz", Sc::PerChannel, T::Text, "3.1"},
    SettingKey{S::Canshu, "TVcsbh", Sc::PerChannel, T::Text, "1"},
    SettingKey{S::Canshu, "LDLcsbh", Sc::PerChannel, T::Text, "1"},
    SettingKey{S::Canshu, "DJYcsbh", Sc::PerChannel, T::Text, "1"},
    SettingKey{S::Canshu, "hxfd16", Sc::Single, T::Float, "1"},
    SettingKey{S::Canshu, "存储运行标志", Sc::Single, T::Integer, "0"},
    SettingKey{S::Topic, "COMPANY", Sc::Single, T::Text, ""},
    // The device each serial port number stands for; a plant with a USB adapter maps COM3 to
    // /dev/ttyUSB0 here.
    SettingKey{S::Canshu, "compath", Sc::PerPort, T::Text, "/dev/ttyS{p}"},
    // The folder of the local test databases; empty for the working directory.
    SettingKey{S::Canshu, "dbpath", Sc::Single, T::Text, ""},
    // Seconds the batch database may take to connect, and a statement on its server to run.
    SettingKey{S::Canshu, "dbtimeout", Sc::Single, T::Integer, "5"},
    // The instrument's Ethernet address and port (IP, 端口), and the window of the test
    // temperature inside which a test may start (设置温度：).
    SettingKey{S::Canshu, "ipaddress", Sc::Single, T::Text, "192.168.1.200"},
    SettingKey{S::Canshu, "tcpport", Sc::Single, T::Integer, "4001"},
    SettingKey{S::Canshu, "templow", Sc::Single, T::Float, "83.5"},
    SettingKey{S::Canshu, "temphigh", Sc::Single, T::Float, "87.5"},
};

}  // namespace

std::span<const SettingKey> settingKeys() { return kKeys; }

const SettingKey* findSettingKey(QStringView name) {
    const qsizetype paren = name.indexOf(u'(');
    const QStringView base = paren < 0 ? name : name.left(paren);
    for (const SettingKey& k : kKeys)
        if (base.compare(QString::fromUtf8(k.name), Qt::CaseInsensitive) == 0) return &k;
    return nullptr;
}

QString indexedKey(const char* name, int index) {
    return QString::fromUtf8(name) + u'(' + QString::number(index) + u')';
}

int firstIndex(const SettingKey& k) {
    switch (k.scope) {
        case KeyScope::Single:
            return -1;
        case KeyScope::PerPort:
            return 1;
        default:
            return 0;
    }
}

int indexCount(const SettingKey& k) {
    switch (k.scope) {
        case KeyScope::Single:
            return 1;
        case KeyScope::PerChannel:
            return 6;
        case KeyScope::PerGroup:
            return 2;
        case KeyScope::PerPort:
            return kSerialPorts;
    }
    return 1;
}

QString keyName(const SettingKey& k, int index) {
    return k.scope == KeyScope::Single ? QString::fromUtf8(k.name) : indexedKey(k.name, index);
}

QString firstValue(const SettingKey& k, int index) {
    QString v = QString::fromUtf8(k.firstValue);
    if (k.scope == KeyScope::PerPort) v.replace(QLatin1String("{p}"), QString::number(index - 1));
    return v;
}

QString sectionName(Section s) { return s == Section::Canshu ? QStringLiteral("canshu") : QStringLiteral("topic"); }

}  // namespace varnot
