// The register of subjects: the "All subjects" list, new subjects, and the subject kinds.
// Several "All subjects" windows may be open; each acts on its own selection.
#pragma once

#include "platform/platform.h"

#include <string>

namespace subjects {

// Subject kinds, the role column of table person.
enum SubjectKind {
    kind_person = 1,
    kind_company,
    kind_family,
    kind_group,
    kind_ticket_group,
    kind_pop_mail
};

// The kind named text exactly, or -1.
int subject_kind_from_text(const char* text);
// The name of a kind, or nullptr for a value without one.
const char* subject_kind_text(int kind);
// Appends the kind names to a combo box (the mail kind only with the mail feature on).
void fill_subject_kinds(platform::Window window, int control_id);

// The name selected in the "All subjects" window list into *name and 0; -1 after showing
// "Select a person" (owned by owner) when nothing is selected.
int selected_subject_name(platform::Window list, platform::Window owner, std::string* name);

// Refills the names of the "All subjects" window list.
void fill_subject_list(platform::Window list);
void create_subject(platform::Window dialog);

// The first half of opening the update dialog from the "All subjects" window list: checks
// that a subject is selected. Returns 0 when the dialog may open, -1 after "Select a person".
int prepare_subject_update(platform::Window list);

} // namespace subjects
