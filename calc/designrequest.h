#pragma once

#include "calc/design.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What osccalc and the design dialog share around a search: reading the
// request a user typed, one field at a time, and the columns a candidate is
// listed in. Both front ends then differ only in how they show them.

namespace calc {

// ---- Reading a request ----
// Each sets its field of `request` from the typed text, or leaves it and
// gives the problem with the text (Unreadable, TooLarge, TooSmall ...).

std::optional<Problem> setTarget(DesignRequest& request, std::string_view typed,
                                 double bareHz = 1.0);
std::optional<Problem> setDuty(DesignRequest& request, std::string_view typed);
std::optional<Problem> setTolerance(DesignRequest& request, Kind kind, std::string_view typed);
std::optional<Problem> setFixed(DesignRequest& request, const DesignInput& input,
                                std::string_view typed);
// The range of the kind of `input` from its two ends; an empty end is the
// one of `blank` where given, else unreadable.
std::optional<Problem> setRange(DesignRequest& request, const DesignInput& input,
                                std::string_view low, std::string_view high,
                                std::optional<Span> blank = std::nullopt);

// The letter of a kind in options and messages: 'R', 'C', 'L'.
char kindLetter(Kind kind);
std::optional<Kind> kindOfLetter(std::string_view letter);
// The circuit's first input of the kind; nullptr where it has none.
const DesignInput* inputOfKind(const std::vector<DesignInput>& inputs, Kind kind);

// ---- The columns of a candidate ----

enum class Column {
    Part,     // one input's value: "18kΩ", a wound coil "≈56.2μH"
    Standard, // beside a wound coil, the nearest standard one: "56μH → 456 kHz"
    Lines,    // the result lines, two spaces apart
    Error,    // "+0.27%"
    Band,     // "f=0.953..1.05kHz"
    Duty,     // T1/T: "0.614"
    Support,  // the rest of the circuit: "C5=10nF VCC=9V"
};

struct CandidateColumn {
    Column column;
    DesignInput input{}; // Part and Standard: whose value
};

// The columns of a circuit's candidates in the order they are listed.
std::vector<CandidateColumn> candidateColumns(const CatalogueEntry& circuit);

// A column's text for one candidate; "" where it has none (the standard coil
// beside a coil kept at a fixed value).
std::string cellText(const CandidateColumn& column, const Candidate& candidate, Mode mode);

} // namespace calc
