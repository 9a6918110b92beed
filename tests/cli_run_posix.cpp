// Linux: starts osccalc (OSCCALC_PATH) with posix_spawn; its standard files
// are plain files, so nothing can block on a full pipe.
#include "tests/cli_run.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace clitest {

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

Outcome runProgram(const std::vector<std::string>& args, const std::string& input,
                   const std::vector<Redirect>& redirects) {
    std::signal(SIGPIPE, SIG_IGN); // the child inherits it, as under a shell pipeline
    // Per process: ctest may run several of these tests at once.
    const std::string base = ::testing::TempDir() + "osccalc." + std::to_string(getpid());
    const std::string in = base + ".in", out = base + ".out", err = base + ".err";
    std::ofstream(in, std::ios::binary) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (const Redirect& r : redirects) {
        if (r.path) {
            posix_spawn_file_actions_addopen(&actions, r.fd, r.path, r.flags, 0);
        } else if (r.from >= 0) {
            posix_spawn_file_actions_adddup2(&actions, r.from, r.fd);
        } else {
            posix_spawn_file_actions_addclose(&actions, r.fd);
        }
    }
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << args.front();
        return {};
    }
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
        if (waited == 2000) { // 20 s
            ADD_FAILURE() << "osccalc hangs";
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        usleep(10'000);
    }
    Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    for (const std::string& file : {in, out, err}) {
        std::remove(file.c_str());
    }
    return run;
}

Outcome runCli(const std::vector<std::string>& args, const std::string& input,
               const std::vector<Redirect>& redirects) {
    std::vector<std::string> argv{OSCCALC_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, input, redirects);
}

} // namespace clitest
