// The documents folder of the Windows test programs, in place of the Documents known folder
// (which is the user's, shared by every test): the Documents folder inside the folder that
// VENDREL_TEST_HOME names, created when missing; none without it.
#include "platform/platform.h"
#include "platform/win32/text.h"

#include <windows.h>

namespace platform {

std::string documents_folder()
{
    wchar_t home[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"VENDREL_TEST_HOME", home, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    const std::wstring folder = std::wstring(home, length) + L"\\Documents";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return std::string();
    return win32::to_utf8(folder);
}

} // namespace platform
