#include "settings/settings_store.h"

#include "common/text_number.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

namespace varnot {
namespace {

QString firstValueOf(const SettingKey* k, int index) { return k ? firstValue(*k, index) : QString(); }

bool convertsTo(KeyType type, const QString& text) {
    switch (type) {
        case KeyType::Text:
            return true;
        case KeyType::Float:
            return toSingle(text).has_value();
        case KeyType::Integer: {
            bool ok = false;
            text.trimmed().toLongLong(&ok);
            return ok;
        }
        case KeyType::Boolean:
            return text.compare(u"True", Qt::CaseInsensitive) == 0 ||
                   text.compare(u"False", Qt::CaseInsensitive) == 0;
    }
    return false;
}

// A settings file is a few kilobytes of text; far more than that is not one.
constexpr qint64 kMaxSettingsFileSize = 1 << 20;

// Whether what lies at the path cannot be a settings file: not a regular file (a pipe would block
// the reader for ever, a folder cannot be read), or a file too large for one, or one that holds
// bytes no text does (a NUL, or what does not decode as UTF-8).
bool unusableAsSettingsFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return false;
    if (!info.isFile()) return true;
    if (info.size() > kMaxSettingsFileSize) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;  // unreadable: the store reports that itself
    const QByteArray bytes = file.read(kMaxSettingsFileSize + 1);
    if (bytes.contains('\0')) return true;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);  // decoding happens here
    Q_UNUSED(text);
    return utf8.hasError();
}

}  // namespace

SettingsStore::SettingsStore() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    open(dir + QStringLiteral("/Varnot/") + QString::fromUtf8(kApplicationName) + QStringLiteral(".ini"));
}

SettingsStore::SettingsStore(const QString& iniPath) { open(iniPath); }

SettingsStore::~SettingsStore() {
    if (settings_) settings_->sync();
}

void SettingsStore::open(const QString& iniPath) {
    // Nothing is read from a file that cannot be a settings file.
    const bool unusable = unusableAsSettingsFile(iniPath);
    if (!unusable) settings_ = std::make_unique<QSettings>(iniPath, QSettings::IniFormat);
    if (unusable || settings_->status() == QSettings::FormatError) {
        // A damaged file is kept for inspection under another name; the console starts from the
        // first values instead of refusing to start or overwriting it.
        settings_.reset();
        setAside_ = iniPath + QStringLiteral(".damaged-") +
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
        QFile::rename(iniPath, setAside_);
        settings_ = std::make_unique<QSettings>(iniPath, QSettings::IniFormat);
    }
}

QString SettingsStore::fileName() const { return settings_->fileName(); }

QString SettingsStore::canonicalKey(QStringView key) const {
    const SettingKey* k = findSettingKey(key);
    if (!k) return key.toString().toLower();
    const qsizetype paren = key.indexOf(u'(');
    return QString::fromUtf8(k->name) + (paren < 0 ? QString() : key.mid(paren).toString());
}

QString SettingsStore::rawValue(Section section, const QString& key) const {
    const QVariant v = settings_->value(sectionName(section) + u'/' + key);
    // A hand-edited value with a comma reads back as a list; it is still one text.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(u',');
    return v.toString();
}

QString SettingsStore::read(Section section, QStringView key) const {
    return rawValue(section, canonicalKey(key));
}

void SettingsStore::write(Section section, QStringView key, const QString& text) {
    settings_->setValue(sectionName(section) + u'/' + canonicalKey(key), text);
}

bool SettingsStore::contains(Section section, QStringView key) const {
    return settings_->contains(sectionName(section) + u'/' + canonicalKey(key));
}

bool SettingsStore::holdsEveryKey() const {
    for (const SettingKey& k : settingKeys())
        for (int i = firstIndex(k), end = firstIndex(k) + indexCount(k); i < end; ++i)
            if (!contains(k.section, keyName(k, i))) return false;
    return true;
}

void SettingsStore::initialiseMissing() {
    for (const SettingKey& k : settingKeys())
        for (int i = firstIndex(k), end = firstIndex(k) + indexCount(k); i < end; ++i) {
            const QString name = keyName(k, i);
            if (!contains(k.section, name)) write(k.section, name, firstValue(k, i));
        }
    settings_->sync();
}

QString SettingsStore::text(const char* name, int index) const {
    const SettingKey* k = findSettingKey(QString::fromUtf8(name));
    const Section section = k ? k->section : Section::Canshu;
    const QString key = index < 0 ? QString::fromUtf8(name) : indexedKey(name, index);
    if (!contains(section, key)) return firstValueOf(k, index);
    const QString v = read(section, key);
    if (k && !convertsTo(k->type, v)) return firstValueOf(k, index);
    return v;
}

float SettingsStore::real(const char* name, int index) const {
    return toSingleOr(text(name, index), toSingleOr(firstValueOf(findSettingKey(QString::fromUtf8(name)), index), 0));
}

int SettingsStore::integer(const char* name, int index) const {
    bool ok = false;
    const int v = text(name, index).trimmed().toInt(&ok);
    if (ok) return v;
    return firstValueOf(findSettingKey(QString::fromUtf8(name)), index).toInt();
}

bool SettingsStore::boolean(const char* name, int index) const {
    return text(name, index).compare(u"True", Qt::CaseInsensitive) == 0;
}

ChannelMemory SettingsStore::loadChannelMemory() const {
    ChannelMemory m;
    for (int i = 0; i < kChannels; ++i) {
        m.coefficients.Vadjust[i] = real("Vadjust", i);
        m.coefficients.Iadjust[i] = real("Iadjust", i);
        m.coefficients.KV[i] = real("KV", i);
        m.coefficients.KI[i] = real("KI", i);
        m.hxfd[i] = real("hxfd", i);
        m.currentColour[i] = integer("Currency_C", i);
        m.voltageColour[i] = integer("Voltage_C", i);
    }
    return m;
}

void SettingsStore::storeCoefficients(const Coefficients& c, int i) {
    write(Section::Canshu, indexedKey("Vadjust", i), shortestText(c.Vadjust[i]));
    write(Section::Canshu, indexedKey("Iadjust", i), shortestText(c.Iadjust[i]));
    write(Section::Canshu, indexedKey("KV", i), shortestText(c.KV[i]));
    write(Section::Canshu, indexedKey("KI", i), shortestText(c.KI[i]));
}

void SettingsStore::storeCoefficients(const Coefficients& c) {
    for (int i = 0; i < kChannels; ++i) storeCoefficients(c, i);
}

QString SettingsStore::portPath(int port) const { return text("compath", port); }

void SettingsStore::sync() { settings_->sync(); }

}  // namespace varnot
