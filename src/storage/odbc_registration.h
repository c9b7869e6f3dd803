// The batch store's data source on a machine where nobody has defined it: a console installed
// from its package registers "result" for the user at its first start, on the SQLite ODBC driver
// and a database file of the user's own, so saving works out of the box. A source the driver
// manager already knows (the user's odbc.ini or the system's) is never touched: that is how a
// plant points "result" at its shared server.
#pragma once

#include <QString>

namespace varnot {

// Whether the driver manager knows a data source of this name (user or system), with a driver.
bool odbcSourceDefined(const QString& name);

enum class SourceSetup { AlreadyDefined, Registered, Failed };

struct SourceSetupResult {
    SourceSetup outcome = SourceSetup::Failed;
    QString detail;  // the database file registered, or why registering failed
};

// Registers `name` as a user data source on the SQLite ODBC driver ("SQLite3") and databaseFile
// (its folder is created), unless a source of that name is defined already.
SourceSetupResult ensureSqliteSource(const QString& name, const QString& databaseFile);

// Where a user's own batch database lives: Varnot/result.db under the user's data folder
// (~/.local/share).
QString defaultBatchDatabaseFile();

}  // namespace varnot
