#include "sim/process.h"

#include <windows.h>

#include <chrono>
#include <thread>

namespace sim {

namespace {

std::wstring wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string narrow(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

class WindowsChild final : public Child {
public:
    WindowsChild(HANDLE process, HANDLE input, HANDLE output)
        : process_(process), input_(input), output_(output) {}
    ~WindowsChild() override {
        kill();
        closeInput();
        CloseHandle(output_);
    }

    bool send(std::string_view data) override {
        while (!data.empty()) {
            DWORD written = 0;
            if (!WriteFile(input_, data.data(), static_cast<DWORD>(data.size()), &written,
                           nullptr)) {
                return false;
            }
            data.remove_prefix(written);
        }
        closeInput();
        return true;
    }

    // Anonymous pipes cannot be waited on with a timeout; they are peeked.
    Read receive(std::string& into, int timeoutMs) override {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            DWORD available = 0;
            if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) {
                return Read::End;
            }
            if (available > 0) {
                char buffer[65536];
                DWORD got = 0;
                if (!ReadFile(output_, buffer, std::min<DWORD>(available, sizeof buffer), &got,
                              nullptr) ||
                    got == 0) {
                    return Read::End;
                }
                into.append(buffer, got);
                return Read::Data;
            }
            if (std::chrono::steady_clock::now() >= until) {
                return Read::Timeout;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    void kill() override {
        if (process_) {
            TerminateProcess(process_, 1);
            wait();
        }
    }

    int wait() override {
        if (!process_) {
            return status_;
        }
        WaitForSingleObject(process_, INFINITE);
        DWORD code = 0;
        status_ = GetExitCodeProcess(process_, &code) ? static_cast<int>(code) : -1;
        CloseHandle(process_);
        process_ = nullptr;
        return status_;
    }

private:
    void closeInput() {
        if (input_) {
            CloseHandle(input_);
            input_ = nullptr;
        }
    }

    HANDLE process_;
    HANDLE input_;
    HANDLE output_;
    int status_ = -1;
};

} // namespace

std::unique_ptr<Child> Child::start(const std::string& program) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr, parentIn = nullptr, parentOut = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &parentIn, &inherit, 0)) {
        return nullptr;
    }
    if (!CreatePipe(&parentOut, &childOut, &inherit, 0)) {
        CloseHandle(childIn);
        CloseHandle(parentIn);
        return nullptr;
    }
    // Only the child's ends are inherited.
    SetHandleInformation(parentIn, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(parentOut, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = nullptr;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + wide(program) + L"\"";
    // No console: the helper talks through its pipes only, and a console host
    // made for it could outlive a cancelled helper and hold the caller's
    // output open (seen under Wine).
    const BOOL started = CreateProcessW(wide(program).c_str(), command.data(), nullptr, nullptr,
                                        TRUE, DETACHED_PROCESS, nullptr, nullptr, &startup, &info);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started) {
        CloseHandle(parentIn);
        CloseHandle(parentOut);
        return nullptr;
    }
    CloseHandle(info.hThread);
    return std::make_unique<WindowsChild>(info.hProcess, parentIn, parentOut);
}

std::string programFolder() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) {
        return {};
    }
    path.resize(n);
    return narrow(path.substr(0, path.find_last_of(L"\\/")));
}

} // namespace sim
