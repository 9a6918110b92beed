// Start-up benchmark: runs the floor (a Qt window with one QLabel) and the
// program alternately, each with the first-paint probe preloaded, and prints
// the median time from process start to the end of the first painted frame
// and the median peak resident memory of each, with the ratio program/floor.
//
// Usage: startup_bench PROBE.so FLOOR PROGRAM [RUNS]
// The programs run with QT_QPA_PLATFORM=offscreen unless it is already set.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Sample {
    double milliseconds;
    double peakMiB;
};

long long monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

std::optional<Sample> runOnce(const std::string& probe, const std::string& program) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        std::perror("pipe");
        return std::nullopt;
    }
    // The write end survives exec in the child only, as a descriptor far
    // above the ones the program opens itself.
    constexpr int kChildFd = 99;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kChildFd);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    // The platform plugin's chatter would drown the table; a failed run is
    // still seen by its exit status.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "LD_PRELOAD=", 11) != 0 &&
            std::strncmp(*e, "OSC_FIRSTPAINT_FD=", 18) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back("LD_PRELOAD=" + probe);
    env.push_back("OSC_FIRSTPAINT_FD=" + std::to_string(kChildFd));
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        env.emplace_back("QT_QPA_PLATFORM=offscreen");
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string programArg = program;
    char* argv[] = {programArg.data(), nullptr};

    const long long start = monotonicNs();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(spawned));
        close(fds[0]);
        return std::nullopt;
    }

    std::string text;
    char buffer[64];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fds[0]);

    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        std::perror("wait4");
        return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) {
        std::fprintf(stderr, "%s did not paint and quit cleanly (status %d)\n", program.c_str(),
                     status);
        return std::nullopt;
    }
    const long long painted = std::atoll(text.c_str());
    return Sample{static_cast<double>(painted - start) / 1e6,
                  static_cast<double>(usage.ru_maxrss) / 1024.0};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: %s PROBE.so FLOOR PROGRAM [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string probe = argv[1];
    const std::string programs[2] = {argv[2], argv[3]};
    const int runs = argc == 5 ? std::atoi(argv[4]) : 40;
    if (runs < 1) {
        std::fprintf(stderr, "RUNS must be a positive number\n");
        return 2;
    }

    // Qt warns on every start without a runtime folder; give both one, and
    // take it away again at the end.
    static char runtime[] = "/tmp/startup-bench-XXXXXX";
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr && mkdtemp(runtime) != nullptr) {
        setenv("XDG_RUNTIME_DIR", runtime, 1);
        std::atexit([] { std::filesystem::remove_all(runtime); });
    }

    // One unmeasured run each fills the page cache and the font cache.
    for (const std::string& program : programs) {
        if (!runOnce(probe, program)) {
            return 1;
        }
    }
    std::vector<double> ms[2];
    std::vector<double> mib[2];
    for (int i = 0; i < runs; ++i) {
        for (int p = 0; p < 2; ++p) {
            const std::optional<Sample> sample = runOnce(probe, programs[p]);
            if (!sample) {
                return 1;
            }
            ms[p].push_back(sample->milliseconds);
            mib[p].push_back(sample->peakMiB);
        }
    }

    const double time[2] = {median(ms[0]), median(ms[1])};
    const double memory[2] = {median(mib[0]), median(mib[1])};
    std::printf("start-up, %d runs each, alternating, medians\n", runs);
    std::printf("%-10s %22s %18s\n", "", "start to first paint", "peak resident");
    std::printf("%-10s %19.1f ms %14.1f MiB\n", "floor", time[0], memory[0]);
    std::printf("%-10s %19.1f ms %14.1f MiB\n", "program", time[1], memory[1]);
    std::printf("%-10s %20.2f x %16.2f x   (targets: 1.5 x, 1.3 x)\n", "ratio", time[1] / time[0],
                memory[1] / memory[0]);
    return 0;
}
