// The pages' "仿真对照" figures against the simulation: each marked figure
// (tests/pagemarkers.h, simulatedFigures) is simulated again with its values
// and supply and must agree with the page within its last printed digit.

#include "calc/catalogue.h"
#include "sim/simulate.h"
#include "tests/pagemarkers.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A page's "2.035 Hz" or "5.029 kHz": the value in Hz and one unit of its last digit.
struct Printed {
    double value = std::nan("");
    double digit = 0.0;
};

Printed printedFrequency(const std::string& text) {
    Printed p;
    const char* end = std::from_chars(text.data(), text.data() + text.size(), p.value).ptr;
    const std::string_view number(text.data(), end - text.data());
    const auto point = number.find('.');
    const double decimals =
        point == std::string_view::npos ? 0.0 : static_cast<double>(number.size() - point - 1);
    const std::string unit = pagetest::trim(std::string(end));
    const double scale = unit == "Hz" ? 1.0 : unit == "kHz" ? 1e3 : unit == "MHz" ? 1e6 : NAN;
    p.value *= scale;
    p.digit = std::pow(10.0, -decimals) * scale;
    return p;
}

struct Case {
    pagetest::Simulated figure;
    std::future<sim::Simulation> run;
};

TEST(PageSimulation, FiguresAgreeWithTheSimulation) {
    std::vector<Case> cases;
    std::set<std::string_view> pages;
    for (const auto& entry : calc::kCatalogue) {
        if (entry.kind != calc::EntryKind::Circuit || !pages.insert(entry.page).second) {
            continue;
        }
        for (auto& figure : pagetest::simulatedFigures(pagetest::readPage(entry.page))) {
            const calc::CatalogueEntry* circuit = calc::entryForId(figure.id);
            ASSERT_NE(circuit, nullptr) << figure.marker;
            calc::Inputs boxes;
            std::size_t next = 0;
            for (std::size_t box = 0; box < boxes.size(); ++box) {
                if (circuit->captions[box] != calc::kNone && next < figure.inputs.size()) {
                    boxes[box] = figure.inputs[next++];
                }
            }
            std::optional<double> supply;
            if (!figure.supply.empty()) {
                supply = std::stod(figure.supply);
            }
            // A few dozen ms each in a helper process of its own: all at once.
            auto run = std::async(std::launch::async, [id = figure.id, boxes, supply] {
                return sim::simulate(id, boxes, supply, {});
            });
            cases.push_back({std::move(figure), std::move(run)});
        }
    }
    ASSERT_FALSE(cases.empty()) << "no simulated figure marked";

    for (Case& c : cases) {
        SCOPED_TRACE(c.figure.marker);
        const sim::Simulation s = c.run.get();
        if (s.outcome == sim::Simulation::Outcome::Engine &&
            s.status == sim::Status::EngineMissing) {
            GTEST_SKIP() << "ngspice is not installed";
        }
        if (c.figure.frequency.empty()) {
            EXPECT_EQ(s.outcome, sim::Simulation::Outcome::DoesNotStart);
            continue;
        }
        ASSERT_EQ(s.outcome, sim::Simulation::Outcome::Oscillates)
            << (s.message ? s.message->english : "");
        const Printed page = printedFrequency(c.figure.frequency);
        ASSERT_TRUE(std::isfinite(page.value)) << c.figure.frequency;
        EXPECT_NEAR(s.measurement.frequency, page.value, page.digit);
        const double percent = (s.measurement.frequency / s.formula.f - 1.0) * 100.0;
        EXPECT_NEAR(percent, std::stod(c.figure.deviation), 0.01 + 1e-9);
    }
}

} // namespace
