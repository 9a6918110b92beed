// Tests of osccalc: cli::run in-process for the tables, and the real
// executable (started through tests/cli_run.h) for what only a process
// shows: exit codes, which standard stream a text goes to, and standard
// files that fail. The failing files are Linux ones.
#include "cli/osccalc.h"

#include "calc/calculate.h"
#include "calc/catalogue.h"

#include "config.h"
#include "tests/cli_run.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <ios>
#include <iterator>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using clitest::Outcome;
using clitest::runCli;
#ifndef _WIN32
using clitest::runProgram;
#endif

// cli::run in-process, on string streams.
Outcome runInProcess(const std::vector<std::string>& args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::run(args, in, out, err);
    return {status, out.str(), err.str()};
}

constexpr const char* kInputError = "输入的数据有错误！\n";
constexpr const char* kNoCalculation = "不用计算！\n";

// What osccalc prints for a calculation: the core's non-empty result lines
// (calc_tests check their values), each on a line of its own, or with
// `separator` '\t' on one line as in the "-" mode.
std::string linesOf(const char* id, const calc::Inputs& inputs, char separator = '\n') {
    std::string text;
    for (const auto& line : calc::calculate(calc::entryForId(id)->mode, inputs).lines) {
        if (line && !line->empty()) {
            text += *line + separator;
        }
    }
    text.back() = '\n';
    return text;
}

const std::string kWien = linesOf("rc1", {"1", "1", "", ""});
const std::string k555 = linesOf("rc4", {"10", "10", "1", ""});
const std::string kWienLine = linesOf("rc1", {"1", "1", "", ""}, '\t');
const std::string k555Line = linesOf("rc4", {"10", "10", "1", ""}, '\t');
const std::string kGateLine = linesOf("rc3", {"1", "1", "", ""}, '\t');

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
    const Outcome r = runInProcess(GetParam().args);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_EQ(r.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Calculation,
    // One circuit without partial times, one with them, one with a message;
    // the rest is osccalc's own handling of its arguments.
    ::testing::Values(Case{"rc1", {"rc1", "1", "1"}, 0, kWien, ""},
                      Case{"rc4", {"rc4", "10", "10", "1"}, 0, k555, ""},
                      Case{"quartz1", {"quartz1"}, 0, kNoCalculation, ""},
                      Case{"TenCharacters", {"rc1", "0000000001", "1.00000000"}, 0, kWien, ""},
                      // Ten two-byte characters are ten characters, not twenty.
                      Case{
                          "TenWideCharactersUnused", {"rc1", "1", "1", "μμμμμμμμμμ"}, 0, kWien, ""},
                      Case{"OptionsEnded", {"--", "rc1", "1", "1"}, 0, kWien, ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    BadInput, Calculation,
    ::testing::Values(
        // Which texts the core rejects is calc_tests' business; one will do.
        Case{"Zero", {"rc1", "0", "1"}, 1, "", kInputError},
        Case{"Missing", {"rc1", "1"}, 1, "", kInputError},
        Case{"NoValues", {"rc4"}, 1, "", kInputError},
        Case{"ElevenCharacters", {"rc1", "12345678901", "1"}, 1, "", kInputError},
        Case{"ElevenCharactersUnused", {"rc1", "1", "1", "12345678901"}, 1, "", kInputError},
        Case{"ElevenCharactersQuartz", {"quartz1", "12345678901"}, 1, "", kInputError},
        Case{"MalformedUtf8Unused", {"rc1", "1", "1", "\xff"}, 1, "", kInputError},
        // A lone surrogate (in its three-byte form): no text, so no box holds it.
        Case{"LoneSurrogateUnused", {"rc1", "1", "1", "\xED\xB3\xBF"}, 1, "", kInputError},
        Case{"MissingC2InLc4", {"lc4", "1", "0", "2"}, 1, "", kInputError}),
    [](const auto& info) { return std::string(info.param.name); });

class UsageError : public ::testing::TestWithParam<Case> {};

TEST_P(UsageError, PrintsUsageOnStandardErrorAndExitsTwo) {
    const Outcome r = runInProcess(GetParam().args);
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
                      Case{"UnknownShortOption", {"-x"}, 2, "", "-x"},
                      Case{"ListWithCircuit", {"--list", "rc1"}, 2, "", "--list"},
                      Case{"ListWithJson", {"--list", "--json"}, 2, "", "--list"},
                      Case{"StdinWithValues", {"-", "1"}, 2, "", "- takes no values"},
                      Case{"JsonAlone", {"--json"}, 2, "", "no circuit"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cli, HelpAndVersion) {
    for (const char* help : {"--help", "-h"}) {
        const Outcome r = runInProcess({help});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("osccalc: ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("Exit status"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    const Outcome v = runInProcess({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "osccalc " OSC_VERSION "\n");
}

TEST(Cli, ListsTheTenCircuitsWithTheirInputs) {
    const Outcome r = runInProcess({"--list"});
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
    // Each with the catalogue's caption and the captions of the boxes it reads.
    std::vector<std::string> expected;
    for (const auto& entry : calc::kCatalogue) {
        if (entry.kind == calc::EntryKind::Circuit) {
            std::string line = std::string(entry.id) + "\t" + std::string(entry.menuCaption);
            for (const std::string_view caption : entry.captions) {
                line += caption == calc::kNone ? "" : "\t" + std::string(caption);
            }
            expected.push_back(line);
        }
    }
    EXPECT_EQ(lines, expected);
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
             {"--json", "quartz1"},
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
    const Outcome r = runInProcess({"-"}, "rc1 1 1\n\n   \nrc4 10 10 1\nrc1 0 1\nquartz2\n"
                                          "  lc1 \t 1000\t1  \r\nlc4 1 0 2 2");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, kWienLine + k555Line + "输入的数据有错误！\n不用计算！\n" +
                         linesOf("lc1", {"1000", "1", "", ""}, '\t') +
                         linesOf("lc4", {"1", "0", "2", "2"}, '\t'));
}

TEST(Cli, StandardInputExitCodeIsTheWorstLine) {
    const Outcome good = runInProcess({"-"}, "rc1 1 1\nquartz1\n");
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, kWienLine + kNoCalculation);

    // A usage error answers its own line and the rest is still calculated.
    const Outcome usage = runInProcess({"-"}, "xyz 1\nrc1 0 1\nrc1 1 1 1 1 1\nrc3 1 1\n");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "");
    EXPECT_EQ(usage.out, "error: unknown circuit \"xyz\"\n输入的数据有错误！\n"
                         "error: too many values (at most 4)\n" +
                             kGateLine);

    const Outcome empty = runInProcess({"-"}, "");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
}

TEST(Cli, StandardInputWithJsonAnswersOneObjectPerLine) {
    const Outcome r = runInProcess({"--json", "-"}, "rc1 1 1\nbad\nrc3 0 1 x\"y\n");
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
    EXPECT_EQ(r.out, kWienLine + kGateLine + k555Line);
}

// A table saved by Notepad: UTF-8 with a byte order mark, CRLF line ends.
TEST(Cli, StandardInputTakesANotepadFile) {
    const Outcome r = runCli({"-"}, "\xEF\xBB\xBFrc1 1 1\r\nquartz1\r\nrc4 10 10 1\r\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, kWienLine + kNoCalculation + k555Line);
}

// A whole table in one run.
TEST(Cli, StandardInputTakesALargeTable) {
    std::string table;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        table += i % 2 ? "rc4 10 10 1\n" : "lc1 1000 1\n";
        expected += i % 2 ? k555Line : linesOf("lc1", {"1000", "1", "", ""}, '\t');
    }
    const Outcome r = runInProcess({"-"}, table);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
}

// ---- In-process tables through cli::run.

struct RunCase {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out;
    std::string err;
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

// True if the text holds a character a terminal could act on or would not
// show: a C0 control other than tab and newline, DEL, a C1 control
// (U+0080..U+009F) or an invisible format character.
bool hasRawControl(const std::string& text) {
    // UTF-8 sequences of one length compare as their code points do.
    const std::pair<std::string_view, std::string_view> formats[] = {
        {"\u200b", "\u200f"}, {"\u202a", "\u202e"}, {"\u2066", "\u2069"}, {"\ufeff", "\ufeff"}};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f) {
            return true;
        }
        if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xa0) {
            return true;
        }
        const std::string_view three = std::string_view(text).substr(i, 3);
        for (const auto& [low, high] : formats) {
            if (three >= low && three <= high) {
                return true;
            }
        }
    }
    return false;
}

class Run : public ::testing::TestWithParam<RunCase> {};

TEST_P(Run, AnswersAsDocumented) {
    const Outcome r = runInProcess(GetParam().args, GetParam().input);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_FALSE(hasRawControl(r.out)) << r.out;
    EXPECT_FALSE(hasRawControl(r.err)) << r.err;
}

std::string usage(const std::string& reason) {
    std::ostringstream out;
    out << "osccalc: " << reason << "\n";
    // The usage text itself, as the program prints it after the reason.
    std::istringstream none;
    std::ostringstream help;
    std::ostringstream ignored;
    cli::run({"--bogus"}, none, ignored, help);
    return out.str() + help.str().substr(help.str().find('\n') + 1);
}

// After the circuit (or -) everything is a value, also what looks like an option.
INSTANTIATE_TEST_SUITE_P(
    ValuesAfterTheCircuit, Run,
    ::testing::Values(
        RunCase{"HelpIsAnUnusedValue", {"rc1", "1", "1", "--help"}, "", 0, kWien, ""},
        RunCase{"ShortHelpIsAValue", {"rc1", "1", "-h"}, "", 1, "", kInputError},
        RunCase{"VersionIsAValue", {"rc1", "1", "--version"}, "", 1, "", kInputError},
        RunCase{"JsonIsAnUnusedValue", {"rc1", "1", "1", "--json"}, "", 0, kWien, ""},
        RunCase{"ListIsAValue", {"rc4", "10", "10", "--list"}, "", 1, "", kInputError},
        RunCase{"DoubleDashNumber", {"rc1", "--5", "1"}, "", 1, "", kInputError},
        RunCase{"DashNumber", {"rc1", "-5", "1"}, "", 1, "", kInputError},
        RunCase{"UnknownOptionIsAValue", {"quartz1", "--bogus"}, "", 0, kNoCalculation, ""},
        RunCase{"DoubleDashIsAValue", {"rc1", "1", "1", "--"}, "", 0, kWien, ""},
        RunCase{"ElevenCharacterOption", {"rc1", "1", "1", "--verbose=1"}, "", 1, "", kInputError},
        RunCase{"OptionsBefore",
                {"--json", "--", "quartz2"},
                "",
                0,
                R"({"circuit":"quartz2","inputs":[],"message":"不用计算！"})"
                "\n",
                ""},
        RunCase{"JsonAfterStdin",
                {"-", "--json"},
                "rc1 1 1\n",
                2,
                "",
                usage("- takes no values (options go before it)")}),
    [](const auto& info) { return std::string(info.param.name); });

// Input echoed in a message is quoted with its control characters escaped.
INSTANTIATE_TEST_SUITE_P(
    EchoedInput, Run,
    ::testing::Values(
        RunCase{"CircuitArgument",
                {"x\x1b[31mRED", "1"},
                "",
                2,
                "",
                usage(R"(unknown circuit "x\u001b[31mRED")")},
        RunCase{"OptionArgument",
                {"--\x1b]0;title\x07"},
                "",
                2,
                "",
                usage(R"(unknown option "--\u001b]0;title\u0007")")},
        RunCase{"CircuitLine",
                {"-"},
                "x\x1b[31mRED 1\n",
                2,
                "error: unknown circuit \"x\\u001b[31mRED\"\n",
                ""},
        RunCase{"DeleteAndC1",
                {"-"},
                "a\x7f\xc2\x9b"
                "31m\n",
                2,
                "error: unknown circuit \"a\\u007f\\u009b31m\"\n",
                ""},
        RunCase{"MalformedAndBackspace",
                {"-"},
                "\xff\x08\"\n",
                2,
                "error: unknown circuit \"\\ufffd\\u0008\\\"\"\n",
                ""},
        // The first and last of each run of invisible format characters.
        RunCase{"FormatCharacters",
                {"\u200b\u200f\u202a\u202e\u2066\u2069\ufeffrc1"},
                "",
                2,
                "",
                usage(R"(unknown circuit "\u200b\u200f\u202a\u202e\u2066\u2069\ufeffrc1")")},
        // Characters that are neither controls nor format characters stay as
        // they are, the neighbours of those runs included.
        RunCase{"WideCharacters", {"-"}, "振荡 1\n", 2, "error: unknown circuit \"振荡\"\n", ""},
        RunCase{"NeighboursOfFormatCharacters",
                {"-"},
                "\u200a\u2010\u2029\u202f\u2065\u206a\ufefe 1\n",
                2,
                "error: unknown circuit \"\u200a\u2010\u2029\u202f\u2065\u206a\ufefe\"\n",
                ""},
        RunCase{"Json",
                {"--json", "-"},
                "\xc2\x85\n",
                2,
                R"({"circuit":"\u0085","inputs":[],"usage":"unknown circuit \"\\u0085\""})"
                "\n",
                ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A UTF-8 byte-order mark at the start of a line is skipped, one per line:
// files saved on Windows, also several joined into one.
INSTANTIATE_TEST_SUITE_P(
    ByteOrderMark, Run,
    ::testing::Values(RunCase{"WindowsFile",
                              {"-"},
                              "\xEF\xBB\xBFrc1 1 1\r\nrc1 1 1\r\n",
                              0,
                              kWienLine + kWienLine,
                              ""},
                      RunCase{
                          "BeforeBlankLine", {"-"}, "\xEF\xBB\xBF\r\nrc1 1 1\n", 0, kWienLine, ""},
                      RunCase{"Alone", {"-"}, "\xEF\xBB\xBF", 0, "", ""},
                      RunCase{"Json",
                              {"--json", "-"},
                              "\xEF\xBB\xBFquartz1\n",
                              0,
                              R"({"circuit":"quartz1","inputs":[],"message":"不用计算！"})"
                              "\n",
                              ""},
                      RunCase{"JoinedFiles",
                              {"-"},
                              "rc1 1 1\r\n\xEF\xBB\xBFrc1 1 1\r\n",
                              0,
                              kWienLine + kWienLine,
                              ""},
                      RunCase{"OnlyOnce",
                              {"-"},
                              "\xEF\xBB\xBF\xEF\xBB\xBFrc1 1 1\n",
                              2,
                              "error: unknown circuit \"\\ufeffrc1\"\n",
                              ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Options before "design" are the design command's: the same answer as
// with them after it.
TEST(Cli, OptionsBeforeDesignGoToIt) {
    const Outcome before = runInProcess({"--json", "design", "rc1", "1kHz", "--top", "1"});
    const Outcome after = runInProcess({"design", "rc1", "1kHz", "--top", "1", "--json"});
    EXPECT_EQ(before.status, 0) << before.err;
    EXPECT_TRUE(before.out.starts_with(R"({"circuit":"rc1")")) << before.out;
    EXPECT_EQ(before.out, after.out);
    EXPECT_EQ(before.err, after.err);
}

// A line of `length` bytes: rc1's values padded with spaces.
std::string paddedLine(std::size_t length) {
    std::string line = "rc1 1 1";
    line.resize(length, ' ');
    return line;
}

const std::string kTooLong = "error: line longer than 65536 bytes\n";
const std::string kTooMany = "error: too many values (at most 4)\n";

std::string manyValues(int count) {
    std::string line = "rc1";
    for (int i = 0; i < count; ++i) {
        line += " 1";
    }
    return line;
}

INSTANTIATE_TEST_SUITE_P(
    LongLines, Run,
    ::testing::Values(
        RunCase{"AtTheCap", {"-"}, paddedLine(65536) + "\n", 0, kWienLine, ""},
        RunCase{"AtTheCapUnterminated", {"-"}, paddedLine(65536), 0, kWienLine, ""},
        RunCase{"OneOver", {"-"}, paddedLine(65537) + "\nrc1 1 1\n", 2, kTooLong + kWienLine, ""},
        RunCase{"OneOverUnterminated", {"-"}, paddedLine(65537), 2, kTooLong, ""},
        RunCase{"CarriageReturnCounts", {"-"}, paddedLine(65536) + "\r\n", 2, kTooLong, ""},
        RunCase{"BlankButTooLong", {"-"}, std::string(70000, ' ') + "\n", 2, kTooLong, ""},
        RunCase{"Megabyte",
                {"-"},
                manyValues(500'000) + "\nrc1 1 1\n" + paddedLine(200'000),
                2,
                kTooLong + kWienLine + kTooLong,
                ""},
        RunCase{"ManyValuesUnderTheCap", {"-"}, manyValues(30'000) + "\n", 2, kTooMany, ""},
        // The echo holds the values read up to the first one too many.
        RunCase{"ManyValuesJson",
                {"--json", "-"},
                manyValues(30'000) + "\n",
                2,
                R"({"circuit":"rc1","inputs":["1","1","1","1","1"],)"
                R"json("usage":"too many values (at most 4)"})json"
                "\n",
                ""},
        RunCase{"TooLongJson",
                {"--json", "-"},
                "rc9 2" + std::string(70000, '3') + "\n",
                2,
                std::string(R"({"circuit":"rc9","inputs":["2)") + std::string(65531, '3') +
                    R"("],"usage":"line longer than 65536 bytes"})"
                    "\n",
                ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A stream buffer that takes `room` bytes, then fails as a full disk does.
class FullDisk : public std::streambuf {
public:
    explicit FullDisk(std::size_t room) : room_(room) {}
    const std::string& written() const { return written_; }

protected:
    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof())) {
            return 0;
        }
        if (written_.size() >= room_) {
            errno = ENOSPC;
            return traits_type::eof();
        }
        written_ += traits_type::to_char_type(ch);
        return ch;
    }

private:
    std::size_t room_;
    std::string written_;
};

// A stream buffer that yields `data`, then fails to read as a directory does.
class BrokenInput : public std::streambuf {
public:
    explicit BrokenInput(std::string data) : data_(std::move(data)) {
        setg(data_.data(), data_.data(), data_.data() + data_.size());
    }

protected:
    int_type underflow() override {
        errno = EISDIR;
        throw std::ios_base::failure("read");
    }

private:
    std::string data_;
};

TEST(CliInProcess, OutputFailingHalfWayStopsAndReports) {
    std::string table;
    for (int i = 0; i < 100; ++i) {
        table += "rc1 1 1\n";
    }
    std::istringstream in(table);
    FullDisk disk(kWienLine.size() + 5);
    std::ostream out(&disk);
    std::ostringstream err;
    EXPECT_EQ(cli::run({"-"}, in, out, err), 3);
    EXPECT_EQ(disk.written(), kWienLine + kWienLine.substr(0, 5));
    EXPECT_EQ(err.str(), "osccalc: cannot write standard output: No space left on device\n");
    // The rest of the table is left unread.
    EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(2 * 8));
}

TEST(CliInProcess, InputFailingHalfWayKeepsTheAnswersAndReports) {
    BrokenInput broken("rc1 1 1\nquartz1\nrc3 1");
    std::istream in(&broken);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::run({"-"}, in, out, err), 3);
    // The cut-off last line is not calculated as if it were whole.
    EXPECT_EQ(out.str(), kWienLine + kNoCalculation);
    EXPECT_EQ(err.str(), "osccalc: cannot read standard input: Is a directory\n");
}

TEST(CliInProcess, FailingStandardErrorStillCounts) {
    std::istringstream in;
    std::ostringstream out;
    FullDisk disk(0);
    std::ostream err(&disk);
    EXPECT_EQ(cli::run({"rc1", "0", "1"}, in, out, err), 3);
    EXPECT_EQ(cli::run({"rc9"}, in, out, err), 3);
    EXPECT_EQ(out.str(), "");
}

// ---- The real program: exit codes and streams.

class Process : public ::testing::TestWithParam<Case> {};

TEST_P(Process, ExitsAndWritesTheRightStream) {
    const Outcome r = runCli(GetParam().args);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_NE(r.err.find(GetParam().err), std::string::npos) << r.err;
    EXPECT_EQ(r.err.empty(), GetParam().err.empty()) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, Process,
                         ::testing::Values(Case{"Result", {"rc1", "1", "1"}, 0, kWien, ""},
                                           Case{"BadInput", {"rc1", "0", "1"}, 1, "", kInputError},
                                           Case{"Usage", {}, 2, "", "Usage: osccalc"}),
                         [](const auto& info) { return std::string(info.param.name); });

#ifndef _WIN32
// ---- Failing standard files, through the real program.

constexpr const char* kNoSpace = "osccalc: cannot write standard output: No space left on device\n";

class FailingOutput : public ::testing::TestWithParam<Case> {};

// Every kind of output that goes to a full disk is a failure, said once.
TEST_P(FailingOutput, FullDiskIsReportedAndExitsThree) {
    const Outcome r = runCli(GetParam().args, "rc1 1 1\nrc3 1 1\n", {{1, "/dev/full", O_WRONLY}});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, kNoSpace);
}

INSTANTIATE_TEST_SUITE_P(Cases, FailingOutput,
                         ::testing::Values(Case{"Results", {"rc1", "1", "1"}, 3, "", ""},
                                           Case{"Message", {"quartz1"}, 3, "", ""},
                                           Case{"Json", {"--json", "rc1", "0", "1"}, 3, "", ""},
                                           Case{"List", {"--list"}, 3, "", ""},
                                           Case{"Help", {"--help"}, 3, "", ""},
                                           Case{"Version", {"--version"}, 3, "", ""},
                                           Case{"Lines", {"-"}, 3, "", ""},
                                           Case{"JsonLines", {"--json", "-"}, 3, "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliFailingFiles, ClosedStandardOutput) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"rc1", "1", "1"}, {"--list"}}) {
        const Outcome r = runCli(args, {}, {{1, nullptr}});
        EXPECT_EQ(r.status, 3) << args.front();
        EXPECT_EQ(r.err, "osccalc: cannot write standard output: Bad file descriptor\n");
    }
    // Nothing written, nothing failed.
    const Outcome bad = runCli({"rc1", "0", "1"}, {}, {{1, nullptr}});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, kInputError);
}

TEST(CliFailingFiles, FullStandardError) {
    // The message cannot be shown, but the exit code says so.
    const Outcome r = runCli({"rc1", "0", "1"}, {}, {{2, "/dev/full", O_WRONLY}});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
}

TEST(CliFailingFiles, StandardInputThatCannotBeRead) {
    const Outcome dir = runCli({"-"}, {}, {{0, "/", O_RDONLY | O_DIRECTORY}});
    EXPECT_EQ(dir.status, 3);
    EXPECT_EQ(dir.out, "");
    EXPECT_EQ(dir.err, "osccalc: cannot read standard input: Is a directory\n");

    const Outcome closed = runCli({"--json", "-"}, {}, {{0, nullptr}});
    EXPECT_EQ(closed.status, 3);
    EXPECT_EQ(closed.out, "");
    EXPECT_EQ(closed.err, "osccalc: cannot read standard input: Bad file descriptor\n");

    // Only the "-" mode reads standard input.
    EXPECT_EQ(runCli({"rc1", "1", "1"}, {}, {{0, nullptr}}).status, 0);
}

// The reader of a pipe went away: the table is not calculated for nobody, and
// the run does not count as a success.
TEST(CliFailingFiles, PipeWithoutReader) {
    std::string table;
    for (int i = 0; i < 20000; ++i) {
        table += "rc4 10 10 1\n";
    }
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    close(fds[0]); // writing gives EPIPE: runProgram ignores SIGPIPE for the child
    const Outcome r = runCli({"-"}, table, {{1, nullptr, 0, fds[1]}});
    close(fds[1]);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "osccalc: cannot write standard output: Broken pipe\n");
}

// One line of 10 MB and 5 million values: answered as too long without being
// held whole, under an address-space limit (16 MiB) that a copy of the line
// (and so its split into values) would not fit.
TEST(CliFailingFiles, HugeLineInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#else
    std::string input = "rc1";
    input.reserve(10'000'020);
    while (input.size() < 10'000'000) {
        input += " 1";
    }
    input += "\nrc1 1 1\n";
    const Outcome r =
        runProgram({"/bin/sh", "-c", "ulimit -v 16384 && exec \"$0\" -", OSCCALC_PATH}, input, {});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "error: line longer than 65536 bytes\n" + kWienLine);
    EXPECT_EQ(r.err, "");
#endif
}

#endif

} // namespace
