#pragma once

#include "calc/calculate.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// What sets the calculation modes apart, in one table: which boxes a mode
// reads and which enter its zero test, what its result lines look like, and
// the rules of a sound design for its circuits. The formulas themselves are
// in formulas.h, called by periods().

namespace calc {

enum class Kind { Resistor, Capacitor, Inductor };
inline constexpr std::size_t kKinds = 3;

// From low to high, both included, in the base unit (Ω, F, H, Hz ...).
struct Span {
    double low = 0.0;
    double high = 0.0;
    bool contains(double v) const { return v >= low && v <= high; }
};

// The ratio of two boxes' values, numerator over denominator, within a span.
struct BoxRatio {
    std::size_t numerator;
    std::size_t denominator;
    Span span;
};

// What makes a circuit start beyond its values' ranges (circuitparts.h).
enum class Startup {
    None,
    SaturatingSwitches, // rc2: 10·Rc <= R1, R2 <= β_min·Rc/2 with Rc chosen
    ColpittsLoopGain,   // lc4: loop gain >= 3 with the stated bias
};

struct DesignRules {
    std::array<Span, kKinds> range; // each part's values: R, C, L (the coil's winding range)
    std::optional<Span> duty{};     // T1/T when the user asks for none
    double minDuty = 0.0;           // below this no values give T1/T (the 555's charge path)
    double maxResistorSum = 0.0;    // Ω, R1 + R2 of the 555 (0: no limit)
    std::optional<BoxRatio> capacitorRatio{}; // C2 / C1 of a capacitive divider
    std::optional<Span> impedance{}; // √(L/C) of an LC tank, Ω; such a coil is wound to value
    Span band;                       // Hz where the circuit and its formula are at home
    // The order in which the search chooses the boxes: the parts of one term
    // together, so that its rules prune early. The last one is bisected.
    std::array<std::size_t, 4> order;
    // The last two boxes add a term of their own to the period (R2·C2 of the
    // multivibrator): ranking by error, they are bisected as one sorted list.
    bool lastTwoOneTerm = false;
    Startup startup = Startup::None;
};

struct ModeTraits {
    Mode mode = 0;
    std::array<bool, 4> tested{};        // boxes the calculation reads and checks
    std::array<bool, 4> inProduct{};     // boxes in the zero test; a tested box outside it may be 0
    bool halves = false;                 // T1 and T2 are shown
    std::string_view timeUnit{};         // of the T lines
    std::string_view frequencyUnit{};    // of the f line
    double hzPerUnit = 0.0;              // Hz in one frequencyUnit
    const char* message = nullptr;       // shown instead of a calculation (nullptr: calculates)
    std::optional<DesignRules> design{}; // nullopt: nothing to design
};

// nullptr for a mode no selection sets.
const ModeTraits* modeTraits(Mode mode);

} // namespace calc
