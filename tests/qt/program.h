// Driving the real program on the Qt backend: a temporary home for its database, SQL
// written straight into that file, and the login as steps of a gui script. Shared by the
// scenario test and the screenshot tool.
#pragma once

#include "tests/qt/gui.h"

#include <functional>
#include <string>
#include <vector>

namespace program {

// A fresh home folder (HOME and XDG_CONFIG_HOME point into it) for one run; removed by
// remove_home().
std::string make_home();
void remove_home(const std::string& home);
// The database file the program uses in that home.
std::string database_in(const std::string& home);

// Runs statements on the file through a connection of its own; false (and a message on
// stderr) on an error.
bool execute(const std::string& file, const std::string& sql);
// The first column of the first row, or -1.
int number(const std::string& file, const std::string& sql);

// Steps that open the login dialog from the main window, type the name and password and
// press Login. boxes: how many message boxes the login will show (answered OK at once);
// while_open runs once the login dialog is open.
std::vector<gui::Step> log_in(const std::string& user, const std::string& password, int boxes = 0,
                              std::function<void()> while_open = nullptr);

// The steps joined in order.
std::vector<gui::Step> then(std::vector<gui::Step> first, const std::vector<gui::Step>& next);

} // namespace program
