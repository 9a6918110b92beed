#pragma once

#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/modes.h"
#include "calc/quantity.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Working backwards: which parts give a target frequency. Resistors and
// capacitors come from the preferred-number series they are bought in; the
// coil of an LC tank is wound or tuned to the value the search computes. Only
// combinations that obey the circuit's rules of a sound design take part, and
// among those close enough to the target the simplest, most ordinary parts
// come first.

namespace calc {

// ---- Preferred-number series (IEC 60063) ----

enum class Series { E6, E12, E24, E48, E96 };

inline constexpr std::array<Series, 5> kAllSeries{Series::E6, Series::E12, Series::E24, Series::E48,
                                                  Series::E96};

// The members of one decade as three-digit mantissas, 100 (1.00) to 976 (9.76).
std::span<const int> seriesMantissas(Series series);
std::string_view seriesName(Series series);
std::optional<Series> seriesFromName(std::string_view name);

// ---- Parts ----

// The base unit of a kind: "Ω", "F", "H".
std::string_view unitSymbol(Kind kind);
// The name of a kind as the window writes it: "电阻", "电容", "电感".
std::string_view kindName(Kind kind);

// One input box of a circuit as the design sees it.
struct DesignInput {
    std::size_t box;  // 0 for input 1
    std::string name; // the caption's name: "R1", "C", "L" ...
    std::string unit; // the caption's unit: "kΩ", "μF", "pF", "mH", "μH"
    Kind kind;
    int unitExponent; // the unit as a power of ten of ohm, farad or henry
    bool zeroAllowed; // the calculation accepts 0 here (outside the zero test)
};

// The inputs a circuit uses, in box order; empty for one that computes nothing.
std::vector<DesignInput> designInputs(const CatalogueEntry& circuit);

// A value typed for an input, "10k", "4.7nF" or a bare number in the box's
// unit, as the box text it stands for; nullopt when it cannot be read.
std::optional<std::string> boxTextOf(const DesignInput& input, std::string_view typed);
// The same value in the base unit (Ω, F, H).
std::optional<double> baseValueOf(const DesignInput& input, std::string_view typed);

// ---- The rules of a sound design (see modes.h) ----

// nullptr for a mode that computes nothing.
const DesignRules* designRules(Mode mode);

// The rules as lines of text for the dialog, the pages' readers and the help.
std::vector<std::string> rulesText(const DesignRules& rules);

// ---- The query ----

struct PartOptions {
    Series series;
    std::optional<double> tolerance; // percent; nullopt: what the series is usually sold at
    std::optional<Span> range;       // nullopt: the rules' range
};

// The tolerance a series usually comes with: E96 ±1 %, E48 ±2 %, else the
// kind's own (R ±5 %, C and L ±10 %).
double defaultTolerance(Kind kind, Series series);

struct DesignRequest {
    double targetHz = 0.0;
    // T1/T wanted, for the circuits with two partial times (modes 2 and 4).
    std::optional<double> duty;
    // Indexed by Kind. The inductor's series is the one of the standard coil
    // offered beside a wound one.
    std::array<PartOptions, kKinds> parts{
        {{Series::E24, {}, {}}, {Series::E6, {}, {}}, {Series::E12, {}, {}}}};
    // Values the user already has, as box texts in the box's unit; nullopt
    // for the values to search. Boxes the circuit does not use are ignored.
    std::array<std::optional<std::string>, 4> fixed;
    std::size_t top = 5;
    bool closest = false; // rank by the frequency error alone (still within the rules)
};

// How far a T1/T may be from the wanted duty and still take part.
inline constexpr double kDutySlack = 0.02;
// Within this of the target a combination is good enough, and the simplest
// parts win; where none is, within kGoodEnoughSlack of the best one.
inline constexpr double kGoodEnough = 0.01;
inline constexpr double kGoodEnoughSlack = 0.005;

// A coil wound to value, with the nearest standard one for those who buy it.
struct Coil {
    std::string standard; // box text of the nearest member of the inductor series
    std::array<std::string, 4> lines;
    double frequencyHz = 0.0;
};

struct Candidate {
    Inputs inputs;                    // box texts; "" for a box the circuit does not use
    std::array<std::string, 4> lines; // the result lines calculate writes for them
    double frequencyHz = 0.0;
    double errorPercent = 0.0;  // signed: (f / target - 1) * 100
    std::optional<double> duty; // T1/T, for modes 2 and 4
    double fMinHz = 0.0;        // worst-case band from the tolerances
    double fMaxHz = 0.0;
    std::optional<double> impedanceOhm; // √(L/C) of an LC tank
    std::optional<Coil> coil;           // the inductor is wound to inputs' value
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
    NoSoundDesign,     // combinations reach the target, but none obeys the rules
};

struct DesignResult {
    std::vector<Candidate> candidates; // best first; empty exactly when problem != None
    DesignProblem problem = DesignProblem::None;
    std::string reason;                // why there are no candidates, in the window's language
    std::vector<std::string> warnings; // worth knowing about the candidates
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
// A frequency in Hz, kHz or MHz with three digits: "455 kHz".
std::string hzText(double hz);
// A box text as a part value: "18" in a kΩ box is "18kΩ".
std::string partText(const DesignInput& input, const std::string& boxText);
// The parts of a candidate: "R1=18kΩ R2=39kΩ C=15nF", a wound coil as
// "L≈56.2μH (E12: 56μH → 456kHz)".
std::string partsText(const Candidate& candidate, const std::vector<DesignInput>& inputs,
                      const DesignRequest& request);

} // namespace calc
