// osccalc design, run in-process: output forms, exit codes, and that every
// candidate's values fed back to the calculation give exactly its lines.
#include "cli/osccalc.h"

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
    std::size_t values;            // inputs the circuit uses
    std::size_t lines;             // result lines it shows
    std::size_t candidates;
};

void PrintTo(const Query& q, std::ostream* os) {
    *os << q.name;
}

class DesignLines : public ::testing::TestWithParam<Query> {};

TEST_P(DesignLines, FeedBackToTheCalculation) {
    const Query& q = GetParam();
    std::vector<std::string> args{"design"};
    args.insert(args.end(), q.args.begin(), q.args.end());
    const Ran r = osccalc(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> rows = split(r.out, '\n');
    ASSERT_EQ(rows.size(), q.candidates) << r.out;
    const std::regex error(R"([+-][0-9]+\.[0-9]+%)");
    const std::regex band(R"(f=[0-9.]+\.\.[0-9.]+(kHz|MHz))");
    for (const std::string& row : rows) {
        const std::vector<std::string> fields = split(row, '\t');
        ASSERT_EQ(fields.size(), q.values + q.lines + 2) << row;
        EXPECT_TRUE(std::regex_match(fields[q.values + q.lines], error)) << row;
        EXPECT_TRUE(std::regex_match(fields.back(), band)) << row;

        std::vector<std::string> calculation{q.args.front()};
        calculation.insert(calculation.end(), fields.begin(), fields.begin() + q.values);
        const Ran back = osccalc(calculation);
        ASSERT_EQ(back.code, 0) << back.err;
        std::string expected;
        for (std::size_t i = q.values; i < q.values + q.lines; ++i) {
            expected += fields[i] + "\n";
        }
        EXPECT_EQ(back.out, expected) << row;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Circuits, DesignLines,
    ::testing::Values(
        Query{"Timer555Duty60", {"rc4", "1kHz", "--duty", "0.6"}, 3, 4, 5},
        Query{"WienBridge", {"rc1", "1kHz"}, 2, 2, 5},
        Query{"Colpitts", {"lc4", "10.7MHz"}, 4, 2, 5},
        Query{"MultivibratorFixedCs",
              {"rc2", "440Hz", "--fix", "C1=0.1", "--fix", "C2=0.047", "--series", "E96"},
              4,
              4,
              5},
        Query{"NotGateTop8", {"rc3", "32768", "--top", "8", "--series=E48"}, 2, 2, 8},
        Query{"TransformerFeedback",
              {"lc1", "455kHz", "--cseries", "E12", "--lseries", "E24", "--tol", "L=5"},
              2,
              2,
              5},
        Query{"ColpittsWithoutC", {"lc4", "4MHz", "--fix", "C=0", "--top", "3"}, 4, 2, 3},
        Query{"Timer555PercentDuty", {"rc4", "50Hz", "--duty=75%", "--fix", "C=10"}, 3, 4, 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DesignCli, FrequencyUnits) {
    const Ran hz = osccalc({"design", "rc1", "1000"});
    ASSERT_EQ(hz.code, 0);
    for (const char* f : {"1000Hz", "1kHz", "0.001MHz", "1e3"}) {
        EXPECT_EQ(osccalc({"design", "rc1", f}).out, hz.out) << f;
    }
}

TEST(DesignCli, FixedValueAppearsInEveryRow) {
    const Ran r = osccalc({"design", "rc4", "1kHz", "--fix", "C=0.01"});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const std::string& row : split(r.out, '\n')) {
        EXPECT_EQ(split(row, '\t')[2], "0.01") << row;
    }
}

TEST(DesignCli, Json) {
    const Ran r = osccalc({"design", "rc4", "1kHz", "--duty", "0.6", "--json", "--top", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("{\"circuit\":\"rc4\",\"target_hz\":1000,"
                                  "\"series\":{\"R\":\"E24\",\"C\":\"E6\"},"
                                  "\"candidates\":[{\"inputs\":["))
        << r.out;
    EXPECT_TRUE(r.out.ends_with("}]}\n")) << r.out;
    // The same candidates as the text form, in the same order.
    const Ran text = osccalc({"design", "rc4", "1kHz", "--duty", "0.6", "--top", "2"});
    for (const std::string& row : split(text.out, '\n')) {
        const std::vector<std::string> f = split(row, '\t');
        const std::string inputs = "\"inputs\":[\"" + f[0] + "\",\"" + f[1] + "\",\"" + f[2] +
                                   "\"],\"lines\":[\"" + f[3] + "\",\"" + f[4] + "\",\"" + f[5] +
                                   "\",\"" + f[6] + "\"],\"error_percent\":";
        EXPECT_NE(r.out.find(inputs), std::string::npos) << inputs << "\n" << r.out;
    }
    for (const char* key : {"\"duty\":", "\"f_min_hz\":", "\"f_max_hz\":"}) {
        EXPECT_NE(r.out.find(key), std::string::npos) << key;
    }
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
    if (f.code == 2) {
        EXPECT_NE(r.err.find("Usage: osccalc design"), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bad, DesignFails,
    ::testing::Values(Failure{"NoArguments", {}, 2, "CIRCUIT and FREQ"},
                      Failure{"NoFrequency", {"rc4"}, 2, "CIRCUIT and FREQ"},
                      Failure{"ExtraArgument", {"rc4", "1kHz", "5"}, 2, "too many"},
                      Failure{"UnknownCircuit", {"rc9", "1kHz"}, 2, "unknown circuit"},
                      Failure{"Quartz", {"quartz1", "1kHz"}, 2, "no parts"},
                      Failure{"Help", {"help", "1kHz"}, 2, "no parts"},
                      Failure{"UnknownOption", {"rc4", "1kHz", "--fast"}, 2, "unknown option"},
                      Failure{"BadSeries", {"rc4", "1kHz", "--series", "E192"}, 2, "E6 E12"},
                      Failure{"MissingValue", {"rc4", "1kHz", "--top"}, 2, "needs a value"},
                      Failure{"TopZero", {"rc4", "1kHz", "--top", "0"}, 2, "--top"},
                      Failure{"TopHuge", {"rc4", "1kHz", "--top", "101"}, 2, "--top"},
                      Failure{"FixUnknownName", {"rc4", "1kHz", "--fix", "L=1"}, 2, "R1 R2 C"},
                      Failure{
                          "FixTwice", {"rc4", "1kHz", "--fix", "C=1", "--fix", "C=2"}, 2, "twice"},
                      Failure{"FixNoValue", {"rc4", "1kHz", "--fix", "C"}, 2, "NAME=VALUE"},
                      Failure{"DutyOnWien", {"rc1", "1kHz", "--duty", "0.5"}, 2, "rc2 and rc4"},
                      Failure{"DutyNotNumber", {"rc4", "1kHz", "--duty", "half"}, 2, "--duty"},
                      Failure{"BadTolerance", {"rc4", "1kHz", "--tol", "R=five"}, 2, "--tol"},
                      Failure{"ZeroFrequency", {"rc4", "0Hz"}, 1, "大于 0"},
                      Failure{"NegativeFrequency", {"rc4", "-5kHz"}, 1, "大于 0"},
                      Failure{"NotANumber", {"rc4", "abc"}, 1, "不是数"},
                      Failure{"NanFrequency", {"rc4", "nan"}, 1, "大于 0"},
                      Failure{"WrongUnit", {"rc4", "1khz"}, 1, "不是数"},
                      Failure{"GigahertzIsNoUnit", {"rc1", "1GHz"}, 1, "不是数"},
                      Failure{"TooHigh", {"rc1", "900MHz"}, 1, "可达范围"},
                      Failure{"Timer555Below50", {"rc4", "1kHz", "--duty", "0.4"}, 1, "50%"},
                      Failure{"DutyOne", {"rc2", "1kHz", "--duty", "1"}, 1, "0 和 1"},
                      Failure{"DutyUnreachable",
                              {"rc2", "10Hz", "--duty", "0.99", "--fix", "R1=1", "--fix", "C1=1",
                               "--fix", "C2=1"},
                              1,
                              "最接近的占空比是 0.5"},
                      Failure{"FixedLetters", {"rc4", "1kHz", "--fix", "C=abc"}, 1, "C = abc"},
                      Failure{"ToleranceTooLarge", {"rc4", "1kHz", "--tol", "C=100"}, 1, "容差"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DesignCli, HelpAndUsage) {
    const Ran help = osccalc({"design", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--cseries"), std::string::npos);
    const Ran usage = osccalc({"--help"});
    EXPECT_NE(usage.out.find("osccalc design"), std::string::npos);
}

TEST(DesignCli, ErrorInJsonGoesToStandardOutput) {
    const Ran r = osccalc({"design", "rc4", "1kHz", "--duty", "0.4", "--json"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.starts_with("{\"circuit\":\"rc4\",\"target_hz\":1000,")) << r.out;
    EXPECT_NE(r.out.find("\"error\":\""), std::string::npos) << r.out;
}

} // namespace
