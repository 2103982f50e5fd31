// Processes that tests start: a program with its arguments, changes to the environment and
// its error output in a file; waited for with a time-out, asked to stop the way the system
// asks a server to, and ended by their own id only.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct Process {
    long long id = -1;      // the system's process id; -1 once it has been waited for
    void* handle = nullptr; // where the system gives one (Windows)
};

// Starts program (on Windows a bare file name is looked for beside the test program) with
// arguments; environment holds NAME=VALUE changes (an empty VALUE removes NAME). The error
// output goes to error_file unless it is empty; the standard input comes from input_file
// unless it is empty. False when no process could be made.
bool start_process(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment, const std::string& error_file,
                   Process* process, const std::string& input_file = std::string());

// Waits at most timeout_ms for the process to end. True once it has ended; exit_status is then
// its exit code, or -1 when it did not end by itself.
bool wait_process(Process* process, int timeout_ms, int* exit_status);

// Asks it to stop as the system asks a server: the termination signal on POSIX, the
// process's stop event on Windows (see platform::catch_stop_signals).
void request_stop(Process* process);

// Ends it at once and waits for it.
void kill_process(Process* process);

// Freezes it, as a machine that hangs would, and returns once it is frozen; and lets it go
// on. True when it is so.
bool freeze_process(Process* process);
bool thaw_process(Process* process);

} // namespace testing_support
