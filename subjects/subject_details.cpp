// The "Person update" dialog: the main details of the subject selected when it opens, shown
// then and written back to that same subject by its OK button, whatever is selected later.
// Opening the password, links and extra dialogs is the dialog framework's.
#include "subjects/subject_details.h"

#include "platform/fields.h"
#include "resources/ids.h"
#include "store/session.h"
#include "store/sql.h"
#include "subjects/forms.h"
#include "subjects/messages.h"
#include "subjects/statements.h"
#include "subjects/subject_list.h"

#include <cstdlib>
#include <iterator>

namespace subjects {

namespace {

namespace control = ids::subject_update;
constexpr int name_limit = 64;

// What an empty mobile number field starts with, as the dialog always has.
constexpr const char* mobile_prefix = "06-";

struct DetailField {
    int control;
    const char* column;
    int limit; // length at which the save refuses the field; 0 for the kind list
    const char* too_long;
};

// In the order in which the dialog fills and checks them.
constexpr DetailField detail_fields[] = {
    {control::telephone, "telephonenumber", 40, text::telephone_too_long},
    {control::mobile, "mobilenumber", 40, text::mobile_too_long},
    {control::email, "email", 64, text::email_too_long},
    {control::role, "role", 0, "Select a role"},
    {control::application, "application", 80, "Application too long"},
    {control::address, "address", 80, "Address too long"},
    {control::subaddress, "subaddress", 40, "Subaddress too long"},
    {control::postcode, "pnumber", 20, "PCODE too long"},
    {control::place, "place", 80, "Place too long"},
    {control::birthdate, "birthdate", 64, "Birthdate too long"},
    {control::anniversary, "anniversary", 64, "Anniversary too long"},
    {control::known_from, "knownfrom", 80, "KnownFrom too long"},
    {control::system_number, "systemnumber", 20, "Systemnumber too long"},
    {control::description, "description", 4096, text::description_too_long},
};
constexpr std::size_t text_field_count = std::size(detail_fields) - 1;

// Selects the subject's kind; a NULL role is a person. A kind without a name, or one the
// list does not offer, leaves the list without a selection, so that a save must choose.
void select_kind(platform::Window dialog, const char* role)
{
    const char* name = subject_kind_text(role ? std::atoi(role) : kind_person);
    if (!name)
        return;
    const int entry = platform::combo_find_prefix(dialog, control::role, -1, name);
    if (entry >= 0)
        platform::combo_set_selection(dialog, control::role, entry);
}

} // namespace

void load_subject_details(platform::Window dialog)
{
    // The dialog shows, and from now on saves to, the subject selected in the list it was
    // opened from; a subject not (or no longer) found leaves it without one.
    SubjectForm& form = subject_form(dialog);
    std::string name;
    if (selected_subject_name(form.list, dialog, &name) < 0)
        return;
    form.subject_id = 0;
    const std::string sql = store::sql_format(
        "SELECT * from PERSON where name='%s' and date_e is null", store::sql_quote(name).c_str());
    read_subject_row(dialog, sql, [dialog, &name, &form](store::DbStatement* row) {
        form.subject_id = store::column_number(row, "id");
        platform::set_item_text(dialog, control::name, name);
        for (const DetailField& field : detail_fields) {
            const char* value = store::column_by_name(row, field.column);
            if (field.control == control::role) {
                fill_subject_kinds(dialog, control::role);
                select_kind(dialog, value);
            } else if (value) {
                platform::set_item_text(dialog, field.control, value);
            } else if (field.control == control::mobile) {
                platform::set_item_text(dialog, field.control, mobile_prefix);
            }
        }
        return false;
    });
}

void save_subject_details(platform::Window dialog)
{
    const int id = form_subject(dialog);
    if (id < 0)
        return;

    std::string new_name;
    if (platform::read_field(dialog, control::name, name_limit, "Person too long", &new_name) < 0)
        return;
    // The administrator's name stays the administrator's.
    if (new_name == store::administrator_name) {
        platform::message_box(dialog, "Cannot update admin");
        return;
    }
    const std::string quoted_name = store::sql_quote(new_name);
    const std::string taken = store::sql_format("select ID from PERSON where name='%s' and id<>%d",
                                                quoted_name.c_str(), id);
    const store::Outcome exists =
        run_told(dialog, taken, select_failure, [](store::DbStatement*) { return false; });
    if (exists.failure == store::Failure::prepare)
        return;
    if (exists.rows > 0) {
        platform::message_box(dialog, text::person_exists);
        return;
    }

    std::string values[text_field_count]; // quoted, in the order of detail_fields
    int kind = -1;
    std::size_t next = 0;
    for (const DetailField& field : detail_fields) {
        if (field.control == control::role) {
            const int entry = platform::combo_selection(dialog, control::role);
            if (entry < 0) {
                platform::message_box(dialog, field.too_long);
                return;
            }
            kind =
                subject_kind_from_text(platform::combo_text(dialog, control::role, entry).c_str());
            continue;
        }
        std::string value;
        if (platform::read_field(dialog, field.control, field.limit, field.too_long, &value) < 0)
            return;
        values[next++] = store::sql_quote(value);
    }

    const std::string update = store::sql_format(
        "UPDATE PERSON SET name='%s', telephonenumber='%s', mobilenumber='%s', email='%s',"
        "role=%d, application='%s', address='%s', subaddress='%s', pnumber='%s', place='%s',"
        "birthdate='%s', anniversary='%s', knownfrom='%s', systemnumber='%s', "
        "description='%s' where id=%d",
        quoted_name.c_str(), values[0].c_str(), values[1].c_str(), values[2].c_str(), kind,
        values[3].c_str(), values[4].c_str(), values[5].c_str(), values[6].c_str(),
        values[7].c_str(), values[8].c_str(), values[9].c_str(), values[10].c_str(),
        values[11].c_str(), values[12].c_str(), id);
    if (execute_reported(dialog, update,
                         {text::cannot_prepare_update, platform::Shape::message_then_statement},
                         "Cannot update person") != 0)
        return;
    fill_subject_list(subject_form(dialog).list);
    platform::end_dialog(dialog, 0);
}

} // namespace subjects
