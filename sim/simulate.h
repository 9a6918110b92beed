#pragma once

#include "calc/calculate.h"
#include "sim/circuits.h"
#include "sim/engine.h"
#include "sim/measure.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A circuit of the pages, simulated with its box values and measured: what
// osccalc simulate prints and the window shows beside the formula.

namespace sim {

// A message in both of the program's languages; the front end picks one.
struct Text {
    std::string english;
    std::string chinese;
};

// Seconds spent in each step of a simulation.
struct Timings {
    double netlist = 0.0;
    double engine = 0.0;
    double measure = 0.0;
};

struct Simulation {
    enum class Outcome {
        Oscillates,
        DoesNotStart,
        BadInput,  // the boxes fail the calculation's checks (calc::kInputError)
        NoNetlist, // a circuit without a netlist (the quartz circuits, help)
        Engine,    // the simulator is missing or failed: see status
    };
    Outcome outcome = Outcome::Engine;
    Status status = Status::Failed; // the engine's, when it ran
    std::optional<Text> message;    // for every outcome but Oscillates
    Netlist netlist;
    Measurement measurement;
    // The formula's figures in s and Hz (t1, t2 0 where the page has none).
    calc::Periods formula;
    std::vector<Trace> traces; // time and every node voltage
    Timings timings;

    bool ran() const { return outcome == Outcome::Oscillates || outcome == Outcome::DoesNotStart; }
};

// The circuit `id` (rc1 .. lc4) with the box texts as the window takes them.
// `supply` replaces the circuit's own supply voltage.
// `parts` replace stated values of the parts beside the boxes (buildNetlist).
Simulation simulate(std::string_view id, const calc::Inputs& boxes, std::optional<double> supply,
                    const RunControl& control, std::span<const PartValue> parts = {});

// Runs and measures a netlist as built by buildNetlist (or changed since).
Simulation simulateNetlist(const Netlist& netlist, const RunControl& control);

// The netlist that was run, with a control block that runs it and prints the
// frequency ngspice measures between the same edges: for `ngspice -b`.
std::string standaloneNetlist(const Simulation& simulation);

// The message for an engine that did not give a result.
Text engineMessage(Status status, const std::vector<std::string>& engineMessages,
                   double limitSeconds);

} // namespace sim
