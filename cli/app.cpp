#include "cli/app.h"

#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/inputlimit.h"
#include "cli/design.h"
#include "cli/json.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <string_view>

#ifndef OSCCALC_VERSION
#define OSCCALC_VERSION "unknown"
#endif

namespace cli {

namespace {

constexpr std::size_t kMaxValues = 4;

// The catalogue also holds the window's start-up state and the help page;
// neither is a circuit one can calculate.
bool isCircuit(const calc::CatalogueEntry& entry) {
    return entry.id != "startup" && entry.id != "help";
}

const calc::CatalogueEntry* circuitForId(std::string_view id) {
    const calc::CatalogueEntry* entry = calc::entryForId(id);
    return entry && isCircuit(*entry) ? entry : nullptr;
}

std::string circuitIds() {
    std::string ids;
    for (const auto& entry : calc::kCatalogue) {
        if (isCircuit(entry)) {
            ids += ids.empty() ? "" : " ";
            ids += entry.id;
        }
    }
    return ids;
}

void printUsage(std::ostream& os) {
    os << "Usage: osccalc [--json] CIRCUIT [V1 [V2 [V3 [V4]]]]\n"
          "       osccalc [--json] -\n"
          "       osccalc design CIRCUIT FREQ [options]   (see osccalc design --help)\n"
          "       osccalc --list | --help | --version\n"
          "CIRCUIT is one of: "
       << circuitIds() << "\n";
}

void printHelp(std::ostream& os) {
    os << "osccalc: period and frequency of ten oscillator circuits, as the window of\n"
          "振荡电路计算器 computes them.\n\n";
    printUsage(os);
    os << R"(
  CIRCUIT V1..V4  The values go into inputs 1 to 4 in order (missing ones are
                  empty). Prints the result lines as the window shows them, one
                  a line; a quartz circuit prints 不用计算！. Bad input prints
                  输入的数据有错误！ on standard error.
  -               Reads one calculation per line from standard input: the
                  circuit and its values separated by spaces or tabs. Answers
                  each on one line: the result lines separated by tabs, or the
                  message, or "error: ..." for an unknown circuit or more than
                  four values. Blank lines are skipped.
  --json          Answers with one JSON object (one per line with -), on
                  standard output also for bad input:
                    {"circuit":"rc1","inputs":["1","1"],"lines":["T=...","f=..."]}
                  where "lines" is replaced by "message" (不用计算！), "error"
                  (输入的数据有错误！) or, with -, "usage" (the reason).
  --list          Lists the circuits, one a line: id, menu caption and the
                  inputs with their units, separated by tabs.
  --help, -h      Shows this text.
  --version       Shows the version.
  --              Ends the options.

Values are checked as in the window: a value the circuit uses must be digits
with at most one point, and their product must not be zero (lc4's C may be 0).
No value may be longer than the window's boxes (10 characters), whatever the
circuit, quartz included.

Exit status: 0 results or 不用计算！; 1 bad input (with -: some line had bad
input); 2 usage error (with -: some line had an unknown circuit or too many
values).
)";
}

int usageError(std::ostream& err, std::string_view reason) {
    err << "osccalc: " << reason << "\n";
    printUsage(err);
    return kExitUsage;
}

void printList(std::ostream& out) {
    for (const auto& entry : calc::kCatalogue) {
        if (!isCircuit(entry)) {
            continue;
        }
        out << entry.id << '\t' << entry.menuCaption;
        for (const auto caption : entry.captions) {
            if (caption != calc::kNone) {
                out << '\t' << caption;
            }
        }
        out << '\n';
    }
}

// What one calculation came to.
struct Outcome {
    enum class Kind { Lines, Message, BadInput, Usage };
    Kind kind;
    std::vector<std::string> lines; // Lines: the non-empty result lines
    std::string text;               // the message, or the reason of a usage error

    int exitCode() const {
        switch (kind) {
        case Kind::BadInput:
            return kExitBadInput;
        case Kind::Usage:
            return kExitUsage;
        default:
            return kExitOk;
        }
    }
};

Outcome evaluate(std::string_view id, const std::vector<std::string>& values) {
    const calc::CatalogueEntry* entry = circuitForId(id);
    if (!entry) {
        return {Outcome::Kind::Usage, {}, "unknown circuit \"" + std::string(id) + "\""};
    }
    if (values.size() > kMaxValues) {
        return {Outcome::Kind::Usage, {}, "too many values (at most 4)"};
    }
    // The window's boxes cannot hold a longer text, whatever the circuit, so
    // such a value is bad input even where the calculation would ignore it.
    calc::Inputs inputs;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!calc::fitsBox(values[i])) {
            return {Outcome::Kind::BadInput, {}, calc::kInputError};
        }
        inputs[i] = values[i];
    }
    const calc::Answer answer = calc::calculate(entry->mode, inputs);
    if (answer.message) {
        const bool bad = *answer.message == calc::kInputError;
        return {bad ? Outcome::Kind::BadInput : Outcome::Kind::Message, {}, *answer.message};
    }
    Outcome outcome{Outcome::Kind::Lines, {}, {}};
    for (const auto& line : answer.lines) {
        // Empty and unchanged lines are not shown by the window after this answer.
        if (line && !line->empty()) {
            outcome.lines.push_back(*line);
        }
    }
    return outcome;
}

std::string toJson(std::string_view id, const std::vector<std::string>& values,
                   const Outcome& outcome) {
    std::string json = "{\"circuit\":" + jsonString(id) + ",\"inputs\":[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0) {
            json += ',';
        }
        json += jsonString(values[i]);
    }
    json += "],";
    switch (outcome.kind) {
    case Outcome::Kind::Lines:
        json += "\"lines\":[";
        for (std::size_t i = 0; i < outcome.lines.size(); ++i) {
            if (i != 0) {
                json += ',';
            }
            json += jsonString(outcome.lines[i]);
        }
        json += "]";
        break;
    case Outcome::Kind::Message:
        json += "\"message\":" + jsonString(outcome.text);
        break;
    case Outcome::Kind::BadInput:
        json += "\"error\":" + jsonString(outcome.text);
        break;
    case Outcome::Kind::Usage:
        json += "\"usage\":" + jsonString(outcome.text);
        break;
    }
    return json + "}";
}

int calculateArguments(const std::vector<std::string>& positional, bool json, std::ostream& out,
                       std::ostream& err) {
    const std::string& id = positional.front();
    const std::vector<std::string> values(positional.begin() + 1, positional.end());
    const Outcome outcome = evaluate(id, values);
    if (outcome.kind == Outcome::Kind::Usage) {
        return usageError(err, outcome.text);
    }
    if (json) {
        out << toJson(id, values, outcome) << '\n';
    } else if (outcome.kind == Outcome::Kind::Lines) {
        for (const auto& line : outcome.lines) {
            out << line << '\n';
        }
    } else {
        (outcome.kind == Outcome::Kind::BadInput ? err : out) << outcome.text << '\n';
    }
    return outcome.exitCode();
}

std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (true) {
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string_view::npos) {
            return fields;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", pos), line.size());
        fields.emplace_back(line.substr(pos, end - pos));
        pos = end;
    }
}

int calculateLines(std::istream& in, bool json, std::ostream& out) {
    int code = kExitOk;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::vector<std::string> fields = splitFields(line);
        if (fields.empty()) {
            continue;
        }
        const std::string id = fields.front();
        fields.erase(fields.begin());
        const Outcome outcome = evaluate(id, fields);
        if (json) {
            out << toJson(id, fields, outcome);
        } else if (outcome.kind == Outcome::Kind::Lines) {
            for (std::size_t i = 0; i < outcome.lines.size(); ++i) {
                out << (i ? "\t" : "") << outcome.lines[i];
            }
        } else {
            out << (outcome.kind == Outcome::Kind::Usage ? "error: " : "") << outcome.text;
        }
        // Flushed line by line, so that a script can talk to osccalc through a pipe.
        out << '\n' << std::flush;
        code = std::max(code, outcome.exitCode());
    }
    return code;
}

} // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err) {
    if (!args.empty() && args.front() == "design") {
        return runDesign({args.begin() + 1, args.end()}, out, err);
    }
    bool help = false;
    bool version = false;
    bool list = false;
    bool json = false;
    bool optionsEnded = false;
    std::vector<std::string> positional;
    for (const std::string& arg : args) {
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || (arg == "-h" && positional.empty())) {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg.starts_with("--") || positional.empty()) {
            return usageError(err, "unknown option \"" + arg + "\"");
        } else {
            // A value such as "-1": the calculation rejects it as bad input.
            positional.push_back(arg);
        }
    }

    if (help) {
        printHelp(out);
        return kExitOk;
    }
    if (version) {
        out << "osccalc " OSCCALC_VERSION "\n";
        return kExitOk;
    }
    if (list) {
        if (json || !positional.empty()) {
            return usageError(err, "--list takes no other arguments");
        }
        printList(out);
        return kExitOk;
    }
    if (positional.empty()) {
        return usageError(err, "no circuit given");
    }
    if (positional.front() == "-") {
        if (positional.size() > 1) {
            return usageError(err, "- takes no values");
        }
        return calculateLines(in, json, out);
    }
    return calculateArguments(positional, json, out, err);
}

} // namespace cli
