// Running and reporting the subject dialogs' statements.
#include "subjects/statements.h"

#include "store/sql.h"
#include "subjects/subject_list.h"

namespace subjects {

int prepare_reported(platform::Window owner, const std::string& sql, const PrepareFailure& failure,
                     store::DbStatement** statement)
{
    if (store::prepare_sql(sql, statement) == store::db_ok)
        return 0;
    switch (failure.report) {
    case Report::message:
        platform::message_box(owner, failure.message);
        break;
    case Report::message_statement_caption:
        platform::message_box(owner, failure.message, sql.c_str());
        break;
    case Report::message_then_statement:
        platform::message_box(owner, failure.message);
        platform::message_box(owner, sql);
        break;
    case Report::message_then_statement_box:
        platform::message_box(owner, failure.message);
        platform::message_box(owner, sql, "Statement");
        break;
    }
    // Finalizing none is harmless; doing it anyway keeps every path alike.
    store::finalize(*statement);
    *statement = nullptr;
    return -1;
}

int execute_reported(platform::Window owner, const std::string& sql, const PrepareFailure& failure,
                     const char* step_failure)
{
    store::DbStatement* statement = nullptr;
    if (prepare_reported(owner, sql, failure, &statement) < 0)
        return -1;
    const int stepped = store::step(statement);
    store::finalize(statement);
    if (stepped == store::db_done)
        return 0;
    if (step_failure)
        platform::message_box(owner, step_failure);
    return stepped == 0 ? -1 : stepped;
}

int first_id(platform::Window owner, const std::string& sql, const char* prepare_failure,
             const char* no_row)
{
    store::DbStatement* statement = nullptr;
    if (store::prepare_sql(sql, &statement) != store::db_ok) {
        if (owner)
            platform::message_box(owner, prepare_failure);
        store::finalize(statement);
        return -1;
    }
    int id = -1;
    if (store::step(statement) == store::db_row)
        id = store::column_number(statement, "id");
    else if (owner)
        platform::message_box(owner, no_row);
    store::finalize(statement);
    return id;
}

int open_current_subject_row(platform::Window dialog, const char* select_format, std::string* name,
                             store::DbStatement** statement)
{
    if (current_subject_name(dialog, name) < 0)
        return -1;
    const std::string sql = store::sql_format(select_format, store::sql_quote(*name).c_str());
    if (prepare_reported(dialog, sql, select_failure, statement) < 0)
        return -1;
    if (store::step(*statement) != store::db_row) {
        platform::message_box(dialog, text::no_person_found);
        store::finalize(*statement);
        *statement = nullptr;
        return -1;
    }
    return 0;
}

} // namespace subjects
