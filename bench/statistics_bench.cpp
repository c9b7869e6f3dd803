// Batch statistics over 10 000 batches of six sheets in a SQLite ODBC source: the time from 查询
// to the drawn charts (goal <= 500 ms), the read of the 60 000 sheets alone, the figures alone
// and the four chart images alone.
#include "statistics/batch_statistics.h"
#include "statistics/chart_image.h"
#include "statistics/statistics_source.h"
#include "statistics/statistics_window.h"
#include "storage/odbc_source.h"
#include "storage/sql_support.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

namespace varnot {
namespace {

constexpr int kBatches = 10000;
const QString kGrade = QStringLiteral("KDB-520VF");
const QDate kFirstDay(2026, 1, 1);
const QDate kLastDay(2026, 12, 31);

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

BatchStore source() {
    return BatchStore(QStringLiteral("result;UID=sa;Password=;"));
}

// The tables made by the store, then kBatches batches and their six sheets written straight into
// the file in one transaction (the curves are left out: the statistics never read them).
bool fill() {
    if (const QString e = source().ensureSchema(); !e.isEmpty()) {
        std::fprintf(stderr, "fixture: %s\n", qPrintable(e));
        return false;
    }
    ScopedConnection conn(QStringLiteral("QSQLITE"), scratch().filePath(QStringLiteral("result.db")));
    if (!conn.open()) return false;
    QSqlDatabase db = conn.db();
    db.transaction();
    QSqlQuery batch(db), sheet(db);
    batch.prepare(
        QStringLiteral("INSERT INTO Whole_Parameter (SerNum, Speci, VF, NodeNum, ProDate, Pace, Conner) "
                       "VALUES (?, ?, 500, 0, ?, 1000, 'OQC')"));
    sheet.prepare(
        QStringLiteral("INSERT INTO Part_Parameter (SerNum, NumCurve, Tr, Vm, Vt) VALUES (?, ?, ?, ?, ?)"));
    QRandomGenerator random(17);
    for (int b = 0; b < kBatches; ++b) {
        const QString serial = QStringLiteral("B%1").arg(b, 5, 10, QChar(u'0'));
        batch.addBindValue(serial);
        batch.addBindValue(kGrade);
        batch.addBindValue(kFirstDay.addDays(b * 365 / kBatches).toString(QStringLiteral("yyyy/MM/dd")));
        if (!batch.exec()) {
            std::fprintf(stderr, "fixture: %s\n", qPrintable(errorText(batch.lastError())));
            return false;
        }
        for (int k = 1; k <= 6; ++k) {
            const double tr = 25 + (k > 3 ? 2 : 0) + (random.generateDouble() * 6 - 3);
            const double vt = 515 + (random.generateDouble() * 40 - 20);
            sheet.addBindValue(serial);
            sheet.addBindValue(k);
            sheet.addBindValue(std::round(tr * 10) / 10);
            sheet.addBindValue(vt + 10);
            sheet.addBindValue(std::round(vt * 10) / 10);
            if (!sheet.exec()) {
                std::fprintf(stderr, "fixture: %s\n", qPrintable(errorText(sheet.lastError())));
                return false;
            }
        }
    }
    return db.commit();
}

// 查询 in the window over every batch: read, figures, the four charts drawn and the window's
// chart view painted.
void BM_QueryToDrawnChart(benchmark::State& state) {
    testing::ScriptedPrompter prompter;
    StatisticsWindow window(
        {[] { return source(); }, [] { return QStringLiteral("28"); }, [] { return kLastDay; }}, prompter);
    window.findChild<QComboBox*>(QStringLiteral("spec"))->setCurrentText(kGrade);
    window.findChild<QDateEdit*>(QStringLiteral("dateFrom"))->setDate(kFirstDay);
    window.findChild<QDateEdit*>(QStringLiteral("dateTo"))->setDate(kLastDay);
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        window.runQuery();
        window.chartView()->repaint();
    }
    if (!prompter.shown.empty() || window.statistics().serials.size() != kBatches) {
        state.SkipWithError("the query did not find every batch");
        return;
    }
    state.counters["batches"] = double(window.statistics().serials.size());
    state.counters["sheets"] = window.statistics().sheets;
    state.counters["failShare%"] = 100 * window.statistics().fails.share();
}

void BM_ReadSheets(benchmark::State& state) {
    const BatchStore store = source();
    std::size_t n = 0;
    for (auto _ : state) n = readSheetRecords(store, kGrade, kFirstDay, kLastDay).sheets.size();
    state.counters["sheets"] = double(n);
}

void BM_Figures(benchmark::State& state) {
    const SheetRecords read = readSheetRecords(source(), kGrade, kFirstDay, kLastDay);
    for (auto _ : state) benchmark::DoNotOptimize(batchStatistics(read.sheets, 28.0));
}

void BM_DrawCharts(benchmark::State& state) {
    const SheetRecords read = readSheetRecords(source(), kGrade, kFirstDay, kLastDay);
    const BatchStatistics s = batchStatistics(read.sheets, 28.0);
    for (auto _ : state)
        for (ChartKind kind : {ChartKind::Means, ChartKind::Ranges})
            for (const XbarRChart* c : {&s.tr, &s.tv})
                benchmark::DoNotOptimize(
                    chartImage(*c, kind, kBatches, QStringLiteral("Tr"), StatisticsWindow::chartSize()));
}

}  // namespace
}  // namespace varnot

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    using namespace varnot;
    if (!testing::registerSources(testing::sqliteSource(QStringLiteral("result"),
                                                        scratch().filePath(QStringLiteral("result.db"))))) {
        std::fprintf(stderr, "cannot write the ODBC data source\n");
        return 1;
    }
    if (!fill()) return 1;
    benchmark::RegisterBenchmark("QueryToDrawnChart/10000batches", BM_QueryToDrawnChart)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(10);
    benchmark::RegisterBenchmark("ReadSheets/60000", BM_ReadSheets)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(10);
    benchmark::RegisterBenchmark("Figures/10000batches", BM_Figures)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("DrawCharts/4x10000", BM_DrawCharts)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
