// The statements shared by the main window and the ticket dialog, and the one-row lookup
// they all use. Messages are shown by the callers, which know the owner window.
#include "tickets/ticket_texts.h"

#include "store/session.h"
#include "store/sql.h"

namespace tickets {
namespace {

constexpr const char* group_condition = "where t1.role=%d and (t2.personid=%d or t2.personid2=%d) ";

std::string person_condition()
{
    return store::sql_format(group_condition, role_ticket_group, store::current_person_id,
                             store::current_person_id);
}

} // namespace

std::string group_names_statement(const char* tail)
{
    return "select name from person as t1,subjectlink as t2 " + person_condition() + tail;
}

std::string group_ids_statement()
{
    return "select t1.id as id from person as t1,subjectlink as t2 " + person_condition() +
           "and (t2.personid=t1.id or t2.personid2=t1.id) and t1.date_e is null and "
           "t2.date_e is null order by t1.name";
}

int look_up(const std::string& sql, const char* column, std::string* value)
{
    store::DbStatement* statement = nullptr;
    if (store::prepare_sql(sql, &statement) != store::db_ok) {
        store::finalize(statement);
        return -1;
    }
    int found = 0;
    if (store::step(statement) == store::db_row) {
        *value = store::column_string(statement, column);
        found = 1;
    }
    store::finalize(statement);
    return found;
}

} // namespace tickets
