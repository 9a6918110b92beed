// Speed of the design search: every computing circuit at a typical target
// with the default series, and the heaviest queries: E96 for every part and
// the twenty rows the dialog allows.

#include "calc/catalogue.h"
#include "calc/design.h"

#include <benchmark/benchmark.h>

namespace {

void run(benchmark::State& state, const char* id, double hz, std::optional<double> duty,
         bool allE96, std::size_t top, bool closest) {
    const calc::CatalogueEntry& circuit = *calc::entryForId(id);
    calc::DesignRequest request;
    request.targetHz = hz;
    request.duty = duty;
    request.top = top;
    request.closest = closest;
    for (calc::PartOptions& part : allE96 ? request.parts : std::span<calc::PartOptions>{}) {
        part.series = calc::Series::E96;
    }
    for (auto _ : state) {
        const calc::DesignResult result = calc::design(circuit, request);
        if (result.candidates.empty()) {
            state.SkipWithError(result.reason.c_str());
            break;
        }
        benchmark::DoNotOptimize(result);
    }
}

constexpr auto kMs = benchmark::kMillisecond;
constexpr bool kDefault = false;
constexpr bool kE96 = true;

// Default series (E24 resistors, E6 capacitors, wound coils), five rows.
BENCHMARK_CAPTURE(run, rc1_1kHz, "rc1", 1e3, {}, kDefault, 5, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1Hz, "rc2", 1, {}, kDefault, 5, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_duty30, "rc2", 1e3, 0.3, kDefault, 5, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc3_32kHz, "rc3", 32768, {}, kDefault, 5, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc4_1585Hz, "rc4", 1585, {}, kDefault, 5, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc4_1kHz_duty60, "rc4", 1e3, 0.6, kDefault, 5, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc1_455kHz, "lc1", 455e3, {}, kDefault, 5, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc4_10_7MHz, "lc4", 10.7e6, {}, kDefault, 5, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_closest, "rc2", 1e3, {}, kDefault, 5, true)->Unit(kMs);

// E96 for every part and twenty rows, the dialog's most: the heaviest queries.
BENCHMARK_CAPTURE(run, rc1_1kHz_allE96_top20, "rc1", 1e3, {}, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_allE96_top20, "rc2", 1e3, {}, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_duty30_allE96_top20, "rc2", 1e3, 0.3, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_duty98_allE96_top20, "rc2", 1e3, 0.98, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc3_1kHz_allE96_top20, "rc3", 1e3, {}, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc4_1kHz_allE96_top20, "rc4", 1e3, {}, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc4_1kHz_duty98_allE96_top20, "rc4", 1e3, 0.98, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc1_455kHz_allE96_top20, "lc1", 455e3, {}, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc4_10_7MHz_allE96_top20, "lc4", 10.7e6, {}, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, lc4_1kHz_allE96_top20, "lc4", 1e3, {}, kE96, 20, false)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc2_1kHz_allE96_top20_closest, "rc2", 1e3, {}, kE96, 20, true)->Unit(kMs);
BENCHMARK_CAPTURE(run, rc4_1kHz_allE96_top20_closest, "rc4", 1e3, {}, kE96, 20, true)->Unit(kMs);

} // namespace

BENCHMARK_MAIN();
