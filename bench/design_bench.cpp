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

void run_edge(benchmark::State& state, double hz) {
    const calc::CatalogueEntry& circuit = *calc::entryForId("rc2");
    calc::DesignRequest request;
    request.targetHz = hz;
    request.parts[0].series = request.parts[1].series = calc::Series::E96;
    request.fixed[3] = "0.0001";
    request.top = 20;
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

// Targets the rules' square wave cannot reach (a small fixed C2): the answer
// is a problem, found before any search.
void unreachable(benchmark::State& state, double hz, const char* c2) {
    const calc::CatalogueEntry& circuit = *calc::entryForId("rc2");
    calc::DesignRequest request;
    request.targetHz = hz;
    request.parts[0].series = request.parts[1].series = calc::Series::E96;
    request.fixed[3] = c2;
    request.top = 1;
    for (auto _ : state) {
        const calc::DesignResult result = calc::design(circuit, request);
        if (result.problem != calc::DesignProblem::NoSoundDesign) {
            state.SkipWithError("a design where none is sound");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
}

BENCHMARK_CAPTURE(unreachable, rc2_1Hz_allE96_C2_100p, 1.0, "0.0001")->Unit(kMs);
BENCHMARK_CAPTURE(unreachable, rc2_1kHz_allE96_C2_100p, 1e3, "0.0001")->Unit(kMs);
// Just inside the reach: a real search near the edge of what the duty allows.
BENCHMARK_CAPTURE(run_edge, rc2_66kHz_allE96_C2_100p, 66e3)->Unit(kMs);

} // namespace

BENCHMARK_MAIN();
