#pragma once

#include "calc/design.h"
#include "sim/simulate.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

// A design's candidates run through the simulator with the parts the design
// chose beside the boxes: does the circuit start, and near the target?

namespace sim {

// Within this of the target a simulated candidate confirms the design.
inline constexpr double kConfirmedWithin = 0.05;

struct Check {
    Simulation::Outcome outcome = Simulation::Outcome::Engine;
    double frequencyHz = 0.0;    // simulated, when it oscillates
    bool settled = false;        // its last cycles agree (else the figure is of a few)
    std::optional<Text> message; // why not, otherwise
    bool starts() const { return outcome == Simulation::Outcome::Oscillates; }
    bool ran() const { return starts() || outcome == Simulation::Outcome::DoesNotStart; }
};

// The design's parts beside the boxes as the netlist names them (the supply
// goes in as the supply).
std::vector<PartValue> netlistParts(const calc::Candidate& candidate);

// One candidate of circuit `id`.
Check check(std::string_view id, const calc::Candidate& candidate, const RunControl& control);

// Candidates first .. first + count - 1, two at a time (each run is a process
// of its own, mostly waiting on the engine).
std::vector<Check> checkAll(std::string_view id, const std::vector<calc::Candidate>& candidates,
                            std::size_t first, std::size_t count, const RunControl& control);

// Starts, settles and lands within kConfirmedWithin of the target.
bool confirms(const Check& check, double targetHz);

// How many candidates a design's check looks at for a confirmed one.
inline constexpr std::size_t kCheckedAtMost = 20;

struct Verified {
    std::vector<Check> checks;       // one per candidate, in the result's order
    std::optional<Text> unavailable; // the simulator could not run at all: why
};

// Runs the result's candidates; the first becomes the best-ranked one that
// the simulator puts within kConfirmedWithin of the target. Where none of
// them does, further candidates (up to kCheckedAtMost in all) are tried, and
// one that does takes the first place, the last one leaving the list.
Verified verifyDesign(const calc::CatalogueEntry& circuit, const calc::DesignRequest& request,
                      calc::DesignResult& result, const RunControl& control);

} // namespace sim
