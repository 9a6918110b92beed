// Time to a simulated result for every circuit at its page's worked example
// and at the two ends of its usual band (the design's first answer there),
// split into netlist, engine and measurement, beside the same netlist run
// by `ngspice -b` directly. Medians of a few runs; nothing is checked.
// Usage: sim_bench [HTML_DIR [RUNS [CIRCUIT]]]

#include "calc/catalogue.h"
#include "calc/design.h"
#include "calc/modes.h"
#include "sim/simulate.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Case {
    std::string id;
    std::string what;
    calc::Inputs boxes;
};

// The first "<!-- example: ID V1 V2 ... | ... -->" of the circuit's page.
std::optional<calc::Inputs> pageExample(const std::string& htmlDir,
                                        const calc::CatalogueEntry& entry) {
    const std::string page(entry.page.substr(entry.page.rfind('\\') + 1));
    std::ifstream file(htmlDir + "/" + page);
    std::stringstream text;
    text << file.rdbuf();
    const std::string html = text.str();
    const std::string open = "<!-- example: ";
    const auto pos = html.find(open);
    if (pos == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(html.substr(pos + open.size(), html.find('|', pos) - pos));
    std::string id;
    fields >> id;
    calc::Inputs boxes;
    std::string box;
    for (std::size_t i = 0; i < boxes.size() && fields >> box && box != "|"; ++i) {
        boxes[i] = box;
    }
    return boxes;
}

std::optional<calc::Inputs> designFor(const calc::CatalogueEntry& entry, double hz) {
    calc::DesignRequest request;
    request.targetHz = hz;
    const calc::DesignResult result = calc::design(entry, request);
    if (result.candidates.empty()) {
        return std::nullopt;
    }
    return result.candidates.front().inputs;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// `ngspice -b` on the netlist with its control block, through the shell. It
// exits with 1 after the run ("no simulations run": the control block ran it).
double ngspiceBatch(const std::string& netlist) {
    char path[] = "/tmp/sim_bench_XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        return 0;
    }
    const bool written =
        ::write(fd, netlist.data(), netlist.size()) == static_cast<ssize_t>(netlist.size());
    ::close(fd);
    const auto start = std::chrono::steady_clock::now();
    const int code =
        written ? std::system(("ngspice -b " + std::string(path) + " >/dev/null 2>&1").c_str())
                : -1;
    const double t = seconds(start);
    ::unlink(path);
    return code >= 0 ? t : 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string htmlDir = argc > 1 ? argv[1] : OSC_HTML_DIR;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string only = argc > 3 ? argv[3] : "";

    std::vector<Case> cases;
    for (const auto& entry : calc::kCatalogue) {
        if (!sim::hasNetlist(entry.id) || (!only.empty() && entry.id != only)) {
            continue;
        }
        const std::string id(entry.id);
        if (const auto boxes = pageExample(htmlDir, entry)) {
            cases.push_back({id, "example", *boxes});
        }
        const calc::Span band = calc::modeTraits(entry.mode)->design->band;
        for (const double hz : {band.low, band.high}) {
            if (const auto boxes = designFor(entry, hz)) {
                cases.push_back({id, calc::hzText(hz), *boxes});
            }
        }
    }

    std::printf("%-4s %-9s %-28s %11s %8s %7s %7s %7s %7s %8s %6s\n", "id", "case", "values",
                "f sim", "diff", "total", "netl.", "engine", "meas.", "ngspice", "ratio");
    std::printf("%-4s %-9s %-28s %11s %8s %7s %7s %7s %7s %8s %6s\n", "", "", "", "Hz", "%", "ms",
                "ms", "ms", "ms", "-b ms", "");
    for (const Case& c : cases) {
        std::vector<double> total, netlist, engine, measure, batch;
        sim::Simulation s;
        for (int i = 0; i < runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            s = sim::simulate(c.id, c.boxes, {}, {});
            total.push_back(seconds(start));
            netlist.push_back(s.timings.netlist);
            engine.push_back(s.timings.engine);
            measure.push_back(s.timings.measure);
        }
        const std::string standalone = sim::standaloneNetlist(s);
        for (int i = 0; i < runs; ++i) {
            batch.push_back(ngspiceBatch(standalone));
        }
        std::string values;
        for (const auto& box : c.boxes) {
            values += box.empty() ? "" : (values.empty() ? "" : " ") + box;
        }
        const bool ok = s.outcome == sim::Simulation::Outcome::Oscillates;
        const double b = median(batch);
        std::printf("%-4s %-9s %-28s %11.5g %+8.2f %7.1f %7.2f %7.1f %7.2f %8.1f %6.2f%s\n",
                    c.id.c_str(), c.what.c_str(), values.c_str(),
                    ok ? s.measurement.frequency : 0.0,
                    ok ? 100 * (s.measurement.frequency / s.formula.f - 1) : 0.0,
                    1e3 * median(total), 1e3 * median(netlist), 1e3 * median(engine),
                    1e3 * median(measure), 1e3 * b, b > 0 ? median(total) / b : 0.0,
                    ok ? "" : (s.ran() ? "  does not oscillate" : "  failed"));
        std::fflush(stdout);
    }
    return 0;
}
