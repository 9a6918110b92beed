// Speed of the design search: every computing circuit at a typical target
// with the default series, and the heaviest queries with E96 throughout.

#include "calc/catalogue.h"
#include "calc/design.h"

#include <benchmark/benchmark.h>

namespace {

void run(benchmark::State& state, const char* id, double hz, std::optional<double> duty,
         calc::Series r, calc::Series c, calc::Series l) {
    const calc::CatalogueEntry& circuit = *calc::entryForId(id);
    calc::DesignRequest request;
    request.targetHz = hz;
    request.duty = duty;
    request.resistorSeries = r;
    request.capacitorSeries = c;
    request.inductorSeries = l;
    for (auto _ : state) {
        const calc::DesignResult result = calc::design(circuit, request);
        if (result.candidates.empty()) {
            state.SkipWithError(result.reason.c_str());
            break;
        }
        benchmark::DoNotOptimize(result);
    }
}

using S = calc::Series;
constexpr auto kMs = benchmark::kMillisecond;

// The defaults: E24 resistors, E6 capacitors and inductors.
BENCHMARK_CAPTURE(run, rc1_1kHz, "rc1", 1e3, {}, S::E24, S::E6, S::E6)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz, "rc2", 1e3, {}, S::E24, S::E6, S::E6)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_duty30, "rc2", 1e3, 0.3, S::E24, S::E6, S::E6)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc3_1kHz, "rc3", 1e3, {}, S::E24, S::E6, S::E6)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc4_1kHz_duty60, "rc4", 1e3, 0.6, S::E24, S::E6, S::E6)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc1_455kHz, "lc1", 455e3, {}, S::E24, S::E6, S::E6)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc4_10_7MHz, "lc4", 10.7e6, {}, S::E24, S::E6, S::E6)->Unit(kMs);

// E96 resistors with the default capacitor and inductor series.
BENCHMARK_CAPTURE(run, rc2_1kHz_E96, "rc2", 1e3, {}, S::E96, S::E6, S::E6)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc4_1kHz_E96, "rc4", 1e3, {}, S::E96, S::E6, S::E6)->Unit(kMs);

// E96 for every part: the heaviest queries there are.
BENCHMARK_CAPTURE(run, rc1_1kHz_allE96, "rc1", 1e3, {}, S::E96, S::E96, S::E96)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_allE96, "rc2", 1e3, {}, S::E96, S::E96, S::E96)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_duty30_allE96, "rc2", 1e3, 0.3, S::E96, S::E96, S::E96)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc4_1kHz_duty60_allE96, "rc4", 1e3, 0.6, S::E96, S::E96, S::E96)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc1_455kHz_allE96, "lc1", 455e3, {}, S::E96, S::E96, S::E96)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc4_10_7MHz_allE96, "lc4", 10.7e6, {}, S::E96, S::E96, S::E96)->Unit(kMs);

} // namespace

BENCHMARK_MAIN();
