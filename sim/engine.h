#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Runs a netlist in ngspice, in a helper process of ours (osc-spice), so that
// the engine's crashes, exits and global state stay out of the caller. Safe to
// call from any thread, several runs at once.

namespace sim {

// One of the engine's vectors ("time", "out", "xu.p1" ...).
struct Trace {
    std::string name;
    std::vector<double> values;
};

enum class Status {
    Ok,            // the run ended; the vectors are complete
    EngineMissing, // the helper or libngspice is not installed
    NoConvergence, // "Timestep too small" and the like
    Failed,        // any other error of the engine; see messages
    TimedOut,      // stopped at the wall-clock limit
    Cancelled,     // stopped by the caller
};

struct RunControl {
    double limitSeconds = 5.0;
    // Called with the fraction done, from the thread that runs.
    std::function<void(double)> progress;
    // Set from any thread to stop the run; the call returns within about 50 ms.
    const std::atomic<bool>* cancel = nullptr;
    // The helper program; empty: osc-spice beside the running program.
    std::string helper;
};

struct EngineRun {
    Status status = Status::Failed;
    std::vector<Trace> vectors;
    std::vector<std::string> messages; // what the engine wrote on its standard error
};

EngineRun runEngine(std::string_view netlist, const RunControl& control);

// The vector named `name`, or nullptr.
const Trace* findTrace(const std::vector<Trace>& traces, std::string_view name);

// The helper's file name beside the running program.
std::string defaultHelper();

} // namespace sim
