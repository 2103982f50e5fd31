// vendrel.exe typed at a command prompt: its answers reach the prompt's console with every
// letter as typed, whether the program is joined to that console by the system (as Wine does)
// or has to join it itself (as a windowed program started from cmd.exe on Windows); output
// redirected to a file or a pipe goes there as UTF-8; its console twin vendrel.com is a
// console program, answering the same; the service commands refuse a process that is not
// elevated. The console is this test's own, read back from its screen buffer.
#include "platform/win32/text.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <windows.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// vendrel.exe, or its console twin vendrel.com, beside this test.
std::wstring program(const wchar_t* name = L"vendrel.exe")
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

std::wstring command_line(const std::wstring& file, const std::vector<std::string>& words)
{
    std::wstring line = L"\"" + file + L"\"";
    for (const std::string& word : words)
        line += L" \"" + win32::to_wide(word) + L"\"";
    return line;
}

// How the program is started: as Wine starts it from a console (joined, with the console's
// handles), as Windows does from cmd.exe (no console, no standard handles), or with its
// output in a file or a pipe.
enum class Start { joined, own_console_to_find, output_to_file, output_to_pipe };

struct Ran {
    int status = -1;
    std::string output; // what a file or a pipe received
};

Ran run(const std::vector<std::string>& words, Start start, HANDLE token = nullptr,
        const std::wstring& image = program())
{
    Ran run;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD flags = 0;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    const fs::path file = fs::temp_directory_path() /
                          ("vendrel-terminal-" + std::to_string(GetCurrentProcessId()) + ".out");
    if (start == Start::output_to_file)
        write_end = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (start == Start::output_to_pipe)
        CreatePipe(&read_end, &write_end, &inherit, 1 << 20); // roomy: read after the end
    if (start != Start::joined) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write_end;
        startup.hStdError = write_end;
    }
    if (start == Start::own_console_to_find)
        flags = DETACHED_PROCESS;
    std::wstring line = command_line(image, words);
    PROCESS_INFORMATION made{};
    const BOOL started =
        token ? CreateProcessAsUserW(token, image.c_str(), line.data(), nullptr, nullptr, TRUE,
                                     flags, nullptr, nullptr, &startup, &made)
              : CreateProcessW(image.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                               nullptr, &startup, &made);
    if (write_end)
        CloseHandle(write_end);
    if (started) {
        if (WaitForSingleObject(made.hProcess, 60000) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(made.hProcess, &code);
            run.status = static_cast<int>(code);
        } else {
            TerminateProcess(made.hProcess, 99);
        }
        CloseHandle(made.hProcess);
        CloseHandle(made.hThread);
    }
    if (read_end) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0)
            run.output.append(buffer, got);
        CloseHandle(read_end);
    }
    if (start == Start::output_to_file) {
        std::error_code ignored;
        const auto size = fs::file_size(file, ignored);
        std::string bytes(ignored ? 0 : size, '\0');
        if (FILE* in = _wfopen(file.wstring().c_str(), L"rb")) {
            bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
            std::fclose(in);
        }
        run.output = bytes;
        fs::remove(file, ignored);
    }
    return run;
}

// A fresh console for this test, blank and wide enough for a line with two long paths; and
// what it shows, line by line without the blanks that fill each line.
void fresh_console()
{
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    SetConsoleScreenBufferSize(console, COORD{400, 100});
    CloseHandle(console);
}

std::string console_text()
{
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(console, &info);
    std::string text;
    std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        DWORD got = 0;
        ReadConsoleOutputCharacterW(console, row.data(), info.dwSize.X, COORD{0, y}, &got);
        std::wstring line = row.substr(0, got);
        line.erase(line.find_last_not_of(L' ') + 1);
        text += win32::to_utf8(line) + "\n";
    }
    CloseHandle(console);
    return text;
}

TEST(Terminal, AnswersReachThePromptWithEveryLetterAsTyped)
{
    const fs::path folder = fs::temp_directory_path() /
                            ("vendrel-terminal-" + std::to_string(GetCurrentProcessId())) /
                            fs::path(u8"Zoë Ämter");
    fs::create_directories(folder);
    const std::string source = win32::to_utf8((folder / fs::path(u8"Łódź.dat")).wstring());
    const std::string copy = win32::to_utf8((folder / fs::path(u8"Ωμέγα.dat")).wstring());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(source.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "create table person (name text); insert into person values ('Zoë')", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);

    for (Start start : {Start::joined, Start::own_console_to_find}) {
        SCOPED_TRACE(start == Start::joined ? "joined by the system" : "joining itself");
        fresh_console();
        fs::remove(win32::to_wide(copy));
        EXPECT_EQ(run({"backup", "--database", source, copy}, start).status, 0);
        EXPECT_NE(console_text().find("Copied " + source + " to " + copy + "\n"), std::string::npos)
            << console_text();
        EXPECT_TRUE(fs::exists(win32::to_wide(copy)));

        fresh_console();
        EXPECT_EQ(run({"backup", "--database", source, copy}, start).status, 1);
        EXPECT_NE(console_text().find("vendrel backup: " + copy + " exists; --force replaces it"),
                  std::string::npos)
            << console_text();
    }
    std::error_code ignored;
    fs::remove_all(folder.parent_path(), ignored);
}

TEST(Terminal, RedirectedOutputKeepsGoingToItsFileOrPipe)
{
    fresh_console();
    for (Start start : {Start::output_to_file, Start::output_to_pipe}) {
        SCOPED_TRACE(start == Start::output_to_file ? "a file" : "a pipe");
        const Ran version = run({"--version"}, start);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.output.rfind("vendrel ", 0), 0u) << version.output;
        EXPECT_NE(version.output.find("The Vendrel developers\r\n"), std::string::npos);
        const Ran unknown = run({"--hlep"}, start);
        EXPECT_EQ(unknown.status, 2);
        EXPECT_NE(unknown.output.find("unknown command: --hlep\r\nUsage:"), std::string::npos);
    }
    EXPECT_EQ(console_text().find("vendrel"), std::string::npos) << "the console got some too";
}

// The subsystem an image declares in its header: whether cmd.exe waits for it.
WORD subsystem_of(const std::wstring& file)
{
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS64 nt{};
    FILE* in = _wfopen(file.c_str(), L"rb");
    if (!in)
        return 0;
    const bool read = std::fread(&dos, sizeof dos, 1, in) == 1 &&
                      std::fseek(in, dos.e_lfanew, SEEK_SET) == 0 &&
                      std::fread(&nt, sizeof nt, 1, in) == 1;
    std::fclose(in);
    return read ? nt.OptionalHeader.Subsystem : 0;
}

TEST(Terminal, TheConsoleTwinIsWaitedForAndAnswersWhereItIsTyped)
{
    const std::wstring twin = program(L"vendrel.com");
    EXPECT_EQ(subsystem_of(twin), IMAGE_SUBSYSTEM_WINDOWS_CUI);
    EXPECT_EQ(subsystem_of(program()), IMAGE_SUBSYSTEM_WINDOWS_GUI);

    fresh_console();
    EXPECT_EQ(run({"--version"}, Start::joined, nullptr, twin).status, 0);
    EXPECT_NE(console_text().find("The Vendrel developers"), std::string::npos) << console_text();
    const Ran unknown = run({"--hlep"}, Start::output_to_pipe, nullptr, twin);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.output.find("unknown command: --hlep\r\nUsage:"), std::string::npos);
}

TEST(Terminal, TheServiceCommandsRefuseAProcessThatIsNotElevated)
{
    // The limited half of this administrator's token, as an unelevated prompt has it.
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token));
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    HANDLE limited = nullptr;
    if (!GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size) ||
        !DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                          TokenPrimary, &limited))
        GTEST_SKIP() << "this account has no limited token";
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"service", "install", "4500"}, {"service", "remove"}}) {
        SCOPED_TRACE(words[1]);
        const Ran refused = run(words, Start::output_to_pipe, limited);
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.output.find("only an administrator may do this: open the command "
                                      "prompt with \"Run as administrator\""),
                  std::string::npos)
            << refused.output;
    }
    const Ran typed = run({"service", "run"}, Start::output_to_pipe);
    EXPECT_EQ(typed.status, 1);
    EXPECT_NE(typed.output.find("run is the service manager's"), std::string::npos);
    CloseHandle(limited);
    CloseHandle(linked.LinkedToken);
    CloseHandle(token);
}

} // namespace
