// The "Person update" dialog and the password dialog, and the lookups between subject names
// and ids.
#pragma once

#include "platform/platform.h"

#include <string>

namespace subjects {

void load_subject_details(platform::Window dialog);
void save_subject_details(platform::Window dialog);
void set_subject_password(platform::Window dialog);

// The id of the live subject called name, or -1; shows nothing.
int subject_id_by_name(const std::string& name);
// The name of the live subject with id into *name; false when there is none.
bool subject_name_by_id(int id, std::string* name);

} // namespace subjects
