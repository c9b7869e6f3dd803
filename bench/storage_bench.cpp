// Storage timings: saving one group's six sheets with their curves through the batch store
// (SQLite ODBC, PostgreSQL), and the existence check in a TV database holding many tests.
// Goals: six sheets <= 50 ms on SQLite ODBC, <= 150 ms on PostgreSQL; recordExists <= 5 ms.
// The sources are unpooled, as scripts/odbc.sh registers them: a save holds one connection
// (BatchSession) for its three sheets, so six sheets are two saves and two connections.
// Also printed: resident memory over 300 saves, which must stay flat.
#include "storage/batch_store.h"
#include "storage/odbc_source.h"
#include "storage/sql_support.h"
#include "storage/local_records.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

namespace varnot {
namespace {

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

QString pgPort() { return QString::fromLocal8Bit(qgetenv("VARNOT_PG_PORT")); }

std::vector<float> tvCurve() {
    std::vector<float> c(205);  // delay 180 s + rise 25 s
    for (std::size_t i = 1; i < c.size(); ++i) c[i] = 5.0f + 2.5f * float(i);
    return c;
}

void sixSheets(benchmark::State& state, const QString& source) {
    BatchStore store(source + QStringLiteral(";UID=sa;Password=;"));
    if (QString e = store.ensureSchema(); !e.isEmpty()) {
        state.SkipWithError(e.toStdString().c_str());
        return;
    }
    const std::vector<float> curve = tvCurve();
    const SheetFields sheet{QStringLiteral("0.812"), QStringLiteral("3"), QStringLiteral("30.5"),
                            QStringLiteral("25"), QStringLiteral("530.2"), QStringLiteral("498.5")};
    const QDate today = QDate::currentDate();
    int batch = 0;
    for (auto _ : state) {
        const BatchFields fields{QStringLiteral("B%1").arg(++batch), QStringLiteral("KDB-520VF"), QStringLiteral("520"),
                                 {}, {}, {}, QStringLiteral("IQ-7"), QStringLiteral("L2"), QStringLiteral("2")};
        // Before boiling and after: one save, one session, three sheets each.
        for (int save = 0; save < 2; ++save) {
            BatchSession session(store);
            if (QString e = session.open(); !e.isEmpty()) {
                state.SkipWithError(e.toStdString().c_str());
                return;
            }
            for (int k = 1 + 3 * save; k <= 3 + 3 * save; ++k) {
                const StoreResult r = session.storeSheet(fields, k, sheet, curve, today);
                if (!r.ok()) {
                    state.SkipWithError(r.detail.toStdString().c_str());
                    return;
                }
            }
        }
    }
}

long residentKb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : -1;  // pages of 4 KiB
}

// Resident memory while a console saves run after run (three sheets per save) on a source.
void printSaveMemory(const QString& source, const char* label) {
    BatchStore store(source + QStringLiteral(";UID=sa;Password=;"));
    const std::vector<float> curve = tvCurve();
    const SheetFields sheet{QStringLiteral("0.812"), QStringLiteral("3"), QStringLiteral("30.5"),
                            QStringLiteral("25"), QStringLiteral("530.2"), QStringLiteral("498.5")};
    std::printf("resident memory over 300 saves, %s:", label);
    for (int save = 0; save <= 300; ++save) {
        if (save % 50 == 0) std::printf(" %d:%.1f MB", save, residentKb() / 1024.0);
        if (save == 300) break;
        BatchSession session(store);
        if (!session.open().isEmpty()) break;
        const BatchFields fields{QStringLiteral("M%1").arg(save), QStringLiteral("KDB-520VF"), QStringLiteral("520"),
                                 {}, {}, {}, {}, {}, QStringLiteral("0")};
        for (int k = 1; k <= 3; ++k) session.storeSheet(fields, k, sheet, curve, QDate::currentDate());
    }
    std::printf("\n");
}

void BM_SixSheets_SQLiteOdbc(benchmark::State& state) { sixSheets(state, QStringLiteral("result")); }
void BM_SixSheets_PostgreSQL(benchmark::State& state) { sixSheets(state, QStringLiteral("result_pg")); }

// A TV database with `tests` stored tests of 20 samples each, made once per size.
const LocalRecords& tvDatabase(int tests) {
    static std::map<int, std::unique_ptr<LocalRecords>> made;
    auto& slot = made[tests];
    if (!slot) {
        slot = std::make_unique<LocalRecords>(scratch().filePath(QStringLiteral("local-%1").arg(tests)));
        std::vector<StoredTest> all(static_cast<std::size_t>(tests));
        for (int i = 0; i < tests; ++i) {
            StoredTest& t = all[std::size_t(i)];
            t.recordName = QStringLiteral("T%1HL").arg(i);
            t.values = {{QStringLiteral("化成电压"), 520}, {QStringLiteral("测试日期"), QDate(2026, 3, 7)}};
            t.volts.assign(20, 300.0f);
            t.amps.assign(20, 0.5f);
        }
        if (QString e = slot->save(all); !e.isEmpty()) std::fprintf(stderr, "fixture: %s\n", qPrintable(e));
    }
    return *slot;
}

// Arguments: stored tests in the file; 1 to look up a stored one, 0 a missing one.
void BM_RecordExists(benchmark::State& state) {
    const int tests = int(state.range(0));
    const bool stored = state.range(1) != 0;
    const LocalRecords& dbs = tvDatabase(tests);
    const QString name = (stored ? QStringLiteral("T%1HL") : QStringLiteral("T%1HM")).arg(tests / 2);
    for (auto _ : state) {
        if (dbs.recordExists(TestKind::TV, name) != stored) {
            state.SkipWithError("wrong answer");
            return;
        }
    }
}

// For comparison: the same lookup on a connection that stays open, so the file's schema (two
// entries per stored test) is read only once.
void BM_RecordLookupOnOpenConnection(benchmark::State& state) {
    const int tests = int(state.range(0));
    const LocalRecords& dbs = tvDatabase(tests);
    ScopedConnection conn(QStringLiteral("QSQLITE"), dbs.filePath(TestKind::TV), QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!conn.open()) {
        state.SkipWithError("cannot open");
        return;
    }
    const QString sql = QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quoteIdentifier(QStringLiteral("T%1HL").arg(tests / 2)));
    for (auto _ : state) {
        QSqlQuery q(conn.db());
        q.setForwardOnly(true);
        benchmark::DoNotOptimize(q.exec(sql) && q.next());
    }
}

}  // namespace
}  // namespace varnot

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace varnot;
    QString sources = testing::sqliteSource(QStringLiteral("result"), scratch().filePath(QStringLiteral("result.db")));
    const bool withPg = !pgPort().isEmpty();
    if (withPg) sources += testing::postgresSource(QStringLiteral("result_pg"), pgPort());
    else std::fprintf(stderr, "note: VARNOT_PG_PORT is not set; the PostgreSQL benchmark is left out\n");
    if (!testing::registerSources(sources)) {
        std::fprintf(stderr, "cannot write the ODBC data sources\n");
        return 1;
    }
    if (withPg) {
        // A clean slate on the cluster: the batch tables of an earlier run go.
        BatchStore pg(QStringLiteral("result_pg;UID=sa;Password=;"));
        for (const char* t : {"Whole_Parameter", "Part_Parameter", "Curve", "Criterion"})
            pg.run(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QString::fromLatin1(t)));
    }

    benchmark::RegisterBenchmark("SixSheets/SQLiteOdbc", BM_SixSheets_SQLiteOdbc)->Unit(benchmark::kMillisecond)->UseRealTime();
    if (withPg)
        benchmark::RegisterBenchmark("SixSheets/PostgreSQL", BM_SixSheets_PostgreSQL)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("RecordExists", BM_RecordExists)
        ->ArgNames({"tests", "stored"})->Args({1000, 1})->Args({10000, 1})->Args({10000, 0})->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("RecordLookupOnOpenConnection", BM_RecordLookupOnOpenConnection)
        ->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSaveMemory(QStringLiteral("result"), "SQLite ODBC");
    if (withPg) printSaveMemory(QStringLiteral("result_pg"), "PostgreSQL");
    return 0;
}
