// Test processes on POSIX: fork and exec, waitpid, SIGTERM and SIGKILL by pid, SIGSTOP and
// SIGCONT to freeze and thaw.
#include "harness/process.h"

#include "platform/platform.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

bool start_process(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment, const std::string& error_file,
                   Process* process, const std::string& input_file)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlive a test that failed half-way
        for (const std::string& change : environment) {
            const std::size_t equals = change.find('=');
            const std::string name = change.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : change.substr(equals + 1);
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        if (!error_file.empty()) {
            const int fd = open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0)
                dup2(fd, 2);
        }
        if (!input_file.empty()) {
            const int fd = open(input_file.c_str(), O_RDONLY);
            if (fd >= 0)
                dup2(fd, 0);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    process->id = child;
    return child > 0;
}

bool wait_process(Process* process, int timeout_ms, int* exit_status)
{
    if (process->id <= 0)
        return false;
    const pid_t pid = static_cast<pid_t>(process->id);
    const int64_t end = platform::monotonic_ms() + timeout_ms;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 || platform::monotonic_ms() >= end)
            return false;
        platform::sleep_ms(10);
    }
    process->id = -1;
    *exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

void request_stop(Process* process)
{
    if (process->id > 0)
        kill(static_cast<pid_t>(process->id), SIGTERM);
}

void kill_process(Process* process)
{
    if (process->id <= 0)
        return;
    kill(static_cast<pid_t>(process->id), SIGKILL);
    waitpid(static_cast<pid_t>(process->id), nullptr, 0);
    process->id = -1;
}

bool freeze_process(Process* process)
{
    // A stop signal takes effect some time after kill returns; waiting for the stop makes
    // the freeze certain before the caller goes on.
    const pid_t pid = static_cast<pid_t>(process->id);
    int status = 0;
    return pid > 0 && kill(pid, SIGSTOP) == 0 && waitpid(pid, &status, WUNTRACED) == pid &&
           WIFSTOPPED(status);
}

bool thaw_process(Process* process)
{
    const pid_t pid = static_cast<pid_t>(process->id);
    int status = 0;
    return pid > 0 && kill(pid, SIGCONT) == 0 && waitpid(pid, &status, WCONTINUED) == pid &&
           WIFCONTINUED(status);
}

} // namespace testing_support
