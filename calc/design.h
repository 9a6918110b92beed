#pragma once

#include "calc/calculate.h"
#include "calc/catalogue.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Working backwards: which standard parts give a target frequency. The search
// runs over the preferred-number series the parts are bought in, ranks the
// combinations by the frequency the calculate command would show for them,
// and returns the best few with their result lines and tolerance band.

namespace calc {

// ---- Preferred-number series (IEC 60063) ----

enum class Series { E6, E12, E24, E48, E96 };

inline constexpr std::array<Series, 5> kAllSeries{Series::E6, Series::E12, Series::E24, Series::E48,
                                                  Series::E96};

// The members of one decade as three-digit mantissas, 100 (1.00) to 976 (9.76).
std::span<const int> seriesMantissas(Series series);
std::string_view seriesName(Series series);
std::optional<Series> seriesFromName(std::string_view name);

// ---- Component kinds, units and default ranges ----

enum class Kind { Resistor, Capacitor, Inductor };

// A range of values as powers of ten in ohms, farads or henries: the series
// members from 10^low to 10^high, both ends included.
struct DecadeRange {
    int low;
    int high;
};

// Resistors 1 kOhm to 10 MOhm; capacitors 10 pF to 1000 uF (from 100 pF in the
// two multivibrators and the 555, where smaller parts drown in stray
// capacitance); inductors 0.1 uH to 1 H.
DecadeRange defaultRange(Kind kind, Mode mode);

// The series a kind is bought in unless the user picks another.
inline constexpr Series kDefaultResistorSeries = Series::E24;
inline constexpr Series kDefaultCapacitorSeries = Series::E6;
inline constexpr Series kDefaultInductorSeries = Series::E6;

// Default tolerances in percent.
inline constexpr double kDefaultResistorTolerance = 5.0;
inline constexpr double kDefaultCapacitorTolerance = 10.0;
inline constexpr double kDefaultInductorTolerance = 10.0;

// One input box of a circuit as the design sees it.
struct DesignInput {
    std::size_t box;  // 0 for input 1
    std::string name; // the caption's name: "R1", "C", "L" ...
    std::string unit; // the caption's unit: "kΩ", "μF", "pF", "mH", "μH"
    Kind kind;
    int unitExponent; // the unit as a power of ten of ohm, farad or henry
    bool zeroAllowed; // the calculation accepts 0 here (C of the capacitive three-point)
};

// The inputs a circuit uses, in box order; empty for one that computes nothing.
std::vector<DesignInput> designInputs(const CatalogueEntry& circuit);

// ---- The query ----

struct DesignRequest {
    double targetHz = 0.0;
    // T1/T wanted, for the circuits with two partial times (modes 2 and 4).
    std::optional<double> duty;
    Series resistorSeries = kDefaultResistorSeries;
    Series capacitorSeries = kDefaultCapacitorSeries;
    Series inductorSeries = kDefaultInductorSeries;
    // Values the user already has, as box texts in the box's unit; nullopt
    // for the values to search. Boxes the circuit does not use are ignored.
    std::array<std::optional<std::string>, 4> fixed;
    double resistorTolerance = kDefaultResistorTolerance; // percent
    double capacitorTolerance = kDefaultCapacitorTolerance;
    double inductorTolerance = kDefaultInductorTolerance;
    std::size_t top = 5;
    // Narrower or wider ranges than the defaults, per kind.
    std::optional<DecadeRange> resistorRange;
    std::optional<DecadeRange> capacitorRange;
    std::optional<DecadeRange> inductorRange;
};

// How far a T1/T may be from the wanted duty and still take part.
inline constexpr double kDutySlack = 0.02;

struct Candidate {
    Inputs inputs;                    // box texts; "" for a box the circuit does not use
    std::array<std::string, 4> lines; // the result lines calculate writes for them
    double frequencyHz = 0.0;
    double errorPercent = 0.0;  // signed: (f / target - 1) * 100
    std::optional<double> duty; // T1/T, for modes 2 and 4
    double fMinHz = 0.0;        // worst-case band from the tolerances
    double fMaxHz = 0.0;
};

enum class DesignProblem {
    None,
    NotComputing,      // quartz or help: nothing to choose
    BadTarget,         // zero, negative, infinite or not a number
    DutyNotApplicable, // a duty for a circuit with one period
    BadDuty,           // not strictly between 0 and 1
    DutyBelowHalf,     // the 555 in this circuit cannot go below 50 %
    BadFixedValue,     // a fixed value the box would not accept
    BadTolerance,      // not in 0 .. 100 %
    BadRange,          // a range whose low end lies above its high end
    OutOfReach,        // the ranges cannot reach the target
    DutyUnreachable,   // no combination within kDutySlack of the duty
};

struct DesignResult {
    std::vector<Candidate> candidates; // best first; empty exactly when problem != None
    DesignProblem problem = DesignProblem::None;
    std::string reason; // why there are no candidates, in the window's language
    // OutOfReach: the frequencies the ranges span. DutyUnreachable: the duty
    // closest to the wanted one that any combination gives.
    double reachMinHz = 0.0;
    double reachMaxHz = 0.0;
    std::optional<double> nearestDuty;
};

DesignResult design(const CatalogueEntry& circuit, const DesignRequest& request);

// ---- Text forms shared by the front ends (locale-independent) ----

// A value with three significant digits and no exponent: 0.953, 1.05, 2210.
std::string threeDigits(double value);
// A signed percentage: "+0.27%", "-1.50%", "+0.0012%".
std::string errorText(double percent);
// The band in the unit of the result's f line: "f=0.953..1.05kHz".
std::string bandText(const Candidate& candidate, Mode mode);

} // namespace calc
