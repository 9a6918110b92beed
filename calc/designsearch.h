#pragma once

#include "calc/design.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The search behind design(): the combinations of the boxes' values that obey
// a circuit's rules, ranked as design() promises. Part of the core's inside.

namespace calc::detail {

// Where the f line's unit puts the frequency.
inline double hzPerUnit(Mode mode) {
    return modeTraits(mode)->hzPerUnit;
}

inline double frequencyHz(Mode mode, const std::array<double, 4>& x) {
    return periods(mode, x)->f * hzPerUnit(mode);
}

// The values one box may take, ascending, as texts and as the box reads them.
struct Choices {
    std::vector<std::string> texts;
    std::vector<double> values;
    std::vector<double> offCentre; // decades from the middle of the range searched
};

// Every box at its lowest (or highest) value: the highest (or lowest) frequency.
std::array<double, 4> corner(const std::array<Choices, 4>& choices, bool high);

struct Query {
    Mode mode;
    const DesignRules& rules;
    const std::vector<DesignInput>& inputs;
    std::array<Choices, 4> choices;   // a box the circuit ignores: one empty text
    std::optional<std::size_t> wound; // the box of a coil wound to value, not searched
    Span woundRange;                  // its range in henries
    double target;                    // Hz
    std::optional<Span> duty;         // the T1/T window in force
    std::size_t top;
    bool closest;
    // The frequencies (Hz) the rules let the boxes reach: the search widens
    // its window no further.
    Span reach;
};

struct Found {
    std::array<double, 4> x;           // box values, a wound coil's as rounded
    std::array<std::uint32_t, 4> pick; // choice of each box
    double hz;
    double error; // |f / target - 1|
    int distinct; // different part values to buy
    double off;   // how far from the middle: the parts, or a tank's impedance
};

// The good enough by preference, then the rest by error; empty when no
// combination obeys the rules.
std::vector<Found> findParts(const Query& query);

// The T1/T closest to `wanted` over every combination the rules on values
// allow; asked only when none is close enough, so it need not be fast.
double nearestDuty(const Query& query, double wanted);

} // namespace calc::detail
