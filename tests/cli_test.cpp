// End-to-end tests of osccalc: the real executable, its output and exit codes.
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ostream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
    int status = -1; // exit code; -1 if the program did not exit normally
    std::string out;
    std::string err;
};

// Runs osccalc with the arguments, feeding `input` to its standard input.
Outcome runCli(const std::vector<std::string>& args, const std::string& input = {}) {
    std::signal(SIGPIPE, SIG_IGN); // osccalc may exit before reading all input
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) {
        ADD_FAILURE() << "pipe2 failed";
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv{const_cast<char*>(OSCCALC_PATH)};
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, OSCCALC_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << OSCCALC_PATH;
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return {};
    }
    fcntl(in[1], F_SETFL, O_NONBLOCK);

    Outcome run;
    std::size_t written = 0;
    int inFd = in[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    std::string* sinks[] = {&run.out, &run.err};
    int open = 2;
    while (open > 0) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (poll(fds, 3, 10000) <= 0) {
            ADD_FAILURE() << "osccalc hangs";
            kill(pid, SIGKILL);
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents) {
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    close(fds[i].fd);
                    (i == 0 ? out[0] : err[0]) = -1;
                    --open;
                }
            }
        }
        if (inFd >= 0 && fds[2].revents) {
            const ssize_t n = write(inFd, input.data() + written, input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            if ((n < 0 && errno != EAGAIN) || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
    }
    for (const int fd : {inFd, out[0], err[0]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

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
