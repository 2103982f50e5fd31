// The server as the Windows service: registering it with the service manager (with its folder,
// its event source, its restarts after a failure), removing it, and running as it: the
// dispatcher, the control handler and the status reports. What the service serves is the
// caller's; its log lines are service_log.cpp's.
#include "platform/service.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"

#include <windows.h>

#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <mutex>

namespace win32 {

std::atomic<bool> running_as_service{false};

} // namespace win32

namespace platform {

namespace {

// How long the service may take to stop, and to be set up, before the manager gives up.
constexpr DWORD stop_wait_hint_ms = 5000;
constexpr DWORD start_wait_hint_ms = 10000;
// How long install and remove wait for the service to start or to stop.
constexpr int settle_ms = 15000;

// The folder and everything in it (the database, its journal, the log): the service's account
// and the administrators, with every right; nothing inherited from ProgramData, where every
// user may read.
constexpr const wchar_t* folder_access = L"D:P(A;OICI;FA;;;LS)(A;OICI;FA;;;BA)";
constexpr const wchar_t* service_account = L"NT AUTHORITY\\LocalService";
constexpr const wchar_t* event_source_key =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Vendrel server";

std::mutex status_mutex;
SERVICE_STATUS_HANDLE status_handle = nullptr;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, NO_ERROR, 0, 0, 0};

int (*serve_routine)(void*) = nullptr;
void* serve_context = nullptr;
int serve_result = 0;

void report(DWORD state, int exit_code = 0, DWORD wait_hint = 0)
{
    std::lock_guard<std::mutex> lock(status_mutex);
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    // A failure is the service's own exit code; with it the manager's restarts take effect.
    status.dwWin32ExitCode = exit_code == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exit_code);
    status.dwWaitHint = wait_hint;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    if (status_handle)
        SetServiceStatus(status_handle, &status);
}

DWORD WINAPI control_handler(DWORD control, DWORD, void*, void*)
{
    return win32::service_control(control);
}

void WINAPI service_main(DWORD, wchar_t**)
{
    status_handle = RegisterServiceCtrlHandlerExW(win32::to_wide(service_name).c_str(),
                                                  control_handler, nullptr);
    if (!status_handle) {
        serve_result = 1;
        return;
    }
    report(SERVICE_START_PENDING, 0, start_wait_hint_ms);
    win32::running_as_service = true;
    serve_result = serve_routine(serve_context);
    report(SERVICE_STOPPED, serve_result);
}

int fail(std::string* reason, const std::string& what, DWORD error)
{
    if (reason)
        *reason = what + ": " + win32::system_message(error);
    return service_failed;
}

bool elevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL known =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return known && elevation.TokenIsElevated;
}

std::wstring folder_path()
{
    wchar_t* data = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &data)) && data)
        folder = std::wstring(data) + L"\\Vendrel";
    CoTaskMemFree(data);
    return folder;
}

// The service's folder, made when missing, and its access set (also on what it holds already).
int make_folder(std::string* reason)
{
    std::wstring folder = folder_path();
    if (folder.empty())
        return fail(reason, "there is no ProgramData folder", ERROR_PATH_NOT_FOUND);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return fail(reason, "cannot make " + win32::to_utf8(folder), GetLastError());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(folder_access, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return fail(reason, "cannot describe the folder's access", GetLastError());
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL access = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &access, &defaulted);
    const DWORD set =
        SetNamedSecurityInfoW(folder.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, access, nullptr);
    LocalFree(descriptor);
    if (set != ERROR_SUCCESS)
        return fail(reason, "cannot set who may open " + win32::to_utf8(folder), set);
    return service_ok;
}

// The event source, so that the event log shows the service's lines as they are (the
// program's message table holds the one message "%1").
int register_event_source(const std::wstring& program, std::string* reason)
{
    HKEY key = nullptr;
    LSTATUS made = RegCreateKeyExW(HKEY_LOCAL_MACHINE, event_source_key, 0, nullptr, 0,
                                   KEY_SET_VALUE, nullptr, &key, nullptr);
    if (made != ERROR_SUCCESS)
        return fail(reason, "cannot register the event source", static_cast<DWORD>(made));
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    made = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE*>(program.c_str()),
                          static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
    if (made == ERROR_SUCCESS)
        made = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&types), sizeof types);
    RegCloseKey(key);
    if (made != ERROR_SUCCESS)
        return fail(reason, "cannot register the event source", static_cast<DWORD>(made));
    return service_ok;
}

// Restarts after a failure: 5 s after the first, a minute after later ones, counted afresh
// after a day without one. A server that cannot open its database or its port exits with a
// code of its own, which counts as a failure too (where the system knows that setting).
void set_restarts(SC_HANDLE service)
{
    SC_ACTION actions[] = {
        {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 60000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = 24 * 60 * 60;
    failure.cActions = sizeof actions / sizeof actions[0];
    failure.lpsaActions = actions;
    ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
    SERVICE_FAILURE_ACTIONS_FLAG on_exit_codes{TRUE};
    ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &on_exit_codes);
}

// Waits while the service is in state pending; its state after that (or after the wait).
SERVICE_STATUS_PROCESS settle(SC_HANDLE service, DWORD pending)
{
    SERVICE_STATUS_PROCESS now{};
    for (int waited = 0; waited <= settle_ms; waited += 100) {
        DWORD size = 0;
        if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&now),
                                  sizeof now, &size) ||
            now.dwCurrentState != pending)
            break;
        Sleep(100);
    }
    return now;
}

int start_installed(SC_HANDLE service, std::string* reason)
{
    const char* const installed = "the service is installed, but it does not start";
    // The manager holds its database while it starts the services of a system coming up.
    for (int waited = 0; !StartServiceW(service, 0, nullptr); waited += 100) {
        if (GetLastError() != ERROR_SERVICE_DATABASE_LOCKED || waited >= settle_ms)
            return fail(reason, installed, GetLastError());
        Sleep(100);
    }
    if (settle(service, SERVICE_START_PENDING).dwCurrentState == SERVICE_RUNNING)
        return service_ok;
    if (reason)
        *reason = std::string(installed) +
                  ": its lines in the event log (or vendrel-server.log in " +
                  win32::to_utf8(folder_path()) + ") say why";
    return service_failed;
}

} // namespace

std::string service_folder()
{
    return win32::to_utf8(folder_path());
}

int install_service(const std::string& arguments, std::string* reason)
{
    if (!elevated())
        return service_not_elevated;
    SC_HANDLE manager =
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
    if (!manager)
        return GetLastError() == ERROR_ACCESS_DENIED
                   ? service_not_elevated
                   : fail(reason, "cannot reach the service manager", GetLastError());
    const std::wstring program = win32::program_file();
    int result = make_folder(reason);
    if (result == service_ok)
        result = register_event_source(program, reason);
    SC_HANDLE service = nullptr;
    if (result == service_ok) {
        const std::wstring command = L"\"" + program + L"\" " + win32::to_wide(arguments);
        service =
            CreateServiceW(manager, win32::to_wide(service_name).c_str(),
                           win32::to_wide(service_display_name).c_str(), SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                           command.c_str(), nullptr, nullptr, nullptr, service_account, L"");
        if (!service && GetLastError() == ERROR_SERVICE_EXISTS) {
            if (reason)
                *reason = "the service is installed already; vendrel service remove takes it "
                          "away first";
            result = service_failed;
        } else if (!service) {
            result = fail(reason, "cannot register the service", GetLastError());
        }
    }
    if (service) {
        const std::wstring about = L"Shares the Vendrel database in " + folder_path() +
                                   L" with the Vendrel clients of the network.";
        SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(about.c_str())};
        ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description);
        set_restarts(service);
        result = start_installed(service, reason);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return result;
}

int remove_service(std::string* reason)
{
    if (!elevated())
        return service_not_elevated;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return fail(reason, "cannot reach the service manager", GetLastError());
    SC_HANDLE service = OpenServiceW(manager, win32::to_wide(service_name).c_str(),
                                     SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    const DWORD opened = GetLastError();
    CloseServiceHandle(manager);
    if (!service) {
        if (opened == ERROR_ACCESS_DENIED)
            return service_not_elevated;
        if (opened == ERROR_SERVICE_DOES_NOT_EXIST) {
            if (reason)
                *reason = "the service is not installed";
            return service_failed;
        }
        return fail(reason, "cannot open the service", opened);
    }
    SERVICE_STATUS stopping{};
    ControlService(service, SERVICE_CONTROL_STOP, &stopping); // also when it is not running
    int result = service_ok;
    if (settle(service, SERVICE_STOP_PENDING).dwCurrentState != SERVICE_STOPPED) {
        if (reason)
            *reason = "the service does not stop; try again in a minute";
        result = service_failed;
    } else if (!DeleteService(service)) {
        result = fail(reason, "cannot remove the service", GetLastError());
    } else {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, event_source_key);
    }
    CloseServiceHandle(service);
    return result;
}

int run_as_service(int (*serve)(void* context), void* context, std::string* reason)
{
    serve_routine = serve;
    serve_context = context;
    std::wstring name = win32::to_wide(service_name);
    SERVICE_TABLE_ENTRYW table[] = {{name.data(), service_main}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        if (GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
            return fail(reason, "cannot run as the service", GetLastError());
        if (reason)
            *reason = std::string("run is the service manager's: start the service with net "
                                  "start ") +
                      service_name;
        return service_elsewhere;
    }
    return serve_result;
}

} // namespace platform

namespace win32 {

void note_waiting_for_stop()
{
    if (running_as_service)
        platform::report(SERVICE_RUNNING);
}

unsigned long service_control(unsigned long control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        platform::report(SERVICE_STOP_PENDING, 0, platform::stop_wait_hint_ms);
        request_stop();
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

ServiceStatus last_service_status()
{
    std::lock_guard<std::mutex> lock(platform::status_mutex);
    return {platform::status.dwCurrentState, platform::status.dwWaitHint,
            platform::status.dwServiceSpecificExitCode};
}

} // namespace win32
