// The terminal and the log on Windows: the program's words from the wide command line, and
// text for the standard output and the error output in the form each place wants: UTF-16 for
// a console, the UTF-8 bytes for a file or a pipe. vendrel.exe is a windowed program, so one
// started from a command prompt has no output of its own; it then joins the console of that
// prompt and writes there. Started from Explorer there is no such console, and none is made.
#include "platform/platform.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex terminal_mutex; // the server thread and start-up both log

// The console of the command prompt this program was started from, joined on first use;
// nullptr when there is none. Already being on a console counts too (Wine joins a windowed
// program to its parent's console by itself).
HANDLE prompt_console()
{
    static const HANDLE console = [] {
        if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
            return static_cast<HANDLE>(nullptr);
        const HANDLE opened =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        return opened == INVALID_HANDLE_VALUE ? static_cast<HANDLE>(nullptr) : opened;
    }();
    return console;
}

bool is_console(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

void write_console(HANDLE console, const std::string& text)
{
    const std::wstring wide = win32::to_wide(text);
    for (std::size_t at = 0; at < wide.size();) { // in pieces: a console takes only so much at once
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 8192));
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data() + at, piece, &written, nullptr) || written == 0)
            return;
        at += written;
    }
}

// A file or a pipe gets the bytes, with the line ends of Windows as the C library wrote them.
void write_file(HANDLE file, const std::string& text)
{
    std::string bytes;
    bytes.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\n' && (bytes.empty() || bytes.back() != '\r'))
            bytes += '\r';
        bytes += c;
    }
    for (std::size_t at = 0; at < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                       nullptr) ||
            written == 0)
            return;
        at += written;
    }
}

// which: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE. Without an output of its own the text goes
// to the prompt's console when join_prompt allows, else nowhere.
void write_standard(DWORD which, std::FILE* stream, const std::string& text, bool join_prompt)
{
    std::lock_guard<std::mutex> lock(terminal_mutex);
    std::fflush(stream); // whatever the C library holds goes first
    const HANDLE own = GetStdHandle(which);
    const bool has_own =
        own && own != INVALID_HANDLE_VALUE && GetFileType(own) != FILE_TYPE_UNKNOWN;
    if (has_own && !is_console(own))
        write_file(own, text);
    else if (has_own)
        write_console(own, text);
    else if (HANDLE console = join_prompt ? prompt_console() : nullptr)
        write_console(console, text);
}

} // namespace

std::vector<std::string> program_arguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(win32::to_utf8(words[i]));
    LocalFree(words);
    return arguments;
}

void write_output(const std::string& text)
{
    write_standard(STD_OUTPUT_HANDLE, stdout, text, true);
}

void write_error(const std::string& text)
{
    write_standard(STD_ERROR_HANDLE, stderr, text, true);
}

void write_log_line(const std::string& line)
{
    if (win32::running_as_service) {
        win32::write_service_log(line);
        return;
    }
    // A windowed server never joins a console for its log: closing that console would end it.
    write_standard(STD_ERROR_HANDLE, stderr, line + "\n", false);
}

} // namespace platform
