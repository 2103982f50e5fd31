// The server as a service of the system's service manager: registering it, removing it, and
// running as it when the manager starts the program. Windows has it here; on Linux the
// package's systemd unit is the service, and these calls answer service_elsewhere.
#pragma once

#include <string>

namespace platform {

constexpr int service_ok = 0;
constexpr int service_failed = -1;       // *reason says why
constexpr int service_not_elevated = -2; // only an administrator's elevated process may
constexpr int service_elsewhere = -3;    // no such manager here, or it did not start this process

// The manager's name of the service, and the one people see.
constexpr const char* service_name = "vendrel-server";
constexpr const char* service_display_name = "Vendrel server";

// Registers this program, followed by arguments, as the service: started with the system,
// started again after a failure, running as a low-rights account of the system's own. Its
// folder (service_folder) is made first, open to that account and administrators only. Then
// starts it and waits until it runs. service_failed also when it is registered but would
// not start; *reason then says so.
int install_service(const std::string& arguments, std::string* reason);

// Stops the service, waiting until it has stopped, and removes it. Its folder stays.
int remove_service(std::string* reason);

// The folder of the service's database and log; the documents folder of the service itself.
std::string service_folder();

// For a program the service manager started: runs serve(context) as the service, which it
// reports running once serve waits for a stop signal (wait_for_stop_signal) and stopped with
// serve's result; a stop or a shutdown of the system is such a signal. Returns serve's result,
// or service_elsewhere when the manager did not start this process (nothing ran then).
int run_as_service(int (*serve)(void* context), void* context, std::string* reason);

} // namespace platform
