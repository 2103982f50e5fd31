// Running the subject dialogs' statements and telling their failures.
#include "subjects/statements.h"

namespace subjects {

store::Outcome run_told(platform::Window owner, const std::string& sql,
                        const platform::Telling& on_prepare, const store::RowVisitor& visit)
{
    const store::Outcome outcome = store::run_statement(sql, visit);
    if (outcome.failure == store::Failure::prepare)
        platform::tell(owner, on_prepare, sql);
    return outcome;
}

int execute_reported(platform::Window owner, const std::string& sql,
                     const platform::Telling& on_prepare, const char* step_failure)
{
    const store::Outcome outcome = run_told(owner, sql, on_prepare);
    if (outcome.ok())
        return 0;
    if (outcome.failure == store::Failure::prepare)
        return -1;
    if (step_failure)
        platform::message_box(owner, step_failure);
    return outcome.code == 0 ? -1 : outcome.code;
}

int first_id(platform::Window owner, const std::string& sql, const char* prepare_failure,
             const char* no_row)
{
    int id = -1;
    const store::Outcome outcome = store::run_statement(sql, [&id](store::DbStatement* row) {
        id = store::column_number(row, "id");
        return false;
    });
    if (owner && outcome.failure == store::Failure::prepare)
        platform::message_box(owner, prepare_failure);
    else if (owner && outcome.rows == 0)
        platform::message_box(owner, no_row);
    return outcome.rows > 0 ? id : -1;
}

int read_subject_row(platform::Window dialog, const std::string& sql,
                     const store::RowVisitor& visit)
{
    const store::Outcome outcome =
        run_told(dialog, sql, select_failure, [&visit](store::DbStatement* row) {
            visit(row);
            return false;
        });
    if (outcome.failure == store::Failure::prepare)
        return -1;
    if (outcome.rows == 0) {
        platform::message_box(dialog, text::no_person_found);
        return -1;
    }
    return 0;
}

} // namespace subjects
