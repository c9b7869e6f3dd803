// The batch data source of an integration test: registered under a name of its own, on the SQLite
// ODBC driver (a file in the test's folder) or on the PostgreSQL cluster named by VARNOT_PG_PORT
// (in a schema of its own, dropped again at the end), and statements run on it for checking.
#pragma once

#include "storage/batch_store.h"
#include "storage/odbc_source.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QString>

#include <gtest/gtest.h>

#include <ostream>

namespace varnot::testing {

enum class Engine { SQLite, PostgreSQL };
inline void PrintTo(Engine e, std::ostream* os) { *os << (e == Engine::SQLite ? "SQLite ODBC" : "PostgreSQL"); }

class BatchSource {
public:
    // Registers the source; call through ASSERT_NO_FATAL_FAILURE. Skips the test when the engine
    // is PostgreSQL and no cluster runs (fails instead when VARNOT_REQUIRE_PG=1).
    void setUp(Engine engine, const QString& name, const QDir& folder) {
        dsn = name;
        if (engine == Engine::PostgreSQL) {
            const QString port = QString::fromLocal8Bit(qgetenv("VARNOT_PG_PORT"));
            if (port.isEmpty()) {
                if (qgetenv("VARNOT_REQUIRE_PG") == "1") FAIL() << "VARNOT_PG_PORT is not set but VARNOT_REQUIRE_PG=1";
                GTEST_SKIP() << "no PostgreSQL cluster (VARNOT_PG_PORT unset)";
            }
            schema = QStringLiteral("s%1_%2").arg(QCoreApplication::applicationPid())
                         .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
            ASSERT_TRUE(registerSources(postgresSource(dsn, port, schema)));
            ASSERT_TRUE(query(QStringLiteral("CREATE SCHEMA ") + schema).isEmpty());
        } else {
            ASSERT_TRUE(registerSources(sqliteSource(dsn, folder.filePath(QStringLiteral("result.db")))));
        }
    }
    void tearDown() {
        if (!schema.isEmpty()) query(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema));
    }

    // What the console connects with.
    QString connectionText() const { return dsn + QStringLiteral(";UID=sa;Password=;"); }
    // A statement on the source; the first value of the first row ("" for none or NULL), or the
    // error text.
    QString query(const QString& sql, const QVariantList& values = {}) const {
        BatchStore store(connectionText());
        const BatchStore::RunResult r = store.run(sql, values);
        if (r.status.startsWith(QStringLiteral("查询错误:"))) return r.status;
        if (r.rows.empty() || r.rows[0].isNull(0)) return QString();
        return r.rows[0].value(0).toString();
    }

    QString dsn, schema;
};

}  // namespace varnot::testing
