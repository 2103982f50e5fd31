// The "Subject extra" dialog, and the removal of subjects.
#pragma once

#include "platform/platform.h"

namespace subjects {

void load_subject_extra(platform::Window dialog);
void save_subject_extra(platform::Window dialog);
void remove_subject(platform::Window list_dialog);

} // namespace subjects
