// The "All subjects" dialog and "Person new": the list of live subjects, whose selection is
// the current subject of every other subject dialog, the creation of subjects, and the
// subject kinds. Opening "Person update" is the dialog framework's; the update itself,
// links, extra data and removal live in their own files.
#include "subjects/subject_list.h"

#include "platform/fields.h"
#include "resources/ids.h"
#include "store/session.h"
#include "store/sql.h"
#include "subjects/forms.h"
#include "subjects/messages.h"
#include "subjects/statements.h"
#include "util/date_time.h"

#include <cstring>
#include <iterator>
#include <vector>

namespace subjects {

namespace {

constexpr int new_name_limit = 40;

// Indexed by kind - 1: the combo box does not sort, so an entry's position is its value - 1.
constexpr const char* kind_names[] = {"Person", "Company",     "Family",
                                      "Group",  "TicketGroup", "PopMail"};
static_assert(std::size(kind_names) == kind_pop_mail, "one name per subject kind");

} // namespace

int subject_kind_from_text(const char* text)
{
    if (!text)
        return -1;
    for (int kind = kind_person; kind <= kind_pop_mail; ++kind)
        if (std::strcmp(text, kind_names[kind - 1]) == 0)
            return kind;
    return -1;
}

const char* subject_kind_text(int kind)
{
    return kind >= kind_person && kind <= kind_pop_mail ? kind_names[kind - 1] : nullptr;
}

void fill_subject_kinds(platform::Window window, int control_id)
{
    for (int kind = kind_person; kind <= kind_ticket_group; ++kind)
        platform::combo_add(window, control_id, kind_names[kind - 1]);
    if (store::feature_flags & store::feature_mail)
        platform::combo_add(window, control_id, kind_names[kind_pop_mail - 1]);
}

int selected_subject_name(platform::Window list, platform::Window owner, std::string* name)
{
    const int selected = platform::list_selection(list, ids::subject_list::names);
    if (selected < 0) {
        platform::message_box(owner, text::select_person);
        return -1;
    }
    *name = platform::list_text(list, ids::subject_list::names, selected);
    return 0;
}

void fill_subject_list(platform::Window list)
{
    const std::string sql = "SELECT name from person where date_e is null order by name";
    std::vector<std::string> names;
    const store::Outcome outcome = store::run_collecting(sql, "name", &names);
    if (outcome.failure == store::Failure::prepare) {
        platform::tell(list, select_failure, sql);
        return;
    }
    // Nothing to show (or nothing readable): the list keeps what it had.
    if (names.empty()) {
        platform::message_box(list, "Error no persons found");
        return;
    }
    // Every subject, however many: the list is the only way to reach one. In one pass, so a
    // register of a hundred thousand names is drawn once.
    platform::list_reset(list, ids::subject_list::names);
    platform::list_add_lines(list, ids::subject_list::names, names);
}

void create_subject(platform::Window dialog)
{
    std::string name;
    if (platform::read_field(dialog, ids::subject_new::name, new_name_limit, "Name too long",
                             &name) < 0)
        return;
    const std::string stamp = util::time_stamp_now();
    const std::string quoted = store::sql_quote(name);
    const char* const cannot_prepare = "Cannot prepare statement for persons";

    // Names stay unique over every row, removed ones included, so a removed subject's name
    // can never come back as somebody else.
    const std::string probe =
        store::sql_format("SELECT id FROM PERSON where name='%s'", quoted.c_str());
    const store::Outcome found =
        run_told(dialog, probe, {cannot_prepare, platform::Shape::message_captioned_statement},
                 [](store::DbStatement*) { return false; });
    if (found.failure == store::Failure::prepare)
        return;
    // A row, or a failure to look, both keep the name from being given twice.
    if (!found.ok() || found.rows > 0) {
        platform::message_box(dialog, text::person_exists);
        return;
    }

    const std::string insert =
        store::sql_format("INSERT INTO PERSON (name,date_b,date_e) VALUES('%s','%s',NULL)",
                          quoted.c_str(), stamp.c_str());
    if (execute_reported(dialog, insert,
                         {cannot_prepare, platform::Shape::message_captioned_statement},
                         "Error insert - person") != 0)
        return;
    fill_subject_list(subject_form(dialog).list);
    platform::end_dialog(dialog, 0);
}

int prepare_subject_update(platform::Window list)
{
    if (platform::list_selection(list, ids::subject_list::names) < 0) {
        platform::message_box(list, text::select_person);
        return -1;
    }
    return 0;
}

} // namespace subjects
