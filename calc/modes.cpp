#include "calc/modes.h"

namespace calc {

namespace {

// The rules of a sound design. Ranges: film capacitors in the Wien bridge,
// the multivibrator's R 10 kΩ to 100 kΩ as its page advises (Rc chosen to
// suit, see circuitparts.h) and C to 100 μF, whose middle then keeps R there,
// the gate oscillator's R from 10 kΩ (its input protection), the 555's
// R1 + R2 within what its threshold current allows at 5 V, no electrolytic
// in an LC tank. Square waves from the multivibrator unless a duty is asked
// for; a 555 whose low time is not a quarter of the period at least. The
// capacitive divider takes C2 two to ten times C1: the feedback C1/(C1 + C2)
// then lies between 1/11 and 1/3. A tank between 50 Ω and 5 kΩ oscillates
// with an ordinary transistor and is not swamped by the coil's resistance.
// Neither makes the Colpitts stage start: its loop gain with the stated
// bias must be 3 at least. The multivibrator's transistors must saturate
// and recover: R between 10·Rc and β_min·Rc/2.
// Bands: where the first designs, simulated as the pages' whole circuits
// (2N3904 at 9 V, scripts/bandsweep.sh), land within 5 % of the target with
// a point or so to spare: the Wien bridge's 3 MHz op-amp runs 4 % low at
// 30 kHz and 14 % at 100 kHz; the 555's 100 ns delays 5 % low at 100 kHz;
// the transformer and common-emitter Hartley stages 4-5 % low from 2 MHz
// on (the transistor's capacitances in the tank), so mode 5 stops at 1 MHz
// although the common-base Hartley holds to 100 MHz; the gate oscillator
// goes 30 % low above 100 kHz. The multivibrator and the Colpitts stage
// hold across theirs.
// The design's order of the boxes: a term's parts together (R1 and C1 of the
// multivibrator, C1 and C2 of the divider), the last one bisected.
constexpr Span kNone{};
using B = std::array<bool, 4>;
using R = std::array<Span, kKinds>;
using O = std::array<std::size_t, 4>;

// clang-format off
const std::array<ModeTraits, 7> kModes{{
    {.mode = 1, .tested = B{1, 1, 0, 0}, .inProduct = B{1, 1, 0, 0},
     .timeUnit = "ms", .frequencyUnit = "kHz", .hzPerUnit = 1e3,
     .design = DesignRules{.range = R{{{1e3, 1e6}, {100e-12, 10e-6}, kNone}},
                           .band = {1.0, 30e3}, .order = O{0, 1, 2, 3}}},
    {.mode = 2, .tested = B{1, 1, 1, 1}, .inProduct = B{1, 1, 1, 1}, .halves = true,
     .timeUnit = "ms", .frequencyUnit = "kHz", .hzPerUnit = 1e3,
     .design = DesignRules{.range = R{{{10e3, 100e3}, {100e-12, 100e-6}, kNone}},
                           .duty = Span{0.45, 0.55},
                           .band = {0.1, 100e3}, .order = O{0, 2, 1, 3},
                           .lastTwoOneTerm = true, .startup = Startup::SaturatingSwitches}},
    {.mode = 3, .tested = B{1, 1, 0, 0}, .inProduct = B{1, 1, 0, 0},
     .timeUnit = "ms", .frequencyUnit = "kHz", .hzPerUnit = 1e3,
     .design = DesignRules{.range = R{{{10e3, 1e6}, {100e-12, 10e-6}, kNone}},
                           .band = {0.1, 100e3}, .order = O{0, 1, 2, 3}}},
    {.mode = 4, .tested = B{1, 1, 1, 0}, .inProduct = B{1, 1, 1, 0}, .halves = true,
     .timeUnit = "ms", .frequencyUnit = "kHz", .hzPerUnit = 1e3,
     .design = DesignRules{.range = R{{{1e3, 3.3e6}, {100e-12, 1000e-6}, kNone}},
                           .duty = Span{0.5, 0.75}, .minDuty = 0.5, .maxResistorSum = 3.3e6,
                           .band = {0.1, 100e3}, .order = O{0, 1, 2, 3}}},
    {.mode = 5, .tested = B{1, 1, 0, 0}, .inProduct = B{1, 1, 0, 0},
     .timeUnit = "ms", .frequencyUnit = "kHz", .hzPerUnit = 1e3,
     .design = DesignRules{.range = R{{kNone, {10e-12, 1e-6}, {0.1e-6, 1.0}}},
                           .impedance = Span{50, 5e3},
                           .band = {1e3, 1e6}, .order = O{0, 1, 2, 3}}},
    // C may be 0: tf adds a fixed 2 pF and the series C1-C2 to it.
    {.mode = 6, .tested = B{1, 1, 1, 1}, .inProduct = B{1, 0, 1, 1},
     .timeUnit = "μs", .frequencyUnit = "MHz", .hzPerUnit = 1e6,
     .design = DesignRules{.range = R{{kNone, {10e-12, 1e-6}, {0.1e-6, 1.0}}},
                           .capacitorRatio = BoxRatio{3, 2, {2, 10}}, .impedance = Span{50, 5e3},
                           .band = {1e3, 100e6}, .order = O{2, 3, 0, 1},
                           .startup = Startup::ColpittsLoopGain}},
    {.mode = 7, .message = kNoCalculation},
}};
// clang-format on

} // namespace

const ModeTraits* modeTraits(Mode mode) {
    for (const ModeTraits& traits : kModes) {
        if (traits.mode == mode) {
            return &traits;
        }
    }
    return nullptr;
}

} // namespace calc
