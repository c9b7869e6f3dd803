// History window timings over a TV database of 100 000 stored tests:
//  - a query matching all of them, to its first screen of rows (goal <= 100 ms), on the model and
//    through the grid painting that screen;
//  - a query matching 100 of them (goal <= 20 ms), every row read.
//  - displaying a stored test of 6000 samples (goal <= 20 ms): the record read back, the slot's
//    fields, axes, curve and marks redrawn.
// Also printed: the first query of a newly opened window on a file of 10 000 stored tests with
// their curve tables, where the connection first reads the file's schema (an entry per curve
// table and its index).
#include "history/record_display.h"
#include "history/record_grid.h"
#include "storage/sql_support.h"
#include "storage/local_records.h"

#include <QApplication>
#include <QDate>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace varnot {
namespace {

constexpr int kStored = 100000;
constexpr int kScreenRows = 40;

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

StoredTest tvTest(int i, int samples) {
    StoredTest t;
    t.recordName = QStringLiteral("T%1HL").arg(i);
    t.values = {{QStringLiteral("化成电压"), 100 + i % 900},
                {QStringLiteral("测试电流"), 2},
                {QStringLiteral("延迟时间"), 180},
                {QStringLiteral("升压时间"), i % 1000},
                {QStringLiteral("TV值"), 90 + i % 900},
                {QStringLiteral("TV特性"), QStringLiteral("合格")},
                {QStringLiteral("水煮前"), true},
                {QStringLiteral("测试人"), QStringLiteral("A01")},
                {QStringLiteral("测试日期"), QDate(2026, 1, 1).addDays(i % 365)}};
    t.volts.assign(std::size_t(samples), 300.0f);
    t.amps.assign(std::size_t(samples), 0.5f);
    return t;
}

// kStored parameter rows, written in one transaction with the layout a save leaves (the first
// test saved through the store makes the table). The curve tables are left out: a query reads
// the parameter table only, and 100 000 curve tables would take a page or two each.
QString bigDatabase() {
    static QString folder;
    if (!folder.isEmpty()) return folder;
    folder = scratch().filePath(QStringLiteral("big"));
    LocalRecords dbs(folder);
    if (QString e = dbs.save(tvTest(0, 3)); !e.isEmpty())
        std::fprintf(stderr, "fixture: %s\n", qPrintable(e));
    ScopedConnection conn(QStringLiteral("QSQLITE"), dbs.filePath(TestKind::TV));
    if (!conn.open()) return folder;
    QSqlDatabase db = conn.db();
    db.transaction();
    {
        QStringList names, marks;
        for (const LocalColumn& c : parameterColumns(TestKind::TV)) {
            names << quoteIdentifier(c.name);
            marks << QStringLiteral("?");
        }
        QSqlQuery q(db);
        q.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(quoteIdentifier(parameterTable(TestKind::TV)), names.join(u','), marks.join(u',')));
        for (int i = 1; i < kStored; ++i) {
            const StoredTest t = tvTest(i, 0);
            int k = 0;
            for (const LocalColumn& c : parameterColumns(TestKind::TV)) {
                QVariant v = c.name == u"测试编号" ? QVariant(t.recordName) : t.values.value(c.name);
                if (c.type == LocalColumnType::Date && v.isValid()) v = v.toDate().toString(Qt::ISODate);
                if (c.type == LocalColumnType::YesNo && v.isValid()) v = v.toBool() ? 1 : 0;
                q.bindValue(k++, v);
            }
            if (!q.exec()) {
                std::fprintf(stderr, "fixture: %s\n", qPrintable(errorText(q.lastError())));
                break;
            }
        }
    }
    db.commit();
    return folder;
}

HistoryQuery allMatching() {
    return {TestKind::TV, QStringLiteral("化成电压"), QStringLiteral(">"), QStringLiteral("0"), {}};
}
HistoryQuery hundredMatching() {
    return {TestKind::TV, QStringLiteral("升压时间"), QStringLiteral("="), QStringLiteral("7"), {}};
}

// Reads every cell of the model's first `rows` rows as the grid would show them.
void readRows(const RecordGridModel& model, int rows) {
    for (int r = 0; r < std::min(rows, model.rowCount()); ++r)
        for (int c = 0; c < model.columnCount(); ++c) benchmark::DoNotOptimize(model.index(r, c).data());
}

void run(benchmark::State& state, RecordGridModel& model, const HistoryQuery& q, qint64 expected) {
    const auto found = model.run(q);
    if (!found || *found != expected) state.SkipWithError("wrong count");
}

void BM_AllMatchingFirstScreen(benchmark::State& state) {
    HistoryDatabase db(bigDatabase());
    RecordGridModel model(db);
    run(state, model, allMatching(), kStored);  // the window's connection is open from here on
    for (auto _ : state) {
        run(state, model, allMatching(), kStored);
        readRows(model, kScreenRows);
    }
}

void BM_AllMatchingFirstScreenPainted(benchmark::State& state) {
    HistoryDatabase db(bigDatabase());
    RecordGridModel model(db);
    QTableView view;
    view.setModel(&model);
    view.resize(1000, 600);
    view.show();
    run(state, model, allMatching(), kStored);
    for (auto _ : state) {
        run(state, model, allMatching(), kStored);
        benchmark::DoNotOptimize(view.viewport()->grab());
    }
}

void BM_HundredMatching(benchmark::State& state) {
    HistoryDatabase db(bigDatabase());
    RecordGridModel model(db);
    run(state, model, hundredMatching(), 100);
    for (auto _ : state) {
        run(state, model, hundredMatching(), 100);
        readRows(model, 102);
    }
}

// A window opened on a file of 10 000 whole stored tests: its first query opens the connection.
void BM_FirstQueryOfAWindow(benchmark::State& state) {
    static QString folder;
    if (folder.isEmpty()) {
        folder = scratch().filePath(QStringLiteral("whole"));
        std::vector<StoredTest> tests;
        for (int i = 0; i < 10000; ++i) tests.push_back(tvTest(i, 20));
        if (QString e = LocalRecords(folder).save(tests); !e.isEmpty())
            std::fprintf(stderr, "fixture: %s\n", qPrintable(e));
    }
    for (auto _ : state) {
        HistoryDatabase db(folder);
        RecordGridModel model(db);
        run(state, model, hundredMatching(), 10);
    }
}

void BM_DisplayStoredTest6000(benchmark::State& state) {
    const QString folder = scratch().filePath(QStringLiteral("display"));
    StoredTest t = tvTest(1, 6000);
    t.values[QStringLiteral("升压时间")] = 100;
    t.values[QStringLiteral("延迟时间")] = 5900;
    t.values[QStringLiteral("化成电压")] = 520;
    for (int k = 0; k < 6000; ++k) t.volts[std::size_t(k)] = std::min(5.2f * float(k + 1), 515.0f);
    if (QString e = LocalRecords(folder).save(t); !e.isEmpty())
        std::fprintf(stderr, "fixture: %s\n", qPrintable(e));
    HistoryDatabase db(folder);
    RecordGridModel model(db);
    run(state, model,
        HistoryQuery{TestKind::TV, QStringLiteral("化成电压"), QStringLiteral(">"), QStringLiteral("0"), {}},
        1);
    const RecordRef ref = model.recordsFrom(2, 1).front();
    ConsoleState s;
    ChannelView view;
    Curves curves;
    Plots plots;
    Live live{s, view, curves, plots};
    for (auto _ : state) {
        QString error;
        const auto record = readStoredRecord(db.open(TestKind::TV), TestKind::TV, ref, &error);
        if (!record || !displayRecord(live, 0, *record, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
    }
}

}  // namespace
}  // namespace varnot

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace varnot;
    benchmark::RegisterBenchmark("HistoryQuery/AllOf100000/FirstScreen", BM_AllMatchingFirstScreen)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("HistoryQuery/AllOf100000/FirstScreenPainted",
                                 BM_AllMatchingFirstScreenPainted)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("HistoryQuery/HundredOf100000", BM_HundredMatching)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("HistoryQuery/FirstOfAWindow/10000WholeTests", BM_FirstQueryOfAWindow)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(5);
    benchmark::RegisterBenchmark("HistoryDisplay/StoredTest6000", BM_DisplayStoredTest6000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
