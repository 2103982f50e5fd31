// UTF-8 and UTF-16 conversion for the Win32 backend and system part, and the system's error
// texts in UTF-8.
#include "platform/win32/text.h"

#include "platform/text_rules.h"

#include <windows.h>

namespace win32 {

std::wstring to_wide(const std::string& text)
{
    // Bytes that are not UTF-8 (other tools' files) are shown as Windows-1252, as on the other
    // backends.
    const std::string shown = platform::shown_as_utf8(text);
    if (shown.empty())
        return std::wstring();
    const int size = static_cast<int>(shown.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, shown.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0)
        MultiByteToWideChar(CP_UTF8, 0, shown.data(), size, result.data(), wide);
    return result;
}

std::string to_utf8(const wchar_t* text, int length)
{
    if (!text || length == 0)
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string result(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), bytes, nullptr, nullptr);
    if (length < 0 && !result.empty() && result.back() == '\0')
        result.pop_back();
    return result;
}

std::string system_message(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string message = length > 0 ? to_utf8(buffer, static_cast<int>(length)) : std::string();
    LocalFree(buffer);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

std::wstring stop_event_name(unsigned long process_id)
{
    return L"Local\\vendrel-stop-" + std::to_wstring(process_id);
}

} // namespace win32
