// The test's PostgreSQL server: initdb, pg_ctl and psql run as child processes, under the
// unprivileged user "nobody" when this process is root (the server refuses root).
#include "harness/pg_server.h"

#include "harness/peer.h"
#include "platform/platform.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pg_testing {

namespace {

constexpr uid_t unprivileged = 65534; // nobody
constexpr gid_t unprivileged_group = 65534;

bool as_root()
{
    return geteuid() == 0;
}

// The newest server installed, as Debian lays it out.
std::string find_bin()
{
    std::string best;
    int best_version = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ignored)) {
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > best_version && std::filesystem::exists(entry.path() / "bin" / "initdb")) {
            best_version = version;
            best = (entry.path() / "bin").string();
        }
    }
    return best;
}

// Runs program with arguments, its output (both streams) into output_file, as the
// unprivileged user when drop is set and this process is root. Its exit status, or -1.
int run(const std::vector<std::string>& arguments, const std::string& output_file, bool drop,
        int timeout_ms = 60000)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        FILE* out = std::fopen(output_file.c_str(), "w");
        if (out) {
            dup2(fileno(out), 1);
            dup2(fileno(out), 2);
        }
        if (drop && as_root()) {
            if (setgroups(0, nullptr) != 0 || setgid(unprivileged_group) != 0 ||
                setuid(unprivileged) != 0)
                _exit(126);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0)
        return -1;
    const std::int64_t end = platform::monotonic_ms() + timeout_ms;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (platform::monotonic_ms() > end) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        platform::sleep_ms(20);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string file_text(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

bool start_pg_server(PgServer* server)
{
    server->bin = find_bin();
    if (server->bin.empty()) {
        server->error = "no PostgreSQL server is installed (the Debian package postgresql)";
        return false;
    }
    char pattern[] = "/tmp/vendrel-pg-XXXXXX";
    if (!mkdtemp(pattern)) {
        server->error = "no temporary folder";
        return false;
    }
    server->folder = pattern;
    if (as_root() && chown(pattern, unprivileged, unprivileged_group) != 0) {
        server->error = "cannot give the folder to nobody";
        return false;
    }
    const std::string data = server->folder + "/data";
    const std::string log = server->folder + "/log";
    if (run({server->bin + "/initdb", "-D", data, "-U", "vendrel", "--auth=trust", "-E", "UTF8",
             "--locale=C", "--no-sync"},
            server->folder + "/initdb.out", true) != 0) {
        server->error = "initdb failed: " + file_text(server->folder + "/initdb.out");
        return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        server->port = remote_testing::free_port();
        const std::string options = "-c listen_addresses=127.0.0.1 -p " +
                                    std::to_string(server->port) + " -k " + server->folder +
                                    " -c fsync=off -c synchronous_commit=off"
                                    " -c full_page_writes=off";
        if (run({server->bin + "/pg_ctl", "-D", data, "-l", log, "-o", options, "-w", "-t", "60",
                 "start"},
                server->folder + "/pg_ctl.out", true, 90000) == 0) {
            std::ifstream pid_file(data + "/postmaster.pid");
            pid_file >> server->pid;
            if (server->pid > 0)
                return true;
        }
    }
    server->error = "the PostgreSQL server did not start: " + file_text(log);
    return false;
}

void stop_pg_server(PgServer* server)
{
    if (server->pid > 0) {
        kill(static_cast<pid_t>(server->pid), SIGINT); // a fast shutdown
        const std::int64_t end = platform::monotonic_ms() + 30000;
        while (kill(static_cast<pid_t>(server->pid), 0) == 0 && platform::monotonic_ms() < end)
            platform::sleep_ms(50);
        if (kill(static_cast<pid_t>(server->pid), 0) == 0)
            kill(static_cast<pid_t>(server->pid), SIGKILL);
        server->pid = 0;
    }
    if (!server->folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(server->folder, ignored);
        server->folder.clear();
    }
}

std::string pg_uri(const PgServer& server, const std::string& name)
{
    return "postgresql://vendrel@127.0.0.1:" + std::to_string(server.port) + "/" + name;
}

std::string make_pg_database(const PgServer& server, const std::string& name)
{
    const Rows made = pg_query(server, "postgres", "create database " + name);
    if (!made.empty() && !made[0].empty() && made[0][0].rfind("error: ", 0) == 0)
        return std::string();
    return pg_uri(server, name);
}

Rows pg_query(const PgServer& server, const std::string& name, const std::string& sql)
{
    static int serial = 0;
    const std::string output =
        server.folder + "/psql-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    const int status =
        run({server.bin + "/psql", "-X", "-q", "-A", "-t", "-F", "\x1f", "-R", "\x1e", "-P",
             "null=NULL", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p",
             std::to_string(server.port), "-U", "vendrel", "-d", name, "-c", sql},
            output, false);
    std::string text = file_text(output);
    std::remove(output.c_str());
    if (status != 0)
        return {{"error: " + text}};
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    Rows rows;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\x1e', at);
        if (end == std::string::npos)
            end = text.size();
        std::vector<std::string> row;
        std::size_t field = at;
        for (;;) {
            const std::size_t stop = text.find('\x1f', field);
            if (stop == std::string::npos || stop >= end) {
                row.push_back(text.substr(field, end - field));
                break;
            }
            row.push_back(text.substr(field, stop - field));
            field = stop + 1;
        }
        rows.push_back(row);
        at = end + 1;
    }
    return rows;
}

} // namespace pg_testing
