// The system half of the platform layer over Win32: threads, sleeps, the monotonic clock,
// sqlite3.dll and its entry points, the temp folder, whether there is a desktop, and the stop
// requests of a server without windows. The documents folder is folders.cpp's, the terminal
// terminal.cpp's, the service service.cpp's; dialogs belong to the dialog backend.
#include "platform/win32/system.h"
#include "platform/platform.h"
#include "platform/win32/text.h"

#include <windows.h>

#include <process.h>

namespace platform {

namespace {

struct ThreadStart {
    void (*routine)(void*);
    void* argument;
};

unsigned __stdcall thread_main(void* raw)
{
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.routine(start.argument);
    return 0;
}

// The folder of the running program, with its trailing separator.
std::wstring program_folder()
{
    const std::wstring path = win32::program_file();
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Set by a console event, the service's control handler or another process through the
// named event; never closed.
HANDLE stop_event = nullptr;

BOOL WINAPI note_console_event(DWORD event)
{
    return win32::console_event(event) ? TRUE : FALSE;
}

} // namespace

} // namespace platform

namespace win32 {

std::wstring program_file()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void request_stop()
{
    if (platform::stop_event)
        SetEvent(platform::stop_event);
}

bool console_event(unsigned long event)
{
    // A service hears every user's logoff; only a program of the user who leaves must stop.
    if (event == CTRL_LOGOFF_EVENT && running_as_service)
        return true;
    request_stop(); // Ctrl+C, Ctrl+Break, closing the console, logoff and shutdown
    return true;
}

} // namespace win32

namespace platform {

bool desktop_available()
{
    // A service runs on a window station that nobody sees; a signed-in user always has one.
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void catch_stop_signals()
{
    // Named after the process, so a script or a test can ask exactly this server to stop
    // (SetEvent on "Local\vendrel-stop-PID") where a console is not shared.
    if (stop_event)
        return;
    stop_event =
        CreateEventW(nullptr, TRUE, FALSE, win32::stop_event_name(GetCurrentProcessId()).c_str());
    SetConsoleCtrlHandler(note_console_event, TRUE);
}

void wait_for_stop_signal()
{
    win32::note_waiting_for_stop(); // a service runs from now on
    if (stop_event)
        WaitForSingleObject(stop_event, INFINITE);
}

int start_thread(void (*routine)(void*), void* argument, std::size_t stack_size)
{
    auto* start = new ThreadStart{routine, argument};
    // A reservation, so the thread may grow to stack_size; the system commits pages as needed
    // and raises a size below its least.
    const uintptr_t thread =
        _beginthreadex(nullptr, static_cast<unsigned>(stack_size), thread_main, start,
                       stack_size > 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr);
    if (thread == 0) {
        delete start;
        return -1;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return 0;
}

void sleep_ms(int milliseconds)
{
    Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

int64_t monotonic_ms()
{
    static const int64_t frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<int64_t>(value.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<int64_t>(now.QuadPart / frequency * 1000 +
                                now.QuadPart % frequency * 1000 / frequency);
}

void* load_library(const char* name)
{
    if (!name || !*name)
        return nullptr;
    // A bare name is looked for beside the program only: the current folder is no place to
    // pick up a library from.
    std::wstring path = win32::to_wide(name);
    if (path.find_first_of(L"\\/:") == std::wstring::npos)
        path = program_folder() + path;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* library_symbol(void* library, const char* name)
{
    if (!library)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::string temp_folder()
{
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH)
        return std::string();
    return win32::to_utf8(buffer, static_cast<int>(length)); // ends with a backslash
}

char path_separator()
{
    return '\\';
}

int create_new_file(const std::string& path, std::string* reason)
{
    const HANDLE file = CreateFileW(win32::to_wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
            return 1;
        if (reason)
            *reason = win32::system_message(code);
        return -1;
    }
    CloseHandle(file);
    return 0;
}

bool input_is_terminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

int read_input_line(std::string* line)
{
    // Through the handle itself: a program without a console of its own may have no C
    // runtime stream on it.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    line->clear();
    char c = 0;
    DWORD count = 0;
    bool ended = false;
    while (!ended && ReadFile(input, &c, 1, &count, nullptr) && count == 1) {
        if (c == '\n')
            ended = true;
        else
            line->push_back(c);
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return ended || !line->empty() ? 0 : -1;
}

int read_hidden_line(const char* prompt, std::string* line)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring shown = win32::to_wide(prompt);
    DWORD written = 0;
    WriteConsoleW(output, shown.c_str(), static_cast<DWORD>(shown.size()), &written, nullptr);
    DWORD saved = 0;
    if (!GetConsoleMode(input, &saved))
        return -1;
    SetConsoleMode(input, (saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
    std::wstring typed;
    wchar_t buffer[256];
    DWORD count = 0;
    bool ended = false;
    while (!ended && ReadConsoleW(input, buffer, 256, &count, nullptr) && count > 0) {
        for (DWORD i = 0; i < count && !ended; ++i) {
            if (buffer[i] == L'\n')
                ended = true;
            else if (buffer[i] != L'\r')
                typed.push_back(buffer[i]);
        }
    }
    SetConsoleMode(input, saved);
    WriteConsoleW(output, L"\r\n", 2, &written, nullptr);
    *line = win32::to_utf8(typed);
    return ended || !typed.empty() ? 0 : -1;
}

} // namespace platform
