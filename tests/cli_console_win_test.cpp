// Windows only: where osccalc's output goes (a console gets UTF-16 through
// the console API, a pipe or a file the bytes unchanged), typed input read
// from a console, and osccalc.exe's resources and manifest. Runs in a
// console: under Wine the test command starts it on a pseudo-terminal, which
// Wine turns into one.
#include "cli/console_win.h"
#include "config.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <istream>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::wstring besideThisProgram(const wchar_t* name) {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return self.substr(0, self.find_last_of(L"\\/") + 1) + name;
}

// Output written as a program writes it: in several pieces, one of which
// ends inside a character.
const std::string kBytes = "T=0.0108828216341168\xCE\xBCs\n不用计算！\n";
const std::wstring kText = L"T=0.0108828216341168\u03BCs\n不用计算！\n";

void writeInPieces(std::streambuf& buffer) {
    std::ostream os(&buffer);
    os << kBytes.substr(0, 21) << std::flush; // ends after the first byte of "μ"
    os << kBytes.substr(21) << std::flush;
}

class Pipe {
public:
    Pipe() { CreatePipe(&read_, &write_, nullptr, 0); }
    ~Pipe() {
        CloseHandle(read_);
        closeWriteEnd();
    }
    HANDLE writeEnd() const { return write_; }
    void closeWriteEnd() {
        if (write_) {
            CloseHandle(write_);
            write_ = nullptr;
        }
    }
    std::string readAll() {
        closeWriteEnd();
        std::string bytes;
        char chunk[4096];
        DWORD n = 0;
        while (ReadFile(read_, chunk, sizeof chunk, &n, nullptr) && n > 0) {
            bytes.append(chunk, n);
        }
        return bytes;
    }

private:
    HANDLE read_ = nullptr;
    HANDLE write_ = nullptr;
};

TEST(OutputChoice, PipesAndFilesAreNoConsoles) {
    Pipe pipe;
    EXPECT_FALSE(cli::isConsole(pipe.writeEnd()));
    wchar_t folder[MAX_PATH], name[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameW(folder, L"osc", 0, name), 0u);
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_FALSE(cli::isConsole(file));
    CloseHandle(file);
    DeleteFileW(name);
    EXPECT_FALSE(cli::isConsole(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(cli::isConsole(nullptr));
}

TEST(OutputChoice, TheConsoleIsOne) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    ASSERT_TRUE(cli::isConsole(out)) << "run this test in a console";
    EXPECT_TRUE(cli::HandleStreamBuf(out).writesToConsole());
}

TEST(PipeOutput, GetsTheBytesUnchanged) {
    Pipe pipe;
    {
        cli::HandleStreamBuf buffer(pipe.writeEnd());
        EXPECT_FALSE(buffer.writesToConsole());
        writeInPieces(buffer);
        // Malformed bytes pass as they are, as on Linux.
        std::ostream(&buffer) << "\xFF\xCE" << std::flush;
    }
    EXPECT_EQ(pipe.readAll(), kBytes + "\xFF\xCE");
}

TEST(PipeOutput, AFailedWriteFailsTheStream) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    CloseHandle(readEnd); // nobody reads any more
    {
        cli::HandleStreamBuf buffer(writeEnd);
        std::ostream os(&buffer);
        errno = 0;
        os << "T=6.2832ms\n" << std::flush;
        EXPECT_TRUE(os.bad());
        // osccalc names the reason.
        EXPECT_EQ(errno, EPIPE);
    }
    CloseHandle(writeEnd);
}

// A screen buffer of the test's console in the Chinese (GBK) code page, as
// a Simplified Chinese Windows sets it up.
class ChineseConsole : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cli::isConsole(GetStdHandle(STD_OUTPUT_HANDLE)))
            << "run this test in a console";
        previousCodePage_ = GetConsoleOutputCP();
        ASSERT_TRUE(SetConsoleOutputCP(936));
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        screen_ = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                            CONSOLE_TEXTMODE_BUFFER, nullptr);
        ASSERT_NE(screen_, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        CloseHandle(screen_);
        SetConsoleOutputCP(previousCodePage_);
    }

    // The screen's first lines, trailing blanks removed, each ended by "\n".
    std::wstring shown(int lines) const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(screen_, &info);
        std::wstring text;
        for (SHORT y = 0; y < lines; ++y) {
            std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
            DWORD read = 0;
            ReadConsoleOutputCharacterW(screen_, row.data(), static_cast<DWORD>(row.size()),
                                        COORD{0, y}, &read);
            row.resize(row.find_last_not_of(L' ') + 1);
            text += row + L'\n';
        }
        return text;
    }

    HANDLE screen_ = INVALID_HANDLE_VALUE;

private:
    UINT previousCodePage_ = 0;
};

TEST_F(ChineseConsole, ShowsTheTextWrittenAsUtf16) {
    {
        cli::HandleStreamBuf buffer(screen_);
        ASSERT_TRUE(buffer.writesToConsole());
        writeInPieces(buffer);
    }
    EXPECT_EQ(shown(2), kText);
}

// What the console shows when the UTF-8 bytes go to it as they are: the fault
// the choice above avoids, seen by this console.
TEST_F(ChineseConsole, GarblesRawUtf8Bytes) {
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(screen_, kBytes.data(), static_cast<DWORD>(kBytes.size()), &written, nullptr));
    EXPECT_NE(shown(2), kText);
}

// osccalc itself, its standard output and error on the console.
TEST_F(ChineseConsole, OsccalcPrintsReadableText) {
    const std::wstring exe = besideThisProgram(L"osccalc.exe");
    for (const auto& [args, expected] : std::vector<std::pair<std::wstring, std::wstring>>{
             {L"lc4 1 0 2 2", L"T=0.0108828216341168\u03BCs\nf=91.8879343630038MHz\n"},
             {L"quartz1", L"不用计算！\n"},
             {L"rc1 0 1", L"输入的数据有错误！\n"}}) {
        std::wstring commandLine = L"\"" + exe + L"\" " + args;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = screen_;
        startup.hStdError = screen_;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, &startup, &process));
        ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_EQ(shown(2).substr(0, expected.size()), expected) << args.c_str();
        // The next run writes on a clean screen.
        DWORD written = 0;
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(screen_, &info);
        FillConsoleOutputCharacterW(screen_, L' ', info.dwSize.X * 3, COORD{0, 0}, &written);
        SetConsoleCursorPosition(screen_, COORD{0, 0});
    }
}

// Keys typed into the console, as a keyboard or an input method delivers them.
void type(HANDLE input, std::wstring_view keys) {
    std::vector<INPUT_RECORD> records;
    for (const wchar_t c : keys) {
        INPUT_RECORD record{};
        record.EventType = KEY_EVENT;
        KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        key.bKeyDown = TRUE;
        key.wRepeatCount = 1;
        key.wVirtualKeyCode = c == L'\r' ? VK_RETURN : 0;
        key.uChar.UnicodeChar = c;
        records.push_back(record);
        key.bKeyDown = FALSE;
        records.push_back(record);
    }
    DWORD written = 0;
    ASSERT_TRUE(
        WriteConsoleInputW(input, records.data(), static_cast<DWORD>(records.size()), &written));
}

// Typing into a console whose input code page (437 here) has no full-width
// digit: read through the code page, "１" would arrive as "1".
class ConsoleInput : public ChineseConsole {
protected:
    void SetUp() override {
        ChineseConsole::SetUp();
        input_ = GetStdHandle(STD_INPUT_HANDLE);
        ASSERT_TRUE(cli::isConsole(input_)) << "run this test in a console";
        previousCodePage_ = GetConsoleCP();
        ASSERT_TRUE(SetConsoleCP(437));
        FlushConsoleInputBuffer(input_);
    }
    void TearDown() override {
        FlushConsoleInputBuffer(input_);
        SetConsoleCP(previousCodePage_);
        ChineseConsole::TearDown();
    }

    HANDLE input_ = INVALID_HANDLE_VALUE;

private:
    UINT previousCodePage_ = 0;
};

TEST_F(ConsoleInput, ReadsTypedTextAsUtf8UpToCtrlZ) {
    type(input_, L"rc3 \uFF11 1\rlc4 \u03BC \x1a\r\x1a\rrc1 1 1\r");
    cli::ConsoleInputBuf buffer(input_);
    std::istream in(&buffer);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    // Ctrl-Z inside a line is data, as in a piped file; at the start it ends the input.
    EXPECT_EQ(lines, (std::vector<std::string>{"rc3 １ 1\r", "lc4 μ \x1a\r"}));
}

TEST_F(ConsoleInput, OsccalcTakesTypedText) {
    type(input_, L"rc3 \uFF11 1\rquartz1 \u03BC\r\x1a\r");
    const std::wstring exe = besideThisProgram(L"osccalc.exe");
    std::wstring commandLine = L"\"" + exe + L"\" --json -";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_;
    startup.hStdOutput = screen_;
    startup.hStdError = screen_;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Each answer fits one line of the screen.
    EXPECT_EQ(shown(2),
              L"{\"circuit\":\"rc3\",\"inputs\":[\"１\",\"1\"],"
              L"\"error\":\"输入的数据有错误！\"}\n"
              L"{\"circuit\":\"quartz1\",\"inputs\":[\"μ\"],\"message\":\"不用计算！\"}\n");
}

// The icon and version record of the window program, with osccalc's own
// description.
TEST(Resources, OsccalcCarriesIconAndVersion) {
    const std::wstring exe = besideThisProgram(L"osccalc.exe");
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    unsigned v[4] = {};
    ASSERT_EQ(std::sscanf(OSC_VERSION, "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]), 4);
    EXPECT_EQ(fixed->dwFileVersionMS, v[0] << 16 | v[1]);
    EXPECT_EQ(fixed->dwFileVersionLS, v[2] << 16 | v[3]);
    const auto field = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
        return VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &size)
                   ? std::wstring(value)
                   : std::wstring(L"(none)");
    };
    EXPECT_EQ(field(L"FileDescription"), L"振荡电路计算器命令行工具");
    EXPECT_EQ(field(L"OriginalFilename"), L"osccalc.exe");
    EXPECT_EQ(field(L"ProductName"), L"振荡电路计算器");

    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    // 14: RT_GROUP_ICON, the icon Explorer shows.
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)), nullptr)
        << "no icon group 1";
    FreeLibrary(module);
}

// osccalc.exe's manifest as Windows reads it when it starts the program: the
// activation context made from the exe's manifest resource, asked for each
// setting. A setting in the wrong namespace or a malformed manifest fails here.
class OsccalcManifest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring exe = besideThisProgram(L"osccalc.exe");
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = exe.c_str();
        request.lpResourceName = MAKEINTRESOURCEW(1); // the one read at start-up
        context_ = CreateActCtxW(&request);
        ASSERT_NE(context_, INVALID_HANDLE_VALUE)
            << "no readable manifest 1, error " << GetLastError();
    }
    void TearDown() override {
        if (context_ != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(context_);
        }
    }

    // One answer of QueryActCtxW, empty if there is none.
    std::vector<char> query(ULONG what, DWORD* subject = nullptr) const {
        SIZE_T size = 0;
        QueryActCtxW(0, context_, subject, what, nullptr, 0, &size);
        std::vector<char> answer(size);
        if (size == 0 || !QueryActCtxW(0, context_, subject, what, answer.data(), size, &size)) {
            answer.clear();
        }
        return answer;
    }

    HANDLE context_ = INVALID_HANDLE_VALUE;
};

TEST_F(OsccalcManifest, DeclaresPerMonitorDpiAndLongPaths) {
    const wchar_t* const settings2005 = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    const wchar_t* const settings2016 = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
    const struct {
        const wchar_t* ns;
        const wchar_t* name;
        std::wstring value;
    } expected[] = {
        // Per-monitor v2 where there is one, else per-monitor; the older
        // element for systems that read only that.
        {settings2016, L"dpiAwareness", L"PerMonitorV2, PerMonitor"},
        {settings2005, L"dpiAware", L"true/pm"},
        {settings2016, L"longPathAware", L"true"},
    };
    for (const auto& setting : expected) {
        wchar_t value[64] = {};
        SIZE_T size = 0;
        EXPECT_TRUE(QueryActCtxSettingsW(0, context_, setting.ns, setting.name, value,
                                         std::size(value), &size))
            << "no " << setting.name << " in its namespace";
        EXPECT_EQ(value, setting.value) << setting.name;
    }
}

TEST_F(OsccalcManifest, SupportsWindows10And11) {
    // The id of both in supportedOS. The answer's elements grew a field over
    // Windows versions, so the id is looked for in its bytes.
    const GUID windows10{
        0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
    const std::vector<char> answer = query(CompatibilityInformationInActivationContext);
    const char* id = reinterpret_cast<const char*>(&windows10);
    EXPECT_TRUE(std::search(answer.begin(), answer.end(), id, id + sizeof windows10) !=
                answer.end())
        << "not among the supported systems";
}

TEST_F(OsccalcManifest, BindsVersion6OfTheCommonControls) {
    const std::vector<char> context = query(ActivationContextDetailedInformation);
    ASSERT_FALSE(context.empty());
    std::vector<std::wstring> identities;
    // Assembly 1 is the program itself; those it depends on follow.
    const DWORD count =
        reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(context.data())
            ->ulAssemblyCount;
    for (DWORD i = 2; i <= count; ++i) {
        const std::vector<char> assembly =
            query(AssemblyDetailedInformationInActivationContext, &i);
        if (!assembly.empty()) {
            identities.push_back(
                reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(
                    assembly.data())
                    ->lpAssemblyEncodedAssemblyIdentity);
        }
    }
    ASSERT_EQ(identities.size(), 1u);
    EXPECT_EQ(identities[0].rfind(L"Microsoft.Windows.Common-Controls,", 0), 0u) << identities[0];
    EXPECT_NE(identities[0].find(L"version=\"6."), std::wstring::npos) << identities[0];
}

TEST_F(OsccalcManifest, RunsWithTheUsersOwnRights) {
    const std::vector<char> answer = query(RunlevelInformationInActivationContext);
    ASSERT_GE(answer.size(), sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION));
    const auto* level =
        reinterpret_cast<const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION*>(answer.data());
    EXPECT_EQ(level->RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(level->UiAccess, 0u);
}

} // namespace
