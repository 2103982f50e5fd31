// The login dialog: user name and password checked against table person; the first
// administrator login on an empty database creates it.
#pragma once

#include "platform/platform.h"

#include <string>

namespace app {

constexpr int login_field_size = 24; // a name or password of 24 characters is refused

// Reads the user name and password fields; 0, or -1 when either is too long.
int read_login_fields(platform::Window dialog, std::string* user, std::string* password);

// 1 when somebody is logged in now (the dialog has ended), 0 when not, -1 after a database
// error (the dialog stays open).
int perform_login(platform::Window dialog);

// The Login button and the Enter key of the login dialog: log in, then fill the main
// window's groups.
void login_command(platform::Window dialog);

} // namespace app
