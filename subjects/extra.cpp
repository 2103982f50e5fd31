// The "Subject extra" dialog, the extended record of the current subject (names, numbers,
// general and extra fields; an Extra1 of 1 lets a ticket group take new tickets, which the
// ticket dialog reads from the database itself), and the removal of subjects from the
// "All subjects" dialog. Removal only stamps date_e: the row, its links and its tickets
// stay.
#include "subjects/extra.h"

#include "platform/fields.h"
#include "resources/ids.h"
#include "store/session.h"
#include "store/sql.h"
#include "subjects/forms.h"
#include "subjects/messages.h"
#include "subjects/statements.h"
#include "subjects/subject_details.h"
#include "subjects/subject_list.h"
#include "util/date_time.h"

#include <cstring>
#include <iterator>

namespace subjects {

namespace {

namespace control = ids::extra;

struct ExtraField {
    int control;
    const char* column;
    int limit; // length at which the save refuses the field
    const char* too_long;
};

// In the order in which the dialog fills and checks them.
constexpr ExtraField extra_fields[] = {
    {control::firstname, "firstname", 40, "Firstname too long"},
    {control::surname, "surname", 40, "Surname too long"},
    {control::title, "title", 40, "Title too long"},
    {control::gender, "gender", 20, "Gender too long"},
    {control::hobbies, "hobbies", 1024, "Hobbies too long"},
    {control::baptism_date, "baptismaldate", 20, "Baptismaldate too long"},
    {control::baptism_place, "baptismalplace", 80, "Baptismalplace too long"},
    {control::email_private, "emailp", 80, text::email_too_long},
    {control::email_company, "emailc", 80, text::email_too_long},
    {control::telephone_private, "telephonenumberp", 20, text::telephone_too_long},
    {control::telephone_company, "telephonenumberc", 20, text::telephone_too_long},
    {control::mobile_private, "mobilenumberp", 20, text::mobile_too_long},
    {control::mobile_company, "mobilenumberc", 20, text::mobile_too_long},
    {control::fax_private, "faxnumberp", 20, "Faxnumber too long"},
    {control::fax_company, "faxnumberc", 20, "Faxnumber too long"},
    {control::gen1, "gen1", 256, "Gen1 too long"},
    {control::gen2, "gen2", 256, "Gen2 too long"},
    {control::gen3, "gen3", 256, "Gen3 too long"},
    {control::gen4, "gen4", 256, "Gen4 too long"},
    {control::extra1, "ac1", 256, "Extra1 too long"},
    {control::extra2, "ac2", 256, "Extra2 too long"},
    {control::extra3, "ac3", 256, "Extra3 too long"},
    {control::extra4, "ac4", 256, "Extra4 too long"},
};
constexpr std::size_t extra_field_count = std::size(extra_fields);

// The statement names the columns in the table's order, except that hobbies comes last.
constexpr const char* last_column = "hobbies";

} // namespace

void load_subject_extra(platform::Window dialog)
{
    const int id = subject_form(dialog).subject_id;
    if (id < 0) {
        platform::message_box(dialog, text::select_person);
        return;
    }
    read_subject_row(dialog,
                     store::sql_format("SELECT * from person where id=%d and date_e is null", id),
                     [dialog](store::DbStatement* row) {
                         for (const ExtraField& field : extra_fields)
                             if (const char* value = store::column_by_name(row, field.column))
                                 platform::set_item_text(dialog, field.control, value);
                         return false;
                     });
}

void save_subject_extra(platform::Window dialog)
{
    const int id = form_subject(dialog);
    if (id < 0)
        return;
    std::string values[extra_field_count]; // quoted, in the order of extra_fields
    for (std::size_t i = 0; i < extra_field_count; ++i) {
        const ExtraField& field = extra_fields[i];
        std::string value;
        if (platform::read_field(dialog, field.control, field.limit, field.too_long, &value) < 0)
            return;
        values[i] = store::sql_quote(value);
    }

    std::string sql = "update person set ";
    std::string last;
    for (std::size_t i = 0; i < extra_field_count; ++i) {
        const std::string assignment = std::string(extra_fields[i].column) + "='" + values[i] + "'";
        if (std::strcmp(extra_fields[i].column, last_column) == 0)
            last = assignment;
        else
            sql += assignment + ",";
    }
    sql += last + store::sql_format(" where id=%d", id);
    if (execute_reported(dialog, sql,
                         {"Cannot prepare statement - update person extra",
                          platform::Shape::message_then_statement},
                         "Update failed") != 0)
        return;
    platform::end_dialog(dialog, 1);
}

void remove_subject(platform::Window list)
{
    const std::string stamp = util::time_stamp_now();
    std::string name;
    if (selected_subject_name(list, list, &name) < 0)
        return;
    // Without the administrator nobody could ever make a new database in this file again
    // (its name stays taken, so its tables are never made anew) or log in as admin.
    if (name == store::administrator_name || subject_id_by_name(name) == store::administrator_id) {
        platform::message_box(list, "Cannot remove admin");
        return;
    }
    // The list is left as it is: the name stays shown until the next fill.
    const std::string sql =
        store::sql_format("update PERSON set date_e='%s' where name='%s' and date_e is null",
                          stamp.c_str(), store::sql_quote(name).c_str());
    execute_reported(list, sql, {text::cannot_prepare_update, platform::Shape::message},
                     text::no_person_found);
}

} // namespace subjects
