#include "sim/process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sim {

namespace {

class PosixChild final : public Child {
public:
    PosixChild(pid_t pid, int fd) : pid_(pid), fd_(fd) {}
    ~PosixChild() override {
        kill();
        ::close(fd_);
    }

    bool send(std::string_view data) override {
        while (!data.empty()) {
            // A socket, so that a child that died gives EPIPE, not SIGPIPE.
            const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return ::shutdown(fd_, SHUT_WR) == 0;
    }

    Read receive(std::string& into, int timeoutMs) override {
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready <= 0) {
            return Read::Timeout; // EINTR too: the caller asks again
        }
        char buffer[65536];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0) {
            return errno == EINTR || errno == EAGAIN ? Read::Timeout : Read::End;
        }
        if (n == 0) {
            return Read::End;
        }
        into.append(buffer, static_cast<std::size_t>(n));
        return Read::Data;
    }

    void kill() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }

    int wait() override {
        if (pid_ <= 0) {
            return status_;
        }
        int status = 0;
        pid_t got;
        do {
            got = ::waitpid(pid_, &status, 0);
        } while (got < 0 && errno == EINTR);
        pid_ = 0;
        status_ = got > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }

private:
    pid_t pid_;
    int fd_;
    int status_ = -1;
};

} // namespace

std::unique_ptr<Child> Child::start(const std::string& program) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the copies, so only they reach the child.
    posix_spawn_file_actions_adddup2(&actions, fds[1], 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (error != 0) {
        ::close(fds[0]);
        return nullptr;
    }
    return std::make_unique<PosixChild>(pid, fds[0]);
}

} // namespace sim

namespace sim {

std::string programFolder() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) {
        return {};
    }
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

} // namespace sim
