// Which subject each open subject form works on. A form ("Person new", "Person update",
// "Change Password", the links and "Subject extra") belongs to the "All subjects" window it
// was opened from and, once it shows a subject, to that subject for its whole life: its
// saves go to that subject's row whatever is selected in any list by then.
#pragma once

#include "platform/platform.h"

namespace subjects {

struct SubjectForm {
    platform::Window list = nullptr; // the "All subjects" window it came from
    int subject_id = -1;             // -1: no subject (none was selected when it opened)
};

// Called by the command that opens a form, just before it is created. opener is the dialog
// whose button opens it: an "All subjects" window (the form then belongs to that list, and
// "Person update" to the subject selected there when it opens) or another form (the new form
// belongs to the same list and subject).
void begin_subject_form(platform::Window opener);

// Called when a form is initialised: it takes what begin_subject_form said.
void adopt_subject_form(platform::Window form);

// The record of form (an empty one for a window that is no subject form).
SubjectForm& subject_form(platform::Window form);

// The subject of form, when it is still live. Otherwise shows why ("Select a person" when
// the form has none, "Error no person found" when it has been removed) and returns -1.
int form_subject(platform::Window form);

} // namespace subjects
