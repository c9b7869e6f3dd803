// Printed report timing: a two-page report of six channels (打印1-6通道) written as a PDF file,
// each channel's plot carrying a curve of 6000 samples and every column filled (goal <= 300 ms):
// laid out from the fields and plots, painted, fonts embedded, file written. And the batch
// certificate of a full batch (six sheets, six curves of 1500 samples) written as a PDF file.
#include "acquisition/acquisition.h"
#include "acquisition/plot_axes.h"
#include "acquisition/sampling.h"
#include "report/certificate_layout.h"
#include "report/report_layout.h"
#include "report/report_output.h"
#include "settings/field_catalogue.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace varnot {
namespace {

struct SixChannels {
    ConsoleState s;
    Plots plots;
    std::array<QImage, kChannels> images;

    SixChannels() {
        for (int f = 0; f < kFieldCount; ++f)
            for (int c = 0; c < kChannels; ++c) s.fields[f][c] = builtInValue(static_cast<Field>(f), c);
        s.kind = {TestKind::TV,      TestKind::TV, TestKind::TV,
                  TestKind::Leakage, TestKind::TV, TestKind::Electrolyte};
        for (int ch = 0; ch < kChannels; ++ch) {
            plots.hxfd[ch] = 32;
            zb(plots, s, ch);
            std::vector<QPointF> points;
            for (int k = 1; k <= 6000; ++k)
                points.emplace_back(xChannel(k, plots.hxfd[ch]),
                                    3600 - 2800 * (1 - std::exp(-k / 900.0)) + 40 * std::sin(k / 7.0));
            plots.TV[ch]->polyline(points, Qt::red, 1);
            images[ch] = plots.TV[ch]->image();
        }
    }
};

void BM_SixChannelPdf(benchmark::State& state) {
    static SixChannels six;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    qint64 bytes = 0;
    for (auto _ : state) {
        const auto pages = layoutReport(six.s, six.images, QStringLiteral("某某电子材料有限公司"), {0, 1});
        if (!writePdf(file, pages)) state.SkipWithError("the PDF could not be written");
        bytes = QFileInfo(file).size();
    }
    state.counters["pdf_bytes"] = static_cast<double>(bytes);
}

void BM_CertificatePdf(benchmark::State& state) {
    Certificate c;
    c.batch = {QStringLiteral("B7"),   QStringLiteral("KDB-520VF"), QStringLiteral("520"),
               QStringLiteral("1200"), QStringLiteral("8.25"),      QStringLiteral("12.5"),
               QStringLiteral("IQ-7"), QStringLiteral("L2"),        QStringLiteral("3")};
    c.company = QStringLiteral("某某电子材料有限公司");
    c.date = QDate(2026, 12, 10);
    for (int k = 1; k <= 6; ++k) {
        StoredSheet s{k, 0.812, 3, 30.5, 40.0 + k, 530.2, 521.0 + k, 150.0};
        c.sheets[std::size_t(k - 1)] = s;
        for (int j = 0; j < kCurveColumns; ++j)
            c.curves[std::size_t(k - 1)].push_back(530 * (1 - std::exp(-j / 60.0)) + 5 * std::sin(j / 7.0));
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("certificate.pdf"));
    qint64 bytes = 0;
    for (auto _ : state) {
        if (!writePdf(file, {layoutCertificate(c)})) state.SkipWithError("the PDF could not be written");
        bytes = QFileInfo(file).size();
    }
    state.counters["pdf_bytes"] = static_cast<double>(bytes);
}

}  // namespace
}  // namespace varnot

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("Report/SixChannelsTwoPagesPdf", varnot::BM_SixChannelPdf)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("Report/BatchCertificatePdf", varnot::BM_CertificatePdf)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
