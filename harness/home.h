// A temporary home for a test: a fresh folder whose Documents subfolder is the program's
// documents folder, in this process and in the processes the test starts.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// Makes a fresh folder in the system's temp folder, its name beginning with prefix, and
// makes it the home of this process; "" when it cannot.
std::string make_temp_home(const std::string& prefix);

// Environment changes, NAME=VALUE (an empty VALUE removes NAME), that give a process home
// as its home and no display, so that the program started with them as a server serves
// without windows.
std::vector<std::string> home_environment(const std::string& home);

} // namespace testing_support
