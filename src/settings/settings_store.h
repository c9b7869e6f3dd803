// The per-user settings store: texts by (section, key), keys matched without regard to letter
// case, kept in an INI file through QSettings. Every reader converts the text it needs; the typed
// helpers below fall back to a key's first value when the stored text is not of the key's type,
// so a damaged store never leaves the console without a value.
#pragma once

#include "calibration/corrections.h"
#include "common/channel.h"
#include "settings/setting_keys.h"

#include <QSettings>
#include <QString>

#include <memory>

namespace varnot {

inline constexpr char kApplicationName[] = "Varnot-2010062901ERP-1.15";

// What the console keeps in memory for every channel: calibration coefficients, zoom factors and
// curve colours (24-bit, blue-green-red order).
struct ChannelMemory {
    Coefficients coefficients;
    PerChannel<float> hxfd{1, 1, 1, 1, 1, 1};
    PerChannel<int> currentColour{};
    PerChannel<int> voltageColour{};
};

class SettingsStore {
public:
    // The per-user store of the application.
    SettingsStore();
    // A store in the given INI file (tests, a second console on the same account).
    explicit SettingsStore(const QString& iniPath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString fileName() const;
    // Set when the file could not be read and was moved aside (its new name) on opening.
    QString setAsideFile() const { return setAside_; }

    // read(section, key, "") of the store: the empty text when the key is absent.
    QString read(Section section, QStringView key) const;
    void write(Section section, QStringView key, const QString& text);
    bool contains(Section section, QStringView key) const;

    // Whether every key of the table (with every index) is present; and writing the first value of
    // every key that is absent, leaving present keys as they are.
    bool holdsEveryKey() const;
    void initialiseMissing();

    // Typed reads that fall back to the key's first value when the text does not convert.
    QString text(const char* name, int index = -1) const;
    float real(const char* name, int index = -1) const;
    int integer(const char* name, int index = -1) const;
    bool boolean(const char* name, int index = -1) const;

    // All six channels: coefficients, zoom factors, colours.
    ChannelMemory loadChannelMemory() const;
    void storeCoefficients(const Coefficients& c);
    void storeCoefficients(const Coefficients& c, int ch);

    // The device path of serial port COMn (n = 1..12).
    QString portPath(int port) const;

    void sync();

private:
    QString canonicalKey(QStringView key) const;
    QString rawValue(Section section, const QString& key) const;
    void open(const QString& iniPath);

    std::unique_ptr<QSettings> settings_;
    QString setAside_;
};

}  // namespace varnot
