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
    const store::Outcome outcome = store::run_statement(sql, [&](store::DbStatement* row) {
        *value = store::column_string(row, column);
        return false;
    });
    if (outcome.failure == store::Failure::prepare)
        return -1;
    return outcome.rows > 0 ? 1 : 0;
}

} // namespace tickets
