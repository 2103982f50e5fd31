// What the files of the Windows system part share: the program's own file, the stop request
// of a server without windows, and the service: whether this process is it, its control
// handler and the status it reports, and its log. Private to platform/win32 (and the Windows
// tests, which call the control handler as the service manager would).
#pragma once

#include <atomic>
#include <string>

namespace win32 {

// The full path of the running program; empty when the system does not tell.
std::wstring program_file();

// system.cpp: makes wait_for_stop_signal return, as a console's Ctrl+C does.
void request_stop();

// What a console event (Ctrl+C, closing the console, logoff, shutdown) does to a server
// without windows: each asks it to stop, but another user's logoff does not stop the service.
// True: handled.
bool console_event(unsigned long event);

// Set by run_as_service before the server is set up: the documents folder is then the
// service's folder and log lines go to the service's log.
extern std::atomic<bool> running_as_service;

// service.cpp: told by wait_for_stop_signal that the server is set up and waits to be stopped.
void note_waiting_for_stop();

// The service's control handler: a stop or a shutdown of the system asks the server to stop
// at once (reporting that it is stopping, for at most five seconds); an interrogation is
// answered; anything else is not implemented. Returns the answer for the service manager.
unsigned long service_control(unsigned long control);

// The status the service last reported (state, wait hint, exit code), also where no service
// manager listens.
struct ServiceStatus {
    unsigned long state;
    unsigned long wait_hint_ms;
    unsigned long exit_code;
};
ServiceStatus last_service_status();

// service_log.cpp: one line of the service's log, to the event log or beside the database.
void write_service_log(const std::string& line);

} // namespace win32
