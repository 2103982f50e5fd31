// The user's documents folder on Windows: the Documents known folder, wherever the user or
// an administrator has moved it; for the service, its own folder (as the Linux service's
// documents folder is its home's). Apart from system.cpp so that tests can put their own
// folder in its place at link time.
#include "platform/platform.h"
#include "platform/service.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace platform {

std::string documents_folder()
{
    if (win32::running_as_service) // made by install_service with the access it needs
        return service_folder();
    wchar_t* path = nullptr;
    // KF_FLAG_CREATE: a fresh account whose Documents folder was never made still works.
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &path);
    std::string folder = SUCCEEDED(result) && path ? win32::to_utf8(path) : std::string();
    CoTaskMemFree(path);
    return folder;
}

std::string settings_folder()
{
    wchar_t* path = nullptr;
    const HRESULT result =
        SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &path);
    std::wstring folder = SUCCEEDED(result) && path ? std::wstring(path) + L"\\Vendrel" : L"";
    CoTaskMemFree(path);
    if (folder.empty())
        return std::string();
    CreateDirectoryW(folder.c_str(), nullptr); // there already is as good as made
    return win32::to_utf8(folder);
}

} // namespace platform
