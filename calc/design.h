#pragma once

#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/circuitparts.h"
#include "calc/modes.h"
#include "calc/quantity.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
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

// The language of the texts for people: the window's, or osccalc's in English.
enum class Language { Chinese, English };

// The rules as lines of text for the dialog, the pages' readers and the help.
std::vector<std::string> rulesText(const DesignRules& rules, Language language = Language::Chinese);

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
    // Rank by the frequency error alone (still within the rules); with a
    // wound coil, whose rounding is the only error, the closest among the
    // kWoundClosestPool preferred.
    bool closest = false;
};

// How far a T1/T may be from the wanted duty and still take part.
inline constexpr double kDutySlack = 0.02;
// Within this of the target a combination is good enough, and the simplest
// parts win; where none is, within kGoodEnoughSlack of the best one.
inline constexpr double kGoodEnough = 0.01;
inline constexpr double kGoodEnoughSlack = 0.005;
inline constexpr std::size_t kWoundClosestPool = 100;

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
    // The rest of the page's circuit (bias, collector resistors, supply),
    // chosen for these values; not in `lines`, which are the boxes' alone.
    std::vector<SupportPart> support;
};

enum class DesignProblem {
    None,
    NotComputing,       // quartz or help: nothing to choose
    Unreadable,         // a typed value that is no number of the accepted forms
    TooLarge,           // a typed value beyond what the field (or a double) can hold
    TooSmall,           // a typed value too close to zero for the field
    BadTarget,          // zero, negative, infinite or not a number
    DutyNotApplicable,  // a duty for a circuit with one period
    BadDuty,            // not strictly between 0 and 1
    DutyBelowHalf,      // the 555 in this circuit cannot go below 50 %
    BadFixedValue,      // a fixed value the box would not accept
    BadTolerance,       // not in 0 .. 100 %
    BadRange,           // a range whose low end lies above its high end
    RangeWithoutValues, // no member of the series lies within the range
    RangeBeyondBox,     // the range holds values the box cannot write
    OutOfReach,         // the ranges cannot reach the target
    DutyUnreachable,    // no combination within kDutySlack of the duty
    NoSoundDesign,      // combinations reach the target, but none obeys the rules
};

// What a problem is about, for its wording.
enum class Field { None, Target, Duty, Fixed, Range, Tolerance };

// What went wrong, as data; describe() words it.
struct Problem {
    DesignProblem kind = DesignProblem::None;
    Field field = Field::None;
    std::string name;  // Fixed: the input ("R1"); Range, Tolerance: the kind's letter
    std::string typed; // the value as given, cut to kEchoLength characters
    Series series = Series::E6;
    // OutOfReach, NoSoundDesign: the frequencies (Hz) reached, 0 where not
    // known; DutyUnreachable: the nearest duty in `low`, the wanted in `high`.
    double low = 0.0;
    double high = 0.0;
    std::optional<Span> duty;           // NoSoundDesign: the T1/T window that limits the reach
    const DesignRules* rules = nullptr; // NoSoundDesign without a reach: the rules to name
};

// Typed text echoed in a message is cut to this many characters and "…".
inline constexpr std::size_t kEchoLength = 32;
std::string echoText(std::string_view typed);

// The problem as one sentence (or a few) in the language.
std::string describe(const Problem& problem, Language language);

// ---- Reading what a user typed ----
// Each gives the value or the problem with it (Unreadable, TooLarge,
// TooSmall, BadTarget ...), so that osccalc and the dialog read alike.

// A target frequency: "1k", "455 kHz", "1e3"; a bare number is in `bareHz`.
std::variant<double, Problem> readTarget(std::string_view typed, double bareHz = 1.0);
// T1/T as "0.6" or "60%".
std::variant<double, Problem> readDuty(std::string_view typed);
// A tolerance in percent of a kind ("R", "C", "L").
std::variant<double, Problem> readTolerance(std::string_view typed, std::string_view kind);
// A fixed value for an input, as its box text.
std::variant<std::string, Problem> readFixed(const DesignInput& input, std::string_view typed);
// One end of a range for the kind of `input`, in the base unit.
std::variant<double, Problem> readRangeEnd(const DesignInput& input, std::string_view typed);

struct DesignResult {
    std::vector<Candidate> candidates; // best first; empty exactly when problem != None
    DesignProblem problem = DesignProblem::None;
    Problem detail;     // what went wrong, when problem != None
    std::string reason; // describe(detail) in the window's language
    std::vector<std::string>
        warnings;                    // worth knowing about the candidates, in the window's language
    std::optional<Span> outsideBand; // the usual band, when the target lies outside it
    // OutOfReach, NoSoundDesign: the frequencies the ranges span (as far as
    // known). DutyUnreachable: the duty closest to the wanted one that any
    // combination gives.
    double reachMinHz = 0.0;
    double reachMaxHz = 0.0;
    std::optional<double> nearestDuty;
};

// The warnings of a result in the language.
std::vector<std::string> warningsText(const DesignResult& result, double targetHz,
                                      Language language);

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

} // namespace calc
