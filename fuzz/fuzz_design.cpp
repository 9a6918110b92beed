// A design query as a hostile user could type it: the first byte picks the
// circuit, the second the options, and the rest is split at NUL bytes into the
// target, the duty, four fixed values and the ranges of R, C and L (low,
// high). Whatever comes in, the search must answer without crashing, and
// every candidate's lines must be what the calculation shows for its values.

#include "calc/design.h"
#include "calc/inputlimit.h"
#include "calc/numtext.h"
#include "fuzz/reference.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    std::vector<const calc::CatalogueEntry*> circuits;
    for (const auto& entry : calc::kCatalogue) {
        circuits.push_back(&entry);
    }
    const calc::CatalogueEntry& circuit = *circuits[data[0] % circuits.size()];
    const std::uint8_t flags = data[1];
    std::vector<std::string> fields(1);
    for (std::size_t i = 2; i < size; ++i) {
        if (data[i] == 0) {
            fields.emplace_back();
        } else {
            fields.back().push_back(static_cast<char>(data[i]));
        }
    }
    fields.resize(12);
    const auto inputs = calc::designInputs(circuit);

    calc::DesignRequest r;
    const auto target = calc::parseQuantity(fields[0], "Hz");
    r.targetHz = target ? target->value.value() : 1000.0;
    if (!fields[1].empty()) {
        const auto duty = calc::parseDecimal(fields[1]);
        r.duty = duty ? duty->value() : 0.5;
    }
    for (const calc::DesignInput& in : inputs) {
        if (!fields[2 + in.box].empty()) {
            r.fixed[in.box] = calc::boxTextOf(in, fields[2 + in.box]);
        }
        const auto k = static_cast<std::size_t>(in.kind);
        const auto low = calc::baseValueOf(in, fields[6 + 2 * k]);
        const auto high = calc::baseValueOf(in, fields[7 + 2 * k]);
        if (low && high) {
            r.parts[k].range = calc::Span{*low, *high};
        }
    }
    for (std::size_t k = 0; k < calc::kKinds; ++k) {
        r.parts[k].series = calc::kAllSeries[(flags >> (2 * k)) % calc::kAllSeries.size()];
    }
    r.closest = (flags & 0x40) != 0;
    r.top = (flags & 0x80) ? 20 : 3;

    const calc::DesignResult d = calc::design(circuit, r);
    fuzzref::require(d.candidates.empty() == (d.problem != calc::DesignProblem::None),
                     "candidates and problem disagree", fields[0]);
    fuzzref::require(d.candidates.size() <= r.top, "more candidates than asked for", fields[0]);
    fuzzref::require(!d.candidates.empty() || !d.reason.empty(), "no candidate and no reason",
                     fields[0]);
    for (const calc::Candidate& c : d.candidates) {
        const calc::Answer a = calc::calculate(circuit.mode, c.inputs);
        fuzzref::require(!a.message, "a candidate the calculation refuses", c.inputs[0]);
        for (std::size_t i = 0; i < 4; ++i) {
            fuzzref::require(a.lines[i].value_or("") == c.lines[i],
                             "a candidate's lines are not the calculation's", c.lines[i]);
            fuzzref::require(calc::fitsBox(c.inputs[i]), "a value the box cannot hold",
                             c.inputs[i]);
        }
    }
    return 0;
}
