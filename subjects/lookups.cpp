// The lookups between subject names and ids that the subject dialogs share. Only live
// subjects are found; a removed subject has neither name nor id here.
#include "subjects/subject_details.h"

#include "store/sql.h"
#include "subjects/messages.h"
#include "subjects/statements.h"

namespace subjects {

namespace {

std::string live_id_statement(const std::string& name)
{
    return store::sql_format("SELECT id from person where name ='%s' and date_e is null",
                             store::sql_quote(name).c_str());
}

} // namespace

int subject_id_by_name(const std::string& name)
{
    return first_id(nullptr, live_id_statement(name), nullptr, nullptr);
}

bool subject_name_by_id(int id, std::string* name)
{
    const store::Outcome outcome = store::run_statement(
        store::sql_format("SELECT name from person where id='%d' and date_e is null", id),
        [name](store::DbStatement* row) {
            *name = store::column_string(row, "name");
            return false;
        });
    return outcome.rows > 0;
}

} // namespace subjects
