// How the subject dialogs run their statements and tell a failure: through the one
// statement runner, with the prepare failure told as each handler says. What a statement
// says, and which message a failure shows, stays with the handler that owns it.
#pragma once

#include "platform/report.h"
#include "store/sql.h"
#include "subjects/messages.h"

#include <string>

namespace subjects {

// The failure of most statements that read subjects.
inline constexpr platform::Telling select_failure = {text::cannot_prepare_select,
                                                     platform::Shape::message};

// Runs sql, handing its rows to visit; a failed prepare is told as on_prepare (owned by
// owner). The outcome, for the caller to tell anything else.
store::Outcome run_told(platform::Window owner, const std::string& sql,
                        const platform::Telling& on_prepare,
                        const store::RowVisitor& visit = nullptr);

// Runs a statement that returns no rows. Returns 0 when it ran to its end; -1 after a told
// prepare failure; otherwise the step's result, after showing step_failure unless that is
// nullptr (the caller then tells it itself).
int execute_reported(platform::Window owner, const std::string& sql,
                     const platform::Telling& on_prepare, const char* step_failure);

// The column id of the first row of sql, or -1 when sql cannot be prepared or gives no
// row. Those two failures are shown with their messages, and silently when owner is none.
int first_id(platform::Window owner, const std::string& sql, const char* prepare_failure,
             const char* no_row);

// Reads the one row of a subject that sql selects, handing it to visit. Shows why when the
// statement cannot be prepared or finds no row ("Error no person found") and returns -1;
// otherwise 0.
int read_subject_row(platform::Window dialog, const std::string& sql,
                     const store::RowVisitor& visit);

} // namespace subjects
