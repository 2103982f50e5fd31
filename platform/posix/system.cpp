// The system half of the platform layer over POSIX: threads, sleeps, the monotonic clock,
// shared libraries, the user's folders, whether there is a desktop, the terminal and the log
// (the standard streams, which are UTF-8 already), and the stop signals of a program without
// windows. Dialogs are the backends' business.
#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

struct ThreadStart {
    void (*routine)(void*);
    void* argument;
};

void* thread_main(void* raw)
{
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.routine(start.argument);
    return nullptr;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Creates path and its missing parents; true when it exists as a folder afterwards.
bool make_folders(const std::string& path)
{
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '/') {
            const std::string part = path.substr(0, at);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// XDG_DOCUMENTS_DIR from the user-dirs file: a line XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string xdg_documents_entry(const std::string& home)
{
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty())
        config = home + "/.config";
    std::ifstream file(config + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(file, line)) {
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        std::string value = line.substr(start + key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        else if (value.empty() || value[0] != '/')
            continue; // the file allows only absolute or $HOME-relative paths
        while (value.size() > 1 && value.back() == '/')
            value.pop_back();
        // A documents entry that is the home folder itself means "no documents folder".
        if (value == home)
            continue;
        return value;
    }
    return std::string();
}

volatile std::sig_atomic_t stop_requested = 0;

extern "C" void note_stop_signal(int)
{
    stop_requested = 1;
}

} // namespace

std::vector<std::string> program_arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void write_output(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void write_error(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void write_log_line(const std::string& line)
{
    write_error(line + "\n"); // one write: lines of two threads never interleave
}

bool desktop_available()
{
    return !environment("DISPLAY").empty() || !environment("WAYLAND_DISPLAY").empty() ||
           !environment("QT_QPA_PLATFORM").empty();
}

void catch_stop_signals()
{
    struct sigaction action {};
    action.sa_handler = note_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void wait_for_stop_signal()
{
    // The handler only sets a flag; a short sleep keeps this free of the races that come
    // with waiting on a signal in a process that has other threads.
    while (!stop_requested)
        sleep_ms(50);
}

int start_thread(void (*routine)(void*), void* argument, std::size_t stack_size)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return -1;
    if (stack_size > 0) {
        const long least = sysconf(_SC_THREAD_STACK_MIN);
        if (least > 0 && stack_size < static_cast<std::size_t>(least))
            stack_size = static_cast<std::size_t>(least);
        pthread_attr_setstacksize(&attributes, stack_size);
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    auto* start = new ThreadStart{routine, argument};
    pthread_t thread;
    const int created = pthread_create(&thread, &attributes, thread_main, start);
    pthread_attr_destroy(&attributes);
    if (created != 0) {
        delete start;
        return -1;
    }
    return 0;
}

void sleep_ms(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int64_t monotonic_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void* load_library(const char* name)
{
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* library_symbol(void* library, const char* name)
{
    return library ? dlsym(library, name) : nullptr;
}

std::string documents_folder()
{
    const std::string home = environment("HOME");
    if (home.empty())
        return std::string();
    std::string folder = xdg_documents_entry(home);
    if (folder.empty())
        folder = home + "/Documents";
    return make_folders(folder) ? folder : std::string();
}

std::string settings_folder()
{
    std::string base = environment("XDG_CONFIG_HOME");
    if (base.empty()) {
        const std::string home = environment("HOME");
        if (home.empty())
            return std::string();
        base = home + "/.config";
    }
    const std::string folder = base + "/vendrel";
    return make_folders(folder) ? folder : std::string();
}

std::string temp_folder()
{
    std::string folder = environment("TMPDIR");
    if (folder.empty())
        folder = "/tmp";
    return folder + "/";
}

char path_separator()
{
    return '/';
}

int create_new_file(const std::string& path, std::string* reason)
{
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) {
        if (errno == EEXIST)
            return 1;
        if (reason)
            *reason = std::strerror(errno);
        return -1;
    }
    close(file);
    return 0;
}

bool input_is_terminal()
{
    return isatty(STDIN_FILENO) != 0;
}

int read_input_line(std::string* line)
{
    line->clear();
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line->push_back(static_cast<char>(c));
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return c == EOF && line->empty() ? -1 : 0;
}

int read_hidden_line(const char* prompt, std::string* line)
{
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    termios saved;
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios hidden = saved;
        hidden.c_lflag &= static_cast<tcflag_t>(~ECHO);
        hidden.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    const int result = read_input_line(line);
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    return result;
}

} // namespace platform
