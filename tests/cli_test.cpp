// End-to-end tests of osccalc: the real executable, its output and exit codes.
#include "tests/cli_run.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

using clitest::Outcome;
using clitest::runCli;

constexpr const char* kInputError = "输入的数据有错误！\n";
constexpr const char* kNoCalculation = "不用计算！\n";

std::string g15(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.15g", v);
    return b;
}

// lc4 1 0 2 2: the capacitance sum is (2 + 0) + 2*2/(2+2) = 3 pF.
const double kLc4Period = 6.2832 * std::sqrt(3.0) / 1000.0;
const std::string kLc4 = "T=" + g15(kLc4Period) + "μs\nf=" + g15(1.0 / kLc4Period) + "MHz\n";
const std::string kWien = "T=6.2832ms\nf=0.159154570919277kHz\n";
const std::string k555 = "T1=13.86ms\nT2=6.93ms\nT=20.79ms\nf=0.0481000481000481kHz\n";

struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Calculation : public ::testing::TestWithParam<Case> {};

TEST_P(Calculation, PrintsWhatTheWindowShows) {
    if (!clitest::commandLineCarries(GetParam().args)) {
        GTEST_SKIP() << "malformed UTF-8 other than a lone surrogate cannot be passed";
    }
    const Outcome r = runCli(GetParam().args);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_EQ(r.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Calculation,
    ::testing::Values(Case{"rc1", {"rc1", "1", "1"}, 0, kWien, ""},
                      Case{"rc2",
                           {"rc2", "1", "2", "1", "1"},
                           0,
                           "T1=0.693ms\nT2=1.386ms\nT=2.079ms\nf=0.481000481000481kHz\n",
                           ""},
                      Case{"rc3", {"rc3", "1", "1"}, 0, "T=2.197ms\nf=0.455166135639508kHz\n", ""},
                      Case{"rc4", {"rc4", "10", "10", "1"}, 0, k555, ""},
                      Case{"lc1", {"lc1", "1000", "1"}, 0, kWien, ""},
                      Case{"lc2", {"lc2", "1000", "1"}, 0, kWien, ""},
                      Case{"lc3", {"lc3", "1000", "1"}, 0, kWien, ""},
                      Case{"lc4", {"lc4", "1", "0", "2", "2"}, 0, kLc4, ""},
                      Case{"quartz1", {"quartz1"}, 0, kNoCalculation, ""},
                      Case{"quartz2WithValues", {"quartz2", "x", "-1"}, 0, kNoCalculation, ""},
                      Case{"UnusedValuesIgnored", {"rc1", "1", "1", "abc", "-5"}, 0, kWien, ""},
                      Case{"TenCharacters", {"rc1", "0000000001", "1.00000000"}, 0, kWien, ""},
                      // Ten two-byte characters are ten characters, not twenty.
                      Case{
                          "TenWideCharactersUnused", {"rc1", "1", "1", "μμμμμμμμμμ"}, 0, kWien, ""},
                      Case{"OptionsEnded", {"--", "rc1", "1", "1"}, 0, kWien, ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    BadInput, Calculation,
    ::testing::Values(
        Case{"Zero", {"rc1", "0", "1"}, 1, "", kInputError},
        Case{"LonePoint", {"rc1", "1", "."}, 1, "", kInputError},
        Case{"Negative", {"rc1", "-1", "1"}, 1, "", kInputError},
        Case{"Empty", {"rc1", "", "1"}, 1, "", kInputError},
        Case{"Missing", {"rc1", "1"}, 1, "", kInputError},
        Case{"NoValues", {"rc4"}, 1, "", kInputError},
        Case{"ElevenCharacters", {"rc1", "12345678901", "1"}, 1, "", kInputError},
        Case{"ElevenCharactersUnused", {"rc1", "1", "1", "12345678901"}, 1, "", kInputError},
        Case{"ElevenCharactersQuartz", {"quartz1", "12345678901"}, 1, "", kInputError},
        Case{"MalformedUtf8Unused", {"rc1", "1", "1", "\xff"}, 1, "", kInputError},
        Case{"FullWidthDigit", {"rc3", "１", "1"}, 1, "", kInputError},
        // A lone surrogate (in its three-byte form): no text, so no box holds it.
        Case{"LoneSurrogateUnused", {"rc1", "1", "1", "\xED\xB3\xBF"}, 1, "", kInputError},
        Case{"ZeroInRc2", {"rc2", "1", "0", "1", "1"}, 1, "", kInputError},
        Case{"MinusInLc4", {"lc4", "1", "0", "2", "-2"}, 1, "", kInputError},
        Case{"MissingC2InLc4", {"lc4", "1", "0", "2"}, 1, "", kInputError}),
    [](const auto& info) { return std::string(info.param.name); });

class UsageError : public ::testing::TestWithParam<Case> {};

TEST_P(UsageError, PrintsUsageOnStandardErrorAndExitsTwo) {
    const Outcome r = runCli(GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Usage: osccalc"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(GetParam().err), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageError,
    ::testing::Values(Case{"NoArguments", {}, 2, "", "no circuit"},
                      Case{"UnknownCircuit", {"rc5", "1", "1"}, 2, "", "unknown circuit \"rc5\""},
                      Case{"UnknownCircuitInChinese", {"电路"}, 2, "", "unknown circuit \"电路\""},
                      Case{"CaseMatters", {"RC1", "1", "1"}, 2, "", "unknown circuit"},
                      Case{"StartupIsNoCircuit", {"startup", "1", "1"}, 2, "", "unknown circuit"},
                      Case{"HelpIsNoCircuit", {"help"}, 2, "", "unknown circuit"},
                      Case{"TooManyValues", {"rc2", "1", "1", "1", "1", "1"}, 2, "", "too many"},
                      Case{"UnknownOption", {"--bogus", "rc1", "1", "1"}, 2, "", "--bogus"},
                      Case{"UnknownOptionAfterCircuit", {"rc1", "1", "1", "--x"}, 2, "", "--x"},
                      Case{"UnknownShortOption", {"-x"}, 2, "", "-x"},
                      Case{"ListWithCircuit", {"--list", "rc1"}, 2, "", "--list"},
                      Case{"ListWithJson", {"--list", "--json"}, 2, "", "--list"},
                      Case{"StdinWithValues", {"-", "1"}, 2, "", "- takes no values"},
                      Case{"JsonAlone", {"--json"}, 2, "", "no circuit"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cli, HelpAndVersion) {
    for (const char* help : {"--help", "-h"}) {
        const Outcome r = runCli({help});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("osccalc: ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("Exit status"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    // --help wins over a calculation.
    EXPECT_EQ(runCli({"rc1", "0", "--help"}).status, 0);
    const Outcome v = runCli({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "osccalc " OSC_VERSION "\n");
}

TEST(Cli, ListsTheTenCircuitsWithTheirInputs) {
    const Outcome r = runCli({"--list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> lines;
    std::string ids;
    for (std::size_t pos = 0; pos < r.out.size();) {
        const std::size_t end = r.out.find('\n', pos);
        ASSERT_NE(end, std::string::npos) << "last line unterminated";
        lines.push_back(r.out.substr(pos, end - pos));
        ids += lines.back().substr(0, lines.back().find('\t')) + " ";
        pos = end + 1;
    }
    EXPECT_EQ(ids, "rc1 rc2 rc3 rc4 lc1 lc2 lc3 lc4 quartz1 quartz2 ");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "rc1\tRC正弦波振荡电路（文氏电桥）\tR1 (kΩ)\tC1 (μF)");
    EXPECT_EQ(lines[3], "rc4\tRC多谐振荡电路（NE555)\tR1 (kΩ)\tR2 (kΩ)\tC (μF)");
    EXPECT_EQ(lines[7], "lc4\tLC振荡电路（电容三点式）\tL (μH)\tC (pF)\tC1 (pF)\tC2 (pF)");
    EXPECT_EQ(lines[8], "quartz1\t石英晶体振荡电路一");
}

INSTANTIATE_TEST_SUITE_P(
    Json, Calculation,
    ::testing::Values(
        Case{"Lines",
             {"--json", "rc4", "10", "10", "1"},
             0,
             R"({"circuit":"rc4","inputs":["10","10","1"],"lines":["T1=13.86ms","T2=6.93ms",)"
             R"("T=20.79ms","f=0.0481000481000481kHz"]})"
             "\n",
             ""},
        Case{"Message",
             {"quartz1", "--json"},
             0,
             R"({"circuit":"quartz1","inputs":[],"message":"不用计算！"})"
             "\n",
             ""},
        // Bad input stays on standard output, where the script reads the object.
        Case{"BadInput",
             {"--json", "rc1", "0", ""},
             1,
             R"({"circuit":"rc1","inputs":["0",""],"error":"输入的数据有错误！"})"
             "\n",
             ""},
        Case{"Escapes",
             {"--json", "rc1", "1", "1", "a\"\\\x01\n", "\xff"},
             1,
             R"({"circuit":"rc1","inputs":["1","1","a\"\\\u0001\n","\ufffd"],)"
             R"("error":"输入的数据有错误！"})"
             "\n",
             ""},
        // The arguments arrive as typed, not as the nearest ANSI character.
        Case{"FullWidthDigitEchoed",
             {"--json", "rc3", "１", "1"},
             1,
             R"({"circuit":"rc3","inputs":["１","1"],"error":"输入的数据有错误！"})"
             "\n",
             ""},
        Case{"MicroEchoed",
             {"--json", "rc1", "1", "1", "μ", "Ω"},
             0,
             R"({"circuit":"rc1","inputs":["1","1","μ","Ω"],)"
             R"("lines":["T=6.2832ms","f=0.159154570919277kHz"]})"
             "\n",
             ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cli, StandardInputAnswersEachLineOnALineOfItsOwn) {
    // Blank lines skipped, runs of spaces and tabs, CRLF, no final newline.
    const Outcome r = runCli({"-"}, "rc1 1 1\n\n   \nrc4 10 10 1\nrc1 0 1\nquartz2\n"
                                    "  lc1 \t 1000\t1  \r\nlc4 1 0 2 2");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, std::string("T=6.2832ms\tf=0.159154570919277kHz\n"
                                 "T1=13.86ms\tT2=6.93ms\tT=20.79ms\tf=0.0481000481000481kHz\n"
                                 "输入的数据有错误！\n不用计算！\n"
                                 "T=6.2832ms\tf=0.159154570919277kHz\n") +
                         "T=" + g15(kLc4Period) + "μs\tf=" + g15(1.0 / kLc4Period) + "MHz\n");
}

TEST(Cli, StandardInputExitCodeIsTheWorstLine) {
    const Outcome good = runCli({"-"}, "rc1 1 1\nquartz1\n");
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, "T=6.2832ms\tf=0.159154570919277kHz\n不用计算！\n");

    // A usage error answers its own line and the rest is still calculated.
    const Outcome usage = runCli({"-"}, "xyz 1\nrc1 0 1\nrc1 1 1 1 1 1\nrc3 1 1\n");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "");
    EXPECT_EQ(usage.out, "error: unknown circuit \"xyz\"\n输入的数据有错误！\n"
                         "error: too many values (at most 4)\n"
                         "T=2.197ms\tf=0.455166135639508kHz\n");

    const Outcome empty = runCli({"-"}, "");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
}

TEST(Cli, StandardInputWithJsonAnswersOneObjectPerLine) {
    const Outcome r = runCli({"--json", "-"}, "rc1 1 1\nbad\nrc3 0 1 x\"y\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(
        r.out,
        R"({"circuit":"rc1","inputs":["1","1"],"lines":["T=6.2832ms","f=0.159154570919277kHz"]})"
        "\n"
        R"({"circuit":"bad","inputs":[],"usage":"unknown circuit \"bad\""})"
        "\n"
        R"({"circuit":"rc3","inputs":["0","1","x\"y"],"error":"输入的数据有错误！"})"
        "\n");
}

// A Ctrl-Z byte is data, not the end of the input.
TEST(Cli, StandardInputReadsPastACtrlZ) {
    const Outcome r = runCli({"-"}, "rc1 1 1\nrc3 1 1 \x1a\nrc4 10 10 1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "T=6.2832ms\tf=0.159154570919277kHz\nT=2.197ms\tf=0.455166135639508kHz\n"
                     "T1=13.86ms\tT2=6.93ms\tT=20.79ms\tf=0.0481000481000481kHz\n");
}

// A table saved by Notepad: UTF-8 with a byte order mark, CRLF line ends.
TEST(Cli, StandardInputTakesANotepadFile) {
    const Outcome r = runCli({"-"}, "\xEF\xBB\xBFrc1 1 1\r\nquartz1\r\nrc4 10 10 1\r\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "T=6.2832ms\tf=0.159154570919277kHz\n不用计算！\n"
                     "T1=13.86ms\tT2=6.93ms\tT=20.79ms\tf=0.0481000481000481kHz\n");
}

// A whole table in one run, more than a pipe buffer in each direction.
TEST(Cli, StandardInputTakesALargeTable) {
    std::string table;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        table += i % 2 ? "rc4 10 10 1\n" : "lc1 1000 1\n";
        expected += i % 2 ? "T1=13.86ms\tT2=6.93ms\tT=20.79ms\tf=0.0481000481000481kHz\n"
                          : "T=6.2832ms\tf=0.159154570919277kHz\n";
    }
    const Outcome r = runCli({"-"}, table);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
}

} // namespace
