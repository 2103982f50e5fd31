// Texts between the program and the wide Win32 API. The program keeps UTF-8, so lengths it
// measures are bytes and a Linux and a Windows client of one server store the same bytes;
// Windows speaks UTF-16. Private to platform/win32 (and the Windows test helpers).
#pragma once

#include <string>

namespace win32 {

// UTF-8 to UTF-16. Bytes that are not valid UTF-8 (written by other tools) are read as
// Windows-1252, so they show as the characters they most likely were.
std::wstring to_wide(const std::string& text);

// UTF-16 to UTF-8; length -1 means up to the terminating NUL.
std::string to_utf8(const wchar_t* text, int length = -1);
inline std::string to_utf8(const std::wstring& text)
{
    return to_utf8(text.data(), static_cast<int>(text.size()));
}

// The system's own words for an error code (GetLastError, WSAGetLastError), without the
// line end Windows puts after them; "error N" when the system has none.
std::string system_message(unsigned long code);

// The name of the event that asks the windowless server of process process_id to stop.
std::wstring stop_event_name(unsigned long process_id);

} // namespace win32
