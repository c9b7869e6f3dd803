// Every key of the settings store with its section, index range, type and first value. The table
// is in the order in which a first start writes the keys.
#pragma once

#include <QString>

#include <span>

namespace varnot {

enum class Section { Canshu, Topic };
enum class KeyScope { Single, PerChannel, PerGroup, PerPort };  // PerPort: COM1..COM12
enum class KeyType { Float, Integer, Text, Boolean };

struct SettingKey {
    Section section;
    const char* name;  // canonical spelling; keys are matched without regard to letter case
    KeyScope scope;
    KeyType type;
    const char* firstValue;  // UTF-8; "{p}" stands for the port number minus one
};

inline constexpr int kSerialPorts = 12;

std::span<const SettingKey> settingKeys();

// The key's table entry, found without regard to letter case; name may carry its "(i)" index.
const SettingKey* findSettingKey(QStringView name);

// "hcdy" + 3 -> "hcdy(3)".
QString indexedKey(const char* name, int index);

QString sectionName(Section s);

// The indices a key has (0..5, 0..1, 1..12, or -1 for a single key) and its first value there.
int firstIndex(const SettingKey& k);
int indexCount(const SettingKey& k);
QString keyName(const SettingKey& k, int index);
QString firstValue(const SettingKey& k, int index);

}  // namespace varnot
