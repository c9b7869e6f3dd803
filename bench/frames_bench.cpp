// Cost of building one poll frame and of checking and decoding one response.
#include "link/frames.h"

#include <benchmark/benchmark.h>

using namespace varnot;

static void BM_BuildPollFrame(benchmark::State& state) {
    PollInput in;
    in.n = 120;
    in.testRun = true;
    for (auto _ : state) benchmark::DoNotOptimize(buildPollFrame(in));
}
BENCHMARK(BM_BuildPollFrame);

static void BM_CheckAndDecode(benchmark::State& state) {
    QByteArray r(106, '\x11');
    r[104] = 0x0F;
    r[105] = static_cast<char>(0xF0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(checkResponse(r));
        benchmark::DoNotOptimize(decodeResponse(r));
    }
}
BENCHMARK(BM_CheckAndDecode);
