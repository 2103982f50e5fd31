// The service's log: each line an event in the Application event log, source "Vendrel server"
// (the event source service.cpp registers). Where the event log does not keep what it is
// given (Wine answers every call and stores nothing), the lines go into vendrel-server.log in
// the service's folder instead, beside the database; at 8 MB it becomes vendrel-server.log.old.
#include "platform/service.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"

#include <windows.h>

#include <mutex>

namespace win32 {

namespace {

constexpr DWORD log_line_message = 1; // "%1" in the program's message table
constexpr LONGLONG file_limit = 8LL * 1024 * 1024;

enum class Place { undecided, event_log, file };

std::mutex log_mutex;
Place place = Place::undecided;
HANDLE source = nullptr;
HANDLE file = INVALID_HANDLE_VALUE;

bool report(const std::wstring& line)
{
    const wchar_t* strings[] = {line.c_str()};
    return source && ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, log_line_message, nullptr,
                                  1, 0, strings, nullptr);
}

// The number the Application log's next record gets, or -1 when the log cannot be read.
long long next_record()
{
    HANDLE log = OpenEventLogW(nullptr, L"Application");
    if (!log)
        return -1;
    DWORD oldest = 0;
    DWORD count = 0;
    const bool known =
        GetOldestEventLogRecord(log, &oldest) && GetNumberOfEventLogRecords(log, &count);
    CloseEventLog(log);
    return known ? static_cast<long long>(oldest) + count : -1;
}

// The first line decides: it goes to the event log, and if the log cannot be read back or
// holds one record more afterwards, the event log it is.
Place first_line(const std::wstring& line)
{
    source = RegisterEventSourceW(nullptr, to_wide(platform::service_display_name).c_str());
    const long long before = next_record();
    if (report(line) && (before < 0 || next_record() > before))
        return Place::event_log;
    return Place::file;
}

std::wstring file_path()
{
    return to_wide(platform::service_folder()) + L"\\vendrel-server.log";
}

void open_file()
{
    file = CreateFileW(file_path().c_str(), FILE_APPEND_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void write_file(const std::string& line)
{
    LARGE_INTEGER size{};
    if (file != INVALID_HANDLE_VALUE && GetFileSizeEx(file, &size) && size.QuadPart > file_limit) {
        CloseHandle(file);
        MoveFileExW(file_path().c_str(), (file_path() + L".old").c_str(),
                    MOVEFILE_REPLACE_EXISTING);
        file = INVALID_HANDLE_VALUE;
    }
    if (file == INVALID_HANDLE_VALUE)
        open_file();
    const std::string bytes = line + "\r\n"; // as Notepad wants it
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE)
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

void write_service_log(const std::string& line)
{
    std::lock_guard<std::mutex> lock(log_mutex);
    const std::wstring wide = to_wide(line);
    if (place == Place::undecided) {
        place = first_line(wide);
        if (place == Place::event_log)
            return;
    } else if (place == Place::event_log && report(wide)) {
        return;
    }
    write_file(line);
}

} // namespace win32
