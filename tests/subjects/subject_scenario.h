// Scenario helpers for the subject dialogs: the administrator at work in "All subjects" and
// the forms opened from it, driven through the headless backend like a person would.
#pragma once

#include "tests/support/scenario.h"

#include <string>
#include <vector>

namespace subjects_testing {

using platform::Window;

// A text ready to stand between single quotes in a test's own SQL.
std::string quoted(const std::string& text);

class SubjectScenario : public testing_support::Scenario {
  protected:
    // Starts the program, creates the database and leaves admin logged in.
    void start_as_admin();

    // Opens "All subjects" from the main window (or returns it when open).
    Window subject_list();
    // Types name into "Person new" and presses Ok; returns the boxes it showed. The dialog
    // stays open when the name was refused.
    std::vector<std::string> create(const std::string& name);
    // Selects name in the "All subjects" list; false when it is not listed.
    bool select(const std::string& name);
    // Selects name and presses Update; the "Person update" dialog, or nullptr.
    Window open_update(const std::string& name);
    // Presses button in dialog and returns the newest dialog built from template_id.
    Window open_from(Window dialog, int button, int template_id);
    // Closes every dialog above the main one.
    void close_forms();

    // One column of the row called name (removed or not); "NULL" for NULL, "" for no row.
    std::string column(const std::string& name, const std::string& column_name);
    // The id of the row called name, or -1.
    int id_of(const std::string& name);
};

} // namespace subjects_testing
