// ODBC data sources for tests and benchmarks, registered inside the process: a folder of our own
// with odbcinst.ini and odbc.ini, and ODBCSYSINI / ODBCINI pointing at it. unixODBC keeps the
// folder it found at its first call, so the variables are set once, before any connection.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace varnot::testing {

inline QString odbcDriverPath(const char* file) {
    return QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/") + QString::fromLatin1(file);
}

// The folder holding the ini files; created (and the variables set) on first use.
inline QString odbcFolder() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/varnot-odbc-XXXXXX"));
    static const bool ready = [] {
        QFile drivers(dir.filePath(QStringLiteral("odbcinst.ini")));
        if (!drivers.open(QIODevice::WriteOnly)) return false;
        // Unpooled, as scripts/odbc.sh registers them: every connection is a new one. The
        // drivers stay loaded to the end (DontDLClose), so leak reports at exit can name them.
        drivers.write(QStringLiteral("[ODBC]\nPooling = No\n\n"
                                     "[SQLite3]\nDriver = %1\nDontDLClose = 1\n\n"
                                     "[PostgreSQL Unicode]\nDriver = %2\nDontDLClose = 1\n")
                          .arg(odbcDriverPath("libsqlite3odbc.so"), odbcDriverPath("psqlodbcw.so"))
                          .toUtf8());
        qputenv("ODBCSYSINI", dir.path().toLocal8Bit());
        qputenv("ODBCINI", dir.filePath(QStringLiteral("odbc.ini")).toLocal8Bit());
        return true;
    }();
    return ready ? dir.path() : QString();
}

// One [name] section of odbc.ini; the SQLite settings are those of scripts/odbc.sh.
inline QString sqliteSource(const QString& name, const QString& databaseFile) {
    return QStringLiteral("[%1]\nDriver = SQLite3\nDatabase = %2\nTimeout = 5000\nJournalMode = WAL\nSyncPragma = FULL\n\n").arg(name, databaseFile);
}

// `schema` (plain letters, digits, '_') becomes the connection's search path, so tables created
// through this source land there and tests running side by side do not meet.
inline QString postgresSource(const QString& name, const QString& port, const QString& schema = {}) {
    QString s = QStringLiteral("[%1]\nDriver = PostgreSQL Unicode\nServername = 127.0.0.1\nPort = %2\n"
                               "Database = result\nUsername = sa\nPassword =\n")
                    .arg(name, port);
    if (!schema.isEmpty()) s += QStringLiteral("ConnSettings = SET search_path TO %1\n").arg(schema);
    return s + u'\n';
}

// Writes odbc.ini with the given sections; false when the folder could not be set up.
inline bool registerSources(const QString& sections) {
    const QString folder = odbcFolder();
    if (folder.isEmpty()) return false;
    QFile ini(QDir(folder).filePath(QStringLiteral("odbc.ini")));
    return ini.open(QIODevice::WriteOnly | QIODevice::Truncate) && ini.write(sections.toUtf8()) >= 0;
}

}  // namespace varnot::testing
