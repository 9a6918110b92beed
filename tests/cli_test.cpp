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
const std::string kLcLine = linesOf("lc1", {"1000", "1", "", ""}, '\t');

// A line of osccalc's JSON output.
std::string json(std::string_view object) {
    return std::string(object) + "\n";
}

struct Case {
    Case(const char* name, std::vector<std::string> args, int status, std::string out,
         std::string err = {}, std::string input = {})
        : name(name), args(std::move(args)), status(status), out(std::move(out)),
          err(std::move(err)), input(std::move(input)) {}
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
    std::string input;
};

void PrintTo(const Case& c, std::ostream* os) {
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

// In-process runs: the exact output, free of anything a terminal would act on.
class Run : public ::testing::TestWithParam<Case> {};

TEST_P(Run, AnswersAsDocumented) {
    const Outcome r = runInProcess(GetParam().args, GetParam().input);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_FALSE(hasRawControl(r.out)) << r.out;
    EXPECT_FALSE(hasRawControl(r.err)) << r.err;
}

const auto caseName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Run,
    // One circuit without partial times, one with them, one with a message;
    // the rest is osccalc's own handling of its arguments.
    ::testing::Values(Case("rc1", {"rc1", "1", "1"}, 0, kWien),
                      Case("rc4", {"rc4", "10", "10", "1"}, 0, k555),
                      Case("quartz1", {"quartz1"}, 0, kNoCalculation),
                      Case("TenCharacters", {"rc1", "0000000001", "1.00000000"}, 0, kWien),
                      // Ten two-byte characters are ten characters, not twenty.
                      Case("TenWideCharactersUnused", {"rc1", "1", "1", "μμμμμμμμμμ"}, 0, kWien),
                      Case("OptionsEnded", {"--", "rc1", "1", "1"}, 0, kWien)),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    BadInput, Run,
    ::testing::Values(
        // Which texts the core rejects is calc_tests' business; one will do.
        Case("Zero", {"rc1", "0", "1"}, 1, "", kInputError),
        Case("Missing", {"rc1", "1"}, 1, "", kInputError),
        Case("NoValues", {"rc4"}, 1, "", kInputError),
        Case("ElevenCharacters", {"rc1", "12345678901", "1"}, 1, "", kInputError),
        Case("ElevenCharactersUnused", {"rc1", "1", "1", "12345678901"}, 1, "", kInputError),
        Case("ElevenCharactersQuartz", {"quartz1", "12345678901"}, 1, "", kInputError),
        Case("MalformedUtf8Unused", {"rc1", "1", "1", "\xff"}, 1, "", kInputError),
        // A lone surrogate (in its three-byte form): no text, so no box holds it.
        Case("LoneSurrogateUnused", {"rc1", "1", "1", "\xED\xB3\xBF"}, 1, "", kInputError),
        Case("MissingC2InLc4", {"lc4", "1", "0", "2"}, 1, "", kInputError)),
    caseName);

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
    ::testing::Values(Case("NoArguments", {}, 2, "", "no circuit"),
                      Case("UnknownCircuit", {"rc5", "1", "1"}, 2, "", "unknown circuit \"rc5\""),
                      Case("UnknownCircuitInChinese", {"电路"}, 2, "", "unknown circuit \"电路\""),
                      Case("CaseMatters", {"RC1", "1", "1"}, 2, "", "unknown circuit"),
                      Case("StartupIsNoCircuit", {"startup", "1", "1"}, 2, "", "unknown circuit"),
                      Case("HelpIsNoCircuit", {"help"}, 2, "", "unknown circuit"),
                      Case("TooManyValues", {"rc2", "1", "1", "1", "1", "1"}, 2, "", "too many"),
                      Case("UnknownOption", {"--bogus", "rc1", "1", "1"}, 2, "", "--bogus"),
                      Case("UnknownShortOption", {"-x"}, 2, "", "-x"),
                      Case("ListWithCircuit", {"--list", "rc1"}, 2, "", "--list"),
                      Case("ListWithJson", {"--list", "--json"}, 2, "", "--list"),
                      Case("StdinWithValues", {"-", "1"}, 2, "", "- takes no values"),
                      Case("JsonAlone", {"--json"}, 2, "", "no circuit")),
    caseName);

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

// Each circuit with the catalogue's caption and the captions of the boxes it reads.
TEST(Cli, ListsTheTenCircuitsWithTheirInputs) {
    const Outcome r = runInProcess({"--list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string expected, ids;
    for (const auto& entry : calc::kCatalogue) {
        if (entry.kind == calc::EntryKind::Circuit) {
            expected += std::string(entry.id) + "\t" + std::string(entry.menuCaption);
            for (const std::string_view caption : entry.captions) {
                expected += caption == calc::kNone ? "" : "\t" + std::string(caption);
            }
            expected += "\n";
            ids += std::string(entry.id) + " ";
        }
    }
    EXPECT_EQ(ids, "rc1 rc2 rc3 rc4 lc1 lc2 lc3 lc4 quartz1 quartz2 ");
    EXPECT_EQ(r.out, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Json, Run,
    ::testing::Values(
        Case("Lines", {"--json", "rc4", "10", "10", "1"}, 0,
             json(R"({"circuit":"rc4","inputs":["10","10","1"],"lines":["T1=13.86ms","T2=6.93ms",)"
                  R"("T=20.79ms","f=0.0481000481000481kHz"]})")),
        Case("Message", {"--json", "quartz1"}, 0,
             json(R"({"circuit":"quartz1","inputs":[],"message":"不用计算！"})")),
        // Bad input stays on standard output, where the script reads the object.
        Case("BadInput", {"--json", "rc1", "0", ""}, 1,
             json(R"({"circuit":"rc1","inputs":["0",""],"error":"输入的数据有错误！"})")),
        Case("Escapes", {"--json", "rc1", "1", "1", "a\"\\\x01\n", "\xff"}, 1,
             json(R"({"circuit":"rc1","inputs":["1","1","a\"\\\u0001\n","\ufffd"],)"
                  R"("error":"输入的数据有错误！"})")),
        // The arguments arrive as typed, not as the nearest ANSI character.
        Case("FullWidthDigitEchoed", {"--json", "rc3", "１", "1"}, 1,
             json(R"({"circuit":"rc3","inputs":["１","1"],"error":"输入的数据有错误！"})")),
        Case("MicroEchoed", {"--json", "rc1", "1", "1", "μ", "Ω"}, 0,
             json(R"({"circuit":"rc1","inputs":["1","1","μ","Ω"],)"
                  R"("lines":["T=6.2832ms","f=0.159154570919277kHz"]})"))),
    caseName);

// The "-" mode: one answer per line, and the exit code of the worst line.
INSTANTIATE_TEST_SUITE_P(
    StandardInput, Run,
    ::testing::Values(
        // Blank lines skipped, runs of spaces and tabs, CRLF, no final newline.
        Case("EachLineOnALineOfItsOwn", {"-"}, 1,
             kWienLine + k555Line + "输入的数据有错误！\n不用计算！\n" + kLcLine +
                 linesOf("lc4", {"1", "0", "2", "2"}, '\t'),
             "",
             "rc1 1 1\n\n   \nrc4 10 10 1\nrc1 0 1\nquartz2\n  lc1 \t 1000\t1  \r\nlc4 1 0 2 2"),
        Case("AllGood", {"-"}, 0, kWienLine + kNoCalculation, "", "rc1 1 1\nquartz1\n"),
        // A usage error answers its own line and the rest is still calculated.
        Case("UsageIsTheWorst", {"-"}, 2,
             "error: unknown circuit \"xyz\"\n输入的数据有错误！\n"
             "error: too many values (at most 4)\n" +
                 kGateLine,
             "", "xyz 1\nrc1 0 1\nrc1 1 1 1 1 1\nrc3 1 1\n"),
        Case("Empty", {"-"}, 0, ""),
        Case(
            "JsonObjectPerLine", {"--json", "-"}, 2,
            json(R"({"circuit":"rc1","inputs":["1","1"],)"
                 R"("lines":["T=6.2832ms","f=0.159154570919277kHz"]})") +
                json(R"({"circuit":"bad","inputs":[],"usage":"unknown circuit \"bad\""})") +
                json(R"({"circuit":"rc3","inputs":["0","1","x\"y"],"error":"输入的数据有错误！"})"),
            "", "rc1 1 1\nbad\nrc3 0 1 x\"y\n")),
    caseName);

// The exit code of a table is that of its worst line.
TEST(Cli, StandardInputExitCodeIsTheWorstLine) {
    const struct {
        const char* input;
        int status;
    } rows[] = {{"rc1 1 1\nquartz1\n", 0},
                {"rc1 1 1\nrc1 0 1\nquartz1\n", 1},
                {"rc1 0 1\nxyz\nrc1 1 1\n", 2},
                {"xyz\nrc1 0 1\n", 2}};
    for (const auto& row : rows) {
        EXPECT_EQ(runInProcess({"-"}, row.input).status, row.status) << row.input;
    }
}

// A whole table in one run.
TEST(Cli, StandardInputTakesALargeTable) {
    std::string table;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        table += i % 2 ? "rc4 10 10 1\n" : "lc1 1000 1\n";
        expected += i % 2 ? k555Line : kLcLine;
    }
    const Outcome r = runInProcess({"-"}, table);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
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
    ::testing::Values(Case("HelpIsAnUnusedValue", {"rc1", "1", "1", "--help"}, 0, kWien),
                      Case("ShortHelpIsAValue", {"rc1", "1", "-h"}, 1, "", kInputError),
                      Case("VersionIsAValue", {"rc1", "1", "--version"}, 1, "", kInputError),
                      Case("JsonIsAnUnusedValue", {"rc1", "1", "1", "--json"}, 0, kWien),
                      Case("ListIsAValue", {"rc4", "10", "10", "--list"}, 1, "", kInputError),
                      Case("DoubleDashNumber", {"rc1", "--5", "1"}, 1, "", kInputError),
                      Case("DashNumber", {"rc1", "-5", "1"}, 1, "", kInputError),
                      Case("UnknownOptionIsAValue", {"quartz1", "--bogus"}, 0, kNoCalculation),
                      Case("DoubleDashIsAValue", {"rc1", "1", "1", "--"}, 0, kWien),
                      Case("ElevenCharacterOption", {"rc1", "1", "1", "--verbose=1"}, 1, "",
                           kInputError),
                      Case("OptionsBefore", {"--json", "--", "quartz2"}, 0,
                           json(R"({"circuit":"quartz2","inputs":[],"message":"不用计算！"})")),
                      Case("JsonAfterStdin", {"-", "--json"}, 2, "",
                           usage("- takes no values (options go before it)"), "rc1 1 1\n")),
    caseName);

// Input echoed in a message is quoted with its control characters escaped.
INSTANTIATE_TEST_SUITE_P(
    EchoedInput, Run,
    ::testing::Values(
        Case("CircuitArgument", {"x\x1b[31mRED", "1"}, 2, "",
             usage(R"(unknown circuit "x\u001b[31mRED")")),
        Case("OptionArgument", {"--\x1b]0;title\x07"}, 2, "",
             usage(R"(unknown option "--\u001b]0;title\u0007")")),
        Case("CircuitLine", {"-"}, 2, "error: unknown circuit \"x\\u001b[31mRED\"\n", "",
             "x\x1b[31mRED 1\n"),
        Case("DeleteAndC1", {"-"}, 2, "error: unknown circuit \"a\\u007f\\u009b31m\"\n", "",
             "a\x7f\xc2\x9b"
             "31m\n"),
        Case("MalformedAndBackspace", {"-"}, 2, "error: unknown circuit \"\\ufffd\\u0008\\\"\"\n",
             "", "\xff\x08\"\n"),
        // The first and last of each run of invisible format characters.
        Case("FormatCharacters", {"\u200b\u200f\u202a\u202e\u2066\u2069\ufeffrc1"}, 2, "",
             usage(R"(unknown circuit "\u200b\u200f\u202a\u202e\u2066\u2069\ufeffrc1")")),
        // Characters that are neither controls nor format characters stay as
        // they are, the neighbours of those runs included.
        Case("WideCharacters", {"-"}, 2, "error: unknown circuit \"振荡\"\n", "", "振荡 1\n"),
        Case("NeighboursOfFormatCharacters", {"-"}, 2,
             "error: unknown circuit \"\u200a\u2010\u2029\u202f\u2065\u206a\ufefe\"\n", "",
             "\u200a\u2010\u2029\u202f\u2065\u206a\ufefe 1\n"),
        Case("Json", {"--json", "-"}, 2,
             json(R"({"circuit":"\u0085","inputs":[],"usage":"unknown circuit \"\\u0085\""})"), "",
             "\xc2\x85\n")),
    caseName);

// A UTF-8 byte-order mark at the start of a line is skipped, one per line:
// files saved on Windows, also several joined into one.
INSTANTIATE_TEST_SUITE_P(
    ByteOrderMark, Run,
    ::testing::Values(Case("WindowsFile", {"-"}, 0, kWienLine + kWienLine, "",
                           "\xEF\xBB\xBFrc1 1 1\r\nrc1 1 1\r\n"),
                      Case("BeforeBlankLine", {"-"}, 0, kWienLine, "", "\xEF\xBB\xBF\r\nrc1 1 1\n"),
                      Case("Alone", {"-"}, 0, "", "", "\xEF\xBB\xBF"),
                      Case("Json", {"--json", "-"}, 0,
                           json(R"({"circuit":"quartz1","inputs":[],"message":"不用计算！"})"), "",
                           "\xEF\xBB\xBFquartz1\n"),
                      Case("JoinedFiles", {"-"}, 0, kWienLine + kWienLine, "",
                           "rc1 1 1\r\n\xEF\xBB\xBFrc1 1 1\r\n"),
                      Case("OnlyOnce", {"-"}, 2, "error: unknown circuit \"\\ufeffrc1\"\n", "",
                           "\xEF\xBB\xBF\xEF\xBB\xBFrc1 1 1\n")),
    caseName);

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
        Case("AtTheCap", {"-"}, 0, kWienLine, "", paddedLine(65536) + "\n"),
        Case("AtTheCapUnterminated", {"-"}, 0, kWienLine, "", paddedLine(65536)),
        Case("OneOver", {"-"}, 2, kTooLong + kWienLine, "", paddedLine(65537) + "\nrc1 1 1\n"),
        Case("OneOverUnterminated", {"-"}, 2, kTooLong, "", paddedLine(65537)),
        Case("CarriageReturnCounts", {"-"}, 2, kTooLong, "", paddedLine(65536) + "\r\n"),
        Case("BlankButTooLong", {"-"}, 2, kTooLong, "", std::string(70000, ' ') + "\n"),
        Case("Megabyte", {"-"}, 2, kTooLong + kWienLine + kTooLong, "",
             manyValues(500'000) + "\nrc1 1 1\n" + paddedLine(200'000)),
        Case("ManyValuesUnderTheCap", {"-"}, 2, kTooMany, "", manyValues(30'000) + "\n"),
        // The echo holds the values read up to the first one too many.
        Case("ManyValuesJson", {"--json", "-"}, 2,
             json(R"({"circuit":"rc1","inputs":["1","1","1","1","1"],)"
                  R"json("usage":"too many values (at most 4)"})json"),
             "", manyValues(30'000) + "\n"),
        Case("TooLongJson", {"--json", "-"}, 2,
             json(R"({"circuit":"rc9","inputs":["2)" + std::string(65531, '3') +
                  R"("],"usage":"line longer than 65536 bytes"})"),
             "", "rc9 2" + std::string(70000, '3') + "\n")),
    caseName);

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
    const Outcome r = runCli(GetParam().args, GetParam().input);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_NE(r.err.find(GetParam().err), std::string::npos) << r.err;
    EXPECT_EQ(r.err.empty(), GetParam().err.empty()) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Process,
    ::testing::Values(Case("Result", {"rc1", "1", "1"}, 0, kWien),
                      Case("BadInput", {"rc1", "0", "1"}, 1, "", kInputError),
                      Case("Usage", {}, 2, "", "Usage: osccalc"),
                      // A Ctrl-Z byte is data, not the end of the input.
                      Case("ReadsPastACtrlZ", {"-"}, 0, kWienLine + kGateLine + k555Line, "",
                           "rc1 1 1\nrc3 1 1 \x1a\nrc4 10 10 1\n"),
                      // A table saved by Notepad: UTF-8 with a byte order mark, CRLF line ends.
                      Case("NotepadFile", {"-"}, 0, kWienLine + kNoCalculation + k555Line, "",
                           "\xEF\xBB\xBFrc1 1 1\r\nquartz1\r\nrc4 10 10 1\r\n")),
    caseName);

#ifndef _WIN32
// ---- Failing standard files, through the real program.

struct Failing {
    const char* name;
    std::vector<std::string> args;
    clitest::Redirect redirect;
    int status;
    std::string out;
    std::string err;
};

void PrintTo(const Failing& f, std::ostream* os) {
    *os << f.name;
}

class FailingFile : public ::testing::TestWithParam<Failing> {};

TEST_P(FailingFile, IsReportedOnceAndExitsThree) {
    const Failing& f = GetParam();
    const Outcome r = runCli(f.args, "rc1 1 1\nrc3 1 1\n", {f.redirect});
    EXPECT_EQ(r.status, f.status);
    EXPECT_EQ(r.out, f.out);
    EXPECT_EQ(r.err, f.err);
}

constexpr const char* kNoSpace = "osccalc: cannot write standard output: No space left on device\n";
constexpr const char* kOutClosed = "osccalc: cannot write standard output: Bad file descriptor\n";
const clitest::Redirect kFullOut{1, "/dev/full", O_WRONLY};

// Every kind of output that goes to a full disk is a failure, said once.
INSTANTIATE_TEST_SUITE_P(
    FullDisk, FailingFile,
    ::testing::Values(Failing{"Results", {"rc1", "1", "1"}, kFullOut, 3, "", kNoSpace},
                      Failing{"Message", {"quartz1"}, kFullOut, 3, "", kNoSpace},
                      Failing{"Json", {"--json", "rc1", "0", "1"}, kFullOut, 3, "", kNoSpace},
                      Failing{"List", {"--list"}, kFullOut, 3, "", kNoSpace},
                      Failing{"Help", {"--help"}, kFullOut, 3, "", kNoSpace},
                      Failing{"Version", {"--version"}, kFullOut, 3, "", kNoSpace},
                      Failing{"Lines", {"-"}, kFullOut, 3, "", kNoSpace},
                      Failing{"JsonLines", {"--json", "-"}, kFullOut, 3, "", kNoSpace}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Others, FailingFile,
    ::testing::Values(
        Failing{"ClosedOutput", {"rc1", "1", "1"}, {1, nullptr}, 3, "", kOutClosed},
        Failing{"ClosedOutputList", {"--list"}, {1, nullptr}, 3, "", kOutClosed},
        // Nothing written, nothing failed.
        Failing{"ClosedOutputUnused", {"rc1", "0", "1"}, {1, nullptr}, 1, "", kInputError},
        // The message cannot be shown, but the exit code says so.
        Failing{"FullError", {"rc1", "0", "1"}, {2, "/dev/full", O_WRONLY}, 3, "", ""},
        Failing{"InputIsADirectory",
                {"-"},
                {0, "/", O_RDONLY | O_DIRECTORY},
                3,
                "",
                "osccalc: cannot read standard input: Is a directory\n"},
        Failing{"InputClosed",
                {"--json", "-"},
                {0, nullptr},
                3,
                "",
                "osccalc: cannot read standard input: Bad file descriptor\n"},
        // Only the "-" mode reads standard input.
        Failing{"InputClosedUnused", {"rc1", "1", "1"}, {0, nullptr}, 0, kWien, ""}),
    caseName);

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
