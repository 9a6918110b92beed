#include "cli/design.h"

#include "calc/catalogue.h"
#include "calc/design.h"
#include "calc/designrequest.h"
#include "calc/numtext.h"
#include "calc/quantity.h"
#include "cli/json.h"
#include "cli/osccalc.h"
#include "cli/simulate.h"
#include "sim/verify.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>

namespace cli {

namespace {

constexpr std::size_t kMaxTop = 100;

void printDesignUsage(std::ostream& os) {
    os << tr("Usage: osccalc design CIRCUIT FREQ", "用法：osccalc design 电路 目标频率")
       << " [--duty D] [--series E24] [--cseries E6]\n"
          "                      [--lseries E12] [--fix NAME=VALUE]... [--range K=LOW..HIGH]...\n"
          "                      [--tol R=5,C=10,L=10] [--top N] [--closest] [--simulate]\n"
          "                      [--limit S] [--json]\n";
}

calc::Language language() {
    return speaksChinese() ? calc::Language::Chinese : calc::Language::English;
}

// The rules of one circuit, from the table the search obeys.
void printRules(std::ostream& os, const calc::DesignRules& rules) {
    std::string text;
    for (const std::string& line : calc::rulesText(rules, language())) {
        text += (text.empty() ? "" : speaksChinese() ? "；" : "; ") + line;
    }
    os << text << "\n";
}

void printDesignHelp(std::ostream& os) {
    os << tr("osccalc design: parts that give a target frequency.\n\n",
             "osccalc design：按目标频率选元件。\n\n");
    printDesignUsage(os);
    os << tr(R"(
  CIRCUIT         rc1 rc2 rc3 rc4 lc1 lc2 lc3 lc4 (the quartz circuits have
                  nothing to choose).
  FREQ            1000, 1e3, 1k, 1kHz, "1 kHz", 1.5MHz, 32.768kHz: a number
                  with an optional prefix (p n u μ m k M G) and unit.
  --duty D        T1/T wanted, rc2 and rc4 only: 0.6 or 60%. Only combinations
                  within 0.02 of it take part. The 555 in this circuit always
                  gives more than 50 %.
  --series S      Series of the resistors: E6 E12 E24 E48 E96 (default E24).
  --cseries S     Series of the capacitors (default E6).
  --lseries S     Series of the standard coil shown beside a wound one
                  (default E12).
  --fix NAME=V    Keep an input at a value you have: R1=10k, C=10nF, C=0.01u,
                  L=100uH; a bare number is in the box's unit (--list shows
                  names and units). Repeatable, once per input.
  --range K=A..B  Values of one kind of part: R=1k..1M, C=100p..10u,
                  L=1u..10m. Once per kind.
  --tol LIST      Tolerances in percent for the band (R=5,C=10,L=10: kinds
                  the circuit has, each once; E48 parts default to 2 and E96
                  parts to 1).
  --top N         How many combinations to show (default 5, at most 100).
  --closest       Rank by the frequency error alone, still within the rules.
                  A wound coil (lc1..lc4) makes up any difference, and its
                  rounding to three digits is all the error: there the
                  closest of the 100 best-ranked combinations.
  --simulate      Runs each listed combination in ngspice as the page's whole
                  circuit (the parts beside the boxes as listed) and adds the
                  simulated f and "starts" / "does not start". The first line
                  is then the best-ranked combination the simulator puts
                  within 5 % of the target (from the first 20 where none
                  listed is); the error column stays the distance to the
                  standard values. Without ngspice (or when it fails) the
                  list is the formula's alone, with the reason on standard
                  error and exit status 0.
  --limit S       Stops each simulation after S seconds (default 5).
  --json          One JSON object: circuit, target_hz, series, warnings,
                  candidates (inputs, parts, lines, error_percent, duty,
                  f_min_hz, f_max_hz, impedance_ohm, coil, simulated).

The rules of a sound design, per circuit:
)",
             R"(
  电路            rc1 rc2 rc3 rc4 lc1 lc2 lc3 lc4（石英晶体电路没有可选的元件）。
  目标频率        1000、1e3、1k、1kHz、"1 kHz"、1.5MHz、32.768kHz：一个数，
                  可带词头（p n u μ m k M G）和单位。
  --duty D        想要的 T1/T，只用于 rc2 和 rc4：0.6 或 60%。只有与它相差
                  0.02 以内的组合参加。这种 555 电路的 T1/T 总大于 50%。
  --series S      电阻的系列：E6 E12 E24 E48 E96（默认 E24）。
  --cseries S     电容的系列（默认 E6）。
  --lseries S     绕制电感旁边列出的标准电感的系列（默认 E12）。
  --fix NAME=V    把某个输入固定为手头的值：R1=10k、C=10nF、C=0.01u、
                  L=100uH；不带单位的数按输入框的单位（名称和单位见 --list）。
                  可重复，每个输入一次。
  --range K=A..B  某一类元件的取值范围：R=1k..1M、C=100p..10u、L=1u..10m。
                  每类一次。
  --tol LIST      计算频率范围用的容差，百分数（R=5,C=10,L=10：电路有的元件，
                  每类一次；E48 元件默认 2，E96 元件默认 1）。
  --top N         列出多少组（默认 5，至多 100）。
  --closest       只按频率误差排序，仍然遵守设计规则。线圈按值绕制时（lc1～lc4）
                  误差只来自线圈值取三位数字的舍入：从排在前面的 100 组中取误差
                  最小的。
  --simulate      用 ngspice 把列出的每一组当作页面上的整个电路仿真（输入框以外
                  的元件按列出的值），加上仿真的 f 和“起振”/“不起振”。第一行
                  是仿真频率与目标相差 5% 以内、排在最前的一组（列出的都不是
                  时，从前 20 组中找）；误差一栏仍是与标准值的差距。没有
                  ngspice（或仿真失败）时只按公式列出，原因写在标准错误上，
                  退出状态为 0。
  --limit 秒数    每次仿真最多运行这么多秒（默认 5）。
  --json          输出一个 JSON 对象：circuit、target_hz、series、warnings、
                  candidates（inputs、parts、lines、error_percent、duty、
                  f_min_hz、f_max_hz、impedance_ohm、coil、simulated）。

各电路的设计规则：
)");
    for (const auto& entry : calc::kCatalogue) {
        const calc::DesignRules* rules = calc::designRules(entry.mode);
        if (entry.kind == calc::EntryKind::Circuit && rules) {
            os << "  " << entry.id << std::string(6 - entry.id.size(), ' ');
            printRules(os, *rules);
        }
    }
    os << tr(R"(
The coil of an LC circuit is wound or tuned to the value shown (L≈...), with
the nearest standard coil and the frequency it would give beside it.

Ranking: among the combinations that obey the rules, those within 1 % of the
target (where none is, within 0.5 points of the best) come first, fewer
different values first, then values near the middle of their ranges (for LC
circuits a tank impedance near the middle of its window), then the smaller
error; then the others by error. The error shown is the distance to the
nearest standard values, not the accuracy of the circuit: the formula itself
and the parts' tolerances (the band) move the frequency much more.

Each line: the parts, the result lines as the window shows them for those
values, the error, the band the tolerances allow, for rc2 and rc4 T1/T, and
the rest of the page's circuit as the rules choose it (collector resistors,
bias, bypasses, supply; JSON "parts" with "box": false), separated by tabs. The box values (JSON "inputs") fed back to
"osccalc CIRCUIT V1 V2 ..." give exactly those result lines. A target outside
the circuit's usual band still gets designs, with a warning on standard error.

Exit status: 0 combinations found; 1 a target, duty, tolerance or value that
cannot be read or met (the reason on standard error); 2 usage error (an
unknown circuit or option, an option without its value or not in its form,
one given twice); 3 writing the output failed.
)",
             R"(
LC 电路的线圈按列出的值绕制或调节（L≈...），旁边列出最近的标准电感和用它时的
频率。

排序：在合乎规则的组合中，与目标相差 1% 以内的（没有时，与最好的一组相差 0.5
个百分点以内的）排在前面，其中元件值种类少的在先，然后是数值靠近范围中间的
（LC 电路看回路阻抗是否靠近窗口中间），然后是误差小的；其余的按误差排在后面。
列出的误差只是与最近的标准值的差距，不是电路的精度：公式本身和元件容差（频率
范围）对频率的影响大得多。

每行依次是：元件，按这些值窗口显示的结果行，误差，容差允许的频率范围，rc2 和
rc4 的 T1/T，以及按规则选出的电路其余元件（集电极电阻、偏置、旁路电容、电源；
JSON "parts" 中 "box" 为 false），用制表符分隔。把输入框的值（JSON 的 "inputs"）交给
"osccalc 电路 V1 V2 ..."，得到的正是这些结果行。目标超出电路的常用频段时仍给出
结果，并在标准错误上提醒一行。

退出状态：0 找到组合；1 目标、占空比、容差或数值读不出来或无法满足（原因在标准
错误上）；2 用法错误（未知的电路或选项，选项缺值或写法不对，重复给出）；3 写输出
失败。
)");
}

int usageError(std::ostream& err, std::string_view reason) {
    err << "osccalc design: " << reason << "\n";
    printDesignUsage(err);
    return kExitUsage;
}

struct Parsed {
    std::vector<std::string> positional;
    calc::DesignRequest request;
    std::optional<std::string> duty;
    std::vector<std::pair<std::string, std::string>> fixes;
    std::vector<std::pair<calc::Kind, std::string>> ranges;     // "LOW..HIGH"
    std::vector<std::pair<calc::Kind, std::string>> tolerances; // percent
    std::vector<std::string> seen;                              // single-valued options given
    std::string refusal; // a reader's own reason for refusing a value, where it has one
    bool json = false;
    bool help = false;
    bool simulate = false;
    double limitSeconds = sim::RunControl{}.limitSeconds; // of each simulation
};

std::string say(std::string_view english, std::string_view chinese) {
    return std::string(tr(english, chinese));
}

// The readers of the values: false when a value is not in its option's form.

bool setFlag(Parsed& p, const std::string& name, const std::string&) {
    (name == "--json"       ? p.json
     : name == "--closest"  ? p.request.closest
     : name == "--simulate" ? p.simulate
                            : p.help) = true;
    return true;
}

bool keepDuty(Parsed& p, const std::string&, const std::string& value) {
    p.duty = value; // read once the circuit is known
    return true;
}

bool readSeries(Parsed& p, const std::string& name, const std::string& value) {
    const auto s = calc::seriesFromName(value);
    auto& series = p.request.parts[name == "--series" ? 0 : name == "--cseries" ? 1 : 2].series;
    series = s.value_or(series);
    return s.has_value();
}

bool readFix(Parsed& p, const std::string&, const std::string& value) {
    const std::size_t sep = value.find('=');
    if (sep == std::string::npos || sep == 0) {
        return false;
    }
    p.fixes.emplace_back(value.substr(0, sep), value.substr(sep + 1));
    return true;
}

bool readRange(Parsed& p, const std::string&, const std::string& value) {
    const auto kind = calc::kindOfLetter(std::string_view(value).substr(0, 1));
    // "1k...1M" would read as 1k..0.1M.
    const bool form = kind && value.find('=') == 1 && value.find("..") != std::string::npos &&
                      value.find("...") == std::string::npos;
    if (form) {
        p.ranges.emplace_back(*kind, value.substr(2));
    }
    return form;
}

bool readTolerances(Parsed& p, const std::string&, const std::string& value) {
    // Every item is K=V: an empty one, also at either end, is a slip.
    std::string_view rest = value;
    for (bool more = true; more;) {
        const std::size_t comma = rest.find(',');
        more = comma != std::string_view::npos;
        const std::string_view item = rest.substr(0, comma);
        rest.remove_prefix(more ? comma + 1 : rest.size());
        const auto kind = calc::kindOfLetter(item.substr(0, 1));
        if (!kind || item.size() < 3 || item[1] != '=') {
            return false;
        }
        const auto same = [&](const auto& t) { return t.first == *kind; };
        if (std::any_of(p.tolerances.begin(), p.tolerances.end(), same)) {
            p.refusal =
                "--tol: " + std::string(item.substr(0, 1)) + say(" is given twice", " 给了两次");
            return false;
        }
        p.tolerances.emplace_back(*kind, item.substr(2));
    }
    return true;
}

bool readTop(Parsed& p, const std::string&, const std::string& value) {
    const char* end = value.data() + value.size();
    const auto [ptr, ec] = std::from_chars(value.data(), end, p.request.top);
    return ec == std::errc{} && ptr == end && p.request.top >= 1 && p.request.top <= kMaxTop;
}

bool readLimit(Parsed& p, const std::string&, const std::string& value) {
    const std::optional<double> s = positiveNumber(value, kMaxLimitSeconds);
    p.limitSeconds = s.value_or(p.limitSeconds);
    return s.has_value();
}

struct Option {
    std::string_view name;
    bool takesValue;
    bool repeatable; // else "given twice"; --fix and --range are checked per name and kind later
    bool (*read)(Parsed& p, const std::string& name, const std::string& value);
    std::string_view english = {}, chinese = {}; // after the name, for a value not in its form
};

// The three series options share their form message.
constexpr const char* kSeriesForm = " wants one of E6 E12 E24 E48 E96";
constexpr const char* kSeriesFormZh = " 要 E6 E12 E24 E48 E96 之一";

const Option kOptions[] = {
    {"--help", false, true, setFlag},
    {"-h", false, true, setFlag},
    {"--json", false, true, setFlag},
    {"--closest", false, true, setFlag},
    {"--simulate", false, true, setFlag},
    {"--duty", true, false, keepDuty},
    {"--series", true, false, readSeries, kSeriesForm, kSeriesFormZh},
    {"--cseries", true, false, readSeries, kSeriesForm, kSeriesFormZh},
    {"--lseries", true, false, readSeries, kSeriesForm, kSeriesFormZh},
    {"--fix", true, true, readFix, " wants NAME=VALUE, such as C=10nF",
     " 要写成 名称=值，如 C=10nF"},
    {"--range", true, true, readRange, " wants R=1k..1M, C=100p..10u or L=1u..10m",
     " 要写成 R=1k..1M、C=100p..10u 或 L=1u..10m"},
    {"--tol", true, false, readTolerances, " wants R=5,C=10,L=10 (any of them, in percent)",
     " 要写成 R=5,C=10,L=10（任选几项，百分数）"},
    {"--top", true, false, readTop, " wants a whole number from 1 to 100", " 要 1 到 100 的整数"},
    {"--limit", true, false, readLimit, " wants seconds, more than 0 and at most 600",
     " 要大于 0、至多 600 的秒数"},
};

// Reads the options; returns the reason of a usage error, or "".
std::string parse(const std::vector<std::string>& args, Parsed& p) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A lone "-5kHz" is a (bad) frequency, not an option.
        if (optionsEnded || !(arg.starts_with("--") || arg == "-h")) {
            p.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const auto* option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                          [&](const Option& o) { return o.name == name; });
        if (option == std::end(kOptions) || (!option->takesValue && eq != std::string::npos)) {
            return say("unknown option ", "未知的选项 ") + jsonString(name);
        }
        if (option->takesValue && eq == std::string::npos && i + 1 == args.size()) {
            return name + say(" needs a value", " 需要一个值");
        }
        const std::string value = eq != std::string::npos ? arg.substr(eq + 1)
                                  : option->takesValue    ? args[++i]
                                                          : "";
        if (!option->repeatable) {
            if (std::find(p.seen.begin(), p.seen.end(), name) != p.seen.end()) {
                return name + say(" is given twice", " 给了两次");
            }
            p.seen.push_back(name);
        }
        if (!option->read(p, name, value)) {
            return !p.refusal.empty() ? p.refusal : name + say(option->english, option->chinese);
        }
    }
    return {};
}

// What applying the values found: a usage error's reason, or a value that
// cannot be read (bad input, as elsewhere in osccalc).
struct Applied {
    std::string usage;
    std::optional<calc::Problem> problem;
};

// Applies --duty, --fix, --range and --tol to the request.
Applied applyValues(Parsed& p, const std::string& id,
                    const std::vector<calc::DesignInput>& inputs) {
    calc::DesignRequest& r = p.request;
    if (p.duty) {
        if (auto problem = calc::setDuty(r, *p.duty)) {
            return {{}, std::move(problem)};
        }
    }
    for (const auto& fix : p.fixes) {
        // Named, not bound: clang 14 lets no lambda capture a structured binding.
        const std::string& name = fix.first;
        const auto input =
            std::find_if(inputs.begin(), inputs.end(),
                         [&](const calc::DesignInput& in) { return in.name == name; });
        if (input == inputs.end()) {
            std::string names;
            for (const auto& in : inputs) {
                names += " " + in.name;
            }
            return {"--fix: " + id + say(" has no input ", " 没有输入 ") + jsonString(name) +
                        say("; its inputs are", "；它的输入是") + names,
                    {}};
        }
        if (r.fixed[input->box]) {
            return {"--fix: " + name + say(" is given twice", " 给了两次"), {}};
        }
        if (auto problem = calc::setFixed(r, *input, fix.second)) {
            return {{}, std::move(problem)};
        }
    }
    std::array<bool, calc::kKinds> given{};
    for (const auto& [kind, text] : p.ranges) {
        const std::string letter(1, calc::kindLetter(kind));
        const calc::DesignInput* in = calc::inputOfKind(inputs, kind);
        if (!in) {
            return {"--range: " + id + say(" has no ", " 没有 ") + letter, {}};
        }
        if (std::exchange(given[static_cast<std::size_t>(kind)], true)) {
            return {"--range: " + letter + say(" is given twice", " 给了两次"), {}};
        }
        const std::size_t dots = text.find("..");
        if (auto problem = calc::setRange(r, *in, text.substr(0, dots), text.substr(dots + 2))) {
            return {{}, std::move(problem)};
        }
    }
    for (const auto& [kind, text] : p.tolerances) {
        if (!calc::inputOfKind(inputs, kind)) {
            return {"--tol: " + id + say(" has no ", " 没有 ") + calc::kindLetter(kind), {}};
        }
        if (auto problem = calc::setTolerance(r, kind, text)) {
            return {{}, std::move(problem)};
        }
    }
    return {};
}

std::string jsonNumber(double value) {
    return std::isfinite(value) ? calc::toText(value) : "null";
}

std::string seriesJson(const std::vector<calc::DesignInput>& inputs, const calc::DesignRequest& r) {
    std::string json;
    for (std::size_t k = 0; k < calc::kKinds; ++k) {
        const auto kind = static_cast<calc::Kind>(k);
        if (calc::inputOfKind(inputs, kind)) {
            json += (json.empty() ? "" : ",") + jsonString(std::string(1, calc::kindLetter(kind))) +
                    ":" + jsonString(calc::seriesName(r.parts[k].series));
        }
    }
    return "{" + json + "}";
}

// The result lines the window shows.
std::vector<std::string> shownLines(const std::array<std::string, 4>& lines) {
    std::vector<std::string> shown;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(shown),
                 [](const std::string& line) { return !line.empty(); });
    return shown;
}

std::string checkJson(const sim::Check& check, double targetHz) {
    if (!check.ran()) {
        return "{\"error\":" + jsonString(check.message ? check.message->chinese : "") + "}";
    }
    std::string json = "{\"starts\":" + std::string(check.starts() ? "true" : "false");
    if (check.starts()) {
        json += ",\"f_hz\":" + jsonNumber(check.frequencyHz) +
                ",\"error_percent\":" + jsonNumber((check.frequencyHz / targetHz - 1) * 100) +
                ",\"settled\":" + (check.settled ? "true" : "false") +
                ",\"confirmed\":" + (sim::confirms(check, targetHz) ? "true" : "false");
    }
    return json + "}";
}

// "仿真 f=456.9kHz (+0.41%) 起振" or "仿真：不起振"; the reason when it did not run.
std::string checkText(const sim::Check& check, double targetHz) {
    if (!check.ran()) {
        return std::string(tr("sim: -", "仿真：—"));
    }
    if (!check.starts()) {
        return std::string(tr("sim: does not start", "仿真：不起振"));
    }
    return std::string(tr("sim f=", "仿真 f=")) + calc::hzText(check.frequencyHz) + " (" +
           calc::errorText((check.frequencyHz / targetHz - 1) * 100) + ") " +
           std::string(check.settled ? tr("starts", "起振")
                                     : tr("starts, unsettled", "起振，未稳定"));
}

std::string candidateJson(const calc::Candidate& cand,
                          const std::vector<calc::CandidateColumn>& columns) {
    std::vector<std::string> inputs;
    std::string parts;
    const auto part = [&](const std::string& name, const std::string& value, bool wound, bool box) {
        parts += (parts.empty() ? "{\"name\":" : ",{\"name\":") + jsonString(name) +
                 ",\"value\":" + jsonString(value) + ",\"wound\":" + (wound ? "true" : "false") +
                 ",\"box\":" + (box ? "true}" : "false}");
    };
    std::string coil, lines, error, duty, band;
    for (const calc::CandidateColumn& column : columns) {
        const calc::DesignInput& in = column.input;
        switch (column.column) {
        case calc::Column::Part:
            inputs.push_back(cand.inputs[in.box]);
            part(in.name, calc::partText(in, cand.inputs[in.box]),
                 in.kind == calc::Kind::Inductor && cand.coil, true);
            break;
        case calc::Column::Standard:
            if (cand.coil) {
                coil = ",\"coil\":{\"standard\":" + jsonString(cand.coil->standard) +
                       ",\"lines\":" + jsonArray(shownLines(cand.coil->lines)) +
                       ",\"f_hz\":" + jsonNumber(cand.coil->frequencyHz) + "}";
            }
            break;
        case calc::Column::Lines:
            lines = ",\"lines\":" + jsonArray(shownLines(cand.lines));
            break;
        case calc::Column::Error:
            error = ",\"error_percent\":" + jsonNumber(cand.errorPercent);
            break;
        case calc::Column::Band:
            band = ",\"f_min_hz\":" + jsonNumber(cand.fMinHz) +
                   ",\"f_max_hz\":" + jsonNumber(cand.fMaxHz);
            break;
        case calc::Column::Duty:
            duty = cand.duty ? ",\"duty\":" + jsonNumber(*cand.duty) : "";
            break;
        case calc::Column::Support:
            // The rest of the circuit: not in a box, chosen by the rules.
            for (const calc::SupportPart& p : cand.support) {
                part(p.name, calc::supportText(p).substr(p.name.size() + 1), false, false);
            }
            break;
        }
    }
    const std::string impedance =
        cand.impedanceOhm ? ",\"impedance_ohm\":" + jsonNumber(*cand.impedanceOhm) : "";
    // The members in the order the README gives them.
    return "{\"inputs\":" + jsonArray(inputs) + ",\"parts\":[" + parts + "]" + lines + error +
           duty + band + impedance + coil + "}";
}

// A text row: the parts as a list, then a tab before each other field.
std::string candidateText(const calc::Candidate& cand,
                          const std::vector<calc::CandidateColumn>& columns,
                          const calc::DesignRequest& r, calc::Mode mode) {
    std::string parts, fields;
    for (const calc::CandidateColumn& column : columns) {
        const std::string cell = calc::cellText(column, cand, mode);
        switch (column.column) {
        case calc::Column::Part:
            // A wound coil's cell starts with its "≈".
            parts += (parts.empty() ? "" : " ") + column.input.name +
                     (cand.coil && column.input.kind == calc::Kind::Inductor ? "" : "=") + cell;
            break;
        case calc::Column::Standard:
            if (!cell.empty()) {
                parts += " (" +
                         std::string(calc::seriesName(
                             r.parts[static_cast<std::size_t>(calc::Kind::Inductor)].series)) +
                         ": " + cell + ")";
            }
            break;
        case calc::Column::Lines:
            for (const std::string& line : shownLines(cand.lines)) {
                fields += "\t" + line;
            }
            break;
        case calc::Column::Error:
        case calc::Column::Band:
            fields += "\t" + cell;
            break;
        case calc::Column::Duty:
            fields += cell.empty() ? "" : "\tT1/T=" + cell;
            break;
        case calc::Column::Support:
            fields += cell.empty() ? "" : "\t" + cell;
            break;
        }
    }
    return parts + fields;
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
        return usageError(err, p.positional.size() < 2
                                   ? say("CIRCUIT and FREQ are needed", "需要电路和目标频率")
                                   : say("too many arguments", "参数太多"));
    }
    const std::string& id = p.positional[0];
    const calc::CatalogueEntry* circuit = calc::entryForId(id);
    if (!circuit || circuit->kind == calc::EntryKind::Startup) {
        return usageError(err, say("unknown circuit ", "未知的电路 ") + jsonString(id));
    }
    const std::vector<calc::DesignInput> inputs = calc::designInputs(*circuit);
    if (inputs.empty()) {
        return usageError(err, id + say(" has no parts to choose (rc1..rc4, lc1..lc4 have)",
                                        " 没有可选的元件（rc1..rc4、lc1..lc4 有）"));
    }
    if (p.duty && !calc::designRules(circuit->mode)->duty) {
        return usageError(err,
                          say("--duty applies to rc2 and rc4 only", "--duty 只用于 rc2 和 rc4"));
    }
    calc::DesignResult result;
    Applied applied{{}, calc::setTarget(p.request, p.positional[1])};
    if (!applied.problem) {
        applied = applyValues(p, id, inputs);
    }
    if (!applied.usage.empty()) {
        return usageError(err, applied.usage);
    }
    if (applied.problem) {
        result.problem = applied.problem->kind;
        result.detail = *applied.problem;
        result.reason = calc::describe(result.detail, calc::Language::Chinese);
    } else {
        result = calc::design(*circuit, p.request);
    }
    std::vector<sim::Check> checks;
    std::optional<sim::Text> simulator;
    if (p.simulate && !result.candidates.empty()) {
        sim::RunControl control;
        control.limitSeconds = p.limitSeconds;
        sim::Verified verified = sim::verifyDesign(*circuit, p.request, result, control);
        checks = std::move(verified.checks);
        simulator = std::move(verified.unavailable);
    }
    const auto simulated = [&](std::size_t c) { return c < checks.size() && !simulator; };
    const std::vector<calc::CandidateColumn> columns = calc::candidateColumns(*circuit);

    if (p.json) {
        // The same in every language, as the window words it.
        std::string json = "{\"circuit\":" + jsonString(id) + ",\"target_hz\":" +
                           (applied.problem && applied.problem->field == calc::Field::Target
                                ? "null"
                                : jsonNumber(p.request.targetHz)) +
                           ",\"series\":" + seriesJson(inputs, p.request) +
                           ",\"warnings\":" + jsonArray(result.warnings);
        if (result.candidates.empty()) {
            json += ",\"error\":" + jsonString(result.reason);
            if (result.nearestDuty) {
                json += ",\"nearest_duty\":" + jsonNumber(*result.nearestDuty);
            }
        } else {
            json += ",\"candidates\":[";
            for (std::size_t c = 0; c < result.candidates.size(); ++c) {
                std::string one = candidateJson(result.candidates[c], columns);
                if (simulated(c)) {
                    one.insert(one.size() - 1,
                               ",\"simulated\":" + checkJson(checks[c], p.request.targetHz));
                }
                json += (c ? "," : "") + one;
            }
            json += "]";
            if (simulator) {
                json += ",\"simulator\":" + jsonString(simulator->chinese);
            }
        }
        out << json << "}\n";
    } else if (result.candidates.empty()) {
        // Typed text reaches the terminal escaped, as in every message.
        calc::Problem problem = result.detail;
        const std::string quoted = jsonString(problem.typed);
        problem.typed = quoted.substr(1, quoted.size() - 2);
        err << calc::describe(problem, language()) << "\n";
    } else {
        for (const std::string& warning :
             calc::warningsText(result, p.request.targetHz, language())) {
            err << tr("note: ", "注意：") << warning << "\n";
        }
        if (simulator) {
            err << tr("note: ", "注意：")
                << (language() == calc::Language::Chinese ? simulator->chinese : simulator->english)
                << "\n";
        }
        for (std::size_t c = 0; c < result.candidates.size(); ++c) {
            std::string line =
                candidateText(result.candidates[c], columns, p.request, circuit->mode);
            if (simulated(c)) {
                line += "\t" + checkText(checks[c], p.request.targetHz);
            }
            out << line << "\n";
        }
    }
    return result.candidates.empty() ? kExitBadInput : kExitOk;
}

} // namespace cli
