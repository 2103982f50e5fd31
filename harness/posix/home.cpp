// The temporary home on POSIX: HOME and XDG_CONFIG_HOME point into it.
#include "harness/home.h"

#include <cstdlib>
#include <filesystem>

namespace testing_support {

std::string make_temp_home(const std::string& prefix)
{
    std::string pattern = std::filesystem::temp_directory_path() / (prefix + "-XXXXXX");
    if (!mkdtemp(pattern.data()))
        return std::string();
    setenv("HOME", pattern.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (pattern + "/.config").c_str(), 1);
    return pattern;
}

std::vector<std::string> home_environment(const std::string& home)
{
    return {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
            "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
}

} // namespace testing_support
