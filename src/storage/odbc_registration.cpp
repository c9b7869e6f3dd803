#include "storage/odbc_registration.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <odbcinst.h>

#include <array>
#include <utility>

namespace varnot {

namespace {

constexpr char kOdbcIni[] = "odbc.ini";

// The installer library's last error, as text.
QString installerError() {
    DWORD code = 0;
    std::array<char, 512> message{};
    WORD length = 0;
    if (SQLInstallerError(1, &code, message.data(), WORD(message.size()), &length) == SQL_NO_DATA || message[0] == 0)
        return QStringLiteral("the ODBC installer library gave no reason");
    return QString::fromLocal8Bit(message.data());
}

}  // namespace

bool odbcSourceDefined(const QString& name) {
    SQLSetConfigMode(ODBC_BOTH_DSN);
    std::array<char, 1024> driver{};
    const QByteArray section = name.toLocal8Bit();
    const int length = SQLGetPrivateProfileString(section.constData(), "Driver", "", driver.data(),
                                                  int(driver.size()), kOdbcIni);
    return length > 0 && driver[0] != 0;
}

SourceSetupResult ensureSqliteSource(const QString& name, const QString& databaseFile) {
    if (odbcSourceDefined(name)) return {SourceSetup::AlreadyDefined, {}};
    const QString file = QFileInfo(databaseFile).absoluteFilePath();
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return {SourceSetup::Failed, QStringLiteral("cannot create the folder of %1").arg(file)};

    // The settings scripts/odbc.sh gives a development source: WAL journal (one sync per
    // commit), still durable, and a busy timeout for a second console on the same file.
    const std::pair<const char*, QString> keys[] = {
        {"Driver", QStringLiteral("SQLite3")},
        {"Description", QStringLiteral("Varnot batch database (this user's own)")},
        {"Database", file},
        {"Timeout", QStringLiteral("5000")},
        {"JournalMode", QStringLiteral("WAL")},
        {"SyncPragma", QStringLiteral("FULL")},
    };
    const QByteArray section = name.toLocal8Bit();
    SQLSetConfigMode(ODBC_USER_DSN);
    SourceSetupResult result{SourceSetup::Registered, file};
    for (const auto& [key, value] : keys) {
        if (!SQLWritePrivateProfileString(section.constData(), key, value.toLocal8Bit().constData(), kOdbcIni)) {
            result = {SourceSetup::Failed, installerError()};
            break;
        }
    }
    SQLSetConfigMode(ODBC_BOTH_DSN);
    return result;
}

QString defaultBatchDatabaseFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Varnot/result.db");
}

}  // namespace varnot
