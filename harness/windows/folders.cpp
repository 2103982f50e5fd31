// The documents and settings folders of the Windows test programs, in place of the known
// folders (which are the user's, shared by every test): Documents and Settings inside the
// folder that VENDREL_TEST_HOME names, created when missing; none without it.
#include "platform/platform.h"
#include "platform/win32/text.h"

#include <windows.h>

namespace platform {

namespace {

std::string test_home_folder(const wchar_t* name)
{
    wchar_t home[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"VENDREL_TEST_HOME", home, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    const std::wstring folder = std::wstring(home, length) + L"\\" + name;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return std::string();
    return win32::to_utf8(folder);
}

} // namespace

std::string documents_folder()
{
    return test_home_folder(L"Documents");
}

std::string settings_folder()
{
    return test_home_folder(L"Settings");
}

} // namespace platform
