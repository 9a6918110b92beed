#include "calc/designrequest.h"

#include "calc/circuitparts.h"

#include <algorithm>
#include <array>
#include <variant>

namespace calc {

namespace {

constexpr std::string_view kKindLetters = "RCL";

// Stores a read value in `field`, or gives the problem the reader found.
template <typename T, typename Field>
std::optional<Problem> store(std::variant<T, Problem> read, Field& field) {
    if (auto* problem = std::get_if<Problem>(&read)) {
        return std::move(*problem);
    }
    field = std::move(std::get<T>(read));
    return std::nullopt;
}

} // namespace

std::optional<Problem> setTarget(DesignRequest& request, std::string_view typed, double bareHz) {
    return store(readTarget(typed, bareHz), request.targetHz);
}

std::optional<Problem> setDuty(DesignRequest& request, std::string_view typed) {
    return store(readDuty(typed), request.duty);
}

std::optional<Problem> setTolerance(DesignRequest& request, Kind kind, std::string_view typed) {
    return store(readTolerance(typed, std::string(1, kindLetter(kind))),
                 request.parts[static_cast<std::size_t>(kind)].tolerance);
}

std::optional<Problem> setFixed(DesignRequest& request, const DesignInput& input,
                                std::string_view typed) {
    return store(readFixed(input, typed), request.fixed[input.box]);
}

std::optional<Problem> setRange(DesignRequest& request, const DesignInput& input,
                                std::string_view low, std::string_view high,
                                std::optional<Span> blank) {
    std::array<double, 2> ends{};
    const std::array<std::string_view, 2> typed{low, high};
    for (std::size_t e = 0; e < 2; ++e) {
        if (typed[e].empty() && blank) {
            ends[e] = e ? blank->high : blank->low;
        } else if (auto problem = store(readRangeEnd(input, typed[e]), ends[e])) {
            return problem;
        }
    }
    request.parts[static_cast<std::size_t>(input.kind)].range = Span{ends[0], ends[1]};
    return std::nullopt;
}

char kindLetter(Kind kind) {
    return kKindLetters[static_cast<std::size_t>(kind)];
}

std::optional<Kind> kindOfLetter(std::string_view letter) {
    const std::size_t k = letter.size() == 1 ? kKindLetters.find(letter[0]) : letter.npos;
    return k == letter.npos ? std::nullopt : std::optional<Kind>(static_cast<Kind>(k));
}

const DesignInput* inputOfKind(const std::vector<DesignInput>& inputs, Kind kind) {
    const auto it = std::find_if(inputs.begin(), inputs.end(),
                                 [kind](const DesignInput& in) { return in.kind == kind; });
    return it == inputs.end() ? nullptr : &*it;
}

std::vector<CandidateColumn> candidateColumns(const CatalogueEntry& circuit) {
    std::vector<CandidateColumn> columns;
    const DesignRules* rules = designRules(circuit.mode);
    for (const DesignInput& in : designInputs(circuit)) {
        columns.push_back({Column::Part, in});
        if (in.kind == Kind::Inductor) {
            columns.push_back({Column::Standard, in});
        }
    }
    if (columns.empty() || !rules) {
        return {};
    }
    for (const Column c : {Column::Lines, Column::Error, Column::Band}) {
        columns.push_back({c});
    }
    if (rules->duty) {
        columns.push_back({Column::Duty});
    }
    if (hasSupportParts(circuit.id)) {
        columns.push_back({Column::Support});
    }
    return columns;
}

std::string cellText(const CandidateColumn& column, const Candidate& candidate, Mode mode) {
    const DesignInput& in = column.input;
    const bool wound = in.kind == Kind::Inductor && candidate.coil;
    switch (column.column) {
    case Column::Part:
        return (wound ? "≈" : "") + partText(in, candidate.inputs[in.box]);
    case Column::Standard:
        return wound ? partText(in, candidate.coil->standard) + " → " +
                           hzText(candidate.coil->frequencyHz)
                     : "";
    case Column::Lines: {
        std::string text;
        for (const std::string& line : candidate.lines) {
            if (!line.empty()) {
                text += (text.empty() ? "" : "  ") + line;
            }
        }
        return text;
    }
    case Column::Error:
        return errorText(candidate.errorPercent);
    case Column::Band:
        return bandText(candidate, mode);
    case Column::Duty:
        return candidate.duty ? threeDigits(*candidate.duty) : "";
    case Column::Support:
        return supportText(candidate.support);
    }
    return {};
}

} // namespace calc
