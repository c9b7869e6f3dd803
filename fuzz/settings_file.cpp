// The settings store on arbitrary file contents.
//
// The input is the whole settings file. Properties:
//  - a file that cannot be one is moved aside with its bytes intact and the store starts empty;
//  - every key reads, typed reads fall back to the key's first value exactly when the text does
//    not convert, and otherwise give the text's value;
//  - read-write-read is stable: after the missing keys are written, the file opens again without
//    being moved aside, every key reads as before (a missing one as its first value), and writing
//    it once more changes nothing that is read.
#include "common/text_number.h"
#include "fuzz_support.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cmath>
#include <map>

using namespace varnot;

namespace {

using Snapshot = std::map<QString, QString>;

QString sectionKey(Section s, const QString& key) { return sectionName(s) + u'/' + key; }

// Every key of the table with every index, and every key the file itself names.
std::vector<std::pair<Section, QString>> keysOf(const QStringList& fileKeys) {
    std::vector<std::pair<Section, QString>> keys;
    for (const SettingKey& k : settingKeys())
        for (int i = firstIndex(k), end = firstIndex(k) + indexCount(k); i < end; ++i)
            keys.emplace_back(k.section, keyName(k, i));
    for (const QString& full : fileKeys) {
        const qsizetype slash = full.indexOf(u'/');
        if (slash < 0) continue;
        const QString group = full.left(slash), key = full.mid(slash + 1);
        if (group == sectionName(Section::Canshu)) keys.emplace_back(Section::Canshu, key);
        if (group == sectionName(Section::Topic)) keys.emplace_back(Section::Topic, key);
    }
    return keys;
}

Snapshot snapshot(const SettingsStore& store, const std::vector<std::pair<Section, QString>>& keys) {
    Snapshot s;
    for (const auto& [section, key] : keys)
        s[sectionKey(section, key)] = store.contains(section, key) ? QStringLiteral("=") + store.read(section, key)
                                                                   : QStringLiteral("absent");
    return s;
}

void checkTypedReads(const SettingsStore& store) {
    for (const SettingKey& k : settingKeys()) {
        for (int i = firstIndex(k), end = firstIndex(k) + indexCount(k); i < end; ++i) {
            const int index = k.scope == KeyScope::Single ? -1 : i;
            const QString name = keyName(k, i);
            const QString what = QStringLiteral("%1 = \"%2\"").arg(name, store.read(k.section, name));
            const QString text = store.text(k.name, index);
            const QString first = firstValue(k, i);
            if (!store.contains(k.section, name)) FUZZ_CHECK(text == first, what);
            switch (k.type) {
                case KeyType::Float: {
                    const auto v = toSingle(text);
                    FUZZ_CHECK(v || text == first, what);
                    if (v) FUZZ_CHECK(store.real(k.name, index) == *v, what);
                    break;
                }
                case KeyType::Integer: {
                    bool ok = false;
                    const int v = text.trimmed().toInt(&ok);
                    if (ok) FUZZ_CHECK(store.integer(k.name, index) == v, what);
                    break;
                }
                case KeyType::Boolean:
                    FUZZ_CHECK(store.boolean(k.name, index) == (text.compare(u"True", Qt::CaseInsensitive) == 0),
                               what);
                    break;
                case KeyType::Text:
                    FUZZ_CHECK(text == store.read(k.section, name) || !store.contains(k.section, name), what);
                    break;
            }
        }
    }
    (void)store.loadChannelMemory();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid(), QStringLiteral("no temporary folder"));
    QDir folder(dir.path());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) folder.remove(name);
    const QString path = folder.filePath(QStringLiteral("settings.ini"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), path);
    }
    const QString what = QStringLiteral("file %1").arg(QString::fromLatin1(bytes.toHex()));
    const QStringList fileKeys = QSettings(path, QSettings::IniFormat).allKeys();
    const auto keys = keysOf(fileKeys);

    Snapshot before;
    {
        SettingsStore store(path);
        if (!store.setAsideFile().isEmpty()) {
            QFile aside(store.setAsideFile());
            FUZZ_CHECK(aside.open(QIODevice::ReadOnly) && aside.readAll() == bytes, what);
            FUZZ_CHECK(!store.contains(Section::Canshu, QStringLiteral("KV(0)")), what);
        }
        checkTypedReads(store);
        before = snapshot(store, keys);
        store.initialiseMissing();
    }

    Snapshot written;
    {
        SettingsStore store(path);
        FUZZ_CHECK(store.setAsideFile().isEmpty(), what + QStringLiteral(": the written file was moved aside"));
        FUZZ_CHECK(store.holdsEveryKey(), what);
        written = snapshot(store, keys);
        for (const auto& [key, value] : before) {
            if (value != QStringLiteral("absent"))
                FUZZ_CHECK(written[key] == value, what + QStringLiteral(": %1 %2 -> %3").arg(key, value, written[key]));
        }
        checkTypedReads(store);
        // Written once more, every key reads the same.
        for (const auto& [section, key] : keys)
            if (store.contains(section, key)) store.write(section, key, store.read(section, key));
    }
    {
        SettingsStore store(path);
        FUZZ_CHECK(store.setAsideFile().isEmpty(), what);
        const Snapshot again = snapshot(store, keys);
        for (const auto& [key, value] : written)
            FUZZ_CHECK(again.at(key) == value, what + QStringLiteral(": %1 %2 -> %3").arg(key, value, again.at(key)));
    }
    return 0;
}
