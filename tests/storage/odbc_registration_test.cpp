// The console's own registration of the batch data source on a machine where none is defined,
// through the real driver manager (the test's odbc.ini) and the SQLite ODBC driver.
#include "storage/odbc_registration.h"

#include "storage/batch_store.h"
#include "storage/odbc_source.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace varnot {
namespace {

// unixODBC keeps what it read of odbc.ini for the life of the process: each case uses a source
// name of its own.

TEST(OdbcRegistration, AnUndefinedSourceIsRegisteredForTheUserAndTheBatchStoreWorksThroughIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(testing::registerSources(testing::sqliteSource(QStringLiteral("other"), dir.filePath(QStringLiteral("o.db")))));
    const QString name = QStringLiteral("fresh_result");
    ASSERT_FALSE(odbcSourceDefined(name));

    const QString file = dir.filePath(QStringLiteral("data/Varnot/result.db"));  // folder not there yet
    const SourceSetupResult setup = ensureSqliteSource(name, file);
    ASSERT_EQ(setup.outcome, SourceSetup::Registered) << qPrintable(setup.detail);
    EXPECT_EQ(setup.detail, file);
    EXPECT_TRUE(odbcSourceDefined(name));

    // The store connects by the name alone and creates its tables in the registered file.
    BatchStore store(name + QStringLiteral(";UID=sa;Password=;"));
    EXPECT_EQ(store.ensureSchema(), QString());
    EXPECT_GT(QFileInfo(file).size(), 0);
    EXPECT_EQ(store.specifications(), BatchStore::seedSpecifications());

    // The next start finds it defined and writes nothing; the source defined before is kept.
    EXPECT_EQ(ensureSqliteSource(name, dir.filePath(QStringLiteral("elsewhere.db"))).outcome, SourceSetup::AlreadyDefined);
    EXPECT_TRUE(odbcSourceDefined(QStringLiteral("other")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("elsewhere.db"))));
}

TEST(OdbcRegistration, ASourceDefinedAlreadyIsLeftAsItIs) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = QStringLiteral("plant_result");
    const QString plantFile = dir.filePath(QStringLiteral("plant.db"));
    ASSERT_TRUE(testing::registerSources(testing::sqliteSource(name, plantFile)));

    const QString ownFile = dir.filePath(QStringLiteral("own/result.db"));
    EXPECT_EQ(ensureSqliteSource(name, ownFile).outcome, SourceSetup::AlreadyDefined);
    BatchStore store(name + QStringLiteral(";UID=sa;Password=;"));
    EXPECT_EQ(store.ensureSchema(), QString());
    EXPECT_TRUE(QFileInfo::exists(plantFile));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(ownFile).absolutePath()));
}

}  // namespace
}  // namespace varnot
