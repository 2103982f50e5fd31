// The known servers: a small text file, read whole and written whole. A line that is not of
// the form is kept as it is, so that nothing a user wrote by hand is lost.
#include "remote/known_servers.h"

#include "platform/platform.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace remote {

namespace {

constexpr const char* file_name = "known-servers";

std::filesystem::path known_servers_path()
{
    const std::string folder = platform::settings_folder();
    if (folder.empty())
        return std::filesystem::path();
    const std::string path = folder + platform::path_separator() + file_name;
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::vector<std::string> lines_of(const std::filesystem::path& path)
{
    std::vector<std::string> lines;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The fingerprint of line when it names server, else the empty text.
std::string entry_of(const std::string& line, const std::string& server)
{
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos || line.compare(0, blank, server) != 0 || blank != server.size())
        return std::string();
    return line.substr(blank + 1);
}

} // namespace

std::string known_fingerprint(const std::string& server)
{
    const std::filesystem::path path = known_servers_path();
    if (path.empty())
        return std::string();
    for (const std::string& line : lines_of(path)) {
        const std::string fingerprint = entry_of(line, server);
        if (!fingerprint.empty())
            return fingerprint;
    }
    return std::string();
}

int remember_server(const std::string& server, const std::string& fingerprint)
{
    const std::filesystem::path path = known_servers_path();
    if (path.empty())
        return -1;
    std::ostringstream text;
    for (const std::string& line : lines_of(path))
        if (entry_of(line, server).empty())
            text << line << '\n';
    text << server << ' ' << fingerprint << '\n';
    // Written beside and renamed into place, so that a reader never meets half a file.
    std::filesystem::path partial = path;
    partial += ".new";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file << text.str();
        if (!file.flush())
            return -1;
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    return error ? -1 : 0;
}

} // namespace remote
