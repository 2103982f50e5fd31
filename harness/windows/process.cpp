// Test processes on Windows: CreateProcessW with an environment block of its own, a job that
// ends them with the test program, the stop event of the program's windowless server,
// TerminateProcess by handle, and suspending every thread to freeze one.
#include "harness/process.h"

#include "platform/win32/text.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>

namespace testing_support {
namespace {

std::wstring program_path(const std::string& program)
{
    std::wstring path = win32::to_wide(program);
    if (path.find_first_of(L"\\/:") != std::wstring::npos)
        return path;
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + path;
}

std::wstring quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    return L"\"" + argument + L"\""; // the tests pass no quotes of their own
}

bool same_name(const std::wstring& entry, const std::wstring& change)
{
    const std::size_t a = entry.find(L'=', 1);
    const std::size_t b = change.find(L'=');
    return a == b && CompareStringOrdinal(entry.c_str(), static_cast<int>(a), change.c_str(),
                                          static_cast<int>(b), TRUE) == CSTR_EQUAL;
}

// This process's environment with the changes made, as CreateProcessW wants it.
std::wstring environment_block(const std::vector<std::string>& changes)
{
    std::vector<std::wstring> entries;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* at = current; at && *at; at += wcslen(at) + 1)
        entries.emplace_back(at);
    FreeEnvironmentStringsW(current);
    for (const std::string& change : changes) {
        const std::wstring wide = win32::to_wide(change);
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::wstring& e) { return same_name(e, wide); }),
                      entries.end());
        if (wide.find(L'=') + 1 < wide.size())
            entries.push_back(wide);
    }
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::wstring block;
    for (const std::wstring& entry : entries)
        block += entry + L'\0';
    return block + L'\0';
}

// A job that ends its processes when the test program ends, however it ends.
HANDLE test_job()
{
    static HANDLE job = [] {
        HANDLE made = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made)
            SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                                    sizeof limits);
        return made;
    }();
    return job;
}

} // namespace

bool start_process(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment, const std::string& error_file,
                   Process* process, const std::string& input_file)
{
    const std::wstring path = program_path(program);
    std::wstring command_line = quoted(path);
    for (const std::string& argument : arguments)
        command_line += L" " + quoted(win32::to_wide(argument));
    std::wstring block = environment_block(environment);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE error = INVALID_HANDLE_VALUE;
    HANDLE input = INVALID_HANDLE_VALUE;
    if (!error_file.empty() || !input_file.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        if (!error_file.empty())
            error = CreateFileW(win32::to_wide(error_file).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (!input_file.empty())
            input = CreateFileW(win32::to_wide(input_file).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input != INVALID_HANDLE_VALUE ? input : GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = error != INVALID_HANDLE_VALUE ? error : GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION made{};
    const BOOL started = CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(),
                                        nullptr, &startup, &made);
    for (HANDLE handle : {error, input})
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    if (!started)
        return false;
    if (HANDLE job = test_job())
        AssignProcessToJobObject(job, made.hProcess);
    CloseHandle(made.hThread);
    process->id = made.dwProcessId;
    process->handle = made.hProcess;
    return true;
}

bool wait_process(Process* process, int timeout_ms, int* exit_status)
{
    if (process->id <= 0 || !process->handle)
        return false;
    if (WaitForSingleObject(process->handle, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(process->handle, &code);
    CloseHandle(process->handle);
    process->handle = nullptr;
    process->id = -1;
    *exit_status = static_cast<int>(code);
    return true;
}

void request_stop(Process* process)
{
    if (process->id <= 0)
        return;
    HANDLE stop =
        OpenEventW(EVENT_MODIFY_STATE, FALSE,
                   win32::stop_event_name(static_cast<unsigned long>(process->id)).c_str());
    if (stop) {
        SetEvent(stop);
        CloseHandle(stop);
    } else if (process->handle) {
        TerminateProcess(process->handle, 1); // not listening for requests yet
    }
}

void kill_process(Process* process)
{
    if (process->id <= 0 || !process->handle)
        return;
    TerminateProcess(process->handle, 1);
    int ignored = 0;
    wait_process(process, INFINITE, &ignored);
}

namespace {

// Suspends (or resumes) every thread of the process; true when it had any.
bool for_each_thread(const Process* process, bool suspend)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool any = false;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (static_cast<long long>(entry.th32OwnerProcessID) != process->id)
            continue;
        HANDLE thread =
            OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
        if (!thread)
            continue;
        if (suspend) {
            // SuspendThread only asks; reading the context waits until it is so.
            CONTEXT context{};
            context.ContextFlags = CONTEXT_CONTROL;
            any = SuspendThread(thread) != static_cast<DWORD>(-1) || any;
            GetThreadContext(thread, &context);
        } else {
            any = ResumeThread(thread) != static_cast<DWORD>(-1) || any;
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return any;
}

} // namespace

bool freeze_process(Process* process)
{
    return process->id > 0 && for_each_thread(process, true);
}

bool thaw_process(Process* process)
{
    return process->id > 0 && for_each_thread(process, false);
}

} // namespace testing_support
