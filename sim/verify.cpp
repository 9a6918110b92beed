#include "sim/verify.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <future>

namespace sim {

std::vector<PartValue> netlistParts(const calc::Candidate& candidate) {
    std::vector<PartValue> parts;
    for (const calc::SupportPart& p : candidate.support) {
        if (p.name == "VCC") {
            continue;
        }
        std::string name = p.name;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        parts.push_back({name, p.value});
    }
    return parts;
}

Check check(std::string_view id, const calc::Candidate& candidate, const RunControl& control) {
    std::optional<double> supply;
    for (const calc::SupportPart& p : candidate.support) {
        if (p.name == "VCC") {
            supply = p.value;
        }
    }
    const Simulation s = simulate(id, candidate.inputs, supply, control, netlistParts(candidate));
    Check c;
    c.outcome = s.outcome;
    c.message = s.message;
    if (s.outcome == Simulation::Outcome::Oscillates) {
        c.frequencyHz = s.measurement.frequency;
        c.settled = s.measurement.settled;
    }
    return c;
}

std::vector<Check> checkAll(std::string_view id, const std::vector<calc::Candidate>& candidates,
                            std::size_t first, std::size_t count, const RunControl& control) {
    std::vector<Check> checks;
    const std::size_t end = std::min(candidates.size(), first + count);
    for (std::size_t i = first; i < end; i += 2) {
        auto other = i + 1 < end
                         ? std::async(std::launch::async,
                                      [&, i] { return check(id, candidates[i + 1], control); })
                         : std::future<Check>{};
        checks.push_back(check(id, candidates[i], control));
        if (other.valid()) {
            checks.push_back(other.get());
        }
    }
    return checks;
}

bool confirms(const Check& check, double targetHz) {
    return check.starts() && check.settled &&
           std::abs(check.frequencyHz / targetHz - 1.0) <= kConfirmedWithin;
}

Verified verifyDesign(const calc::CatalogueEntry& circuit, const calc::DesignRequest& request,
                      calc::DesignResult& result, const RunControl& control) {
    Verified v;
    std::vector<calc::Candidate>& shown = result.candidates;
    v.checks = checkAll(circuit.id, shown, 0, shown.size(), control);
    if (std::none_of(v.checks.begin(), v.checks.end(), [](const Check& c) { return c.ran(); })) {
        v.unavailable = v.checks.empty() ? std::nullopt : v.checks.front().message;
        return v;
    }
    const auto confirmed = [&](const Check& c) { return confirms(c, request.targetHz); };
    const auto first = std::find_if(v.checks.begin(), v.checks.end(), confirmed);
    if (first != v.checks.end()) {
        const auto at = first - v.checks.begin();
        std::rotate(shown.begin(), shown.begin() + at, shown.begin() + at + 1);
        std::rotate(v.checks.begin(), first, first + 1);
        return v;
    }
    if (shown.size() >= kCheckedAtMost) {
        return v;
    }
    calc::DesignRequest deeper = request;
    deeper.top = kCheckedAtMost;
    const calc::DesignResult more = calc::design(circuit, deeper);
    std::vector<calc::Candidate> untried;
    for (const calc::Candidate& c : more.candidates) {
        if (std::none_of(shown.begin(), shown.end(),
                         [&](const calc::Candidate& s) { return s.inputs == c.inputs; })) {
            untried.push_back(c);
        }
    }
    for (std::size_t i = 0; i < untried.size() && shown.size() + i < kCheckedAtMost; i += 2) {
        const std::vector<Check> next = checkAll(circuit.id, untried, i, 2, control);
        for (std::size_t k = 0; k < next.size(); ++k) {
            if (confirmed(next[k])) {
                shown.pop_back();
                v.checks.pop_back();
                shown.insert(shown.begin(), untried[i + k]);
                v.checks.insert(v.checks.begin(), next[k]);
                return v;
            }
        }
    }
    return v;
}

} // namespace sim
