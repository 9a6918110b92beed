// Linux: starts osccalc with posix_spawn and talks to it through pipes.
#include "tests/cli_run.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace clitest {

Outcome runCli(const std::vector<std::string>& args, const std::string& input) {
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

bool commandLineCarries(const std::vector<std::string>&) {
    return true;
}

} // namespace clitest
