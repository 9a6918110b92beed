#include "sim/simulate.h"

#include "calc/catalogue.h"
#include "calc/modes.h"
#include "calc/numtext.h"

#include <chrono>
#include <cmath>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

Text doesNotStart(const Netlist& netlist) {
    const std::string periods = spiceNumber(std::round(netlist.stop / netlist.formulaPeriod));
    return {"The circuit does not oscillate (" + periods + " periods of the formula simulated).",
            "电路不起振（已仿真公式周期的 " + periods + " 倍）。"};
}

} // namespace

Text engineMessage(Status status, const std::vector<std::string>& engineMessages,
                   double limitSeconds) {
    // The engine's own words for it: the line naming the reason, else its
    // last error, else its last line.
    std::string detail;
    std::string lastError;
    for (const auto& m : engineMessages) {
        if (m.find("Timestep too small") != std::string::npos) {
            lastError = m;
            break;
        }
        if (m.find("rror") != std::string::npos) {
            lastError = m;
        }
        detail = m;
    }
    if (!lastError.empty()) {
        detail = lastError;
    }
    switch (status) {
    case Status::EngineMissing:
        return {"Simulation needs ngspice: the helper osc-spice or the library libngspice is "
                "missing (on Debian: apt-get install ngspice libngspice0).",
                "仿真需要 ngspice：找不到辅助程序 osc-spice 或 libngspice 库（Debian 上："
                "apt-get install ngspice libngspice0）。"};
    case Status::NoConvergence:
        return {"The simulation did not converge (ngspice: " + detail + ").",
                "仿真不收敛（ngspice：" + detail + "）。"};
    case Status::TimedOut: {
        const std::string limit = spiceNumber(limitSeconds);
        return {"The simulation took longer than " + limit + " s and was stopped.",
                "仿真超过 " + limit + " 秒，已停止。"};
    }
    case Status::Cancelled:
        return {"The simulation was cancelled.", "仿真已取消。"};
    case Status::Failed:
    case Status::Ok:
        break;
    }
    return {"The simulation failed (ngspice: " + detail + ").",
            "仿真失败（ngspice：" + detail + "）。"};
}

Simulation simulateNetlist(const Netlist& netlist, const RunControl& control) {
    Simulation s;
    s.netlist = netlist;
    auto start = Clock::now();
    EngineRun run = runEngine(netlist.text, control);
    s.timings.engine = seconds(start);
    s.status = run.status;
    if (run.status != Status::Ok) {
        s.outcome = Simulation::Outcome::Engine;
        s.message = engineMessage(run.status, run.messages, control.limitSeconds);
        return s;
    }
    start = Clock::now();
    const Trace* time = findTrace(run.vectors, "time");
    const Trace* probe = findTrace(run.vectors, netlist.probe);
    if (!time || !probe || time->values.empty() || time->values.back() < 0.999 * netlist.stop) {
        // The engine stopped early without saying why in words we know.
        s.outcome = Simulation::Outcome::Engine;
        s.status = Status::NoConvergence;
        s.message = engineMessage(s.status, run.messages, control.limitSeconds);
        return s;
    }
    MeasureOptions options;
    options.minAmplitude = 1e-3 * netlist.supply;
    s.measurement = measure(time->values, probe->values, options);
    s.outcome = s.measurement.oscillates ? Simulation::Outcome::Oscillates
                                         : Simulation::Outcome::DoesNotStart;
    if (!s.measurement.oscillates) {
        s.message = doesNotStart(netlist);
    }
    for (auto& trace : run.vectors) {
        if (trace.name.find('#') == std::string::npos) {
            s.traces.push_back(std::move(trace));
        }
    }
    s.timings.measure = seconds(start);
    return s;
}

Simulation simulate(std::string_view id, const calc::Inputs& boxes, std::optional<double> supply,
                    const RunControl& control, std::span<const PartValue> parts) {
    Simulation s;
    const calc::CatalogueEntry* entry = calc::entryForId(id);
    if (!entry || entry->kind != calc::EntryKind::Circuit || !hasNetlist(id)) {
        s.outcome = Simulation::Outcome::NoNetlist;
        s.message = Text{"This circuit has no simulation.", "这个电路没有仿真。"};
        return s;
    }
    const auto start = Clock::now();
    const calc::Answer answer = calc::calculate(entry->mode, boxes);
    std::array<double, 4> x{};
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = calc::toNumber(boxes[i]);
    }
    const std::optional<calc::Periods> p = calc::periods(entry->mode, x);
    const calc::ModeTraits* traits = calc::modeTraits(entry->mode);
    if (answer.message || !p || !traits || !(p->t > 0)) {
        s.outcome = Simulation::Outcome::BadInput;
        s.message = Text{calc::kInputError, calc::kInputError};
        return s;
    }
    // The mode's units (ms and kHz, or μs and MHz) to s and Hz.
    const double perSecond = traits->hzPerUnit;
    s.formula = {p->t1 / perSecond, p->t2 / perSecond, p->t / perSecond, p->f * perSecond};
    const std::optional<Netlist> netlist = buildNetlist(id, x, s.formula.t, supply, parts);
    if (!netlist) {
        s.outcome = Simulation::Outcome::BadInput;
        s.message = Text{calc::kInputError, calc::kInputError};
        return s;
    }
    const double netlistTime = seconds(start);
    const calc::Periods formula = s.formula;
    s = simulateNetlist(*netlist, control);
    s.formula = formula;
    s.timings.netlist = netlistTime;
    return s;
}

std::string standaloneNetlist(const Simulation& s) {
    std::string text = s.netlist.text;
    const std::size_t end = text.rfind(".end");
    if (end == std::string::npos) {
        return text;
    }
    std::string control = "* for ngspice -b: run, then the frequency between the same rising\n"
                          "* edges (at the middle level) as the program measured\n"
                          ".control\nrun\n";
    const Measurement& m = s.measurement;
    if (s.outcome == Simulation::Outcome::Oscillates) {
        const std::string v = "v(" + s.netlist.probe + ")";
        const std::string level = spiceNumber(m.middle);
        const std::string td = spiceNumber(m.firstEdge - 0.25 * m.period);
        control += "meas tran tcycles trig " + v + " val=" + level + " td=" + td + " rise=1 targ " +
                   v + " val=" + level + " td=" + td + " rise=" + std::to_string(m.cycles + 1) +
                   "\n";
        control += "let f = " + std::to_string(m.cycles) + " / tcycles\nprint f\n";
    }
    control += ".endc\n";
    text.insert(end, control);
    return text;
}

} // namespace sim
