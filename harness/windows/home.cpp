// The temporary home on Windows: the tests' documents folder (windows/folders.cpp) is the
// Documents folder inside the folder that VENDREL_TEST_HOME names.
#include "harness/home.h"

#include "platform/win32/text.h"

#include <windows.h>

#include <atomic>

namespace testing_support {

std::string make_temp_home(const std::string& prefix)
{
    static std::atomic<unsigned> made{0};
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        return std::string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring folder = std::wstring(temp, length) + win32::to_wide(prefix) + L"-" +
                                    std::to_wstring(GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(made++) + L"-" +
                                    std::to_wstring(GetTickCount());
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            SetEnvironmentVariableW(L"VENDREL_TEST_HOME", folder.c_str());
            return win32::to_utf8(folder);
        }
    }
    return std::string();
}

std::vector<std::string> home_environment(const std::string& home)
{
    return {"VENDREL_TEST_HOME=" + home};
}

} // namespace testing_support
