// Speed of the calculation core: the calculate command in every mode, and
// the numeric text check on typical and awkward texts.

#include "calc/calculate.h"
#include "calc/numtext.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// Typical values a user types, one row per mode 1..7.
const calc::Inputs kInputs[] = {
    {"10", "0.01", "", ""},   // 1 Wien bridge
    {"10", "20", "1", "2.2"}, // 2 discrete multivibrator
    {"4.7", "0.1", "", ""},   // 3 NOT-gate multivibrator
    {"10", "10", "1", ""},    // 4 555
    {"0.1", "0.001", "", ""}, // 5 LC
    {"1", "0", "22", "33"},   // 6 capacitive three-point
    {"123", "", "", ""},      // 7 crystal: nothing to calculate
};

void BM_Calculate(benchmark::State& state) {
    const auto mode = static_cast<calc::Mode>(state.range(0));
    const calc::Inputs& inputs = kInputs[mode - 1];
    for (auto _ : state) {
        benchmark::DoNotOptimize(calc::calculate(mode, inputs));
    }
}
BENCHMARK(BM_Calculate)->DenseRange(1, 7);

void BM_CalculateRejected(benchmark::State& state) {
    const calc::Inputs inputs{"1x", "0.01", "", ""};
    for (auto _ : state) {
        benchmark::DoNotOptimize(calc::calculate(1, inputs));
    }
}
BENCHMARK(BM_CalculateRejected);

void BM_Test(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(calc::test(text));
    }
}
BENCHMARK_CAPTURE(BM_Test, short_number, std::string("4.7"));
BENCHMARK_CAPTURE(BM_Test, ten_characters, std::string("123456.789"));
BENCHMARK_CAPTURE(BM_Test, rejected, std::string("1.2.3"));
BENCHMARK_CAPTURE(BM_Test, long_10000, std::string(10000, '7'));

} // namespace

BENCHMARK_MAIN();
