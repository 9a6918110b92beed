#include "cli/design.h"

#include "calc/catalogue.h"
#include "calc/design.h"
#include "calc/numtext.h"
#include "cli/json.h"
#include "cli/osccalc.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <optional>
#include <ostream>
#include <string_view>

namespace cli {

namespace {

constexpr std::size_t kMaxTop = 100;

void printDesignUsage(std::ostream& os) {
    os << "Usage: osccalc design CIRCUIT FREQ [--duty D] [--series E24] [--cseries E6]\n"
          "                      [--lseries E6] [--fix NAME=VALUE]... [--tol R=5,C=10,L=10]\n"
          "                      [--top N] [--json]\n";
}

void printDesignHelp(std::ostream& os) {
    os << "osccalc design: standard parts that give a target frequency.\n\n";
    printDesignUsage(os);
    os << R"(
  CIRCUIT         rc1 rc2 rc3 rc4 lc1 lc2 lc3 lc4 (the quartz circuits have
                  nothing to choose).
  FREQ            A number with Hz, kHz or MHz (1kHz, 455Hz, 10.7MHz); a bare
                  number is Hz.
  --duty D        T1/T wanted, rc2 and rc4 only: 0.6 or 60%. Only combinations
                  within 0.02 of it take part. The 555 in this circuit always
                  gives more than 50 %.
  --series S      Series of the resistors: E6 E12 E24 E48 E96 (default E24).
  --cseries S     Series of the capacitors (default E6).
  --lseries S     Series of the inductors (default E6).
  --fix NAME=V    Keep an input at a value you have, in its box's unit (names
                  and units as --list shows them: R1, C, L ...). Repeatable.
  --tol LIST      Tolerances in percent for the band (default R=5,C=10,L=10).
  --top N         How many combinations to show (default 5, at most 100).
  --json          One JSON object: circuit, target_hz, series, candidates
                  (inputs, lines, error_percent, f_min_hz, f_max_hz).

Ranges searched: resistors 1 kΩ to 10 MΩ, capacitors 10 pF to 1000 μF (from
100 pF for rc2, rc3 and rc4), inductors 0.1 μH to 1 H.

Each line: the input values in box order, the result lines as the window
shows them for those values, the frequency error and the band the
tolerances allow, separated by tabs. The values fed back to
"osccalc CIRCUIT V1 V2 ..." give exactly those result lines.

Exit status: 0 combinations found; 1 a target, duty or fixed value that
cannot be met (the reason on standard error); 2 usage error.
)";
}

int usageError(std::ostream& err, std::string_view reason) {
    err << "osccalc design: " << reason << "\n";
    printDesignUsage(err);
    return kExitUsage;
}

// The whole text as a number, or nullopt.
std::optional<double> number(std::string_view text) {
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "1kHz", "455Hz", "10.7MHz" or a bare number of hertz.
std::optional<double> frequency(std::string_view text) {
    double scale = 1.0;
    for (const auto& [unit, factor] :
         {std::pair<std::string_view, double>{"MHz", 1e6}, {"kHz", 1e3}, {"Hz", 1.0}}) {
        if (text.ends_with(unit)) {
            text.remove_suffix(unit.size());
            scale = factor;
            break;
        }
    }
    const auto value = number(text);
    return value ? std::optional<double>(*value * scale) : std::nullopt;
}

struct Parsed {
    std::vector<std::string> positional;
    calc::DesignRequest request;
    std::vector<std::pair<std::string, std::string>> fixes;
    bool json = false;
    bool help = false;
};

// Reads the options; returns the reason of a usage error, or "".
std::string parse(const std::vector<std::string>& args, Parsed& p) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || !arg.starts_with("--")) {
            // A lone "-5kHz" is a (bad) frequency, not an option.
            p.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--json") {
            p.json = true;
            continue;
        }
        if (arg == "--help") {
            p.help = true;
            continue;
        }
        std::string value;
        const std::size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
        }
        constexpr std::string_view kTakesValue[] = {"--duty", "--series", "--cseries", "--lseries",
                                                    "--fix",  "--tol",    "--top"};
        if (std::find(std::begin(kTakesValue), std::end(kTakesValue), arg) ==
            std::end(kTakesValue)) {
            return "unknown option \"" + arg + "\"";
        }
        if (eq == std::string::npos) {
            if (i + 1 == args.size()) {
                return arg + " needs a value";
            }
            value = args[++i];
        }
        if (arg == "--duty") {
            std::string_view v = value;
            const bool percent = v.ends_with("%");
            if (percent) {
                v.remove_suffix(1);
            }
            const auto d = number(v);
            if (!d) {
                return "--duty wants a number such as 0.6 or 60%";
            }
            p.request.duty = percent ? *d / 100.0 : *d;
        } else if (arg == "--series" || arg == "--cseries" || arg == "--lseries") {
            const auto s = calc::seriesFromName(value);
            if (!s) {
                return arg + " wants one of E6 E12 E24 E48 E96";
            }
            (arg == "--series"    ? p.request.resistorSeries
             : arg == "--cseries" ? p.request.capacitorSeries
                                  : p.request.inductorSeries) = *s;
        } else if (arg == "--fix") {
            const std::size_t sep = value.find('=');
            if (sep == std::string::npos || sep == 0) {
                return "--fix wants NAME=VALUE, such as C=0.01";
            }
            p.fixes.emplace_back(value.substr(0, sep), value.substr(sep + 1));
        } else if (arg == "--tol") {
            std::string_view rest = value;
            while (!rest.empty()) {
                const std::size_t comma = std::min(rest.find(','), rest.size());
                const std::string_view item = rest.substr(0, comma);
                rest.remove_prefix(std::min(comma + 1, rest.size()));
                const auto t =
                    item.size() > 2 && item[1] == '=' ? number(item.substr(2)) : std::nullopt;
                if (!t || (item[0] != 'R' && item[0] != 'C' && item[0] != 'L')) {
                    return "--tol wants R=5,C=10,L=10 (any of them, in percent)";
                }
                (item[0] == 'R'   ? p.request.resistorTolerance
                 : item[0] == 'C' ? p.request.capacitorTolerance
                                  : p.request.inductorTolerance) = *t;
            }
        } else if (arg == "--top") {
            std::size_t n = 0;
            const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (value.empty() || ec != std::errc{} || ptr != value.data() + value.size() || n < 1 ||
                n > kMaxTop) {
                return "--top wants a whole number from 1 to 100";
            }
            p.request.top = n;
        } else {
            return "unknown option \"" + arg + "\"";
        }
    }
    return {};
}

std::string jsonNumber(double value) {
    return std::isfinite(value) ? calc::toText(value) : "null";
}

std::string seriesJson(const std::vector<calc::DesignInput>& inputs, const calc::DesignRequest& r) {
    std::string json;
    struct Row {
        calc::Kind kind;
        std::string_view key;
        calc::Series series;
    };
    const Row rows[] = {{calc::Kind::Resistor, "R", r.resistorSeries},
                        {calc::Kind::Capacitor, "C", r.capacitorSeries},
                        {calc::Kind::Inductor, "L", r.inductorSeries}};
    for (const Row& row : rows) {
        for (const auto& in : inputs) {
            if (in.kind == row.kind) {
                json += json.empty() ? "" : ",";
                json += jsonString(row.key) + ":" + jsonString(calc::seriesName(row.series));
                break;
            }
        }
    }
    return "{" + json + "}";
}

// The candidate's values of the circuit's inputs, in box order.
std::vector<std::string> inputTexts(const calc::Candidate& cand,
                                    const std::vector<calc::DesignInput>& inputs) {
    std::vector<std::string> texts;
    for (const auto& in : inputs) {
        texts.push_back(cand.inputs[in.box]);
    }
    return texts;
}

// The result lines the window shows for the candidate.
std::vector<std::string> shownLines(const calc::Candidate& cand) {
    std::vector<std::string> lines;
    std::copy_if(cand.lines.begin(), cand.lines.end(), std::back_inserter(lines),
                 [](const std::string& line) { return !line.empty(); });
    return lines;
}

} // namespace

int runDesign(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Parsed p;
    if (const std::string reason = parse(args, p); !reason.empty()) {
        return usageError(err, reason);
    }
    if (p.help) {
        printDesignHelp(out);
        return kExitOk;
    }
    if (p.positional.size() != 2) {
        return usageError(err, p.positional.size() < 2 ? "CIRCUIT and FREQ are needed"
                                                       : "too many arguments");
    }
    const std::string& id = p.positional[0];
    const calc::CatalogueEntry* circuit = calc::entryForId(id);
    if (!circuit || circuit->kind == calc::EntryKind::Startup) {
        return usageError(err, "unknown circuit \"" + id + "\"");
    }
    const std::vector<calc::DesignInput> inputs = calc::designInputs(*circuit);
    if (inputs.empty()) {
        return usageError(err, id + " has no parts to choose (rc1..rc4, lc1..lc4 have)");
    }
    if (p.request.duty && circuit->mode != 2 && circuit->mode != 4) {
        return usageError(err, "--duty applies to rc2 and rc4 only");
    }
    for (const auto& [name, value] : p.fixes) {
        const calc::DesignInput* input = nullptr;
        for (const auto& in : inputs) {
            if (in.name == name) {
                input = &in;
            }
        }
        if (!input) {
            std::string names;
            for (const auto& in : inputs) {
                names += " " + in.name;
            }
            return usageError(err, "--fix: " + id + " has no input \"" + name +
                                       "\"; its inputs are" + names);
        }
        if (p.request.fixed[input->box]) {
            return usageError(err, "--fix: " + name + " is given twice");
        }
        p.request.fixed[input->box] = value;
    }

    const auto target = frequency(p.positional[1]);
    calc::DesignResult result;
    if (!target) {
        result.problem = calc::DesignProblem::BadTarget;
        result.reason =
            "目标频率 \"" + p.positional[1] + "\" 不是数（写成 1kHz、455Hz、10.7MHz）。";
    } else {
        p.request.targetHz = *target;
        result = calc::design(*circuit, p.request);
    }

    if (p.json) {
        std::string json = "{\"circuit\":" + jsonString(id) +
                           ",\"target_hz\":" + (target ? jsonNumber(*target) : "null") +
                           ",\"series\":" + seriesJson(inputs, p.request);
        if (result.candidates.empty()) {
            json += ",\"error\":" + jsonString(result.reason);
            if (result.nearestDuty) {
                json += ",\"nearest_duty\":" + jsonNumber(*result.nearestDuty);
            }
        } else {
            json += ",\"candidates\":[";
            for (std::size_t c = 0; c < result.candidates.size(); ++c) {
                const calc::Candidate& cand = result.candidates[c];
                json += c ? ",{" : "{";
                json += "\"inputs\":" + jsonArray(inputTexts(cand, inputs)) +
                        ",\"lines\":" + jsonArray(shownLines(cand)) +
                        ",\"error_percent\":" + jsonNumber(cand.errorPercent);
                if (cand.duty) {
                    json += ",\"duty\":" + jsonNumber(*cand.duty);
                }
                json += ",\"f_min_hz\":" + jsonNumber(cand.fMinHz) +
                        ",\"f_max_hz\":" + jsonNumber(cand.fMaxHz) + "}";
            }
            json += "]";
        }
        out << json << "}\n";
    } else if (result.candidates.empty()) {
        err << result.reason << "\n";
    } else {
        for (const calc::Candidate& cand : result.candidates) {
            std::string line;
            for (const std::string& field : inputTexts(cand, inputs)) {
                line += field + "\t";
            }
            for (const std::string& field : shownLines(cand)) {
                line += field + "\t";
            }
            line += calc::errorText(cand.errorPercent) + "\t" + calc::bandText(cand, circuit->mode);
            out << line << "\n";
        }
    }
    return result.candidates.empty() ? kExitBadInput : kExitOk;
}

} // namespace cli
