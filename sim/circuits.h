#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The pages' schematics as ngspice netlists: the parts and names of each
// drawing, the user's values for the frequency-setting parts and stated,
// ordinary values (each commented in the netlist) for the rest.

namespace sim {

struct Netlist {
    std::string text;           // title line to .end, no control block
    std::string probe;          // the vector measured: the output the page's waveform shows
    std::string second;         // a second node worth showing beside it (a scope's channel 2)
    bool twoPhase = false;      // T1/T2 mean something (a relaxation oscillator)
    double supply = 0.0;        // V
    double stop = 0.0;          // s, end of the transient run
    double formulaPeriod = 0.0; // s, from the page's formula, which sizes the run
};

// The circuits that have a netlist: rc1 .. rc4, lc1 .. lc4.
bool hasNetlist(std::string_view id);

// The supply voltage a circuit runs at unless told otherwise.
double defaultSupply(std::string_view id);

// A stated part's value replaced, by its card's name in the netlist ("RC1",
// "RB1", "CE"): a design's choice for the parts beside the boxes.
struct PartValue {
    std::string name;
    double value = 0.0; // Ω, F, H
};

// Box values in each box's own unit (kΩ, μF, mH, pF ... as the captions say),
// the formula's period in s; nullopt for a circuit without a netlist or a
// supply that is not positive. `parts` replace stated values (a name the
// netlist lacks, or a value not positive and finite, is left out).
std::optional<Netlist> buildNetlist(std::string_view id, const std::array<double, 4>& boxes,
                                    double formulaPeriod, std::optional<double> supply = {},
                                    std::span<const PartValue> parts = {});

// A number as the netlist writes it: C locale, 10 significant digits.
std::string spiceNumber(double value);

} // namespace sim
