// osccalc design, run in-process: output forms, exit codes, and that every
// candidate's values fed back to the calculation give exactly its lines.
#include "calc/circuitparts.h"
#include "cli/osccalc.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Ran {
    int code;
    std::string out;
    std::string err;
};

Ran osccalc(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out, err;
    const int code = cli::run(args, in, out, err);
    return {code, out.str(), err.str()};
}

std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream s(text);
    while (std::getline(s, part, sep)) {
        parts.push_back(part);
    }
    return parts;
}

struct Query {
    const char* name;
    std::vector<std::string> args; // after "design"
    std::size_t lines;             // result lines the circuit shows
    std::size_t candidates;
};

void PrintTo(const Query& q, std::ostream* os) {
    *os << q.name;
}

// The JSON arrays of strings named `key`, in order: enough for osccalc's own output.
std::vector<std::vector<std::string>> arrays(const std::string& json, const std::string& key) {
    std::vector<std::vector<std::string>> found;
    const std::regex array("\"" + key + "\":\\[([^\\]]*)\\]");
    for (std::sregex_iterator it(json.begin(), json.end(), array), end; it != end; ++it) {
        std::vector<std::string> items;
        const std::string inner = (*it)[1];
        const std::regex item("\"([^\"]*)\"");
        for (std::sregex_iterator i(inner.begin(), inner.end(), item); i != end; ++i) {
            items.push_back((*i)[1]);
        }
        found.push_back(items);
    }
    return found;
}

class DesignLines : public ::testing::TestWithParam<Query> {};

// Text rows read like a parts list; the box values of each candidate fed
// back to the calculation give exactly its lines.
TEST_P(DesignLines, FeedBackToTheCalculation) {
    const Query& q = GetParam();
    std::vector<std::string> args{"design"};
    args.insert(args.end(), q.args.begin(), q.args.end());
    const Ran r = osccalc(args);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<std::string> rows = split(r.out, '\n');
    ASSERT_EQ(rows.size(), q.candidates) << r.out;
    const std::regex parts(
        R"(([A-Z][12]?(=|≈)[0-9.]+(p|n|μ|m|k|M)?(Ω|F|H)?( \(E[0-9]+: [^)]*\))? ?)+)");
    const std::regex error(R"([+-][0-9]+\.[0-9]+%)");
    const std::regex band(R"(f=[0-9.]+\.\.[0-9.]+(kHz|MHz))");
    for (const std::string& row : rows) {
        const std::vector<std::string> fields = split(row, '\t');
        const bool support = calc::hasSupportParts(q.args.front());
        const bool duty = fields[fields.size() - 1 - support].starts_with("T1/T=");
        EXPECT_EQ(duty, q.args.front() == "rc2" || q.args.front() == "rc4") << row;
        ASSERT_EQ(fields.size(), 1 + q.lines + 2 + duty + support) << row;
        EXPECT_TRUE(std::regex_match(fields[0], parts)) << row;
        EXPECT_TRUE(std::regex_match(fields[1 + q.lines], error)) << row;
        EXPECT_TRUE(std::regex_match(fields[2 + q.lines], band)) << row;
    }

    args.push_back("--json");
    const Ran json = osccalc(args);
    ASSERT_EQ(json.code, 0) << json.err;
    const auto inputs = arrays(json.out, "inputs");
    // The standard coil's lines are not the candidate's.
    const auto lines =
        arrays(std::regex_replace(json.out, std::regex(R"("coil":\{[^}]*\})"), ""), "lines");
    ASSERT_EQ(inputs.size(), q.candidates) << json.out;
    for (std::size_t c = 0; c < inputs.size(); ++c) {
        std::vector<std::string> calculation{q.args.front()};
        calculation.insert(calculation.end(), inputs[c].begin(), inputs[c].end());
        const Ran back = osccalc(calculation);
        ASSERT_EQ(back.code, 0) << back.err;
        std::string expected;
        for (const std::string& line : lines[c]) {
            expected += line + "\n";
        }
        EXPECT_EQ(back.out, expected) << json.out;
        // The text rows show the same lines.
        EXPECT_NE(rows[c].find(lines[c].back()), std::string::npos) << rows[c];
    }
}

const Query kQueries[] = {
    {"Timer555Duty60", {"rc4", "1kHz", "--duty", "0.6"}, 4, 5},
    {"WienBridge", {"rc1", "1 kHz"}, 2, 5},
    {"Colpitts", {"lc4", "10.7MHz"}, 2, 5},
    {"MultivibratorFixedCs",
     {"rc2", "440Hz", "--fix", "C1=100n", "--fix", "C2=0.047", "--series", "E96"},
     4,
     5},
    {"NotGateTop8", {"rc3", "32.768k", "--top", "8", "--series=E48"}, 2, 8},
    {"TransformerFeedback",
     {"lc1", "455kHz", "--cseries", "E12", "--lseries", "E24", "--tol", "L=5"},
     2,
     5},
    {"ColpittsWithoutC", {"lc4", "4MHz", "--fix", "C=0", "--top", "3"}, 2, 3},
    {"CoilFixed", {"lc2", "100kHz", "--fix", "L=1mH", "--top", "2"}, 2, 2},
    {"Timer555PercentDuty", {"rc4", "30Hz", "--duty=75%", "--fix", "C=10u"}, 4, 5}};

INSTANTIATE_TEST_SUITE_P(Circuits, DesignLines, ::testing::ValuesIn(kQueries),
                         [](const auto& info) { return std::string(info.param.name); });

// The rest of the circuit: the last field of a text row, and in JSON the
// parts that are no box, each once.
TEST(DesignCli, SupportPartsInRowsAndJson) {
    const Ran text = osccalc({"design", "lc4", "455kHz", "--top", "1"});
    const Ran json = osccalc({"design", "lc4", "455kHz", "--top", "1", "--json"});
    ASSERT_EQ(text.code, 0) << text.err;
    ASSERT_EQ(json.code, 0) << json.err;
    const std::vector<std::string> fields = split(split(text.out, '\n').at(0), '\t');
    std::size_t extra = 0;
    for (const std::string& part : split(fields.back(), ' ')) {
        const std::string name = part.substr(0, part.find('='));
        const std::string entry = "{\"name\":\"" + name + "\",\"value\":\"" +
                                  part.substr(name.size() + 1) +
                                  "\",\"wound\":false,\"box\":false}";
        EXPECT_NE(json.out.find(entry), std::string::npos) << entry << "\n" << json.out;
        ++extra;
    }
    EXPECT_GE(extra, 4u) << fields.back(); // Rb1, Rb2, Re, Cb at least
    std::size_t boxless = 0;
    for (std::size_t at = 0; (at = json.out.find("\"box\":false", at)) != std::string::npos; ++at) {
        ++boxless;
    }
    EXPECT_EQ(boxless, extra);
}

// --simulate: every row ends with the simulated figure, the first within 5 %
// of the target; the candidate rows stay those of the formula otherwise.
TEST(DesignCli, SimulateConfirmsTheFirstRow) {
#ifdef OSC_NO_SIMULATOR
    GTEST_SKIP() << "this build has no osc-spice to simulate with";
#endif
    const Ran plain = osccalc({"design", "lc4", "455kHz", "--top", "3"});
    const Ran simulated =
        osccalc({"design", "lc4", "455kHz", "--top", "3", "--simulate", "--limit", "120"});
    ASSERT_EQ(simulated.code, 0) << simulated.err;
    const std::vector<std::string> rows = split(simulated.out, '\n');
    const std::vector<std::string> formula = split(plain.out, '\n');
    ASSERT_EQ(rows.size(), formula.size());
    const std::regex figure(
        R"((sim f=[0-9.]+ [kM]?Hz \(([+-][0-9.]+)%\) starts(, unsettled)?|sim: does not start))");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string last = rows[i].substr(rows[i].rfind('\t') + 1);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(last, m, figure)) << rows[i];
        if (i == 0) {
            ASSERT_TRUE(m[2].matched) << rows[i];
            EXPECT_LE(std::abs(std::stod(m[2].str())), 5.0) << rows[i];
        }
        EXPECT_NE(plain.out.find(rows[i].substr(0, rows[i].rfind('\t'))), std::string::npos)
            << rows[i];
    }
    const Ran json = osccalc(
        {"design", "lc4", "455kHz", "--top", "1", "--simulate", "--limit", "120", "--json"});
    EXPECT_NE(json.out.find("\"simulated\":{\"starts\":true,\"f_hz\":"), std::string::npos)
        << json.out;
}

// --series picks the resistors, --cseries the capacitors: an E6 part is
// always one of E6's six mantissas, which few E96 members are.
TEST(DesignCli, EachSeriesOptionPicksItsOwnParts) {
    const std::regex e6Part(
        R"(=(1|1\.5|2\.2|3\.3|4\.7|6\.8|10|15|22|33|47|68|100|150|220|330|470|680)[pnμmk]?(Ω|F)$)");
    for (const auto& [option, part] : {std::pair{"--series", "R1"}, std::pair{"--cseries", "C1"}}) {
        const std::string other = std::string(option) == "--series" ? "--cseries" : "--series";
        const Ran r = osccalc({"design", "rc1", "1k", option, "E6", other, "E96"});
        ASSERT_EQ(r.code, 0) << r.err;
        bool otherBeyondE6 = false;
        for (const std::string& row : split(r.out, '\n')) {
            const std::vector<std::string> parts = split(row.substr(0, row.find('\t')), ' ');
            ASSERT_EQ(parts.size(), 2u) << row;
            const bool resistor = part[0] == 'R';
            EXPECT_TRUE(std::regex_search(parts[resistor ? 0 : 1], e6Part))
                << option << ": " << row;
            otherBeyondE6 = otherBeyondE6 || !std::regex_search(parts[resistor ? 1 : 0], e6Part);
        }
        EXPECT_TRUE(otherBeyondE6) << other << " E96 was not used: " << r.out;
    }
}

TEST(DesignCli, FrequencyUnits) {
    const Ran hz = osccalc({"design", "rc1", "1000"});
    ASSERT_EQ(hz.code, 0);
    for (const char* f : {"1000Hz", "1kHz", "1k", "1 kHz", "1KHz", "0.001MHz", "1e3"}) {
        EXPECT_EQ(osccalc({"design", "rc1", f}).out, hz.out) << f;
    }
}

TEST(DesignCli, FixedValueAndRange) {
    const Ran r = osccalc({"design", "rc4", "1kHz", "--fix", "C=10n", "--range", "R=10k..100k"});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const std::string& row : split(r.out, '\n')) {
        EXPECT_NE(row.find(" C=10nF\t"), std::string::npos) << row;
        for (const char* out : {"=1kΩ", "=9.1kΩ", "=110kΩ", "MΩ"}) {
            EXPECT_EQ(row.find(out), std::string::npos) << row;
        }
    }
}

TEST(DesignCli, Json) {
    const Ran r = osccalc({"design", "lc1", "455kHz", "--json", "--top", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("{\"circuit\":\"lc1\",\"target_hz\":455000,"
                                  "\"series\":{\"C\":\"E6\",\"L\":\"E12\"},\"warnings\":[],"
                                  "\"candidates\":[{\"inputs\":["))
        << r.out;
    EXPECT_TRUE(r.out.ends_with("}]}\n")) << r.out;
    for (const char* key :
         {"\"parts\":[{\"name\":\"L\",\"value\":\"", "\"wound\":true",
          "\"f_min_hz\":", "\"f_max_hz\":", "\"impedance_ohm\":", "\"coil\":{\"standard\":"}) {
        EXPECT_NE(r.out.find(key), std::string::npos) << key;
    }
    const Ran warned = osccalc({"design", "rc4", "400kHz", "--json", "--top", "1"});
    EXPECT_NE(warned.out.find("\"warnings\":[\"目标 400 kHz"), std::string::npos) << warned.out;
    EXPECT_NE(warned.out.find("\"duty\":"), std::string::npos) << warned.out;
}

struct Failure {
    const char* name;
    std::vector<std::string> args; // after "design"
    int code;
    const char* says; // in the reason on standard error
};

void PrintTo(const Failure& f, std::ostream* os) {
    *os << f.name;
}

class DesignFails : public ::testing::TestWithParam<Failure> {};

TEST_P(DesignFails, WithAReasonAndExitCode) {
    const Failure& f = GetParam();
    std::vector<std::string> args{"design"};
    args.insert(args.end(), f.args.begin(), f.args.end());
    const Ran r = osccalc(args);
    EXPECT_EQ(r.code, f.code) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(f.says), std::string::npos) << r.err;
    // An echo is bounded, however long the text typed.
    EXPECT_LT(r.err.size(), 1000u) << r.err;
    if (f.code == 2) {
        EXPECT_NE(r.err.find("Usage: osccalc design"), std::string::npos) << r.err;
    }
}

const Failure kFailures[] = {
    {"NoArguments", {}, 2, "CIRCUIT and FREQ"},
    {"NoFrequency", {"rc4"}, 2, "CIRCUIT and FREQ"},
    {"ExtraArgument", {"rc4", "1kHz", "5"}, 2, "too many"},
    {"UnknownCircuit", {"rc9", "1kHz"}, 2, "unknown circuit"},
    {"Quartz", {"quartz1", "1kHz"}, 2, "no parts"},
    {"Help", {"help", "1kHz"}, 2, "no parts"},
    {"UnknownOption", {"rc4", "1kHz", "--fast"}, 2, "unknown option"},
    {"BadSeries", {"rc4", "1kHz", "--series", "E192"}, 2, "E6 E12"},
    {"MissingValue", {"rc4", "1kHz", "--top"}, 2, "needs a value"},
    {"TopZero", {"rc4", "1kHz", "--top", "0"}, 2, "--top"},
    {"TopHuge", {"rc4", "1kHz", "--top", "101"}, 2, "--top"},
    {"FixUnknownName", {"rc4", "1kHz", "--fix", "L=1"}, 2, "R1 R2 C"},
    {"FixTwice", {"rc4", "1kHz", "--fix", "C=1", "--fix", "C=2"}, 2, "twice"},
    {"FixNoValue", {"rc4", "1kHz", "--fix", "C"}, 2, "NAME=VALUE"},
    {"DutyOnWien", {"rc1", "1kHz", "--duty", "0.5"}, 2, "rc2 and rc4"},
    {"DutyNotNumber", {"rc4", "1kHz", "--duty", "half"}, 1, "the duty \"half\""},
    {"BadTolerance", {"rc4", "1kHz", "--tol", "R=five"}, 1, "tolerance \"five\""},
    {"ZeroFrequency", {"rc4", "0Hz"}, 1, "above 0"},
    {"NegativeFrequency", {"rc4", "-5kHz"}, 1, "cannot read the target"},
    {"NotANumber", {"rc4", "abc"}, 1, "1.5MHz"},
    {"WrongUnit", {"rc4", "1kz"}, 1, "cannot read the target"},
    {"ControlsEscaped", {"rc4", "\x1b]0;x\a"}, 1, "\\u001b]0;x\\u0007"},
    {"RepeatedOption", {"rc4", "1kHz", "--top", "2", "--top", "3"}, 2, "twice"},
    {"RangeOfAbsentKind", {"rc4", "1kHz", "--range", "L=1u..1m"}, 2, "no L"},
    {"RangeNotLowHigh", {"rc4", "1kHz", "--range", "R=1k-1M"}, 2, "LOW..HIGH"},
    {"RangeUpsideDown", {"rc4", "1kHz", "--range", "R=1M..1k"}, 1, "range of R"},
    {"NoSoundDesign", {"rc4", "1kHz", "--fix", "R1=3.3M"}, 1, "No sound design"},
    {"GigahertzOutOfReach", {"rc1", "1GHz"}, 1, "out of reach"},
    {"Timer555Below50", {"rc4", "1kHz", "--duty", "0.4"}, 1, "50 %"},
    {"DutyOne", {"rc2", "1kHz", "--duty", "1"}, 1, "between 0 and 1"},
    {"DutyUnreachable",
     {"rc2", "20Hz", "--duty", "0.99", "--fix", "R1=10", "--fix", "C1=1", "--fix", "C2=1"},
     1,
     "the nearest duty is 0.5"},
    {"FixedLetters", {"rc4", "1kHz", "--fix", "C=abc"}, 1, "C=\"abc\""},
    {"FixedTooLong", {"rc4", "1kHz", "--fix", "C=1.23456p"}, 1, "C=\"1.23456p\""},
    {"ToleranceTooLarge", {"rc4", "1kHz", "--tol", "C=100"}, 1, "tolerance"},
    // Out-of-range numbers: the kind of fault, the text as typed, and
    // one exit code for every bad value.
    {"TargetBeyondDouble", {"rc1", "1e309"}, 1, "\"1e309\" is too large"},
    {"TargetBelowDouble", {"rc1", "1e-400"}, 1, "\"1e-400\" is too small"},
    {"FixedBeyondBox", {"rc1", "1k", "--fix", "R1=1e9999"}, 1, "\"1e9999\" is too large"},
    {"DutyBeyondDouble", {"rc2", "1k", "--duty", "1e309"}, 1, "too large"},
    {"DutyInfinite", {"rc2", "1k", "--duty", "inf"}, 1, "the duty \"inf\""},
    {"RangeNegative", {"rc4", "1k", "--range", "R=-1..1M"}, 1, "\"-1\" of R"},
    {"RangeThreeDots", {"rc4", "1k", "--range", "R=1k...1M"}, 2, "--range wants"},
    {"ToleranceTwice", {"rc4", "1k", "--tol", "R=5,R=6"}, 2, "twice"},
    {"ToleranceOfAbsentKind", {"rc1", "1k", "--tol", "L=10"}, 2, "has no L"},
    {"ToleranceTrailingComma", {"rc1", "1k", "--tol", "R=5,"}, 2, "--tol wants"},
    {"ToleranceLeadingComma", {"rc1", "1k", "--tol", ",R=5"}, 2, "--tol wants"},
    // The rules' square wave cannot come near the target: said at once.
    {"NoSoundDesignWithin",
     {"rc2", "1", "--series", "E96", "--cseries", "E96", "--fix", "C2=100p"},
     1,
     "No sound design: with T1/T within"},
    // A base resistor below 10·Rc never lets the multivibrator start.
    {"FixedResistorThatCannotStart",
     {"rc2", "1k", "--series", "E96", "--cseries", "E96", "--fix", "R1=4k7"},
     1,
     "no combination obeys"}};

INSTANTIATE_TEST_SUITE_P(Bad, DesignFails, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DesignCli, HelpAndUsage) {
    const Ran help = osccalc({"design", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(osccalc({"design", "-h"}).out, help.out);
    // The rules of every circuit that computes, and every exit status.
    for (const char* id : {"rc1", "rc2", "rc3", "rc4", "lc1", "lc2", "lc3", "lc4"}) {
        EXPECT_NE(help.out.find("\n  " + std::string(id) + " "), std::string::npos) << id;
    }
    EXPECT_NE(help.out.find("3 writing"), std::string::npos);
    const Ran usage = osccalc({"--help"});
    EXPECT_NE(usage.out.find("osccalc design"), std::string::npos);
}

#ifndef _WIN32
// Help and usage errors in the user's language (on Linux, the locale
// variables); what scripts read is the same in every language.
TEST(DesignCli, HelpAndUsageErrorsFollowTheUsersLanguage) {
    const char* saved = std::getenv("LC_ALL");
    const std::string before = saved ? saved : "";
    const auto in = [](const char* locale, std::vector<std::string> args, std::string input = "") {
        setenv("LC_ALL", locale, 1);
        std::istringstream stdinText(input);
        std::ostringstream out, err;
        cli::run(args, stdinText, out, err);
        return out.str() + err.str();
    };
    const struct {
        std::vector<std::string> args;
        const char* english;
        const char* chinese;
    } rows[] = {{{"--help"}, "Usage: osccalc", "用法：osccalc"},
                {{"design", "--help"}, "The rules of a sound design", "各电路的设计规则"},
                {{"--fast"}, "unknown option", "未知的选项"},
                {{"rc1", "1", "1", "1", "1", "1"}, "too many values", "数值太多"},
                {{"design", "rc4", "1kz"}, "cannot read the target", "目标频率 “1kz” 读不出来"},
                {{"design", "rc4", "1k", "--fix", "X=1"}, "has no input", "没有输入"},
                // The core's reasons and warnings too.
                {{"design", "rc4", "1kHz", "--duty", "0.3"}, "always above 50 %", "总大于 50%"},
                {{"design", "rc4", "400kHz", "--top", "1"},
                 "note: The target 400 kHz",
                 "注意：目标 400 kHz"}};
    for (const auto& row : rows) {
        EXPECT_NE(in("C.UTF-8", row.args).find(row.english), std::string::npos) << row.english;
        const std::string zh = in("zh_CN.UTF-8", row.args);
        EXPECT_NE(zh.find(row.chinese), std::string::npos) << zh;
        EXPECT_EQ(zh.find(row.english), std::string::npos) << zh;
    }
    EXPECT_EQ(in("zh_CN.UTF-8", {"-"}, "rc9 1\n"), in("C.UTF-8", {"-"}, "rc9 1\n"));
    EXPECT_EQ(in("zh_CN.UTF-8", {"--json", "design", "rc4", "1k"}),
              in("C.UTF-8", {"--json", "design", "rc4", "1k"}));
    if (saved) {
        setenv("LC_ALL", before.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}
#endif

TEST(DesignCli, ErrorInJsonGoesToStandardOutput) {
    const Ran r = osccalc({"design", "rc4", "1kHz", "--duty", "0.4", "--json"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.starts_with("{\"circuit\":\"rc4\",\"target_hz\":1000,")) << r.out;
    EXPECT_NE(r.out.find("\"error\":\""), std::string::npos) << r.out;
}

} // namespace
