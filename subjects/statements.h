// How the subject dialogs run their statements and report a failure: one way for all of
// them, so every statement is finalized on every path. What a statement says, and which
// message a failure shows, stays with the handler that owns it.
#pragma once

#include "platform/platform.h"
#include "store/db_driver.h"
#include "subjects/messages.h"

#include <string>

namespace subjects {

// How a statement that cannot be prepared is reported.
enum class Report {
    message,                   // one box: the message
    message_statement_caption, // one box: the message, captioned with the statement
    message_then_statement,    // the message, then a box whose text and caption are the statement
    message_then_statement_box // the message, then the statement captioned "Statement"
};

struct PrepareFailure {
    const char* message;
    Report report;
};

// The failure of most statements that read subjects.
inline constexpr PrepareFailure select_failure = {text::cannot_prepare_select, Report::message};

// Prepares sql. On failure shows it as told (owned by owner), finalizes whatever was
// handed out, leaves *statement none and returns -1; else 0 and the caller owns *statement.
int prepare_reported(platform::Window owner, const std::string& sql, const PrepareFailure& failure,
                     store::DbStatement** statement);

// Prepares and steps a statement that returns no rows, and finalizes it. Returns 0 when it
// ran to its end; -1 after a reported prepare failure; otherwise the step's result, after
// showing step_failure unless that is nullptr (the caller then reports it itself).
int execute_reported(platform::Window owner, const std::string& sql, const PrepareFailure& failure,
                     const char* step_failure);

// The column id of the first row of sql, or -1 when sql cannot be prepared or gives no
// row. Those two failures are shown with their messages, and silently when owner is none.
int first_id(platform::Window owner, const std::string& sql, const char* prepare_failure,
             const char* no_row);

// The live row of the current subject, read with select_format (one %s: the quoted name).
// Shows why when there is no subject, the statement cannot be prepared or finds no row,
// and returns -1; otherwise 0 with *name the subject's name and *statement on its row,
// which the caller finalizes.
int open_current_subject_row(platform::Window dialog, const char* select_format, std::string* name,
                             store::DbStatement** statement);

} // namespace subjects
