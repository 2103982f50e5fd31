// The subject scenario helpers.
#include "tests/subjects/subject_scenario.h"

#include "resources/ids.h"

#include <algorithm>

namespace subjects_testing {

using namespace headless;
using namespace ids;

std::string quoted(const std::string& text)
{
    std::string result;
    for (char c : text) {
        result += c;
        if (c == '\'')
            result += '\'';
    }
    return result;
}

void SubjectScenario::start_as_admin()
{
    start();
    create_database();
}

Window SubjectScenario::subject_list()
{
    if (Window open = find_dialog(subject_list_dialog))
        return open;
    click(main, main_window::subjects);
    Window list = find_dialog(subject_list_dialog);
    EXPECT_NE(list, nullptr);
    return list;
}

std::vector<std::string> SubjectScenario::create(const std::string& name)
{
    box_texts();
    Window form = find_dialog(subject_new_dialog);
    if (!form)
        form = open_from(subject_list(), subject_list::create, subject_new_dialog);
    type_text(form, subject_new::name, name);
    click(form, subject_new::save);
    return box_texts();
}

bool SubjectScenario::select(const std::string& name)
{
    Window list = subject_list();
    const std::vector<std::string> lines = lines_of(list, subject_list::names);
    const auto found = std::find(lines.begin(), lines.end(), name);
    if (found == lines.end())
        return false;
    return select_line(list, subject_list::names, static_cast<int>(found - lines.begin()));
}

Window SubjectScenario::open_update(const std::string& name)
{
    if (!select(name))
        return nullptr;
    return open_from(subject_list(), subject_list::update, subject_update_dialog);
}

Window SubjectScenario::open_from(Window dialog, int button, int template_id)
{
    click(dialog, button);
    return find_dialog(template_id);
}

void SubjectScenario::close_forms()
{
    std::vector<Window> dialogs = open_dialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        if (*it != main)
            press_escape(*it);
}

std::string SubjectScenario::column(const std::string& name, const std::string& column_name)
{
    const testing_support::Rows rows =
        query("SELECT " + column_name + " FROM person WHERE name='" + quoted(name) + "'");
    return rows.empty() ? std::string() : rows[0][0];
}

int SubjectScenario::id_of(const std::string& name)
{
    const std::string id = column(name, "id");
    return id.empty() ? -1 : std::stoi(id);
}

} // namespace subjects_testing
